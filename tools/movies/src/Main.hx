import lq.Movie;
import lq.Tables;

// The movie of one template; the build names the effect with -D lq_effect=<effect name>.
class Main {
	static function main() {
		var effect = haxe.macro.Compiler.getDefine("lq_effect");
		flash.Lib.current.addChild(new Movie(Tables.named(effect), Effects.create()));
	}
}

import haxe.io.Bytes;
import haxe.io.BytesBuffer;
import lq.ContentText;
import lq.Pager;

// The reading and paging of the template movies, run by the Haxe interpreter without a player:
//   haxe -cp <movie sources> -cp <generated> -cp tests/movies --run ContentTextTest <cases file>
class ContentTextTest {
	static var failures = 0;

	static function main() {
		var cases = sys.io.File.getContent(Sys.args()[0]);
		var count = 0;
		for (line in cases.split("\n")) {
			if (line == "" || line.charAt(0) == "#")
				continue;
			var parts = line.split("\t");
			var shown = ContentText.fromBytes(unescape(parts[0], true));
			var expected = parts[1] == "<left out>" ? null : unescape(parts[1], false).toString();
			check(shown == expected, 'case "${abbreviate(parts[0])}": shows ${abbreviate(shown)}');
			count++;
		}
		check(count >= 20, 'only $count cases read');
		checkReadingTime();
		checkPaging();
		if (failures > 0) {
			Sys.println('$failures failed');
			Sys.exit(1);
		}
		Sys.println('$count content file cases and the pager passed');
	}

	static function checkReadingTime() {
		check(ContentText.readingSeconds("Bread") == 2.5, "one word stays 2.5 s");
		var hundred = [for (i in 0...100) "word"].join(" \n");
		check(ContentText.readingSeconds(hundred) == 30, "100 words stay 30 s at 200 a minute");
	}

	static function checkPaging() {
		var measure = new Monospace(500);
		var short = pages("Fresh bread daily.", measure);
		check(short.length == 1 && short[0].size == 30, "a short text stands at the largest size");

		var medium = [for (i in 0...60) "loaf"].join(" ");
		var fitted = pages(medium, measure);
		check(fitted.length == 1 && fitted[0].size < 30 && fitted[0].size > 12
			&& measure.height(medium, fitted[0].size + 1) > AVAILABLE, "a longer text shrinks just enough: " + fitted[0].size);

		var words = [for (i in 0...400) "w" + i];
		var long = pages(words.join(" "), measure);
		check(long.length > 1 && long.filter(p -> p.size != 12).length == 0, "a long text is paged at 12 px");
		check(joined(long) == words.join(" "), "every word of a long text shows once, in order");

		var word = [for (i in 0...3000) "x"].join("");
		var pieces = pages(word, measure);
		check(pieces.length > 1 && pieces.map(p -> p.text).join("") == word, "a word longer than a page is split");

		var lines = pages("first line\nsecond line", measure);
		check(lines.length == 1 && lines[0].text == "first line\nsecond line", "line ends are kept");

		for (p in long.concat(pieces))
			check(measure.height(p.text, p.size) <= AVAILABLE, "page fits: " + abbreviate(p.text));
	}

	static inline var AVAILABLE = 300.0;

	static function pages(text:String, measure:TextMeasure):Array<Page> {
		var pager = new Pager(text, measure, AVAILABLE, 30);
		return [while (pager.hasNext()) pager.next()];
	}

	static function joined(pages:Array<Page>):String {
		return pages.map(p -> p.text).join(" ");
	}

	static function check(ok:Bool, what:String) {
		if (!ok) {
			failures++;
			Sys.println("FAIL: " + what);
		}
	}

	static function abbreviate(s:Null<String>):String {
		return s == null ? "<left out>" : s.length > 60 ? s.substr(0, 30) + "..." + s.substr(-20) : s;
	}

	// "\xE9" and the rest (see the cases file) to bytes, or to Windows-1252/UTF-8 text.
	static function unescape(s:String, asBytes:Bool):Bytes {
		var out = new BytesBuffer();
		var i = 0;
		while (i < s.length) {
			var c = s.charAt(i++);
			if (c != "\\") {
				if (asBytes) out.addByte(c.charCodeAt(0)) else out.addString(c);
				continue;
			}
			var e = s.charAt(i++);
			switch (e) {
				case "r": out.addByte(13);
				case "n": out.addByte(10);
				case "t": out.addByte(9);
				case "\\": out.addByte(92);
				case "x":
					var b = Std.parseInt("0x" + s.substr(i, 2));
					i += 2;
					if (asBytes) out.addByte(b) else out.addString(lq.Windows1252.decode(Bytes.ofHex(StringTools.hex(b, 2)), 0, 1));
				case "R":
					var close = s.indexOf("}", i);
					var run = s.substring(i + 1, close).split(":");
					i = close + 1;
					for (_ in 0...Std.parseInt(run[0]))
						out.addByte(Std.parseInt("0x" + run[1]));
				default:
					throw 'unknown escape \\$e';
			}
		}
		return out.getBytes();
	}
}

// Letters of 0.6 em on lines of 1.2 em, wrapped at blanks as a text field wraps them; a word
// longer than a line is broken where the line ends.
class Monospace implements TextMeasure {
	final width:Float;

	public function new(width:Float) {
		this.width = width;
	}

	public function height(text:String, size:Int):Float {
		return lineStarts(text, size).length * 1.2 * size + 6;
	}

	public function fittingLength(text:String, size:Int, height:Float):Int {
		var starts = lineStarts(text, size);
		var lines = Std.int((height - 6) / (1.2 * size));
		return lines < starts.length ? starts[lines] : text.length;
	}

	function lineStarts(text:String, size:Int):Array<Int> {
		var perLine = Std.int(width / (0.6 * size));
		var starts = [0];
		var lineStart = 0, i = 0;
		while (i < text.length) {
			var c = text.charAt(i);
			if (c == "\n") {
				lineStart = i + 1;
				starts.push(lineStart);
			} else if (i - lineStart >= perLine && c != " ") {
				var blank = text.lastIndexOf(" ", i);
				lineStart = blank >= lineStart ? blank + 1 : i;
				starts.push(lineStart);
			}
			i++;
		}
		return starts;
	}
}

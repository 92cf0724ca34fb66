import effects.Depth;
import effects.Depth.Spot;

// The perspective of the turning effects (3d, cube), run by the Haxe interpreter without a player:
//   haxe -cp tools/movies/src -cp tests/movies --run DepthTest
// At rest a turned card must land exactly where the framework puts it, or its text jumps at the
// end of every turn; turned away it must not be drawn; half turned, its text must stay on its panel.
class DepthTest {
	static var failures = 0;

	static function main() {
		var flat = Depth.corners(400, 200, 0, 0, 0, 0, 275, 200);
		check(same(flat, [[75, 100], [475, 100], [475, 300], [75, 300]]), "a card at rest stands square: " + flat);
		var face = Depth.corners(424, 280, 212, 0, 0, 0, 275, 200);
		check(same(face, [[63, 60], [487, 60], [487, 340], [63, 340]]), "the cube's front face at rest is the card's size: " + face);
		check(same([Depth.nearest(flat, 400, 200)], [[1, 0, 0, 1, 275, 200]]), "at rest the text is not transformed");

		// A card turns edge-on at 90°; of a cube's faces, both show half way between two, as it turns.
		for (turn in [{out: 0, degrees: 89, shows: true}, {out: 0, degrees: 91, shows: false}, {out: 212, degrees: 45, shows: true},
			{out: 212, degrees: -45, shows: true}, {out: 212, degrees: 135, shows: false}, {out: 212, degrees: 180, shows: false}]) {
			var p = Depth.corners(424, 280, turn.out, turn.degrees * Depth.RADIANS, 0, 330, 275, 200);
			check(Depth.facesViewer(p) == turn.shows, 'a face ${turn.out} out, turned ${turn.degrees}°, ' + (turn.shows ? "shows" : "is hidden"));
		}

		// Half turned and far: the text shrinks with the panel and stays inside it.
		var panel = Depth.corners(428, 228, 0, 50 * Depth.RADIANS, 0, 300, 275, 200);
		var card = Depth.corners(400, 200, 0, 50 * Depth.RADIANS, 0, 300, 275, 200);
		var m = Depth.nearest(card, 400, 200);
		check(m[0] > 0 && m[0] < 0.7 && Math.abs(m[4] - 275) < 30, "a card turned 50° is narrower, about its place: " + m);
		for (corner in [[-200, -100], [200, -100], [200, 100], [-200, 100]]) {
			var x = m[0] * corner[0] + m[2] * corner[1] + m[4], y = m[1] * corner[0] + m[3] * corner[1] + m[5];
			check(inside(x, y, panel), 'the text\'s corner ($x, $y) stays on its panel');
		}
		if (failures > 0) {
			Sys.println('$failures failed');
			Sys.exit(1);
		}
		Sys.println("the perspective of the turning cards passed");
	}

	static function same(a:Array<Dynamic>, b:Array<Array<Float>>):Bool {
		for (i in 0...b.length) {
			var x:Array<Float> = Std.isOfType(a[i], Array) ? a[i] : [a[i].x, a[i].y];
			for (k in 0...b[i].length)
				if (Math.abs(x[k] - b[i][k]) > 1e-6)
					return false;
		}
		return true;
	}

	// Within the convex outline, or on it.
	static function inside(x:Float, y:Float, p:Array<Spot>):Bool {
		for (i in 0...4) {
			var a = p[i], b = p[(i + 1) % 4];
			if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) < -1e-6)
				return false;
		}
		return true;
	}

	static function check(ok:Bool, what:String) {
		if (!ok) {
			failures++;
			Sys.println("FAILED: " + what);
		}
	}
}

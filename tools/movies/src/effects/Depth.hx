package effects;

#if flash
import flash.display.DisplayObject;
import flash.display.Graphics;
import flash.geom.Matrix;
#end

// A point on the stage.
typedef Spot = {x:Float, y:Float};

// Flat things turned in space and seen in perspective, for the effects whose cards turn (3d,
// cube). The player draws flat transforms only: a turned card's panel is drawn as its true
// outline, and its text with the flat transform nearest to that outline. The geometry runs without
// a player too, for its test (tests/movies/DepthTest.hx).
class Depth {
	// Distance of the eye from the stage, in pixels: a card 500 wide turning before it looks deep.
	public static inline var FOCAL = 650.0;

	// The corners (top left, top right, bottom right, bottom left) of a width × height face that
	// stands `out` pixels in front of an axis at depth `depth` behind the stage point (cx, cy),
	// turned by yaw about the vertical and then by pitch about the horizontal, in radians.
	public static function corners(width:Float, height:Float, out:Float, yaw:Float, pitch:Float, depth:Float, cx:Float,
			cy:Float):Array<Spot> {
		return [
			for (corner in [[-1, -1], [1, -1], [1, 1], [-1, 1]])
				project(corner[0] * width / 2, corner[1] * height / 2, -out, yaw, pitch, depth + out, cx, cy)
		];
	}

	// A point (x, y, z) about an axis through the origin, turned by yaw and then pitch, moved back
	// by depth, on the screen around (cx, cy).
	public static function project(x:Float, y:Float, z:Float, yaw:Float, pitch:Float, depth:Float, cx:Float, cy:Float):Spot {
		var x1 = x * Math.cos(yaw) + z * Math.sin(yaw);
		var z1 = -x * Math.sin(yaw) + z * Math.cos(yaw);
		var y2 = y * Math.cos(pitch) - z1 * Math.sin(pitch);
		var z2 = y * Math.sin(pitch) + z1 * Math.cos(pitch) + depth;
		var s = FOCAL / Math.max(FOCAL + z2, 1);
		return {x: cx + x1 * s, y: cy + y2 * s};
	}

	// The depth of that point, to draw what is far first.
	public static function depthOf(x:Float, y:Float, z:Float, yaw:Float, pitch:Float):Float {
		var z1 = -x * Math.sin(yaw) + z * Math.cos(yaw);
		return y * Math.sin(pitch) + z1 * Math.cos(pitch);
	}

	// Whether the face shows its front: its corners still run clockwise on the screen.
	public static function facesViewer(p:Array<Spot>):Bool {
		var area = 0.0;
		for (i in 0...4) {
			var a = p[i], b = p[(i + 1) % 4];
			area += a.x * b.y - b.x * a.y;
		}
		return area > 0;
	}

	// The flat transform [a, b, c, d, tx, ty] that carries a width × height object centred on its
	// origin nearest to the four corners (least squares), shrunk about its middle where needed so
	// that the object stays within them: its text turns with the panel under it, never past it.
	public static function nearest(p:Array<Spot>, width:Float, height:Float):Array<Float> {
		var xs = [-1.0, 1.0, 1.0, -1.0], ys = [-1.0, -1.0, 1.0, 1.0];
		var m = [0.0, 0.0, 0.0, 0.0, 0.0, 0.0];
		for (i in 0...4) {
			m[0] += p[i].x * xs[i] / (2 * width);
			m[1] += p[i].y * xs[i] / (2 * width);
			m[2] += p[i].x * ys[i] / (2 * height);
			m[3] += p[i].y * ys[i] / (2 * height);
			m[4] += p[i].x / 4;
			m[5] += p[i].y / 4;
		}
		// Each corner is the middle plus scale times its offset; each edge bounds the scale.
		var scale = 1.0;
		for (i in 0...4) {
			var vx = (m[0] * xs[i] * width + m[2] * ys[i] * height) / 2;
			var vy = (m[1] * xs[i] * width + m[3] * ys[i] * height) / 2;
			for (k in 0...4) {
				var a = p[k], b = p[(k + 1) % 4];
				var room = (b.x - a.x) * (m[5] - a.y) - (b.y - a.y) * (m[4] - a.x);
				var towards = (b.x - a.x) * vy - (b.y - a.y) * vx;
				if (towards < 0)
					scale = Math.min(scale, Math.max(0, room / -towards));
			}
		}
		for (k in 0...4)
			m[k] *= scale;
		return m;
	}

	#if flash
	public static function fit(object:DisplayObject, p:Array<Spot>, width:Float, height:Float) {
		var m = nearest(p, width, height);
		object.transform.matrix = new Matrix(m[0], m[1], m[2], m[3], m[4], m[5]);
	}

	public static function drawQuad(g:Graphics, p:Array<Spot>, fill:Int, fillAlpha:Float, line:Int, lineAlpha:Float, thickness = 2.0) {
		g.lineStyle(thickness, line, lineAlpha);
		g.beginFill(fill, fillAlpha);
		g.moveTo(p[0].x, p[0].y);
		for (i in 1...4)
			g.lineTo(p[i].x, p[i].y);
		g.lineTo(p[0].x, p[0].y);
		g.endFill();
		g.lineStyle();
	}

	#end

	public static inline var RADIANS = 0.017453292519943295;
}

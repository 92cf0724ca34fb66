package effects;

import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.PixelSnapping;
import lq.Scene;

// A still backdrop over the whole stage, as a small picture scaled up smoothly. The player draws
// the whole stage anew in every frame, and in its canvas renderer (the preview's) a radial
// gradient fill over the stage took about a sixth of a core by itself; the picture, a tenth of
// the stage's size each way, looks the same and costs little. (Drawing a shape into a BitmapData
// is no way round it: that renderer cannot.)
class Backdrop {
	// Light `inner` in the middle of the stage, fading to `outer` at its edges.
	public static function radial(inner:Int, outer:Int):Bitmap {
		var pixels = new BitmapData(COLUMNS, ROWS, false, outer);
		for (y in 0...ROWS)
			for (x in 0...COLUMNS) {
				var dx = (x + 0.5) / COLUMNS - 0.5, dy = (y + 0.5) / ROWS - 0.5;
				pixels.setPixel(x, y, mix(inner, outer, Math.min(1, 2 * Math.sqrt(dx * dx + dy * dy))));
			}
		var picture = new Bitmap(pixels, PixelSnapping.NEVER, true);
		picture.scaleX = Scene.WIDTH / COLUMNS;
		picture.scaleY = Scene.HEIGHT / ROWS;
		return picture;
	}

	static function mix(from:Int, to:Int, t:Float):Int {
		var colour = 0;
		for (shift in [16, 8, 0]) {
			var a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
			colour |= Std.int(a + (b - a) * t + 0.5) << shift;
		}
		return colour;
	}

	static inline var COLUMNS = 55;
	static inline var ROWS = 40;
}

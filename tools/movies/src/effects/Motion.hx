package effects;

// How things speed up and slow down in the effects 3d, flower, cube and spirograph: t runs from 0
// to 1.
class Motion {
	public static inline function easeOut(t:Float):Float {
		return 1 - Math.pow(1 - t, 3);
	}

	public static inline function easeIn(t:Float):Float {
		return t * t * t;
	}

	public static inline function smooth(t:Float):Float {
		return t * t * (3 - 2 * t);
	}

	// Overshoots a little and comes back: a bloom that springs open.
	public static function backOut(t:Float):Float {
		var k = 1.70158, u = t - 1;
		return 1 + (k + 1) * u * u * u + k * u * u;
	}

	public static inline function clamp(t:Float):Float {
		return t < 0 ? 0 : t > 1 ? 1 : t;
	}
}

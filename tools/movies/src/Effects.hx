// Each movie holds its own effect only: the build names it with -D lq_effect=<effect name>, and
// an effect without a class of its own is presented plainly.
class Effects {
	public static function create():lq.Effect {
		#if (lq_effect == "Vector")
		return new effects.VectorFrame();
		#elseif (lq_effect == "Matrix")
		return new effects.MatrixRain();
		#elseif (lq_effect == "Fireworks")
		return new effects.Fireworks();
		#elseif (lq_effect == "Preloader")
		return new effects.Preloader();
		#elseif (lq_effect == "3d")
		return new effects.ThreeD();
		#elseif (lq_effect == "flower")
		return new effects.Flower();
		#elseif (lq_effect == "cube")
		return new effects.Cube();
		#elseif (lq_effect == "spirograph")
		return new effects.Spirograph();
		#else
		return new lq.Effect();
		#end
	}
}

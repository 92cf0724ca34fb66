// Each movie holds its own effect only: the build names it with -D lq_effect=<effect name>, and
// an effect without a class of its own is presented plainly.
class Effects {
	public static function create():lq.Effect {
		#if false
		#else
		return new lq.Effect();
		#end
	}
}

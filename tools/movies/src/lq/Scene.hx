package lq;

import flash.display.Sprite;

// The layers an effect draws in, bottom to top, on the 550 by 400 stage.
class Scene {
	public static inline var WIDTH = 550;
	public static inline var HEIGHT = 400;

	public final back = new Sprite();
	public final cards = new Sprite();
	public final front = new Sprite();

	public function new() {}
}

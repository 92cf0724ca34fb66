package lq;

import flash.geom.Rectangle;

typedef Palette = {
	var background:Int;
	var title:Int;
	var heading:Int;
	var body:Int;
}

// One effect: how its cards come and go over a scene of its own. The framework lays out the texts,
// paces them and calls, for each card in turn: reveal(card, 0 → 1), then holds the card at rest
// (upright, still, opaque) for its reading time while calling hold(card, 0 → 1), then
// hide(card, 0 → 1). update(time) runs on every frame. This class is the plain presenter: a fade.
class Effect {
	public var scene:Scene;
	public var revealSeconds = 0.6;
	public var hideSeconds = 0.4;
	// How long the site's title stands alone, large, before it moves up into the banner.
	public var titleSeconds = 1.0;
	public var palette:Palette = {background: 0x14202B, title: 0xFFFFFF, heading: 0xFFC857, body: 0xF4F4F4};

	public function new() {}

	// Where the cards of the sections stand; below the title's banner when there is one.
	public function textArea(belowBanner:Bool):Rectangle {
		var top = belowBanner ? BANNER_HEIGHT + 8 : MARGIN;
		return new Rectangle(MARGIN, top, Scene.WIDTH - 2 * MARGIN, Scene.HEIGHT - MARGIN - top);
	}

	public function start() {
		scene.back.graphics.beginFill(palette.background);
		scene.back.graphics.drawRect(0, 0, Scene.WIDTH, Scene.HEIGHT);
		scene.back.graphics.endFill();
	}

	public function update(time:Float) {}

	public function reveal(card:Card, progress:Float) {
		card.alpha = progress;
	}

	public function hold(card:Card, progress:Float) {}

	public function hide(card:Card, progress:Float) {
		card.alpha = 1 - progress;
	}

	public static inline var MARGIN = 24;
	public static inline var BANNER_HEIGHT = 64;
}

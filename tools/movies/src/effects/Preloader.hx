package effects;

import flash.display.Shape;
import flash.geom.Rectangle;
import flash.text.TextField;
import flash.text.TextFormatAlign;
import lq.Card;
import lq.Effect;
import lq.Scene;
import lq.Text;

// Preloader: a loading bar stands beside the text. It fills, counting up to 100 %, and the text
// rises into view with it; full, its stripes run while the text is read; then it drains.
class Preloader extends Effect {
	static inline var BAR_X = 44;
	static inline var BAR_WIDTH = 30;
	static inline var BAR_TOP = 50;
	static inline var BAR_BOTTOM = 330;
	static inline var ACCENT = 0x1E88A8;

	final bar = new Shape();
	final barShape = new Shape(); // the same, masking the stripes (a mask is not drawn itself)
	final stripes = new Shape();
	final rising = new Shape();
	var counter:TextField;

	public function new() {
		super();
		palette = {background: 0xF3EFE6, title: 0x17324A, heading: ACCENT, body: 0x22303C};
		revealSeconds = 1.3;
		hideSeconds = 0.6;
	}

	override public function textArea(belowBanner:Bool):Rectangle {
		var area = super.textArea(belowBanner);
		var left = BAR_X + BAR_WIDTH + 40;
		return new Rectangle(left, area.y, Scene.WIDTH - Effect.MARGIN - left, area.height);
	}

	override public function start() {
		super.start();
		var track = new Shape();
		track.graphics.lineStyle(2, 0xC9C1B0);
		track.graphics.drawRoundRect(BAR_X - 4, BAR_TOP - 4, BAR_WIDTH + 8, BAR_BOTTOM - BAR_TOP + 8, 12, 12);
		scene.back.addChild(track);
		scene.back.addChild(bar);
		scene.back.addChild(stripes);
		scene.back.addChild(barShape);
		stripes.mask = barShape;
		drawStripes();
		counter = Text.field("0%", 16, ACCENT, 90, TextFormatAlign.CENTER);
		counter.x = BAR_X + BAR_WIDTH / 2 - 45;
		counter.y = BAR_BOTTOM + 12;
		scene.back.addChild(counter);
	}

	// The stripes run up the bar all the time; the bar shows as much of them as it holds. They are
	// drawn once, a stripe taller than the bar, and only moved.
	override public function update(time:Float) {
		stripes.y = -((time * 40) % STRIPE);
	}

	function drawStripes() {
		var g = stripes.graphics;
		g.beginFill(0xFFFFFF, 0.28);
		var y = BAR_BOTTOM + 2 * STRIPE;
		while (y > BAR_TOP - STRIPE) {
			g.moveTo(BAR_X, y);
			g.lineTo(BAR_X + BAR_WIDTH, y - 12);
			g.lineTo(BAR_X + BAR_WIDTH, y - 20);
			g.lineTo(BAR_X, y - 8);
			y -= STRIPE;
		}
		g.endFill();
		stripes.cacheAsBitmap = true;
	}

	static inline var STRIPE = 24;

	override public function reveal(card:Card, p:Float) {
		var level = 1 - (1 - p) * (1 - p);
		fill(level);
		// The text rises into view from its bottom line as the bar climbs.
		var b = card.inked;
		rising.graphics.clear();
		rising.graphics.beginFill(0);
		rising.graphics.drawRect(b.x - 4, b.bottom + 4 - (b.height + 8) * level, b.width + 8, (b.height + 8) * level);
		rising.graphics.endFill();
		rising.x = card.x;
		rising.y = card.y;
		if (rising.parent == null)
			scene.cards.addChild(rising);
		card.mask = p < 1 ? rising : null;
		if (p >= 1)
			scene.cards.removeChild(rising);
	}

	override public function hold(card:Card, p:Float) {
		if (card.mask == rising) {
			card.mask = null;
			scene.cards.removeChild(rising);
		}
		fill(1);
	}

	override public function hide(card:Card, p:Float) {
		fill(1 - p);
		card.alpha = 1 - p;
	}

	var shownLevel = -1.0;

	function fill(level:Float) {
		if (level == shownLevel)
			return;
		shownLevel = level;
		var top = BAR_BOTTOM - (BAR_BOTTOM - BAR_TOP) * level;
		for (shape in [bar, barShape]) {
			var g = shape.graphics;
			g.clear();
			g.beginFill(ACCENT);
			g.drawRoundRect(BAR_X, top, BAR_WIDTH, BAR_BOTTOM - top, 8, 8);
			g.endFill();
		}
		Text.setText(counter, Math.round(level * 100) + "%", 16, ACCENT, TextFormatAlign.CENTER);
	}
}

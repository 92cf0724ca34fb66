package effects;

import flash.display.Shape;
import flash.text.TextField;
import flash.text.TextFormatAlign;
import lq.Card;
import lq.Effect;
import lq.Scene;
import lq.Text;

// Matrix: green glyphs rain down a black screen. A card resolves out of the rain: drops fall down
// through its place, each leaving the letters behind it, and drain away again at the end.
class MatrixRain extends Effect {
	// The player draws every glyph of the rain anew in each frame, the preview's engine slower than a
	// current browser: 16 columns keep the rain dense and Matrix within its share of a core.
	static inline var COLUMNS = 16;
	static inline var STRIPS = 14;
	static inline var GLYPHS = "0123456789ABCDEFGHKLMNPRSTXZ$#%&*+=<>ÆØßµ¥£€§¶¤";

	final rain:Array<TextField> = [];
	final speeds:Array<Float> = [];
	final heads:Array<TextField> = [];
	final delays:Array<Float> = [];
	final plate = new Shape();
	final curtain = new Shape();
	final plates = new Map<Card, Float>();
	var lastTime = 0.0;

	public function new() {
		super();
		palette = {background: 0x000000, title: 0xE4FFE4, heading: 0x39FF6A, body: 0xD4FFD8};
		revealSeconds = 1.0;
		hideSeconds = 0.6;
		// Short, as cube's: the title reads on in the banner.
		titleSeconds = 0.5;
	}

	override public function start() {
		super.start();
		for (i in 0...COLUMNS) {
			var column = Text.field(glyphColumn(16), 14, 0x1FCC4F, 20, TextFormatAlign.CENTER);
			column.cacheAsBitmap = true;
			column.alpha = 0.25 + 0.45 * Math.random();
			column.x = i * Scene.WIDTH / COLUMNS + 2;
			column.y = Math.random() * (Scene.HEIGHT + column.height) - column.height; // raining already
			speeds.push(60 + 120 * Math.random());
			rain.push(column);
			scene.back.addChild(column);
		}
		scene.back.addChild(plate);
		for (i in 0...STRIPS) {
			var head = Text.field(glyph(), 16, 0xEFFFEF, 20, TextFormatAlign.CENTER);
			head.cacheAsBitmap = true;
			head.visible = false;
			heads.push(head);
			scene.front.addChild(head);
			delays.push(0);
		}
	}

	override public function update(time:Float) {
		var dt = Math.min(0.25, time - lastTime);
		lastTime = time;
		for (i in 0...COLUMNS) {
			var column = rain[i];
			column.y += speeds[i] * dt;
			column.visible = column.y + column.height > 0; // not drawn until it reaches the stage
			if (column.y > Scene.HEIGHT) {
				column.y = -column.height;
				speeds[i] = 60 + 120 * Math.random();
				Text.setText(column, glyphColumn(16), 14, 0x1FCC4F, TextFormatAlign.CENTER);
			}
		}
		drawPlates();
	}

	override public function reveal(card:Card, p:Float) {
		if (p == 0 || !plates.exists(card))
			for (i in 0...STRIPS)
				delays[i] = Math.random() * 0.4;
		plates.set(card, Math.min(1, p * 3));
		if (p >= 1) {
			uncover(card);
			return;
		}
		curtainOver(card, function(i) return clamp((p - delays[i]) / 0.6), true);
	}

	override public function hold(card:Card, p:Float) {
		uncover(card);
		plates.set(card, 1);
	}

	override public function hide(card:Card, p:Float) {
		plates.set(card, 1 - p);
		curtainOver(card, function(i) return clamp((p - delays[i] * 0.5) / 0.8), false);
		card.alpha = 1 - p * p;
		if (p >= 1)
			uncover(card);
	}

	// Strips of the card show as drops pass: from the top down to the drop (falling in), or from
	// the drop down (draining away). A bright glyph marks each drop while it moves.
	function curtainOver(card:Card, progressOf:Int->Float, fallingIn:Bool) {
		var b = card.inked;
		var width = (b.width + 8) / STRIPS, height = b.height + 8;
		var g = curtain.graphics;
		g.clear();
		g.beginFill(0);
		for (i in 0...STRIPS) {
			var drop = height * progressOf(i);
			var x = b.x - 4 + i * width;
			if (fallingIn) g.drawRect(x, b.y - 4, width + 1, drop) else g.drawRect(x, b.y - 4 + drop, width + 1, height - drop);
			var head = heads[i];
			head.visible = drop > 0 && drop < height;
			head.x = card.x + x + width / 2 - 10;
			head.y = card.y + b.y - 4 + drop - 18;
			if (Math.random() < 0.3)
				Text.setText(head, glyph(), 16, 0xEFFFEF, TextFormatAlign.CENTER);
		}
		g.endFill();
		curtain.x = card.x;
		curtain.y = card.y;
		if (curtain.parent == null)
			scene.cards.addChild(curtain);
		card.mask = curtain;
	}

	function uncover(card:Card) {
		for (head in heads)
			head.visible = false;
		if (card.mask == curtain) {
			card.mask = null;
			scene.cards.removeChild(curtain);
		}
	}

	// A dark plate under each card keeps the rain from running through the letters.
	function drawPlates() {
		var g = plate.graphics;
		g.clear();
		for (card in [for (c in plates.keys()) if (c.parent == null) c])
			plates.remove(card);
		for (card => shown in plates) {
			var b = card.inkedOnStage();
			g.beginFill(0x000000, 0.85 * shown);
			g.drawRoundRect(b.x - 14, b.y - 10, b.width + 28, b.height + 20, 12, 12);
			g.endFill();
		}
	}

	static function clamp(t:Float):Float {
		return t < 0 ? 0 : t > 1 ? 1 : t;
	}

	static function glyph():String {
		return GLYPHS.charAt(Std.random(GLYPHS.length));
	}

	static function glyphColumn(length:Int):String {
		return [for (_ in 0...length) glyph()].join("\n");
	}
}

package effects;

import flash.display.Shape;
import lq.Card;
import lq.Effect;
import lq.Scene;

// Vector: a blueprint. Thin lines sweep across a grid; for each card, four lines shoot in from the
// stage's edges and draw the frame in which the text then appears, wiped in from the left.
class VectorFrame extends Effect {
	final frames = new Map<Card, Float>(); // how far each card's frame is drawn, 0 to 1
	final frameShape = new Shape();
	final sweep = new Shape();
	final wipe = new Shape();

	public function new() {
		super();
		palette = {background: 0x0B1D33, title: 0xFFFFFF, heading: 0x7FDBFF, body: 0xEAF6FF};
		revealSeconds = 0.9;
		hideSeconds = 0.5;
	}

	override public function start() {
		super.start();
		var grid = new Shape();
		var g = grid.graphics;
		g.lineStyle(1, 0x1C3A5E);
		var x = 0;
		while (x <= Scene.WIDTH) {
			g.moveTo(x, 0);
			g.lineTo(x, Scene.HEIGHT);
			x += 25;
		}
		var y = 0;
		while (y <= Scene.HEIGHT) {
			g.moveTo(0, y);
			g.lineTo(Scene.WIDTH, y);
			y += 25;
		}
		grid.cacheAsBitmap = true;
		scene.back.addChild(grid);
		scene.back.addChild(sweep);
		scene.back.addChild(frameShape);
	}

	// Two lines cross the grid slowly, one across, one down; the frames follow their cards.
	override public function update(time:Float) {
		var g = sweep.graphics;
		g.clear();
		g.lineStyle(2, 0x2F6FA8, 0.8);
		var x = (time * 60) % (Scene.WIDTH + 200) - 100;
		g.moveTo(x, 0);
		g.lineTo(x - 100, Scene.HEIGHT);
		var y = (time * 35) % (Scene.HEIGHT + 100) - 50;
		g.moveTo(0, y);
		g.lineTo(Scene.WIDTH, y + 40);
		drawFrames();
	}

	override public function reveal(card:Card, p:Float) {
		frames.set(card, Math.min(1, p / 0.6));
		var text = Math.max(0, (p - 0.45) / 0.55);
		card.alpha = 1;
		if (text < 1) {
			// Wiped in from the left behind a moving edge: a mask keeps the card's bitmap.
			var b = card.inked;
			wipe.graphics.clear();
			wipe.graphics.beginFill(0);
			wipe.graphics.drawRect(b.x - 4, b.y - 4, (b.width + 8) * text, b.height + 8);
			wipe.graphics.endFill();
			wipe.x = card.x;
			wipe.y = card.y;
			if (wipe.parent == null)
				scene.cards.addChild(wipe);
			card.mask = wipe;
		} else
			unmask(card);
	}

	function unmask(card:Card) {
		if (card.mask == wipe) {
			card.mask = null;
			scene.cards.removeChild(wipe);
		}
	}

	override public function hold(card:Card, p:Float) {
		unmask(card);
		frames.set(card, 1);
	}

	override public function hide(card:Card, p:Float) {
		frames.set(card, 1 - p);
		card.alpha = 1 - p;
		if (p >= 1)
			frames.remove(card);
	}

	function drawFrames() {
		var g = frameShape.graphics;
		g.clear();
		for (card in [for (c in frames.keys()) if (c.parent == null) c])
			frames.remove(card);
		for (card => drawn in frames) {
			var b = card.inkedOnStage();
			var left = b.x - 10, top = b.y - 8, right = b.right + 10, bottom = b.bottom + 8;
			var e = ease(drawn);
			g.lineStyle(2, 0x7FDBFF, 0.9);
			// Each side shoots in from beyond the stage and stops at the corner it ends in.
			g.moveTo(lerp(-20, left - 14, e), top);
			g.lineTo(lerp(-20, right + 14, e), top);
			g.moveTo(lerp(Scene.WIDTH + 20, right + 14, e), bottom);
			g.lineTo(lerp(Scene.WIDTH + 20, left - 14, e), bottom);
			g.moveTo(left, lerp(-20, top - 14, e));
			g.lineTo(left, lerp(-20, bottom + 14, e));
			g.moveTo(right, lerp(Scene.HEIGHT + 20, bottom + 14, e));
			g.lineTo(right, lerp(Scene.HEIGHT + 20, top - 14, e));
			if (e > 0.95) {
				g.lineStyle(0, 0, 0);
				g.beginFill(0x0B1D33, 0.85 * (e - 0.95) * 20);
				g.drawRect(left + 1, top + 1, right - left - 2, bottom - top - 2);
				g.endFill();
			}
		}
	}

	static function ease(t:Float):Float {
		return 1 - (1 - t) * (1 - t) * (1 - t);
	}

	static function lerp(a:Float, b:Float, t:Float):Float {
		return a + (b - a) * t;
	}
}

package effects;

import flash.display.GradientType;
import flash.display.Graphics;
import flash.display.Shape;
import flash.geom.Matrix;
import lq.Card;
import lq.Scene;

// flower: flowers grow, open and sway along a meadow, petals drift by, and each section blooms out
// of a great flower that opens behind it, stands while it is read, and folds back into the bud.
class Flower extends lq.Effect {
	final meadow = new Shape();
	final blossom = new Shape();
	var dressed:Null<Card>; // the card that has its panel

	public function new() {
		super();
		revealSeconds = 1.4;
		hideSeconds = 0.8;
		palette = {background: 0xFFF1F4, title: 0x8E1048, heading: 0xC2185B, body: 0x35232D};
	}

	override public function start() {
		var g = scene.back.graphics;
		var box = new Matrix();
		box.createGradientBox(Scene.WIDTH, Scene.HEIGHT, Math.PI / 2);
		g.beginGradientFill(GradientType.LINEAR, [0xFFE3EC, 0xFFF6E9, 0xDDF3D6], [1, 1, 1], [0, 140, 255], box);
		g.drawRect(0, 0, Scene.WIDTH, Scene.HEIGHT);
		g.endFill();
		g.beginFill(0x9BD38A); // the hill the flowers stand on
		g.moveTo(0, 360);
		g.curveTo(140, 320, 280, 352);
		g.curveTo(420, 384, 550, 340);
		g.lineTo(550, 400);
		g.lineTo(0, 400);
		g.endFill();
		scene.back.addChild(meadow);
		scene.back.addChild(blossom);
	}

	// Each flower of the meadow lives a cycle of its own: its stem grows, it opens, sways, closes.
	override public function update(time:Float) {
		var g = meadow.graphics;
		g.clear();
		for (i in 0...FLOWERS) {
			var cycle = 9.0 + (i % 3);
			var age = (time + i * 1.37) % cycle;
			var round = Math.floor((time + i * 1.37) / cycle);
			var x = 18 + ((i * 71 + round * 37) % 514);
			var ground = 352 + 22 * Math.sin(x / 90);
			var grow = Motion.smooth(Math.min(1, age / 1.6));
			var open = Motion.easeOut(Motion.clamp((age - 1.2) / 1.4)) * (1 - Motion.smooth(Motion.clamp((age - cycle + 1.2) / 1.2)));
			var sway = Math.sin(time * 1.6 + i) * 6;
			var height = (40 + (i * 23) % 60) * grow;
			var headX = x + sway * grow, headY = ground - height;
			g.lineStyle(2.5, 0x4E9A3E);
			g.moveTo(x, ground);
			g.curveTo(x - sway, ground - height / 2, headX, headY);
			g.lineStyle();
			drawFlower(g, headX, headY, (15 + (i % 4) * 4) * open, COLOURS[(i + round) % COLOURS.length], time * 0.4 + i, 6, 1);
		}
		for (i in 0...DRIFTING) { // petals carried by the wind
			var t = (time * 0.07 + i / DRIFTING) % 1;
			var px = -20 + t * 600, py = 40 + ((i * 97) % 240) + 25 * Math.sin(t * 9 + i);
			drawPetal(g, px, py, time * 1.5 + i, 18, 9, COLOURS[i % COLOURS.length], 0.7);
		}
	}

	override public function reveal(card:Card, progress:Float) {
		if (card != dressed) {
			dressed = card;
			addPanel(card);
		}
		var open = Motion.easeOut(progress);
		var grown = Motion.backOut(Math.min(1, progress / 0.85));
		card.scaleX = card.scaleY = card.restScale * Math.max(0.02, grown);
		card.rotation = -30 * (1 - grown);
		card.alpha = Math.min(1, progress * 2.5);
		drawBlossom(card, open, 1 - Motion.smooth(Motion.clamp((progress - 0.5) / 0.5)));
	}

	override public function hold(card:Card, progress:Float) {
		blossom.graphics.clear();
	}

	override public function hide(card:Card, progress:Float) {
		var closed = Motion.easeIn(progress);
		card.scaleX = card.scaleY = card.restScale * Math.max(0.02, 1 - closed);
		card.rotation = 40 * closed;
		card.alpha = 1 - closed;
		drawBlossom(card, 1 - progress, Math.sin(progress * Math.PI) * 0.9);
		if (progress >= 1)
			blossom.graphics.clear();
	}

	// A soft panel inside the card, under its text, that blooms with it.
	function addPanel(card:Card) {
		var b = card.bounds, pad = 16.0;
		var shape = new Shape();
		shape.graphics.lineStyle(2, 0xF48FB1);
		shape.graphics.beginFill(0xFFFFFF, 0.9);
		shape.graphics.drawRoundRect(-b.width / 2 - pad, -b.height / 2 - pad, b.width + 2 * pad, b.height + 2 * pad, 48, 48);
		shape.graphics.endFill();
		card.addChildAt(shape, 0);
	}

	// The great flower behind a card: its petals reach past the card's corners as it opens.
	function drawBlossom(card:Card, open:Float, alpha:Float) {
		var g = blossom.graphics;
		g.clear();
		if (alpha <= 0)
			return;
		var reach = Math.sqrt(card.bounds.width * card.bounds.width + card.bounds.height * card.bounds.height) * 0.62;
		drawFlower(g, card.restX, card.restY, reach * open, 0xF06292, open * 1.2, 10, alpha);
	}

	static function drawFlower(g:Graphics, x:Float, y:Float, size:Float, colour:Int, turn:Float, petals:Int, alpha:Float) {
		if (size < 0.5)
			return;
		for (k in 0...petals)
			drawPetal(g, x, y, turn + k * 2 * Math.PI / petals, size, size * 0.45, colour, alpha);
		g.beginFill(0xFFD54F, alpha);
		g.drawCircle(x, y, size * 0.28);
		g.endFill();
	}

	static function drawPetal(g:Graphics, x:Float, y:Float, angle:Float, length:Float, width:Float, colour:Int, alpha:Float) {
		var c = Math.cos(angle), s = Math.sin(angle);
		g.beginFill(colour, alpha);
		g.moveTo(x, y);
		g.curveTo(x + c * length * 0.55 - s * width, y + s * length * 0.55 + c * width, x + c * length, y + s * length);
		g.curveTo(x + c * length * 0.55 + s * width, y + s * length * 0.55 - c * width, x, y);
		g.endFill();
	}

	static inline var FLOWERS = 9;
	static inline var DRIFTING = 7;
	static final COLOURS = [0xF06292, 0xBA68C8, 0xFFB74D, 0x4FC3F7, 0xE57373, 0xFFF176];
}

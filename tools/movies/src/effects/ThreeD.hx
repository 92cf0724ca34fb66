package effects;

import flash.display.GradientType;
import flash.display.Shape;
import flash.geom.Matrix;
import lq.Card;
import lq.Scene;

// 3d: a floor of light runs towards the viewer under a night sky, and each section turns in from
// the depth on a panel, alternately about its vertical and its horizontal axis, stands facing the
// reader while it is read, and turns away into the depth on the other side.
class ThreeD extends lq.Effect {
	final floor = new Shape();
	final panel = new Shape();
	var current:Null<Card>;
	var cardsShown = 0;

	public function new() {
		super();
		revealSeconds = 1.1;
		hideSeconds = 0.8;
		palette = {background: 0x0A0F2C, title: 0xFFFFFF, heading: 0x7FE3FF, body: 0xF2F6FF};
	}

	override public function start() {
		var g = scene.back.graphics;
		var box = new Matrix();
		box.createGradientBox(Scene.WIDTH, Scene.HEIGHT, Math.PI / 2);
		g.beginGradientFill(GradientType.LINEAR, [0x05081C, 0x1B1250, 0x2A0F45], [1, 1, 1], [0, 150, 255], box);
		g.drawRect(0, 0, Scene.WIDTH, Scene.HEIGHT);
		g.endFill();
		scene.back.addChild(floor);
		scene.back.addChild(panel);
	}

	// The floor's lines: rails to the vanishing point and cross lines that come nearer.
	override public function update(time:Float) {
		var g = floor.graphics;
		g.clear();
		var cx = Scene.WIDTH / 2;
		g.lineStyle(1, 0x36C5FF, 0.35);
		for (i in -8...9) {
			g.moveTo(cx, HORIZON);
			g.lineTo(cx + i * 90, Scene.HEIGHT);
		}
		var spacing = 60.0, travelled = (time * 90) % spacing;
		for (k in 0...14) {
			var z = k * spacing - travelled + 8;
			var y = HORIZON + (Scene.HEIGHT - HORIZON) * 40 / (40 + z);
			g.lineStyle(1, 0x36C5FF, Math.min(0.5, 0.6 * (y - HORIZON) / (Scene.HEIGHT - HORIZON)));
			g.moveTo(0, y);
			g.lineTo(Scene.WIDTH, y);
		}
		g.lineStyle();
		for (i in 0...24) { // stars
			var twinkle = 0.35 + 0.35 * Math.sin(time * 2.3 + i * 1.7);
			g.beginFill(0xFFFFFF, twinkle);
			g.drawCircle((i * 97 + 31) % Scene.WIDTH, (i * 53 + 11) % HORIZON, 1.3);
			g.endFill();
		}
	}

	override public function reveal(card:Card, progress:Float) {
		if (card != current) {
			current = card;
			cardsShown++;
		}
		turn(card, 1 - Motion.easeOut(progress), 1);
		card.alpha = Math.min(1, progress * 4);
	}

	override public function hold(card:Card, progress:Float) {
		turn(card, 0, 1);
	}

	override public function hide(card:Card, progress:Float) {
		turn(card, Motion.easeIn(progress), -1);
		card.alpha = 1 - Motion.easeIn(progress);
		if (progress >= 1)
			panel.graphics.clear();
	}

	// away: 0 facing the reader at rest, 1 turned edge-on and far; side: from which side.
	function turn(card:Card, away:Float, side:Int) {
		var aboutVertical = cardsShown % 2 == 1;
		var angle = side * away * 88 * Depth.RADIANS;
		var yaw = aboutVertical ? angle : away * 12 * Depth.RADIANS;
		var pitch = aboutVertical ? -away * 10 * Depth.RADIANS : angle;
		var depth = away * 500;
		var w = card.bounds.width * card.restScale, h = card.bounds.height * card.restScale;
		var g = panel.graphics;
		g.clear();
		var outline = Depth.corners(w + 2 * PADDING, h + 2 * PADDING, 0, yaw, pitch, depth, card.restX, card.restY);
		var fade = 1 - away;
		Depth.drawQuad(g, outline, 0x101A45, 0.82 * fade + 0.1, 0x7FE3FF, fade);
		// Also at rest: the framework's rest sets scale and rotation, which leave a shear standing.
		Depth.fit(card, Depth.corners(w, h, 0, yaw, pitch, depth, card.restX, card.restY), card.bounds.width, card.bounds.height);
	}

	static inline var HORIZON = 230;
	static inline var PADDING = 14;
}

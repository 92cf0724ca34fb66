package effects;

import flash.display.Shape;
import flash.geom.Point;
import lq.Card;
import lq.Scene;

// spirograph: a wheel rolls inside a ring and its pen draws a figure; each section rides the pen
// along the curve as it is drawn, then leaves it, grows and settles upright to be read while the
// figure turns slowly behind it; then the section spirals into the middle and the figure fades.
class Spirograph extends lq.Effect {
	final ghost = new Shape(); // the figure before, faint
	final figure = new Shape();
	final wheel = new Shape();
	var current:Null<Card>;
	var points:Array<Point> = [];
	var previous:Array<Point> = [];
	var shapes = 0;

	public function new() {
		super();
		revealSeconds = 2.2;
		hideSeconds = 0.9;
		palette = {background: 0x0D0A1E, title: 0xFFFFFF, heading: 0xFFD166, body: 0xF8F4FF};
	}

	override public function start() {
		super.start();
		for (layer in [ghost, figure, wheel]) {
			layer.x = Scene.WIDTH / 2;
			layer.y = Scene.HEIGHT / 2;
			scene.back.addChild(layer);
		}
	}

	override public function update(time:Float) {
		figure.rotation = time * 6; // the figure turns slowly, even while a section is read
		ghost.rotation = -time * 3;
	}

	override public function reveal(card:Card, progress:Float) {
		if (card != current) {
			current = card;
			newFigure();
			addPanel(card);
		}
		var drawn = Std.int(points.length * Math.min(1, progress / 0.8));
		drawLines(figure, points, colour, 0.85, drawn);
		var pen = points[Std.int(Math.max(0, drawn - 1))], before = points[Std.int(Math.max(0, drawn - 4))];
		var along = Math.atan2(pen.y - before.y, pen.x - before.x) * 180 / Math.PI;
		// The pen in stage coordinates: the figure is turned.
		var turned = figure.rotation * Depth.RADIANS;
		var penX = figure.x + pen.x * Math.cos(turned) - pen.y * Math.sin(turned);
		var penY = figure.y + pen.x * Math.sin(turned) + pen.y * Math.cos(turned);
		var settle = Motion.smooth(Math.max(0, (progress - 0.55) / 0.45));
		card.x = penX + (card.restX - penX) * settle;
		card.y = penY + (card.restY - penY) * settle;
		card.rotation = normalised(along + figure.rotation) * (1 - settle);
		card.scaleX = card.scaleY = card.restScale * (0.22 + 0.78 * settle);
		card.alpha = Math.min(1, progress * 5);
		drawWheel(drawn, 1 - settle);
	}

	override public function hold(card:Card, progress:Float) {
		drawWheel(0, 0);
	}

	override public function hide(card:Card, progress:Float) {
		var e = Motion.easeIn(progress);
		card.rotation = 300 * e;
		card.scaleX = card.scaleY = card.restScale * (1 - e);
		card.x = card.restX + (figure.x - card.restX) * e;
		card.y = card.restY + (figure.y - card.restY) * e;
		card.alpha = 1 - e;
		figure.alpha = 1 - e;
	}

	// A figure of its own for each card: another wheel, another pen, another colour.
	function newFigure() {
		var shape = SHAPES[shapes % SHAPES.length];
		var ring = shape[0], wheelRadius = shape[1], pen = shape[2];
		var reach = ring - wheelRadius + pen, scale = 185 / reach;
		var turns = wheelRadius / gcd(Std.int(ring), Std.int(wheelRadius));
		var steps = Std.int(220 * turns);
		points = [];
		for (i in 0...steps + 1) {
			var t = i / steps * turns * 2 * Math.PI;
			var k = (ring - wheelRadius) / wheelRadius;
			points.push(new Point(((ring - wheelRadius) * Math.cos(t) + pen * Math.cos(k * t)) * scale,
				((ring - wheelRadius) * Math.sin(t) - pen * Math.sin(k * t)) * scale));
		}
		drawLines(ghost, previous, colour, 0.18);
		previous = points;
		figure.alpha = 1;
		wheelScale = scale;
		wheelShape = shape;
		colour = COLOURS[shapes % COLOURS.length];
		shapes++;
	}

	var wheelScale = 1.0;
	var wheelShape:Array<Float> = SHAPES[0];
	var colour = 0xFFFFFF;

	static function drawLines(layer:Shape, points:Array<Point>, colour:Int, alpha:Float, ?count:Int) {
		var g = layer.graphics;
		g.clear();
		var n = count == null ? points.length : count;
		if (n < 2)
			return;
		g.lineStyle(2, colour, alpha);
		g.moveTo(points[0].x, points[0].y);
		for (i in 1...n)
			g.lineTo(points[i].x, points[i].y);
	}

	// The wheel that rolls inside the ring, with its pen, while the figure is drawn.
	function drawWheel(drawn:Int, alpha:Float) {
		var g = wheel.graphics;
		g.clear();
		if (alpha <= 0 || drawn < 1)
			return;
		wheel.rotation = figure.rotation;
		var ring = wheelShape[0] * wheelScale, radius = wheelShape[1] * wheelScale;
		var t = (drawn - 1) / (points.length - 1) * (wheelShape[1] / gcd(Std.int(wheelShape[0]), Std.int(wheelShape[1]))) * 2 * Math.PI;
		g.lineStyle(1.5, 0xFFFFFF, 0.35 * alpha);
		g.drawCircle(0, 0, ring);
		g.drawCircle((ring - radius) * Math.cos(t), (ring - radius) * Math.sin(t), radius);
		var pen = points[drawn - 1];
		g.lineStyle();
		g.beginFill(0xFFFFFF, alpha);
		g.drawCircle(pen.x, pen.y, 4);
		g.endFill();
	}

	// A dark panel under the text, so that the lines behind never cross a letter.
	static function addPanel(card:Card) {
		var b = card.bounds, pad = 14.0;
		var shape = new Shape();
		shape.graphics.beginFill(0x0D0A1E, 0.78);
		shape.graphics.drawRoundRect(-b.width / 2 - pad, -b.height / 2 - pad, b.width + 2 * pad, b.height + 2 * pad, 24, 24);
		shape.graphics.endFill();
		card.addChildAt(shape, 0);
	}

	static function normalised(degrees:Float):Float {
		var d = degrees % 360;
		return d > 180 ? d - 360 : d < -180 ? d + 360 : d;
	}

	static function gcd(a:Int, b:Int):Int {
		return b == 0 ? a : gcd(b, a % b);
	}

	// Ring, wheel and pen: figures with few turns, so that each is drawn in one reveal.
	static final SHAPES:Array<Array<Float>> = [[96, 36, 60], [105, 42, 70], [100, 30, 55], [90, 54, 70]];
	static final COLOURS = [0xFF6B9A, 0x6BD6FF, 0xFFD166, 0x9B7BFF, 0x6BFFB8];
}

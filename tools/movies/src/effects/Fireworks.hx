package effects;

import flash.display.GradientType;
import flash.display.Shape;
import flash.geom.Matrix;
import flash.geom.Rectangle;
import lq.Card;
import lq.Effect;
import lq.Scene;

// One burst of sparks of one colour; sparks fly free under gravity, or home in on targets.
private class Burst {
	public final color:Int;
	public final x:Array<Float> = [];
	public final y:Array<Float> = [];
	public final vx:Array<Float> = [];
	public final vy:Array<Float> = [];
	public final tx:Array<Float> = [];
	public final ty:Array<Float> = [];
	public var age = 0.0;
	public var life:Float;
	public var homing = false;

	public function new(color:Int, life:Float) {
		this.color = color;
		this.life = life;
	}

	public function spark(px:Float, py:Float, speed:Float, angle:Float) {
		x.push(px);
		y.push(py);
		vx.push(Math.cos(angle) * speed);
		vy.push(Math.sin(angle) * speed);
	}
}

// Fireworks: rockets climb a night sky and burst. Each card is a burst of its own whose sparks
// fly out, turn, and settle into the letters, which light up where they land; at the end its
// sparks fall away.
class Fireworks extends Effect {
	static final COLORS = [0xFFC247, 0xFF5E7E, 0x6FD3FF, 0xB78CFF, 0x7CFFB0, 0xFFFFFF];

	final sky = new Shape();
	final sparks = new Shape();
	final glow = new Shape();
	var bursts:Array<Burst> = [];
	var rocket:Null<{x:Float, y:Float, top:Float}> = null;
	var nextRocket = 0.5;
	var lastTime = 0.0;
	final cardBursts = new Map<Card, Burst>();

	public function new() {
		super();
		palette = {background: 0x060A1C, title: 0xFFF3D6, heading: 0xFFB347, body: 0xF6F2FF};
		revealSeconds = 1.1;
		hideSeconds = 0.7;
		// Short, as cube's: the title reads on in the banner.
		titleSeconds = 0.3;
	}

	override public function start() {
		var g = sky.graphics;
		var m = new Matrix();
		m.createGradientBox(Scene.WIDTH, Scene.HEIGHT, Math.PI / 2);
		g.beginGradientFill(GradientType.LINEAR, [0x03051A, 0x1B1242], [1, 1], [0, 255], m);
		g.drawRect(0, 0, Scene.WIDTH, Scene.HEIGHT);
		g.endFill();
		for (i in 0...70) {
			g.beginFill(0xFFFFFF, 0.2 + 0.5 * Math.random());
			g.drawCircle(Math.random() * Scene.WIDTH, Math.random() * Scene.HEIGHT * 0.8, 0.5 + Math.random());
			g.endFill();
		}
		sky.cacheAsBitmap = true;
		scene.back.addChild(sky);
		// Sparks fly behind a soft plate under the letters, which dims those that cross them.
		scene.back.addChild(sparks);
		scene.back.addChild(glow);
	}

	override public function update(time:Float) {
		var dt = Math.min(0.1, time - lastTime);
		lastTime = time;
		launchRockets(time, dt);
		for (burst in bursts)
			move(burst, dt);
		bursts = bursts.filter(b -> b.age < b.life);
		draw();
	}

	// Now and then a rocket climbs the sky beside the texts and bursts.
	function launchRockets(time:Float, dt:Float) {
		if (rocket == null && time >= nextRocket) {
			var left = Math.random() < 0.5;
			rocket = {x: left ? 30 + Math.random() * 90 : Scene.WIDTH - 30 - Math.random() * 90, y: Scene.HEIGHT, top: 60 + Math.random() * 140};
		}
		if (rocket == null)
			return;
		rocket.y -= 320 * dt;
		if (rocket.y <= rocket.top) {
			bursts.push(explode(rocket.x, rocket.y, 36, 150, 1.6));
			rocket = null;
			nextRocket = time + 0.8 + Math.random() * 1.4;
		}
	}

	function explode(x:Float, y:Float, count:Int, speed:Float, life:Float):Burst {
		var burst = new Burst(COLORS[Std.random(COLORS.length)], life);
		for (i in 0...count)
			burst.spark(x, y, speed * (0.4 + 0.6 * Math.random()), i * 2 * Math.PI / count + Math.random() * 0.2);
		return burst;
	}

	function move(burst:Burst, dt:Float) {
		burst.age += dt;
		for (i in 0...burst.x.length) {
			if (burst.homing) {
				// Closes in on its letter, ever faster, arriving as the card lights up.
				var k = Math.min(1, dt * 7);
				burst.x[i] += (burst.tx[i] - burst.x[i]) * k;
				burst.y[i] += (burst.ty[i] - burst.y[i]) * k;
			} else {
				burst.vy[i] += 140 * dt;
				burst.vx[i] *= 1 - 1.2 * dt;
				burst.vy[i] *= 1 - 1.2 * dt;
				burst.x[i] += burst.vx[i] * dt;
				burst.y[i] += burst.vy[i] * dt;
			}
		}
	}

	function draw() {
		var g = sparks.graphics;
		g.clear();
		for (burst in bursts) {
			var fade = 1 - burst.age / burst.life;
			g.lineStyle(2, burst.color, fade);
			for (i in 0...burst.x.length) {
				var trailX = burst.homing ? 0.0 : burst.vx[i] * 0.04;
				var trailY = burst.homing ? 0.0 : burst.vy[i] * 0.04;
				g.moveTo(burst.x[i] - trailX, burst.y[i] - trailY);
				g.lineTo(burst.x[i] + 1, burst.y[i] + 1);
			}
		}
		if (rocket != null) {
			g.lineStyle(2, 0xFFE7A8, 1);
			g.moveTo(rocket.x, rocket.y + 14);
			g.lineTo(rocket.x, rocket.y);
		}
	}

	override public function reveal(card:Card, p:Float) {
		var burst = cardBursts.get(card);
		if (burst == null) {
			var b = card.inkedOnStage();
			burst = explode(b.x + b.width / 2, b.y + b.height / 2, card.isTitle ? 90 : 60, 260, revealSeconds + 0.3);
			aimAt(burst, b);
			cardBursts.set(card, burst);
			bursts.push(burst);
		}
		burst.homing = p > 0.3;
		card.alpha = Math.max(0, (p - 0.45) / 0.55);
		drawGlow(card, card.alpha);
	}

	// Every spark gets a place among the letters to land on.
	function aimAt(burst:Burst, letters:Rectangle) {
		for (i in 0...burst.x.length) {
			burst.tx.push(letters.x + Math.random() * letters.width);
			burst.ty.push(letters.y + Math.random() * letters.height);
		}
	}

	override public function hold(card:Card, p:Float) {
		cardBursts.remove(card);
		drawGlow(card, 1);
	}

	override public function hide(card:Card, p:Float) {
		if (!cardBursts.exists(card)) {
			var b = card.inkedOnStage();
			var fall = new Burst(0xFFC247, hideSeconds + 0.6);
			for (i in 0...40)
				fall.spark(b.x + Math.random() * b.width, b.y + Math.random() * b.height, 30 + 40 * Math.random(), Math.PI * (0.2 + 0.6 * Math.random()));
			cardBursts.set(card, fall);
			bursts.push(fall);
		}
		card.alpha = 1 - p;
		drawGlow(card, 1 - p);
		if (p >= 1)
			cardBursts.remove(card);
	}

	// The plate under the card's letters, as strong as the card is lit.
	function drawGlow(card:Card, strength:Float) {
		if (card.isTitle && card.restScale != 1)
			return;
		var b = card.inkedOnStage();
		var g = glow.graphics;
		g.clear();
		g.beginFill(0x05081A, 0.7 * strength);
		g.drawRoundRect(b.x - 16, b.y - 12, b.width + 32, b.height + 24, 24, 24);
		g.endFill();
	}
}

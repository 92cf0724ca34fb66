package effects;

import flash.display.Shape;
import flash.geom.Rectangle;
import lq.Card;
import lq.Scene;

// cube: a cube flies in and turns from face to face, one section on each face, under the site's
// title. Each turn shows two faces at once, the face that leaves and the one that comes, tilted a
// little so that its top shows; at rest the face with the section stands square to the reader.
class Cube extends lq.Effect {
	final body = new Shape();
	final glow = new Shape();
	var face = 0; // which face of the four around the cube carries the card at rest
	var onStage = false; // the cube has flown in
	var current:Null<Card>;
	// The face's middle and height: those of the text area the current card stands in.
	var centreY = Scene.HEIGHT / 2;
	var height = 300.0;

	public function new() {
		super();
		revealSeconds = 1.0;
		// The title stays readable in the banner above the cube: a shorter hold lets the first
		// face be read within three seconds of the start.
		titleSeconds = 0.5;
		hideSeconds = 0.9;
		palette = {background: 0x101820, title: 0xFFFFFF, heading: 0xFFE08A, body: 0xFFFFFF};
	}

	// Narrower than the stage, so that the cube's two faces fit on it while it turns.
	override public function textArea(belowBanner:Bool):Rectangle {
		var top = belowBanner ? lq.Effect.BANNER_HEIGHT + 14 : 34.0;
		return new Rectangle((Scene.WIDTH - WIDTH) / 2, top, WIDTH, Scene.HEIGHT - BOTTOM - top);
	}

	override public function start() {
		scene.back.addChild(Backdrop.radial(0x2B3A55, 0x0B1118));
		scene.back.addChild(glow);
		scene.back.addChild(body);
	}

	override public function update(time:Float) {
		var g = glow.graphics; // slow squares rising behind the cube
		g.clear();
		for (i in 0...14) {
			var t = (time * 0.05 + i / 14) % 1;
			var size = 6 + (i * 7) % 14;
			g.lineStyle(1, COLOURS[i % COLOURS.length], 0.5 * Math.sin(t * Math.PI));
			g.drawRect((i * 137) % Scene.WIDTH, Scene.HEIGHT + 20 - t * (Scene.HEIGHT + 60), size, size);
		}
		g.lineStyle();
	}

	override public function reveal(card:Card, progress:Float) {
		var e = Motion.smooth(progress);
		if (card.isTitle) { // the title comes alone, large; the cube makes way for it
			card.scaleX = card.scaleY = card.restScale * (0.6 + 0.4 * Motion.easeOut(progress));
			card.alpha = progress;
			if (onStage)
				draw(-e * Math.PI / 2, 600 * e, null, 1 - e);
			if (progress >= 1) {
				onStage = false;
				body.graphics.clear();
			}
			return;
		}
		if (card != current) {
			current = card;
			centreY = card.restY;
			height = 2 * (Scene.HEIGHT - BOTTOM - card.restY) + 2 * PADDING;
			if (onStage) // the face that came in from the right during the hide is the front now
				face = (face + 3) % COLOURS.length;
		}
		if (!onStage) { // it flies in from the depth, turning a quarter
			draw((1 - e) * -Math.PI / 2, 900 * (1 - e), card, 1);
		} else { // the second half of a turn: the new face comes to rest
			draw((1 - e) * -Math.PI / 4, 0, card, 1);
		}
		if (progress >= 1)
			onStage = true;
	}

	override public function hold(card:Card, progress:Float) {
		if (!card.isTitle)
			draw(0, 0, null, 1);
	}

	override public function hide(card:Card, progress:Float) {
		if (card.isTitle) {
			card.alpha = 1 - progress;
			return;
		}
		draw(Motion.smooth(progress) * Math.PI / 4, 0, card, 1);
	}

	// The cube turned by `turn` from the current face at rest, pushed back while it turns so that
	// it fits the stage, with the card on the current face.
	function draw(turn:Float, further:Float, card:Null<Card>, alpha:Float) {
		var w = WIDTH + 2 * PADDING, h = height, half = w / 2;
		var cx = Scene.WIDTH / 2, cy = centreY;
		var depth = further + 330 * Math.sin(Math.abs(turn) * 2 > Math.PI ? Math.PI : Math.abs(turn) * 2);
		var pitch = 10 * Depth.RADIANS * Math.sin(Math.min(Math.PI, Math.abs(turn) * 4));
		var g = body.graphics;
		g.clear();
		// The four faces around, the far ones first; each facing the reader is drawn.
		var faces = [for (k in 0...4) k];
		faces.sort((a, b) -> Depth.depthOf(0, 0, -half, turn + b * Math.PI / 2, pitch) > Depth.depthOf(0, 0, -half, turn + a * Math.PI / 2, pitch) ? 1 : -1);
		if (card != null)
			card.visible = false; // until its face turns towards the reader
		for (k in faces) {
			var yaw = turn + k * Math.PI / 2;
			var corners = Depth.corners(w, h, half, yaw, pitch, depth, cx, cy);
			if (!Depth.facesViewer(corners))
				continue;
			if (k == 0 && card != null)
				card.visible = true;
			var colour = COLOURS[(face + k) % COLOURS.length];
			Depth.drawQuad(g, corners, colour, 0.92 * alpha, 0xFFFFFF, 0.8 * alpha, 3);
			if (k == 0 && card != null)
				Depth.fit(card, Depth.corners(card.bounds.width * card.restScale, card.bounds.height * card.restScale, half, yaw,
					pitch, depth, card.restX, card.restY), card.bounds.width, card.bounds.height);
		}
		if (pitch > 0) { // the top, seen from a little above
			var top = [
				for (c in [[-1, -1], [1, -1], [1, 1], [-1, 1]])
					Depth.project(c[0] * half, -h / 2, c[1] * half, turn, pitch, depth + half, cx, cy)
			];
			Depth.drawQuad(g, top, 0xFFFFFF, 0.25 * alpha, 0xFFFFFF, 0.8 * alpha, 3);
		}
	}

	static inline var WIDTH = 400;
	static inline var PADDING = 12;
	static inline var BOTTOM = 30;
	static final COLOURS = [0x1E6F9F, 0x9C2F5E, 0x2E7D4F, 0x8A5A12];
}

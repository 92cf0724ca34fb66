package lq;

import flash.display.Sprite;
import flash.geom.Rectangle;
import flash.text.TextField;
import flash.text.TextFormatAlign;

// One page on the stage: a section's heading over one page of its text, or the site's title.
// Its origin is the middle of the text block, so that an effect can turn or scale it in place;
// at rest it stands upright, unscaled and opaque where the layout put it.
class Card extends Sprite {
	public final isTitle:Bool;
	public final heading:Null<TextField>;
	public final body:TextField;
	public final text:String; // the page's text, as shown
	public final headingText:String; // "" for the title
	public final size:Int; // of the body text
	public final readingSeconds:Float;
	// The text block at rest, in stage coordinates: as wide as the area it was laid out in.
	public final bounds:Rectangle;
	// Where the letters stand, around the card's origin, unscaled: narrower than bounds when the
	// lines are short. Effects draw around this.
	public final inked:Rectangle;

	public function new(headingText:String, page:Pager.Page, area:Rectangle, palette:Effect.Palette, isTitle:Bool) {
		super();
		this.isTitle = isTitle;
		this.headingText = headingText;
		this.text = page.text;
		this.size = page.size;
		readingSeconds = ContentText.readingSeconds(page.text);
		var centred = isTitle || page.text.length < 160;
		var align = centred ? TextFormatAlign.CENTER : TextFormatAlign.LEFT;
		heading = headingText == "" ? null : Text.field(headingText, HEADING_SIZE, palette.heading, area.width, align);
		body = Text.field(page.text, page.size, isTitle ? palette.title : palette.body, area.width, align);
		var top = heading == null ? 0.0 : heading.height + HEADING_GAP;
		var height = top + body.height;
		bounds = new Rectangle(area.x, area.y + (area.height - height) / 2, area.width, height);
		place(heading, -area.width / 2, -height / 2);
		place(body, -area.width / 2, -height / 2 + top);
		var inkWidth = Math.min(area.width, Math.max(heading == null ? 0 : heading.textWidth, body.textWidth) + 8);
		inked = new Rectangle(centred ? -inkWidth / 2 : -area.width / 2, -height / 2, inkWidth, height);
		// Drawn once into a bitmap: a player draws a page of letters anew in every frame otherwise,
		// which costs more than everything else on the stage (moving and fading keep the bitmap).
		cacheAsBitmap = true;
		restX = bounds.x + bounds.width / 2;
		restY = bounds.y + bounds.height / 2;
		atRest();
	}

	function place(field:Null<TextField>, x:Float, y:Float) {
		if (field == null)
			return;
		field.x = x;
		field.y = y;
		addChild(field);
	}

	// Where it stands still: its place in the layout, until it moves into the banner.
	public var restX(default, null):Float;
	public var restY(default, null):Float;
	public var restScale(default, null) = 1.0;

	public function settleAt(x:Float, y:Float, scale:Float) {
		restX = x;
		restY = y;
		restScale = scale;
	}

	// The letters on the stage as the card stands now, or where it rests while it is clipped.
	public function inkedOnStage():Rectangle {
		var clipped = scrollRect != null;
		var s = scaleX;
		return new Rectangle((clipped ? restX : x) + inked.x * s, (clipped ? restY : y) + inked.y * s, inked.width * s, inked.height * s);
	}

	public function atRest() {
		x = restX;
		y = restY;
		scaleX = scaleY = restScale;
		rotation = 0;
		alpha = 1;
		visible = true;
		scrollRect = null;
	}

	// The height the heading takes above the text, for the pager.
	public static function headingSpace(headingText:String, width:Float):Float {
		return headingText == "" ? 0 : Text.field(headingText, HEADING_SIZE, 0, width, TextFormatAlign.CENTER).height + HEADING_GAP;
	}

	public static inline var HEADING_SIZE = 26;
	static inline var HEADING_GAP = 8;
}

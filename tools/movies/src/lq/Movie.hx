package lq;

import flash.Lib;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.events.SecurityErrorEvent;
import flash.net.URLLoader;
import flash.net.URLLoaderDataFormat;
import flash.net.URLRequest;
import haxe.io.Bytes;

// One section of the site as the movie presents it: the title, or a heading and its text.
private typedef Section = {heading:String, text:String, isTitle:Bool};

private enum Phase {
	Reveal;
	Hold;
	Settle; // the title moves up into the banner while the first section comes in
	Hide;
}

// shown: what the host is told (lq_shown) when the step begins, the moment a page can be read.
private typedef Step = {card:Card, phase:Phase, seconds:Float, ?shown:String};

// A template movie: reads its content files afresh, reports them to its host, and presents the
// site's title and then each section, page by page, through its effect, over and over.
class Movie extends flash.display.Sprite {
	final template:Tables.TemplateRow;
	final effect:Effect;
	final scene = new Scene();
	final texts = new Map<String, Null<String>>(); // by variable; null: file missing
	var pending:Int;
	var startedAt:Float;
	var reported = "";

	// The presentation: what this loop shows, the steps planned next, the title's banner.
	var sections:Array<Section> = [];
	var sectionIndex = 0;
	var pager:Null<Pager>;
	var steps:Array<Step> = [];
	var step:Null<Step>;
	var stepStart = 0.0;
	var banner:Null<Card>;
	var settleStart = 0.0;

	public function new(template:Tables.TemplateRow, effect:Effect) {
		super();
		this.template = template;
		this.effect = effect;
		effect.scene = scene;
		addChild(scene.back);
		addChild(scene.cards);
		addChild(scene.front);
		Lib.fscommand(FRAME_COMMAND, template.effect);
		startedAt = now();
		effect.start();
		pending = template.files.length;
		for (file in template.files)
			load(file);
		addEventListener(Event.ENTER_FRAME, onFrame);
	}

	static function now():Float {
		return Lib.getTimer() / 1000;
	}

	// Every launch reads the files anew: the query keeps any cache between host and movie out.
	function load(file:Tables.ContentFileRow) {
		var loader = new URLLoader();
		loader.dataFormat = URLLoaderDataFormat.BINARY;
		var settle = function(value:Null<String>, arrived:Bool) {
			texts.set(file.variable, arrived ? (value == null ? "" : value) : null);
			pending--;
			report();
		};
		loader.addEventListener(Event.COMPLETE, _ -> settle(ContentText.fromBytes(Bytes.ofData(loader.data)), true));
		loader.addEventListener(IOErrorEvent.IO_ERROR, _ -> settle(null, false));
		loader.addEventListener(SecurityErrorEvent.SECURITY_ERROR, _ -> settle(null, false));
		loader.load(new URLRequest(file.file + "?lq=" + Date.now().getTime()));
	}

	// "complete|Vector|aboutus=6:Café é;services=-1:;": what each section shows, length first.
	function report() {
		var done = pending == 0;
		if (!done && (reported != "" || now() - startedAt < PARTIAL_AFTER_SECONDS))
			return; // at most one partial report, then the complete one
		var text = (done ? "complete" : "partial") + "|" + template.effect + "|";
		for (file in template.files) {
			var value = texts.get(file.variable);
			text += file.variable + "=" + (value == null ? "-1:" : value.length + ":" + value) + ";";
		}
		if (text != reported)
			Lib.fscommand(LOADED_COMMAND, text);
		reported = text;
	}

	function onFrame(_) {
		var time = now();
		if (reported == "")
			report();
		effect.update(time - startedAt);
		if (pending > 0 && time - startedAt < PARTIAL_AFTER_SECONDS)
			return;
		if (step != null && time - stepStart >= step.seconds)
			finish(step);
		if (step == null) {
			step = nextStep();
			stepStart = time;
			if (step == null)
				return;
			if (step.phase == Reveal)
				scene.cards.addChild(step.card);
			if (step.shown != null)
				Lib.fscommand(SHOWN_COMMAND, step.shown);
		}
		play(step, Math.min(1, (time - stepStart) / step.seconds));
		if (banner != null && banner != step.card) {
			var settling = (time - settleStart) / SETTLE_SECONDS;
			if (settling < 1)
				play({card: banner, phase: Settle, seconds: SETTLE_SECONDS}, settling);
			else
				banner.atRest();
		}
	}

	function play(s:Step, progress:Float) {
		switch (s.phase) {
			case Reveal:
				effect.reveal(s.card, progress);
			case Hold:
				s.card.atRest();
				effect.hold(s.card, progress);
			case Settle:
				var eased = progress * progress * (3 - 2 * progress);
				var from = s.card.bounds;
				s.card.x = lerp(from.x + from.width / 2, s.card.restX, eased);
				s.card.y = lerp(from.y + from.height / 2, s.card.restY, eased);
				s.card.scaleX = s.card.scaleY = lerp(1, s.card.restScale, eased);
			case Hide:
				effect.hide(s.card, progress);
		}
	}

	static function lerp(a:Float, b:Float, t:Float):Float {
		return a + (b - a) * t;
	}

	function finish(s:Step) {
		play(s, 1);
		if (s.card == banner && s.phase == Hold)
			settleStart = now();
		if (s.phase == Hide) {
			scene.cards.removeChild(s.card);
			if (s.card == banner)
				banner = null;
		}
		step = null;
	}

	function nextStep():Null<Step> {
		if (steps.length == 0)
			planNextCard();
		return steps.shift();
	}

	// The steps of the next card: the next page of the current section, or the next section's
	// first page; at the end of a loop the banner goes and the sections are taken anew.
	function planNextCard() {
		while (pager == null || !pager.hasNext()) {
			if (sectionIndex >= sections.length) {
				if (banner != null) {
					steps.push({card: banner, phase: Hide, seconds: effect.hideSeconds});
					sectionIndex = 0;
					sections = [];
					return;
				}
				sections = sectionsToShow();
				sectionIndex = 0;
				if (sections.length == 0)
					return;
			}
			var section = sections[sectionIndex++];
			var area = effect.textArea(banner != null);
			var available = area.height - Card.headingSpace(section.heading, area.width);
			pager = new Pager(section.text, new Text.FieldMeasure(area.width), available,
				section.isTitle ? TITLE_SIZE : BODY_SIZE);
			currentHeading = section.heading;
			currentIsTitle = section.isTitle;
		}
		var area = effect.textArea(banner != null);
		var page = pager.next();
		var card = new Card(currentHeading, page, area, effect.palette, currentIsTitle);
		var shown = currentHeading + "|" + page.text;
		steps.push({card: card, phase: Reveal, seconds: effect.revealSeconds});
		if (currentIsTitle && pager.pageCount == 1 && !pager.hasNext() && becomesBanner(card)) {
			banner = card;
			steps.push({card: card, phase: Hold, seconds: effect.titleSeconds, shown: shown});
			return;
		}
		steps.push({card: card, phase: Hold, seconds: card.readingSeconds, shown: shown});
		steps.push({card: card, phase: Hide, seconds: effect.hideSeconds});
	}

	var currentHeading = "";
	var currentIsTitle = false;

	// The title moves into the banner above the sections if it still reads there at 12 px or more.
	function becomesBanner(title:Card):Bool {
		var scale = Math.min(1, (Effect.BANNER_HEIGHT - 8) / title.bounds.height);
		if (title.size * scale < Pager.MIN_SIZE)
			return false;
		title.settleAt(Scene.WIDTH / 2, Effect.BANNER_HEIGHT / 2 + 4, scale);
		return true;
	}

	// The title first, then every section with something to show, in the table's order.
	function sectionsToShow():Array<Section> {
		var list:Array<Section> = [];
		for (file in template.files) {
			var text = texts.get(file.variable);
			if (text == null || text == "")
				continue;
			var isTitle = file.variable == template.titleVariable;
			var section = {heading: isTitle ? "" : file.heading, text: text, isTitle: isTitle};
			if (isTitle)
				list.unshift(section);
			else
				list.push(section);
		}
		return list;
	}

	public static inline var FRAME_COMMAND = "lq_frame";
	public static inline var LOADED_COMMAND = "lq_loaded";
	public static inline var SHOWN_COMMAND = "lq_shown";
	static inline var PARTIAL_AFTER_SECONDS = 3.0;
	static inline var TITLE_SIZE = 44;
	static inline var BODY_SIZE = 30;
	static inline var SETTLE_SECONDS = 0.5;
}

package lq;

// Lays text out wrapped at the width of the text area.
interface TextMeasure {
	// How tall the text stands.
	function height(text:String, size:Int):Float;
	// How many of its characters stand on the lines that fit, whole, in that height.
	function fittingLength(text:String, size:Int, height:Float):Int;
}

typedef Page = {
	var text:String;
	var size:Int; // font size in pixels
}

// Splits a section into pages that fit the height it is given. A text that fits whole at some size
// from maxSize down to minSize is one page at the largest such size; a longer one is paged at
// minSize, each page the longest run of whole words that fits, so every word shows at some time
// and nothing is clipped. A single word too long for a page is split between its characters.
class Pager {
	public static inline var MIN_SIZE = 12;
	// More characters than any page of 12 px text on the stage holds (about 2,000): what one layout
	// looks at, so that a 64 KiB text is never laid out whole.
	static inline var PAGE_REACH = 3000;

	final text:String;
	final measure:TextMeasure;
	final available:Float;
	final minSize:Int;
	var position = 0;
	var pageSize:Int;

	public var pageCount(default, null) = 0;

	public function new(text:String, measure:TextMeasure, available:Float, maxSize:Int, minSize = MIN_SIZE) {
		this.text = text;
		this.measure = measure;
		this.available = available;
		this.minSize = minSize;
		pageSize = largestFittingSize(maxSize);
		position = skipBlanks(0);
	}

	public function hasNext():Bool {
		return position < text.length;
	}

	public function next():Page {
		var end = pageSize > minSize ? text.length : longestFittingEnd();
		var page = {text: StringTools.rtrim(text.substring(position, end)), size: pageSize};
		position = skipBlanks(end);
		pageCount++;
		return page;
	}

	// Fits in one page at one of the sizes? Then the largest; otherwise the smallest, paged.
	function largestFittingSize(maxSize:Int):Int {
		if (text.length > PAGE_REACH)
			return minSize;
		if (fits(text, minSize) && !fits(text, maxSize)) {
			var low = minSize, high = maxSize; // fits(low), !fits(high)
			while (high - low > 1) {
				var middle = (low + high) >> 1;
				if (fits(text, middle)) low = middle else high = middle;
			}
			return low;
		}
		return fits(text, maxSize) ? maxSize : minSize;
	}

	function fits(t:String, size:Int):Bool {
		return measure.height(t, size) <= available;
	}

	// The end of the longest run of whole words from position that fits at the smallest size: one
	// layout finds the lines that fit, then the page ends at the last blank on them (a word longer
	// than a page is split where its lines end).
	function longestFittingEnd():Int {
		var reach = Std.int(Math.min(text.length, position + PAGE_REACH));
		var candidate = text.substring(position, reach);
		var fitting = measure.fittingLength(candidate, minSize, available);
		if (fitting >= candidate.length && (reach == text.length || StringTools.isSpace(text, reach)))
			return reach;
		var end = position + Std.int(Math.max(1, fitting));
		var blank = end;
		while (blank > position && !StringTools.isSpace(text, blank))
			blank--;
		while (blank > position && StringTools.isSpace(text, blank - 1))
			blank--;
		return blank > position ? blank : end;
	}

	function skipBlanks(i:Int):Int {
		while (i < text.length && StringTools.isSpace(text, i))
			i++;
		return i;
	}
}

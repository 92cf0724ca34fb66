package lq;

import haxe.io.Bytes;

// What a content file shows on the stage: the text after its first "=", exactly as typed ("&",
// "+" and "%" are text, not URL form), blanks and line ends trimmed. A file is read up to its
// first 64 KiB, so that a huge file pasted by mistake cannot stall the movie; a text cut there
// ends with "…" so that the reader sees it goes on.
class ContentText {
	public static inline var MAX_BYTES = 65536;
	public static inline var CUT_MARK = "\u2026";

	// null: nothing to show, and the section is left out (no "=", or nothing after it).
	public static function fromBytes(bytes:Bytes):Null<String> {
		var cut = bytes.length > MAX_BYTES;
		var end = cut ? MAX_BYTES : bytes.length;
		var equals = -1;
		for (i in 0...end) {
			if (bytes.get(i) == "=".code) {
				equals = i;
				break;
			}
		}
		if (equals < 0)
			return null;
		var value = StringTools.trim(normaliseLineEnds(Windows1252.decode(bytes, equals + 1, end)));
		if (value == "")
			return null;
		return cut ? value + CUT_MARK : value;
	}

	// CR LF and lone CRs become "\n", the one line end a text field and the pager agree on.
	static function normaliseLineEnds(text:String):String {
		return StringTools.replace(StringTools.replace(text, "\r\n", "\n"), "\r", "\n");
	}

	// Words as a reader counts them: runs of anything but blanks and line ends.
	public static function wordCount(text:String):Int {
		var count = 0;
		var inWord = false;
		for (i in 0...text.length) {
			var blank = StringTools.isSpace(text, i);
			if (!blank && !inWord)
				count++;
			inWord = !blank;
		}
		return count;
	}

	// How long a page stays still: its words at 200 a minute, and never less than 2.5 s.
	public static function readingSeconds(text:String):Float {
		return Math.max(2.5, wordCount(text) * 60.0 / 200.0);
	}
}

package lq;

import haxe.io.Bytes;

// Content files are written in Windows-1252 whatever the visitor's system uses, so the movie
// decodes the bytes itself. Bytes 80 to 9F come from the program's own codec (Tables.hx).
class Windows1252 {
	public static function decode(bytes:Bytes, start:Int, end:Int):String {
		var text = new StringBuf();
		for (i in start...end) {
			var c = bytes.get(i);
			text.addChar(c >= 0x80 && c < 0xA0 ? Tables.windows1252High[c - 0x80] : c);
		}
		return text.toString();
	}
}

package lq;

import flash.text.Font;
import flash.text.TextField;
import flash.text.TextFormat;
import flash.text.TextFormatAlign;

// Text fields in the embedded font, and the measure the pager lays text out with.
class Text {
	static var fontName:String;

	public static function field(text:String, size:Int, color:Int, width:Float, align:TextFormatAlign):TextField {
		var f = new TextField();
		f.embedFonts = true;
		f.selectable = false;
		f.multiline = true;
		f.wordWrap = true;
		f.width = width;
		setText(f, text, size, color, align);
		f.height = f.textHeight + 6;
		return f;
	}

	// The default format alone is not enough: the player keeps the old size until the format is
	// set on the text itself.
	public static function setText(f:TextField, text:String, size:Int, color:Int, align:TextFormatAlign) {
		var format = new TextFormat(font(), size, color);
		format.align = align;
		f.defaultTextFormat = format;
		f.text = text;
		f.setTextFormat(format);
	}

	static function font():String {
		if (fontName == null) {
			Font.registerFont(EmbeddedFont);
			fontName = new EmbeddedFont().fontName;
		}
		return fontName;
	}
}

class FieldMeasure implements Pager.TextMeasure {
	final field:TextField;

	public function new(width:Float) {
		field = Text.field("", 12, 0, width, TextFormatAlign.LEFT);
	}

	public function height(text:String, size:Int):Float {
		Text.setText(field, text, size, 0, TextFormatAlign.LEFT);
		return field.textHeight + GUTTER;
	}

	public function fittingLength(text:String, size:Int, height:Float):Int {
		Text.setText(field, text, size, 0, TextFormatAlign.LEFT);
		var used = GUTTER;
		for (line in 0...field.numLines) {
			used += field.getLineMetrics(line).height;
			if (used > height)
				return field.getLineOffset(line);
		}
		return text.length;
	}

	static inline var GUTTER = 6.0;
}

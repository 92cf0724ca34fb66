#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// A small writer for uncompressed SWF movies: the tags, shapes and text fields that the
// stand-in template movies need, and nothing more. Every length and coordinate is in twips
// (20 to a pixel) unless a name says otherwise.
namespace swf {

inline constexpr int twipsPerPixel = 20;
inline int px(double pixels)
{
    return int(pixels * twipsPerPixel + (pixels < 0 ? -0.5 : 0.5));
}

// Little-endian bytes and, on demand, SWF's big-endian bit fields packed from the high bit down.
class Writer
{
public:
    void u8(uint8_t value);
    void u16(uint16_t value);
    void u32(uint32_t value);
    void s16(int16_t value) { u16(uint16_t(value)); }
    void bytes(const QByteArray& data);
    // A null-terminated string; the bytes are given already encoded for the movie's version.
    void string(const QByteArray& encoded);

    void ub(uint32_t value, int bits);
    void sb(int32_t value, int bits);
    // Fills the rest of the current byte with zeros; the next field starts on a byte boundary.
    void align();

    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
    uint8_t m_bitBuffer = 0;
    int m_bitCount = 0;
};

// The fewest bits that hold every value as a signed (two's complement) field; at least 1.
int signedBits(std::initializer_list<int32_t> values);
int unsignedBits(uint32_t value);

struct Rect
{
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    void write(Writer& out) const;
    Rect united(const Rect& other) const;
};

struct Rgba
{
    uint8_t r = 0, g = 0, b = 0, a = 255;
    static Rgba hex(uint32_t rgb, uint8_t alpha = 255)
    {
        return {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), alpha};
    }
};

// x' = x * scaleX + y * rotateSkew1 + translateX;  y' = x * rotateSkew0 + y * scaleY + translateY
struct Matrix
{
    double scaleX = 1, scaleY = 1, rotateSkew0 = 0, rotateSkew1 = 0;
    int translateX = 0, translateY = 0;

    static Matrix translation(int x, int y);
    // Rotation by degrees (clockwise on screen, as y points down), then scaling, then moving.
    static Matrix transform(int x, int y, double degrees, double scaleX = 1, double scaleY = 1);
    void write(Writer& out) const;
};

// Multiplies each channel (1.0 keeps it) and then adds to it (-255..255).
struct ColorTransform
{
    double redMul = 1, greenMul = 1, blueMul = 1, alphaMul = 1;
    int redAdd = 0, greenAdd = 0, blueAdd = 0, alphaAdd = 0;

    static ColorTransform alpha(double alphaMul);
    static ColorTransform tint(Rgba color, double alphaMul = 1);
    void write(Writer& out) const; // CXFORMWITHALPHA
};

// Builds the outline records of a DefineShape3: fill and line styles, moves, straight and curved
// edges. Coordinates are absolute twips; the builder works out the deltas and the bounds.
class ShapeBuilder
{
public:
    int addFill(Rgba color);                 // returns the style's index (from 1)
    int addLine(int widthTwips, Rgba color); // returns the style's index (from 1)

    // Styles for the edges that follow: 0 means none.
    void setStyles(int fill, int line);
    void moveTo(int x, int y);
    void lineTo(int x, int y);
    void curveTo(int controlX, int controlY, int x, int y);

    void rect(int x, int y, int width, int height);
    void ellipse(int centreX, int centreY, int radiusX, int radiusY);
    void circle(int centreX, int centreY, int radius) { ellipse(centreX, centreY, radius, radius); }
    // A closed outline through the given points.
    void polygon(const QList<QPair<int, int>>& points);

    Rect bounds() const { return m_bounds; }
    QByteArray defineShape3(uint16_t id) const; // the whole tag body

private:
    struct Line
    {
        int width;
        Rgba color;
    };
    struct Record
    {
        enum Kind { Style, Straight, Curve } kind;
        int a = 0, b = 0, c = 0, d = 0; // the move's position, or the edge's deltas
        bool hasMove = false;
        bool changesFill = false, changesLine = false;
        int fill = 0, line = 0;
    };
    void include(int x, int y);
    void flushStyle(bool move, int x, int y);
    int fillBits() const { return unsignedBits(uint32_t(m_fills.size())); }
    int lineBits() const { return unsignedBits(uint32_t(m_lines.size())); }

    QList<Rgba> m_fills;
    QList<Line> m_lines;
    QList<Record> m_records;
    int m_x = 0, m_y = 0;
    int m_fill = 0, m_line = 0;         // styles of the edges written so far
    int m_wantFill = 0, m_wantLine = 0; // styles for the next edge
    int m_widestLine = 0;
    bool m_hasBounds = false;
    Rect m_bounds;
};

// A text field (DefineEditText). A field bound to a variable shows that variable's value.
struct EditText
{
    uint16_t id = 0;
    Rect bounds;
    uint16_t fontId = 0;
    int fontHeight = px(12);
    Rgba color;
    QString variable;            // empty: bound to nothing
    std::optional<QString> text; // initial text; none leaves a bound variable unset
    enum class Align { Left = 0, Right = 1, Center = 2 } align = Align::Left;
    bool multiline = true;
    bool wordWrap = true;
    bool selectable = true;
    bool border = false;
    int leading = 0;
};

// The movie's character encoding: strings of SWF 6 and later are UTF-8, earlier ones ANSI.
QByteArray encodeString(const QString& text, int swfVersion);

// One timeline's tags: the main movie's or a sprite's.
class TagList
{
public:
    explicit TagList(int swfVersion) : m_version(swfVersion) {}

    void tag(uint16_t code, const QByteArray& body);

    void setBackgroundColor(Rgba color);
    void defineDeviceFont(uint16_t id, const QString& name, bool bold = false);
    void defineShape(uint16_t id, const ShapeBuilder& shape);
    void defineEditText(const EditText& field);
    void defineSprite(uint16_t id, const TagList& timeline);
    void place(uint16_t depth, uint16_t characterId, const Matrix& matrix,
               const std::optional<ColorTransform>& colors = {}, const QString& name = {});
    void move(uint16_t depth, const std::optional<Matrix>& matrix,
              const std::optional<ColorTransform>& colors = {});
    void remove(uint16_t depth);
    void doAction(const QByteArray& actions); // the action records, without the end byte
    void showFrame();

    int frameCount() const { return m_frames; }
    int version() const { return m_version; }
    const QByteArray& data() const { return m_out.data(); }

private:
    int m_version;
    int m_frames = 0;
    Writer m_out;
};

struct MovieHeader
{
    int version = 6;
    int widthPixels = 550;
    int heightPixels = 400;
    double frameRate = 24;
};

// The whole uncompressed file: header, the tags and the end tag.
QByteArray movieFile(const MovieHeader& header, const TagList& tags);

// Tag codes used here, under their SWF names.
enum TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    SetBackgroundColor = 9,
    DoAction = 12,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineEditText = 37,
    DefineSprite = 39,
    DefineFont2 = 48,
};

} // namespace swf

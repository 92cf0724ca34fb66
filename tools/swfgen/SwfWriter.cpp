#include "SwfWriter.h"

#include <QStringEncoder>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace swf {

void Writer::u8(uint8_t value)
{
    align();
    m_data.append(char(value));
}

void Writer::u16(uint16_t value)
{
    u8(uint8_t(value));
    u8(uint8_t(value >> 8));
}

void Writer::u32(uint32_t value)
{
    u16(uint16_t(value));
    u16(uint16_t(value >> 16));
}

void Writer::bytes(const QByteArray& data)
{
    align();
    m_data.append(data);
}

void Writer::string(const QByteArray& encoded)
{
    if (encoded.contains('\0'))
        throw std::invalid_argument("a SWF string cannot hold a NUL character");
    bytes(encoded);
    u8(0);
}

void Writer::ub(uint32_t value, int bits)
{
    if (bits < 32 && (value >> bits) != 0)
        throw std::out_of_range("value does not fit its bit field");
    for (int bit = bits - 1; bit >= 0; --bit) {
        m_bitBuffer = uint8_t((m_bitBuffer << 1) | ((value >> bit) & 1u));
        if (++m_bitCount == 8) {
            m_data.append(char(m_bitBuffer));
            m_bitBuffer = 0;
            m_bitCount = 0;
        }
    }
}

void Writer::sb(int32_t value, int bits)
{
    if (signedBits({value}) > bits)
        throw std::out_of_range("value does not fit its signed bit field");
    const uint32_t mask = bits >= 32 ? 0xffffffffu : ((1u << bits) - 1u);
    ub(uint32_t(value) & mask, bits);
}

void Writer::align()
{
    if (m_bitCount > 0) {
        m_data.append(char(m_bitBuffer << (8 - m_bitCount)));
        m_bitBuffer = 0;
        m_bitCount = 0;
    }
}

int signedBits(std::initializer_list<int32_t> values)
{
    int bits = 1;
    for (int32_t v : values) {
        // A field of n bits holds -2^(n-1) .. 2^(n-1)-1.
        const int64_t magnitude = v < 0 ? -int64_t(v) - 1 : int64_t(v);
        int needed = 1;
        while ((magnitude >> (needed - 1)) != 0)
            ++needed;
        bits = std::max(bits, needed);
    }
    return bits;
}

int unsignedBits(uint32_t value)
{
    int bits = 0;
    while (bits < 32 && (value >> bits) != 0)
        ++bits;
    return bits;
}

void Rect::write(Writer& out) const
{
    const int bits = signedBits({xMin, xMax, yMin, yMax});
    out.ub(uint32_t(bits), 5);
    out.sb(xMin, bits);
    out.sb(xMax, bits);
    out.sb(yMin, bits);
    out.sb(yMax, bits);
    out.align();
}

Rect Rect::united(const Rect& other) const
{
    return {std::min(xMin, other.xMin), std::max(xMax, other.xMax), std::min(yMin, other.yMin),
            std::max(yMax, other.yMax)};
}

namespace {

int32_t fixed16(double value)
{
    return int32_t(std::lround(value * 65536.0));
}
int32_t fixed8(double value)
{
    return int32_t(std::lround(value * 256.0));
}

} // namespace

Matrix Matrix::translation(int x, int y)
{
    Matrix m;
    m.translateX = x;
    m.translateY = y;
    return m;
}

Matrix Matrix::transform(int x, int y, double degrees, double scaleX, double scaleY)
{
    const double radians = degrees * M_PI / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    Matrix m;
    m.scaleX = c * scaleX;
    m.rotateSkew0 = s * scaleX;
    m.rotateSkew1 = -s * scaleY;
    m.scaleY = c * scaleY;
    m.translateX = x;
    m.translateY = y;
    return m;
}

void Matrix::write(Writer& out) const
{
    const int32_t sx = fixed16(scaleX), sy = fixed16(scaleY);
    const int32_t r0 = fixed16(rotateSkew0), r1 = fixed16(rotateSkew1);
    const bool hasScale = sx != 65536 || sy != 65536;
    out.ub(hasScale, 1);
    if (hasScale) {
        const int bits = signedBits({sx, sy});
        out.ub(uint32_t(bits), 5);
        out.sb(sx, bits);
        out.sb(sy, bits);
    }
    const bool hasRotate = r0 != 0 || r1 != 0;
    out.ub(hasRotate, 1);
    if (hasRotate) {
        const int bits = signedBits({r0, r1});
        out.ub(uint32_t(bits), 5);
        out.sb(r0, bits);
        out.sb(r1, bits);
    }
    const int bits = signedBits({translateX, translateY});
    out.ub(uint32_t(bits), 5);
    out.sb(translateX, bits);
    out.sb(translateY, bits);
    out.align();
}

ColorTransform ColorTransform::alpha(double alphaMul)
{
    ColorTransform t;
    t.alphaMul = alphaMul;
    return t;
}

ColorTransform ColorTransform::tint(Rgba color, double alphaMul)
{
    // White artwork multiplied down to the colour.
    ColorTransform t;
    t.redMul = color.r / 255.0;
    t.greenMul = color.g / 255.0;
    t.blueMul = color.b / 255.0;
    t.alphaMul = alphaMul;
    return t;
}

void ColorTransform::write(Writer& out) const
{
    const int32_t mul[4] = {fixed8(redMul), fixed8(greenMul), fixed8(blueMul), fixed8(alphaMul)};
    const int32_t add[4] = {redAdd, greenAdd, blueAdd, alphaAdd};
    const bool hasMul =
        std::any_of(std::begin(mul), std::end(mul), [](int32_t v) { return v != 256; });
    const bool hasAdd =
        std::any_of(std::begin(add), std::end(add), [](int32_t v) { return v != 0; });
    int bits = 1;
    if (hasMul)
        bits = std::max(bits, signedBits({mul[0], mul[1], mul[2], mul[3]}));
    if (hasAdd)
        bits = std::max(bits, signedBits({add[0], add[1], add[2], add[3]}));
    out.ub(hasAdd, 1);
    out.ub(hasMul, 1);
    out.ub(uint32_t(bits), 4);
    if (hasMul) {
        for (int32_t v : mul)
            out.sb(v, bits);
    }
    if (hasAdd) {
        for (int32_t v : add)
            out.sb(v, bits);
    }
    out.align();
}

// ---------------------------------------------------------------------------------------------

int ShapeBuilder::addFill(Rgba color)
{
    m_fills.append(color);
    return int(m_fills.size());
}

int ShapeBuilder::addLine(int widthTwips, Rgba color)
{
    m_lines.append({widthTwips, color});
    m_widestLine = std::max(m_widestLine, widthTwips);
    return int(m_lines.size());
}

void ShapeBuilder::setStyles(int fill, int line)
{
    if (fill < 0 || fill > m_fills.size() || line < 0 || line > m_lines.size())
        throw std::out_of_range("no such shape style");
    m_wantFill = fill;
    m_wantLine = line;
}

void ShapeBuilder::include(int x, int y)
{
    if (!m_hasBounds) {
        m_bounds = {x, x, y, y};
        m_hasBounds = true;
    } else {
        m_bounds = m_bounds.united({x, x, y, y});
    }
}

void ShapeBuilder::flushStyle(bool move, int x, int y)
{
    const bool fillChanges = m_wantFill != m_fill;
    const bool lineChanges = m_wantLine != m_line;
    if (!move && !fillChanges && !lineChanges)
        return;
    Record r{Record::Style};
    r.hasMove = move;
    r.a = x;
    r.b = y;
    r.changesFill = fillChanges;
    r.changesLine = lineChanges;
    r.fill = m_wantFill;
    r.line = m_wantLine;
    m_records.append(r);
    m_fill = m_wantFill;
    m_line = m_wantLine;
}

void ShapeBuilder::moveTo(int x, int y)
{
    flushStyle(true, x, y);
    m_x = x;
    m_y = y;
    include(x, y);
}

void ShapeBuilder::lineTo(int x, int y)
{
    flushStyle(false, 0, 0);
    if (x == m_x && y == m_y)
        return; // a zero-length edge would read as the end of the shape
    m_records.append({Record::Straight, x - m_x, y - m_y});
    m_x = x;
    m_y = y;
    include(x, y);
}

void ShapeBuilder::curveTo(int controlX, int controlY, int x, int y)
{
    flushStyle(false, 0, 0);
    m_records.append({Record::Curve, controlX - m_x, controlY - m_y, x - controlX, y - controlY});
    include(controlX, controlY);
    m_x = x;
    m_y = y;
    include(x, y);
}

void ShapeBuilder::rect(int x, int y, int width, int height)
{
    polygon({{x, y}, {x + width, y}, {x + width, y + height}, {x, y + height}});
}

void ShapeBuilder::ellipse(int centreX, int centreY, int radiusX, int radiusY)
{
    // Eight quadratic arcs: each control point lies where the tangents of its two anchors meet.
    const double controlScale = 1.0 / std::cos(M_PI / 8);
    moveTo(centreX + radiusX, centreY);
    for (int i = 1; i <= 8; ++i) {
        const double mid = (i - 0.5) * M_PI / 4, end = i * M_PI / 4;
        curveTo(centreX + int(std::lround(radiusX * controlScale * std::cos(mid))),
                centreY + int(std::lround(radiusY * controlScale * std::sin(mid))),
                i == 8 ? centreX + radiusX : centreX + int(std::lround(radiusX * std::cos(end))),
                i == 8 ? centreY : centreY + int(std::lround(radiusY * std::sin(end))));
    }
}

void ShapeBuilder::polygon(const QList<QPair<int, int>>& points)
{
    if (points.isEmpty())
        return;
    moveTo(points.first().first, points.first().second);
    for (qsizetype i = 1; i < points.size(); ++i)
        lineTo(points[i].first, points[i].second);
    lineTo(points.first().first, points.first().second);
}

QByteArray ShapeBuilder::defineShape3(uint16_t id) const
{
    Writer out;
    out.u16(id);
    const int margin = (m_widestLine + 1) / 2;
    const Rect b = m_hasBounds ? Rect{m_bounds.xMin - margin, m_bounds.xMax + margin,
                                      m_bounds.yMin - margin, m_bounds.yMax + margin}
                               : Rect{};
    b.write(out);

    auto writeCount = [&out](qsizetype n) {
        if (n < 0xff) {
            out.u8(uint8_t(n));
        } else {
            out.u8(0xff);
            out.u16(uint16_t(n));
        }
    };
    writeCount(m_fills.size());
    for (const Rgba& c : m_fills) {
        out.u8(0x00); // solid fill
        out.u8(c.r);
        out.u8(c.g);
        out.u8(c.b);
        out.u8(c.a);
    }
    writeCount(m_lines.size());
    for (const Line& l : m_lines) {
        out.u16(uint16_t(l.width));
        out.u8(l.color.r);
        out.u8(l.color.g);
        out.u8(l.color.b);
        out.u8(l.color.a);
    }

    const int fBits = fillBits(), lBits = lineBits();
    out.ub(uint32_t(fBits), 4);
    out.ub(uint32_t(lBits), 4);
    for (const Record& r : m_records) {
        switch (r.kind) {
        case Record::Style:
            out.ub(0, 1); // not an edge
            out.ub(0, 1); // no new styles
            out.ub(r.changesLine, 1);
            out.ub(r.changesFill, 1); // fill style 1: the fill to the right of the edges
            out.ub(0, 1);             // fill style 0 is never used
            out.ub(r.hasMove, 1);
            if (r.hasMove) {
                const int bits = signedBits({r.a, r.b});
                out.ub(uint32_t(bits), 5);
                out.sb(r.a, bits);
                out.sb(r.b, bits);
            }
            if (r.changesFill)
                out.ub(uint32_t(r.fill), fBits);
            if (r.changesLine)
                out.ub(uint32_t(r.line), lBits);
            break;
        case Record::Straight: {
            const int bits = std::max(2, signedBits({r.a, r.b}));
            out.ub(1, 1); // edge
            out.ub(1, 1); // straight
            out.ub(uint32_t(bits - 2), 4);
            if (r.a != 0 && r.b != 0) {
                out.ub(1, 1); // general line
                out.sb(r.a, bits);
                out.sb(r.b, bits);
            } else {
                out.ub(0, 1);
                const bool vertical = r.a == 0;
                out.ub(vertical, 1);
                out.sb(vertical ? r.b : r.a, bits);
            }
            break;
        }
        case Record::Curve: {
            const int bits = std::max(2, signedBits({r.a, r.b, r.c, r.d}));
            out.ub(1, 1);
            out.ub(0, 1);
            out.ub(uint32_t(bits - 2), 4);
            out.sb(r.a, bits);
            out.sb(r.b, bits);
            out.sb(r.c, bits);
            out.sb(r.d, bits);
            break;
        }
        }
    }
    out.ub(0, 6); // end of shape
    out.align();
    return out.data();
}

// ---------------------------------------------------------------------------------------------

QByteArray encodeString(const QString& text, int swfVersion)
{
    if (swfVersion >= 6)
        return text.toUtf8();
    QStringEncoder encoder("windows-1252");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw std::invalid_argument("text does not fit the ANSI code page of a SWF 5 movie");
    return bytes;
}

void TagList::tag(uint16_t code, const QByteArray& body)
{
    // The length shares a word with the code below 63 bytes; from 63 on, a 32-bit length follows.
    if (body.size() < 0x3f) {
        m_out.u16(uint16_t((code << 6) | uint16_t(body.size())));
    } else {
        m_out.u16(uint16_t((code << 6) | 0x3f));
        m_out.u32(uint32_t(body.size()));
    }
    m_out.bytes(body);
}

void TagList::setBackgroundColor(Rgba color)
{
    Writer body;
    body.u8(color.r);
    body.u8(color.g);
    body.u8(color.b);
    tag(SetBackgroundColor, body.data());
}

void TagList::defineDeviceFont(uint16_t id, const QString& name, bool bold)
{
    // A font without glyphs: the player draws the text with a font of the system.
    Writer body;
    body.u16(id);
    body.u8(uint8_t(0x10 | (bold ? 0x01 : 0x00))); // ANSI codes, narrow offsets and codes
    body.u8(0);                                    // language: none
    const QByteArray encoded = encodeString(name, m_version);
    body.u8(uint8_t(encoded.size()));
    body.bytes(encoded);
    body.u16(0); // no glyphs
    body.u16(2); // the code table follows at once (and is empty)
    tag(DefineFont2, body.data());
}

void TagList::defineShape(uint16_t id, const ShapeBuilder& shape)
{
    tag(DefineShape3, shape.defineShape3(id));
}

void TagList::defineEditText(const EditText& field)
{
    Writer body;
    body.u16(field.id);
    field.bounds.write(body);
    const bool hasText = field.text.has_value();
    const bool hasFont = field.fontId != 0;
    body.ub(hasText, 1);
    body.ub(field.wordWrap, 1);
    body.ub(field.multiline, 1);
    body.ub(0, 1); // password
    body.ub(1, 1); // read-only: the movie shows the texts, it does not edit them
    body.ub(1, 1); // has text colour
    body.ub(0, 1); // max length
    body.ub(hasFont, 1);
    body.ub(0, 1); // font class
    body.ub(0, 1); // auto size
    body.ub(1, 1); // has layout
    body.ub(!field.selectable, 1);
    body.ub(field.border, 1);
    body.ub(0, 1); // was static
    body.ub(0, 1); // HTML
    body.ub(0, 1); // use outlines: no, a device font
    if (hasFont) {
        body.u16(field.fontId);
        body.u16(uint16_t(field.fontHeight));
    }
    body.u8(field.color.r);
    body.u8(field.color.g);
    body.u8(field.color.b);
    body.u8(field.color.a);
    body.u8(uint8_t(field.align));
    body.u16(0); // left margin
    body.u16(0); // right margin
    body.u16(0); // indent
    body.s16(int16_t(field.leading));
    body.string(encodeString(field.variable, m_version));
    if (hasText)
        body.string(encodeString(*field.text, m_version));
    tag(DefineEditText, body.data());
}

void TagList::defineSprite(uint16_t id, const TagList& timeline)
{
    Writer body;
    body.u16(id);
    body.u16(uint16_t(timeline.frameCount()));
    body.bytes(timeline.data());
    body.u16(0); // the sprite's own end tag
    tag(DefineSprite, body.data());
}

void TagList::place(uint16_t depth, uint16_t characterId, const Matrix& matrix,
                    const std::optional<ColorTransform>& colors, const QString& name)
{
    Writer body;
    uint8_t flags = 0x02 | 0x04; // has character, has matrix
    if (colors)
        flags |= 0x08;
    if (!name.isEmpty())
        flags |= 0x20;
    body.u8(flags);
    body.u16(depth);
    body.u16(characterId);
    matrix.write(body);
    if (colors)
        colors->write(body);
    if (!name.isEmpty())
        body.string(encodeString(name, m_version));
    tag(PlaceObject2, body.data());
}

void TagList::move(uint16_t depth, const std::optional<Matrix>& matrix,
                   const std::optional<ColorTransform>& colors)
{
    Writer body;
    uint8_t flags = 0x01; // move
    if (matrix)
        flags |= 0x04;
    if (colors)
        flags |= 0x08;
    body.u8(flags);
    body.u16(depth);
    if (matrix)
        matrix->write(body);
    if (colors)
        colors->write(body);
    tag(PlaceObject2, body.data());
}

void TagList::remove(uint16_t depth)
{
    Writer body;
    body.u16(depth);
    tag(RemoveObject2, body.data());
}

void TagList::doAction(const QByteArray& actions)
{
    QByteArray body = actions;
    body.append('\0');
    tag(DoAction, body);
}

void TagList::showFrame()
{
    tag(ShowFrame, {});
    ++m_frames;
}

QByteArray movieFile(const MovieHeader& header, const TagList& tags)
{
    Writer body;
    Rect{0, header.widthPixels * twipsPerPixel, 0, header.heightPixels * twipsPerPixel}.write(body);
    body.u16(uint16_t(std::lround(header.frameRate * 256.0))); // 8.8 fixed point
    body.u16(uint16_t(tags.frameCount()));
    body.bytes(tags.data());
    body.u16(0); // end tag

    Writer file;
    file.bytes("FWS");
    file.u8(uint8_t(header.version));
    file.u32(uint32_t(8 + body.data().size()));
    file.bytes(body.data());
    return file.data();
}

} // namespace swf

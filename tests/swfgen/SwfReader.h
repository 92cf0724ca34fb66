#pragma once

// Reads uncompressed SWF movies back, independently of the writer: header, tags, shapes, text
// fields, placements and action records. Every read is bounds-checked; a malformed movie throws.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace swfread {

struct Malformed : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class Reader
{
public:
    explicit Reader(const QByteArray& data, qsizetype start = 0, qsizetype end = -1)
        : m_data(data), m_pos(start), m_end(end < 0 ? data.size() : end)
    {}

    uint8_t u8()
    {
        align();
        if (m_pos >= m_end)
            throw Malformed("read past the end");
        return uint8_t(m_data[m_pos++]);
    }
    uint16_t u16()
    {
        const uint16_t lo = u8();
        return uint16_t(lo | (u8() << 8));
    }
    uint32_t u32()
    {
        const uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    QByteArray bytes(qsizetype n)
    {
        align();
        if (n < 0 || m_pos + n > m_end)
            throw Malformed("read past the end");
        const QByteArray out = m_data.mid(m_pos, n);
        m_pos += n;
        return out;
    }
    QByteArray string() // null-terminated
    {
        align();
        const qsizetype nul = m_data.indexOf('\0', m_pos);
        if (nul < 0 || nul >= m_end)
            throw Malformed("unterminated string");
        const QByteArray out = m_data.mid(m_pos, nul - m_pos);
        m_pos = nul + 1;
        return out;
    }
    uint32_t ub(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (m_bitsLeft == 0) {
                if (m_pos >= m_end)
                    throw Malformed("bits past the end");
                m_bitByte = uint8_t(m_data[m_pos++]);
                m_bitsLeft = 8;
            }
            v = (v << 1) | ((m_bitByte >> --m_bitsLeft) & 1u);
        }
        return v;
    }
    int32_t sb(int n)
    {
        if (n == 0)
            return 0;
        const uint32_t v = ub(n);
        return (v & (1u << (n - 1))) ? int32_t(v | ~((1u << n) - 1u)) : int32_t(v);
    }
    void align() { m_bitsLeft = 0; }
    qsizetype pos() const { return m_pos; }
    qsizetype end() const { return m_end; }
    bool atEnd() const { return m_pos >= m_end; }

private:
    const QByteArray& m_data;
    qsizetype m_pos;
    qsizetype m_end;
    uint8_t m_bitByte = 0;
    int m_bitsLeft = 0;
};

inline QString ansi(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

struct Rect
{
    int xMin, xMax, yMin, yMax;
};

inline Rect readRect(Reader& r)
{
    const int n = int(r.ub(5));
    Rect rect{r.sb(n), r.sb(n), r.sb(n), r.sb(n)};
    r.align();
    return rect;
}

struct Matrix
{
    double scaleX = 1, scaleY = 1, rotateSkew0 = 0, rotateSkew1 = 0;
    int translateX = 0, translateY = 0;
};

inline Matrix readMatrix(Reader& r)
{
    Matrix m;
    if (r.ub(1)) {
        const int n = int(r.ub(5));
        m.scaleX = r.sb(n) / 65536.0;
        m.scaleY = r.sb(n) / 65536.0;
    }
    if (r.ub(1)) {
        const int n = int(r.ub(5));
        m.rotateSkew0 = r.sb(n) / 65536.0;
        m.rotateSkew1 = r.sb(n) / 65536.0;
    }
    const int n = int(r.ub(5));
    m.translateX = r.sb(n);
    m.translateY = r.sb(n);
    r.align();
    return m;
}

struct ColorTransform
{
    int mul[4] = {256, 256, 256, 256};
    int add[4] = {0, 0, 0, 0};
};

inline ColorTransform readColorTransform(Reader& r)
{
    ColorTransform c;
    const bool hasAdd = r.ub(1), hasMul = r.ub(1);
    const int n = int(r.ub(4));
    if (hasMul) {
        for (int& v : c.mul)
            v = r.sb(n);
    }
    if (hasAdd) {
        for (int& v : c.add)
            v = r.sb(n);
    }
    r.align();
    return c;
}

struct Tag
{
    uint16_t code;
    QByteArray body;
};

// Tags up to and including the end tag; throws when a tag runs past the data or no end tag comes.
inline QList<Tag> readTags(const QByteArray& data, qsizetype start, qsizetype* endOut = nullptr)
{
    QList<Tag> tags;
    Reader r(data, start);
    while (true) {
        const uint16_t head = r.u16();
        const uint16_t code = head >> 6;
        qsizetype length = head & 0x3f;
        if (length == 0x3f)
            length = r.u32();
        tags.append({code, r.bytes(length)});
        if (code == 0)
            break;
    }
    if (endOut)
        *endOut = r.pos();
    return tags;
}

struct Movie
{
    QByteArray signature;
    int version = 0;
    uint32_t declaredLength = 0;
    Rect frame{};
    double frameRate = 0;
    int frameCount = 0;
    QList<Tag> tags;
    qsizetype trailingBytes = 0;
};

inline Movie readMovie(const QByteArray& data)
{
    Movie m;
    Reader r(data);
    m.signature = r.bytes(3);
    m.version = r.u8();
    m.declaredLength = r.u32();
    m.frame = readRect(r);
    m.frameRate = r.u16() / 256.0;
    m.frameCount = r.u16();
    qsizetype end = 0;
    m.tags = readTags(data, r.pos(), &end);
    m.trailingBytes = data.size() - end;
    return m;
}

// ----- shapes -----

struct Edge
{
    int fromX, fromY, toX, toY;
    bool curved;
    int fill, line; // styles in force
};

struct Shape
{
    uint16_t id;
    Rect bounds;
    int fills = 0, lines = 0;
    QList<Edge> edges;
};

inline Shape readDefineShape3(const QByteArray& body)
{
    Shape s;
    Reader r(body);
    s.id = r.u16();
    s.bounds = readRect(r);
    auto count = [&r] {
        int n = r.u8();
        return n == 0xff ? int(r.u16()) : n;
    };
    s.fills = count();
    for (int i = 0; i < s.fills; ++i) {
        if (r.u8() != 0x00)
            throw Malformed("only solid fills expected");
        r.bytes(4);
    }
    s.lines = count();
    for (int i = 0; i < s.lines; ++i)
        r.bytes(6);
    const int fillBits = int(r.ub(4)), lineBits = int(r.ub(4));
    int x = 0, y = 0, fill = 0, line = 0;
    while (true) {
        if (r.ub(1) == 0) {
            const uint32_t flags = r.ub(5);
            if (flags == 0)
                break; // end of shape
            if (flags & 0x10)
                throw Malformed("new styles not expected");
            if (flags & 0x01) {
                const int n = int(r.ub(5));
                x = r.sb(n);
                y = r.sb(n);
            }
            if (flags & 0x02)
                r.ub(fillBits); // fill style 0
            if (flags & 0x04)
                fill = int(r.ub(fillBits));
            if (flags & 0x08)
                line = int(r.ub(lineBits));
            if (fill > s.fills || line > s.lines)
                throw Malformed("style index beyond the style arrays");
        } else if (r.ub(1) == 1) {
            const int n = int(r.ub(4)) + 2;
            int dx = 0, dy = 0;
            if (r.ub(1)) {
                dx = r.sb(n);
                dy = r.sb(n);
            } else if (r.ub(1)) {
                dy = r.sb(n);
            } else {
                dx = r.sb(n);
            }
            s.edges.append({x, y, x + dx, y + dy, false, fill, line});
            x += dx;
            y += dy;
        } else {
            const int n = int(r.ub(4)) + 2;
            const int cx = r.sb(n), cy = r.sb(n), ax = r.sb(n), ay = r.sb(n);
            s.edges.append({x, y, x + cx + ax, y + cy + ay, true, fill, line});
            x += cx + ax;
            y += cy + ay;
        }
    }
    r.align();
    if (!r.atEnd())
        throw Malformed("bytes after the end of the shape");
    return s;
}

// ----- text fields and placements -----

struct EditText
{
    uint16_t id;
    Rect bounds;
    bool hasText, readOnly, hasFont;
    uint16_t fontId = 0;
    QString variable;
    std::optional<QString> text;
};

inline EditText readDefineEditText(const QByteArray& body)
{
    EditText e{};
    Reader r(body);
    e.id = r.u16();
    e.bounds = readRect(r);
    const uint8_t a = r.u8(), b = r.u8();
    e.hasText = a & 0x80;
    e.readOnly = a & 0x08;
    e.hasFont = a & 0x01;
    if (e.hasFont) {
        e.fontId = r.u16();
        r.u16(); // height
    }
    if (b & 0x80)
        r.string(); // font class
    if (a & 0x04)
        r.bytes(4); // colour
    if (a & 0x02)
        r.u16(); // max length
    if (b & 0x20)
        r.bytes(9); // layout
    e.variable = ansi(r.string());
    if (e.hasText)
        e.text = ansi(r.string());
    if (!r.atEnd())
        throw Malformed("bytes after the text field");
    return e;
}

struct Placement
{
    bool move;
    uint16_t depth;
    std::optional<uint16_t> character;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colors;
    QString name;
};

inline Placement readPlaceObject2(const QByteArray& body)
{
    Placement p{};
    Reader r(body);
    const uint8_t flags = r.u8();
    if (flags & 0xd0)
        throw Malformed("clip actions, clip depth or ratio not expected");
    p.move = flags & 0x01;
    p.depth = r.u16();
    if (flags & 0x02)
        p.character = r.u16();
    if (flags & 0x04)
        p.matrix = readMatrix(r);
    if (flags & 0x08)
        p.colors = readColorTransform(r);
    if (flags & 0x20)
        p.name = ansi(r.string());
    if (!r.atEnd())
        throw Malformed("bytes after the placement");
    return p;
}

// ----- actions -----

struct Action
{
    qsizetype offset; // within its block
    uint8_t code;
    QByteArray payload;
};

// The action records of a DoAction body, up to the end byte, which must be the last byte.
inline QList<Action> readActions(const QByteArray& code, bool expectEndByte = true)
{
    QList<Action> actions;
    Reader r(code);
    while (!r.atEnd()) {
        const qsizetype at = r.pos();
        const uint8_t op = r.u8();
        if (op == 0) {
            if (!r.atEnd())
                throw Malformed("bytes after the end action");
            return actions;
        }
        QByteArray payload;
        if (op >= 0x80)
            payload = r.bytes(r.u16());
        actions.append({at, op, payload});
    }
    if (expectEndByte)
        throw Malformed("no end action");
    return actions;
}

struct Pushed
{
    enum Kind { String, Integer, Boolean, Other } kind;
    QString text;
    int32_t number = 0;
    bool boolean = false;
};

inline QList<Pushed> readPush(const QByteArray& payload)
{
    QList<Pushed> values;
    Reader r(payload);
    while (!r.atEnd()) {
        const uint8_t type = r.u8();
        switch (type) {
        case 0:
            values.append({Pushed::String, ansi(r.string())});
            break;
        case 5:
            values.append({Pushed::Boolean, {}, 0, r.u8() != 0});
            break;
        case 7:
            values.append({Pushed::Integer, {}, int32_t(r.u32())});
            break;
        default:
            throw Malformed("push type not expected");
        }
    }
    return values;
}

} // namespace swfread

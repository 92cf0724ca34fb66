#include "AnsiCodec.h"

#include <array>

namespace lq {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; zero marks the five bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<char> windows1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == c)
            return char(0x80 + i);
    }
    return std::nullopt;
}

} // namespace

AnsiEncoding encodeAnsi(const QString& text)
{
    AnsiEncoding result;
    result.bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        char32_t codePoint = unit.unicode();
        qsizetype length = 1;
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(unit, text.at(i + 1));
            length = 2;
        }
        const auto byte = windows1252Byte(codePoint);
        if (!byte)
            return {{}, codePoint};
        result.bytes += *byte;
        i += length - 1;
    }
    return result;
}

QString decodeWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0)
            text += QChar(kHighControls[u - 0x80] != 0 ? kHighControls[u - 0x80] : 0xFFFD);
        else
            text += QChar(u);
    }
    return text;
}

QString describeCharacter(char32_t codePoint)
{
    const bool printable = QChar::isPrint(codePoint) && !QChar::isSpace(codePoint);
    const QString code =
        QStringLiteral("U+%1").arg(qulonglong(codePoint), 4, 16, QLatin1Char('0')).toUpper();
    if (!printable)
        return code;
    return QStringLiteral("\u201C%1\u201D (%2)").arg(QString::fromUcs4(&codePoint, 1), code);
}

} // namespace lq

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace lq {

// Content files are written in Windows-1252, the ANSI code page the templates were made with.
struct AnsiEncoding
{
    QByteArray bytes;
    // The first character that the code page cannot hold; bytes is empty then.
    std::optional<char32_t> unrepresentable;
};

AnsiEncoding encodeAnsi(const QString& text);

// Windows-1252 to text, for the server's and the tests' sake; undefined bytes become U+FFFD.
QString decodeWindows1252(const QByteArray& bytes);

// "“é” (U+00E9)": how a character is named to the user.
QString describeCharacter(char32_t codePoint);

} // namespace lq

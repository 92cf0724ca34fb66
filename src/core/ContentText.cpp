#include "ContentText.h"

#include "AnsiCodec.h"

#include <QStringList>

namespace lq {

namespace {

constexpr QChar kEllipsis(0x2026);

} // namespace

QString contentText(const QByteArray& fileBytes)
{
    const QByteArray read = fileBytes.left(kContentReadLimit);
    const qsizetype equals = read.indexOf('=');
    if (equals < 0)
        return {};
    QString text = decodeWindows1252(read.mid(equals + 1));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), '\n');
    text = text.trimmed();
    if (fileBytes.size() > kContentReadLimit && !text.isEmpty())
        text += kEllipsis;
    return text;
}

QByteArray publishedContentFile(const QByteArray& fileBytes)
{
    if (fileBytes.size() <= kContentReadLimit)
        return fileBytes;
    return fileBytes.left(kContentReadLimit) + '\x85'; // "…" in Windows-1252
}

QString textStart(const QString& text, qsizetype maxChars, qsizetype maxWords)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString start;
    qsizetype taken = 0;
    for (const QString& word : words) {
        const qsizetype length = start.size() + (start.isEmpty() ? 0 : 1) + word.size();
        if (taken == maxWords || length > maxChars)
            break;
        if (!start.isEmpty())
            start += QLatin1Char(' ');
        start += word;
        ++taken;
    }
    if (taken == words.size())
        return start;
    if (start.isEmpty()) // one word longer than the whole room
        start = words.first().left(maxChars - 1);
    return start + kEllipsis;
}

} // namespace lq

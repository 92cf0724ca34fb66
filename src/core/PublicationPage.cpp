#include "PublicationPage.h"

#include "AnsiCodec.h"
#include "PagePolicy.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace lq {

namespace {

using Fields = QHash<QByteArray, QByteArray>;

QString publishFolder(const QString& dataFolder)
{
    return dataFolder + QStringLiteral("/publish");
}

QByteArray readDataFile(const QString& path, QString* problem)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
    if (problem)
        *problem = QStringLiteral("the program's file %1 is missing").arg(path);
    return {};
}

// Replaces every @NAME@ of the template with its field in one pass, so that nothing a field
// brings in (the player's code, a text) is ever taken for a placeholder.
QByteArray fill(const QByteArray& page, const Fields& fields)
{
    QByteArray out;
    out.reserve(page.size() + [&] {
        qsizetype size = 0;
        for (const QByteArray& value : fields)
            size += value.size();
        return size;
    }());
    qsizetype from = 0;
    while (true) {
        const qsizetype open = page.indexOf('@', from);
        const qsizetype close = open < 0 ? -1 : page.indexOf('@', open + 1);
        if (close < 0) {
            out.append(page.mid(from));
            return out;
        }
        const auto field = fields.constFind(page.mid(open + 1, close - open - 1));
        if (field == fields.constEnd()) {
            out.append(page.mid(from, close - from));
            from = close;
            continue;
        }
        out.append(page.mid(from, open - from)).append(*field);
        from = close + 1;
    }
}

QByteArray htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

// A text as a JavaScript string literal, safe inside a <script> element.
QByteArray scriptString(const QString& text)
{
    QByteArray json =
        QJsonDocument(QJsonObject{{QStringLiteral("v"), text}}).toJson(QJsonDocument::Compact);
    json = json.mid(5, json.size() - 6); // {"v":...}
    return json.replace("<", "\\u003c");
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The value the movie reads from a text file: after the first "=", up to the next "&",
// URL-form decoded, byte by byte.
QByteArray movieValue(const QByteArray& bytes)
{
    const qsizetype equals = bytes.indexOf('=');
    QByteArray raw = equals < 0 ? QByteArray() : bytes.mid(equals + 1);
    if (const qsizetype amp = raw.indexOf('&'); amp >= 0)
        raw.truncate(amp);
    QByteArray value;
    value.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '+') {
            value.append(' ');
        } else if (c == '%' && i + 2 < raw.size() && hexValue(raw.at(i + 1)) >= 0 &&
                   hexValue(raw.at(i + 2)) >= 0) {
            value.append(char(hexValue(raw.at(i + 1)) * 16 + hexValue(raw.at(i + 2))));
            i += 2;
        } else {
            value.append(c);
        }
    }
    return value;
}

QByteArray startScript(const QString& dataFolder, QString* problem)
{
    return readDataFile(publishFolder(dataFolder) + QStringLiteral("/start.js"), problem);
}

Fields commonFields(const PageContent& content, const QByteArray& start)
{
    return {{"TITLE", htmlEscaped(content.title)},
            {"TEXTS", fallbackHtml(content.texts).toUtf8()},
            {"START", start}};
}

// The page with its policy, which is made from the page's scripts as they finally are.
QByteArray withPolicy(const QByteArray& page, PageOrigin origin)
{
    QByteArray out = page;
    const qsizetype at = out.indexOf("@POLICY@");
    if (at >= 0)
        out.replace(at, 8, pagePolicy(page, origin, PolicyDelivery::MetaElement));
    return out;
}

} // namespace

QString fallbackHtml(const QList<MovieText>& texts)
{
    QStringList paragraphs;
    for (const MovieText& text : texts) {
        const QString value = decodeWindows1252(movieValue(text.bytes)).trimmed();
        if (!value.isEmpty())
            paragraphs << QStringLiteral("<p>") + value.toHtmlEscaped() + QStringLiteral("</p>");
    }
    return paragraphs.join(QLatin1Char('\n'));
}

QByteArray buildFolderPage(const PageContent& content, QString* problem)
{
    const QString folder = publishFolder(content.dataFolder);
    const QByteArray page = readDataFile(folder + QStringLiteral("/folder.html"), problem);
    const QByteArray start = startScript(content.dataFolder, problem);
    if (page.isEmpty() || start.isEmpty())
        return {};
    Fields fields = commonFields(content, start);
    fields.insert("MOVIE", scriptString(content.movieName));
    return withPolicy(fill(page, fields), PageOrigin::OwnSite);
}

QByteArray buildSinglePage(const PageContent& content, QString* problem)
{
    const QString folder = publishFolder(content.dataFolder);
    const QByteArray page = readDataFile(folder + QStringLiteral("/page.html"), problem);
    const QByteArray start = startScript(content.dataFolder, problem);
    const QByteArray loader =
        readDataFile(content.dataFolder + QStringLiteral("/ruffle/ruffle.js"), problem);
    const QDir player(folder + QStringLiteral("/player"));
    const QStringList chunks = player.entryList({QStringLiteral("core.ruffle.*.js")}, QDir::Files);
    const QStringList codes = player.entryList({QStringLiteral("*.wasm.gz")}, QDir::Files);
    if (chunks.size() != 1 || codes.size() != 1) {
        if (problem)
            *problem = QStringLiteral("the program's folder %1 does not hold the player to embed")
                           .arg(player.path());
        return {};
    }
    const QByteArray chunk = readDataFile(player.filePath(chunks.first()), problem);
    const QByteArray code = readDataFile(player.filePath(codes.first()), problem);
    if (page.isEmpty() || start.isEmpty() || loader.isEmpty() || chunk.isEmpty() || code.isEmpty())
        return {};

    QJsonObject textUrls;
    for (const MovieText& text : content.texts)
        textUrls.insert(text.fileName,
                        QString::fromLatin1("data:text/plain;base64," + text.bytes.toBase64()));
    Fields fields = commonFields(content, start);
    fields.insert("WASM_NAME", scriptString(codes.first().chopped(3)));
    fields.insert("WASM_DATA", code.toBase64());
    fields.insert("MOVIE_DATA", content.movie.toBase64());
    fields.insert("TEXT_URLS",
                  QJsonDocument(textUrls).toJson(QJsonDocument::Compact).replace("<", "\\u003c"));
    fields.insert("CHUNK", chunk);
    fields.insert("RUFFLE", loader);
    return withPolicy(fill(page, fields), PageOrigin::Alone);
}

} // namespace lq

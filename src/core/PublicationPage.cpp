#include "PublicationPage.h"

#include "ContentText.h"
#include "PagePolicy.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <optional>

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

// Binary data as text inside a page, five characters for four bytes (base64 takes 5.33): the
// player's code is most of a one-page publication. The 85 digits are the printable ASCII
// characters but " & ' < > \ ` @ $, so that no run of them can end or confuse the element, the
// attribute or the template that holds them. A last group of n bytes takes n + 1 digits.
QByteArray base85(const QByteArray& bytes)
{
    static constexpr char digits[] = "!#%()*+,-./0123456789:;=?ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_"
                                     "abcdefghijklmnopqrstuvwxyz{|}~";
    static_assert(sizeof(digits) == 86);
    QByteArray out;
    out.reserve(bytes.size() / 4 * 5 + 5);
    for (qsizetype at = 0; at < bytes.size(); at += 4) {
        const qsizetype count = std::min<qsizetype>(4, bytes.size() - at);
        quint32 group = 0;
        for (qsizetype i = 0; i < 4; ++i)
            group = group << 8 | (i < count ? quint8(bytes.at(at + i)) : 0);
        char five[5];
        for (int i = 4; i >= 0; --i, group /= 85)
            five[i] = digits[group % 85];
        out.append(five, count + 1);
    }
    return out;
}

QByteArray startScript(const QString& dataFolder, QString* problem)
{
    return readDataFile(publishFolder(dataFolder) + QStringLiteral("/start.js"), problem);
}

// The page's title and texts, and the parts both forms share.
Fields commonFields(const PageContent& content, const QByteArray& start, const QByteArray& style)
{
    return {
        {"LANG", htmlEscaped(content.language.isEmpty() ? QStringLiteral("en") : content.language)},
        {"TITLE", htmlEscaped(pageTitle(content))},
        {"DESCRIPTION", htmlEscaped(pageDescription(content))},
        {"TEXTS", textsHtml(content).toUtf8()},
        {"STYLE", style},
        {"START", start}};
}

// The player's files a page unpacks (publish/player.json): {"loader", "chunk", "wasm"}, and the
// plain text of its two scripts, whose hashes let them run.
struct PlayerFiles
{
    QJsonObject names;
    QByteArray loader;
    QByteArray chunk;
};

std::optional<PlayerFiles> playerFiles(const QString& dataFolder, QString* problem)
{
    const QString list = publishFolder(dataFolder) + QStringLiteral("/player.json");
    PlayerFiles files;
    files.names = QJsonDocument::fromJson(readDataFile(list, problem)).object();
    const QString plain = dataFolder + QStringLiteral("/ruffle/");
    const QString loader = files.names.value(QStringLiteral("loader")).toString();
    const QString chunk = files.names.value(QStringLiteral("chunk")).toString();
    if (loader.isEmpty() || chunk.isEmpty() ||
        files.names.value(QStringLiteral("wasm")).toString().isEmpty()) {
        if (problem && problem->isEmpty())
            *problem =
                QStringLiteral("the program's file %1 does not name the player's files").arg(list);
        return std::nullopt;
    }
    files.loader = readDataFile(plain + loader, problem);
    files.chunk = readDataFile(plain + chunk, problem);
    if (files.loader.isEmpty() || files.chunk.isEmpty())
        return std::nullopt;
    return files;
}

QByteArray namesField(const PlayerFiles& files)
{
    return QJsonDocument(files.names).toJson(QJsonDocument::Compact);
}

// The page with its policy, which is made from the page's scripts as they finally are.
QByteArray withPolicy(const QByteArray& page, PageOrigin origin, const PlayerFiles& files)
{
    QByteArray out = page;
    const qsizetype at = out.indexOf("@POLICY@");
    if (at >= 0)
        out.replace(
            at, 8,
            pagePolicy(page, origin, PolicyDelivery::MetaElement, {files.loader, files.chunk}));
    return out;
}

// The first text of the template that is a section and says something.
QString firstSection(const PageContent& content)
{
    for (const MovieText& text : content.texts) {
        if (text.siteTitle)
            continue;
        if (QString value = contentText(text.bytes); !value.isEmpty())
            return value;
    }
    return {};
}

// The title a text of the template gives, or the one the user gave; empty when neither says one.
QString statedTitle(const PageContent& content)
{
    for (const MovieText& text : content.texts) {
        if (!text.siteTitle)
            continue;
        if (QString value = textStart(contentText(text.bytes), 120, 40); !value.isEmpty())
            return value;
    }
    return content.givenTitle.simplified();
}

} // namespace

QString pageTitle(const PageContent& content)
{
    const QString stated = statedTitle(content);
    return stated.isEmpty() ? textStart(firstSection(content), 60, 8) : stated;
}

QString pageDescription(const PageContent& content)
{
    return textStart(firstSection(content), 160, 160);
}

QString textsHtml(const PageContent& content)
{
    QStringList parts;
    if (const QString title = statedTitle(content); !title.isEmpty())
        parts << QStringLiteral("<h1>") + title.toHtmlEscaped() + QStringLiteral("</h1>");
    for (const MovieText& text : content.texts) {
        const QString value = contentText(text.bytes);
        if (text.siteTitle || value.isEmpty())
            continue;
        QString part = QStringLiteral("<section>\n");
        if (!text.section.isEmpty())
            part +=
                QStringLiteral("<h2>") + text.section.toHtmlEscaped() + QStringLiteral("</h2>\n");
        parts << part + QStringLiteral("<p>") + value.toHtmlEscaped() +
                     QStringLiteral("</p>\n</section>");
    }
    return parts.join(QLatin1Char('\n'));
}

// What every page is made of: its template, the start script, the style, the player's files;
// empty when one of them cannot be read (problem says which).
struct PageParts
{
    QByteArray page;
    Fields fields;
    PlayerFiles files;
};

std::optional<PageParts> readPageParts(const PageContent& content, const QString& pageFile,
                                       QString* problem)
{
    const QString folder = publishFolder(content.dataFolder);
    const QByteArray page = readDataFile(folder + QLatin1Char('/') + pageFile, problem);
    const QByteArray start = startScript(content.dataFolder, problem);
    const QByteArray style = readDataFile(folder + QStringLiteral("/page.css"), problem);
    const auto files = playerFiles(content.dataFolder, problem);
    if (page.isEmpty() || start.isEmpty() || style.isEmpty() || !files)
        return std::nullopt;
    Fields fields = commonFields(content, start, style);
    fields.insert("PLAYER_FILES", namesField(*files));
    return PageParts{.page = page, .fields = fields, .files = *files};
}

QByteArray buildFolderPage(const PageContent& content, QString* problem)
{
    auto parts = readPageParts(content, QStringLiteral("folder.html"), problem);
    if (!parts)
        return {};
    parts->fields.insert("MOVIE", scriptString(content.movieName));
    return withPolicy(fill(parts->page, parts->fields), PageOrigin::OwnSite, parts->files);
}

QByteArray buildSinglePage(const PageContent& content, QString* problem)
{
    auto parts = readPageParts(content, QStringLiteral("page.html"), problem);
    if (!parts)
        return {};
    const PlayerFiles& files = parts->files;
    const QString packed = publishFolder(content.dataFolder) + QStringLiteral("/player/");
    QByteArray packedFiles[3];
    const char* keys[] = {"loader", "chunk", "wasm"};
    for (int i = 0; i < 3; ++i) {
        const QString name = files.names.value(QLatin1String(keys[i])).toString();
        packedFiles[i] = readDataFile(packed + name + QStringLiteral(".gz"), problem);
        if (packedFiles[i].isEmpty())
            return {};
    }

    QJsonObject textUrls;
    for (const MovieText& text : content.texts)
        textUrls.insert(text.fileName,
                        QString::fromLatin1("data:text/plain;base64," + text.bytes.toBase64()));
    Fields& fields = parts->fields;
    fields.insert("LOADER_DATA", base85(packedFiles[0]));
    fields.insert("CHUNK_DATA", base85(packedFiles[1]));
    fields.insert("WASM_DATA", base85(packedFiles[2]));
    fields.insert("MOVIE_DATA", base85(content.movie));
    fields.insert("TEXT_URLS",
                  QJsonDocument(textUrls).toJson(QJsonDocument::Compact).replace("<", "\\u003c"));
    return withPolicy(fill(parts->page, fields), PageOrigin::Alone, files);
}

} // namespace lq

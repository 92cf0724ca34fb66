#include "PlayerRequests.h"

#include "DrivePaths.h"

#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace lq {

namespace {

RequestDecision refuse(int status)
{
    return {RequestTarget::Refused, status, {}, {}};
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One part of a URL path, percent-decoded, or nothing when it is malformed or could name anything
// but one plain entry of a folder.
std::optional<QString> decodeSegment(QByteArrayView raw)
{
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size())
                return std::nullopt;
            const int high = hexValue(raw[i + 1]);
            const int low = hexValue(raw[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            c = char(high * 16 + low);
            i += 2;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':')
            return std::nullopt;
        bytes.append(c);
    }
    if (bytes.isEmpty() || bytes == "." || bytes == "..")
        return std::nullopt;
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) // not UTF-8: no name on disk is reached through it
        return std::nullopt;
    return text;
}

// Compares the secret in a time that does not depend on where the first difference lies.
bool sameSecret(QByteArrayView given, const QByteArray& secret)
{
    if (secret.isEmpty() || given.size() != secret.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
    return difference == 0;
}

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

RequestDecision ruffleFile(const QString& name, const PlayerSite& site)
{
    if (site.ruffleFolder.isEmpty() || name.startsWith(QLatin1Char('.')))
        return refuse(404);
    const QString folder = QFileInfo(site.ruffleFolder).canonicalFilePath();
    const QFileInfo file(site.ruffleFolder + QLatin1Char('/') + name);
    if (folder.isEmpty() || !file.isFile() ||
        QFileInfo(file.canonicalFilePath()).absolutePath() != folder)
        return refuse(404);
    return {RequestTarget::File, 200, file.filePath(), mimeTypeFor(name)};
}

RequestDecision driveFile(const QString& letter, const QStringList& parts)
{
    if (letter.size() != 1 || !isAsciiLetter(letter.at(0)) || parts.isEmpty())
        return refuse(404);
    const QString windowsPath = letter + QStringLiteral(":\\") + parts.join(QLatin1Char('\\'));
    const std::optional<QString> local = DrivePaths::toLocal(windowsPath);
    if (!local || !DrivePaths::isInsideDriveFolders(*local) || !QFileInfo(*local).isFile())
        return refuse(404);
    return {RequestTarget::File, 200, *local, mimeTypeFor(parts.last())};
}

// The parts of a fixed Windows path below its drive, or nothing when it is not an absolute drive
// path or climbs.
std::optional<QStringList> windowsPathParts(const QString& windowsPath)
{
    if (windowsPath.size() < 3 || !isAsciiLetter(windowsPath.at(0)) ||
        windowsPath.at(1) != QLatin1Char(':') ||
        (windowsPath.at(2) != QLatin1Char('\\') && windowsPath.at(2) != QLatin1Char('/')))
        return std::nullopt;
    const QStringList parts =
        windowsPath.mid(3).split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    }
    return parts;
}

QByteArray drivePrefix(QChar letter, const QByteArray& secret)
{
    return '/' + secret + "/drive/" + QString(letter.toLower()).toLatin1() + '/';
}

} // namespace

RequestDecision decideRequest(QByteArrayView method, QByteArrayView host, QByteArrayView rawPath,
                              const PlayerSite& site)
{
    if (method != QByteArrayView("GET"))
        return refuse(405);
    if (!site.host.isEmpty() && host != QByteArrayView(site.host))
        return refuse(403);

    QByteArrayView path = rawPath;
    if (const qsizetype end = path.indexOf('?'); end >= 0)
        path = path.first(end);
    if (const qsizetype end = path.indexOf('#'); end >= 0)
        path = path.first(end);
    if (!path.startsWith('/'))
        return refuse(400);

    // "/a/b" -> "a", "b"; an empty part ("//", a trailing slash) is never a file.
    QList<QByteArrayView> raw;
    qsizetype start = 1;
    while (true) {
        const qsizetype slash = path.indexOf('/', start);
        raw.append(path.sliced(start, (slash < 0 ? path.size() : slash) - start));
        if (slash < 0)
            break;
        start = slash + 1;
    }
    if (raw.isEmpty() || !sameSecret(raw.first(), site.secret))
        return refuse(404);

    QStringList parts;
    for (qsizetype i = 1; i < raw.size(); ++i) {
        const std::optional<QString> part = decodeSegment(raw.at(i));
        if (!part)
            return refuse(404);
        parts.append(*part);
    }
    if (parts.isEmpty())
        return refuse(404);

    const QString& kind = parts.first();
    if (kind == QLatin1String("player.html") && parts.size() == 1)
        return {RequestTarget::PlayerPage, 200, {}, mimeTypeFor(kind)};
    if (kind == QLatin1String("ruffle") && parts.size() == 2)
        return ruffleFile(parts.at(1), site);
    if (kind == QLatin1String("drive") && parts.size() >= 3)
        return driveFile(parts.at(1), parts.mid(2));
    return refuse(404);
}

QByteArray urlPathForWindowsPath(const QString& windowsPath, const QByteArray& secret)
{
    const std::optional<QStringList> parts = windowsPathParts(windowsPath);
    if (!parts || parts->isEmpty())
        return {};
    QByteArrayList encoded;
    for (const QString& part : *parts)
        encoded.append(QUrl::toPercentEncoding(part));
    return drivePrefix(windowsPath.at(0), secret) + encoded.join('/');
}

QByteArray urlPathForFolderOf(const QString& windowsPath, const QByteArray& secret)
{
    const std::optional<QStringList> parts = windowsPathParts(windowsPath);
    if (!parts || parts->isEmpty())
        return {};
    QByteArray folder = drivePrefix(windowsPath.at(0), secret);
    for (qsizetype i = 0; i + 1 < parts->size(); ++i)
        folder += QUrl::toPercentEncoding(parts->at(i)) + '/';
    return folder;
}

QByteArray makeSecret()
{
    quint32 words[4];
    QRandomGenerator::system()->generate(std::begin(words), std::end(words));
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

QByteArray mimeTypeFor(const QString& fileName)
{
    static const QList<QPair<QString, QByteArray>> types = {
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("wasm"), "application/wasm"},
        {QStringLiteral("swf"), "application/x-shockwave-flash"},
        {QStringLiteral("txt"), "text/plain"},
        {QStringLiteral("xml"), "text/xml"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("gif"), "image/gif"},
        {QStringLiteral("mp3"), "audio/mpeg"},
    };
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const auto& [known, type] : types) {
        if (suffix == known)
            return type;
    }
    return "application/octet-stream";
}

} // namespace lq

#include "PlayerRequests.h"

#include "DrivePaths.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace lq {

namespace {

RequestDecision refuse(int status)
{
    return {RequestTarget::Refused, status, {}, {}, {}, {}};
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

bool isRegularFile(int folderFd, const QByteArray& name)
{
    struct stat info;
    return ::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode);
}

// A file to send, and where openDecidedFile finds it again.
RequestDecision sendFile(const QString& localPath, QChar driveLetter, const QStringList& parts)
{
    RequestDecision decision;
    decision.target = RequestTarget::File;
    decision.status = 200;
    decision.localPath = localPath;
    decision.mimeType = mimeTypeFor(parts.last());
    decision.driveLetter = driveLetter;
    decision.parts = parts;
    return decision;
}

// Where a name of the player's own folder leads: straight in that folder, or nowhere.
WalkResult findRuffleFile(const QString& name, const PlayerSite& site)
{
    WalkResult walk;
    if (site.ruffleFolder.isEmpty() || name.startsWith(QLatin1Char('.')))
        return walk;
    const UniqueFd root(
        ::open(QFile::encodeName(site.ruffleFolder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.isValid())
        return walk;
    walk = walkBeneath(root.get(), site.ruffleFolder, {name});
    if (walk.outcome == WalkOutcome::Found && walk.depth != 0)
        walk.outcome = WalkOutcome::LeadsOut;
    return walk;
}

RequestDecision ruffleFile(const QString& name, const PlayerSite& site)
{
    const WalkResult walk = findRuffleFile(name, site);
    if (walk.outcome != WalkOutcome::Found || !isRegularFile(walk.folder.get(), walk.name))
        return refuse(404);
    return sendFile(site.ruffleFolder + QLatin1Char('/') + name, QChar(), {name});
}

RequestDecision driveFile(const QString& letter, const QStringList& parts)
{
    const std::optional<DrivePaths::WindowsPath> path =
        DrivePaths::parse(letter + QStringLiteral(":\\") + parts.join(QLatin1Char('\\')));
    // One letter, and nothing below it that reads as more than one part.
    if (letter.size() != 1 || !path || path->parts != parts)
        return refuse(404);
    const DrivePaths::Location location = DrivePaths::locate(*path);
    if (location.outcome != WalkOutcome::Found ||
        !isRegularFile(location.folder.get(), location.name))
        return refuse(404);
    return sendFile(location.localPath, path->drive, path->parts);
}

QByteArray drivePrefix(QChar letter, const QByteArray& secret)
{
    return '/' + secret + "/drive/" + QString(letter.toLower()).toLatin1() + '/';
}

// "/a/b" -> "a", "b"; an empty part ("//", a trailing slash) is never a file. Nothing when the
// path has more parts than any request may have.
std::optional<QList<QByteArrayView>> splitPath(QByteArrayView path)
{
    QList<QByteArrayView> raw;
    qsizetype start = 1;
    while (true) {
        if (raw.size() == kMaxRequestParts)
            return std::nullopt;
        const qsizetype slash = path.indexOf('/', start);
        raw.append(path.sliced(start, (slash < 0 ? path.size() : slash) - start));
        if (slash < 0)
            return raw;
        start = slash + 1;
    }
}

// What the decoded parts below the secret name.
RequestDecision decideTarget(const QStringList& parts, bool post, const PlayerSite& site)
{
    if (parts.isEmpty())
        return refuse(404);
    const QString& kind = parts.first();
    if (kind == QLatin1String("player.html") && parts.size() == 1)
        return post ? refuse(405)
                    : RequestDecision{RequestTarget::PlayerPage, 200, {}, mimeTypeFor(kind)};
    if (kind == QLatin1String("ruffle") && parts.size() == 2)
        return ruffleFile(parts.at(1), site);
    if (kind == QLatin1String("drive") && parts.size() >= 3)
        return driveFile(parts.at(1), parts.mid(2));
    return refuse(404);
}

} // namespace

RequestDecision decideRequest(QByteArrayView method, QByteArrayView host, QByteArrayView rawPath,
                              const PlayerSite& site)
{
    const bool post = method == QByteArrayView("POST");
    if (method != QByteArrayView("GET") && !post)
        return refuse(405);
    if (!site.host.isEmpty() && host != QByteArrayView(site.host))
        return refuse(403);
    if (rawPath.size() > kMaxRequestPathBytes)
        return refuse(414);

    QByteArrayView path = rawPath;
    if (const qsizetype end = path.indexOf('?'); end >= 0)
        path = path.first(end);
    if (const qsizetype end = path.indexOf('#'); end >= 0)
        path = path.first(end);
    if (!path.startsWith('/'))
        return refuse(400);

    const std::optional<QList<QByteArrayView>> raw = splitPath(path);
    if (!raw)
        return refuse(414);
    if (!sameSecret(raw->first(), site.secret))
        return refuse(404);
    QStringList parts;
    for (qsizetype i = 1; i < raw->size(); ++i) {
        const std::optional<QString> part = decodeSegment(raw->at(i));
        if (!part)
            return refuse(404);
        parts.append(*part);
    }
    return decideTarget(parts, post, site);
}

int openDecidedFile(const RequestDecision& decision, const PlayerSite& site)
{
    if (decision.target != RequestTarget::File || decision.parts.isEmpty()) {
        errno = EINVAL;
        return -1;
    }
    if (decision.driveLetter.isNull()) {
        const WalkResult walk = decision.parts.size() == 1
                                    ? findRuffleFile(decision.parts.first(), site)
                                    : WalkResult{};
        if (walk.outcome != WalkOutcome::Found) {
            errno = ENOENT;
            return -1;
        }
        return openRegularFile(walk.folder.get(), walk.name);
    }
    const DrivePaths::Location location =
        DrivePaths::locate(DrivePaths::WindowsPath{decision.driveLetter, decision.parts});
    if (location.outcome != WalkOutcome::Found) {
        errno = location.outcome == WalkOutcome::Failed ? location.error : ENOENT;
        return -1;
    }
    return openRegularFile(location.folder.get(), location.name);
}

QByteArray urlPathForWindowsPath(const QString& windowsPath, const QByteArray& secret)
{
    const std::optional<DrivePaths::WindowsPath> path = DrivePaths::parse(windowsPath);
    if (!path || path->parts.isEmpty())
        return {};
    QByteArrayList encoded;
    for (const QString& part : path->parts)
        encoded.append(QUrl::toPercentEncoding(part));
    return drivePrefix(path->drive, secret) + encoded.join('/');
}

QByteArray urlPathForFolderOf(const QString& windowsPath, const QByteArray& secret)
{
    const std::optional<DrivePaths::WindowsPath> path = DrivePaths::parse(windowsPath);
    if (!path || path->parts.isEmpty())
        return {};
    QByteArray folder = drivePrefix(path->drive, secret);
    for (qsizetype i = 0; i + 1 < path->parts.size(); ++i)
        folder += QUrl::toPercentEncoding(path->parts.at(i)) + '/';
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

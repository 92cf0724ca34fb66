#include "DrivePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#ifndef Q_OS_WIN
#include <climits>
#include <unistd.h>
#endif

namespace lq::DrivePaths {

namespace {

bool isDriveLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// The existing entry of folder whose name equals part without regard to case; an exact match wins,
// and among several that differ only in case the first in sorted order, so the choice is stable.
QString matchEntry(const QString& folder, const QString& part)
{
    if (QFileInfo(folder + QLatin1Char('/') + part).exists() ||
        QFileInfo(folder + QLatin1Char('/') + part).isSymLink())
        return part;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(part, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return part;
}

#ifdef Q_OS_WIN
// The canonical form of the longest part of path that exists.
std::optional<QString> resolveLinks(const QString& path)
{
    QString probe = QDir::cleanPath(path);
    QString rest;
    while (!probe.isEmpty()) {
        const QString canonical = QFileInfo(probe).canonicalFilePath();
        if (!canonical.isEmpty())
            return rest.isEmpty() ? canonical : canonical + rest;
        const qsizetype slash = probe.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        rest = probe.mid(slash) + rest;
        probe.truncate(slash);
    }
    return QDir::cleanPath(path);
}
#else
// Where a path leads once every symbolic link along it is followed, as the system would follow
// them. Dangling links are followed too, since a save through one creates its target. Parts that
// do not exist are kept as they are. Nothing when the links go round in a loop or nest too deep.
std::optional<QString> resolveLinks(const QString& path)
{
    constexpr int kMaxLinks = 40; // the system's own limit
    // Not cleaned first: "link/.." is the folder above the link's target, not the link's folder.
    const QString absolute =
        QDir::isRelativePath(path) ? QDir::currentPath() + QLatin1Char('/') + path : path;
    QStringList pending = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList resolved; // real folders only, so ".." is always the folder above
    int links = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeFirst();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!resolved.isEmpty())
                resolved.removeLast();
            continue;
        }
        resolved << part;
        const QByteArray candidate =
            QFile::encodeName(QLatin1Char('/') + resolved.join(QLatin1Char('/')));
        char target[PATH_MAX];
        const ssize_t size = ::readlink(candidate.constData(), target, sizeof target);
        if (size < 0)
            continue; // not a link, or not there
        if (++links > kMaxLinks || size == ssize_t(sizeof target))
            return std::nullopt;
        resolved.removeLast();
        const QString linkTarget = QFile::decodeName(QByteArray(target, int(size)));
        if (linkTarget.startsWith(QLatin1Char('/')))
            resolved.clear();
        pending = linkTarget.split(QLatin1Char('/'), Qt::SkipEmptyParts) + pending;
    }
    return QLatin1Char('/') + resolved.join(QLatin1Char('/'));
}
#endif

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/lumen-quill");
}

QString driveFolder(QChar driveLetter)
{
    return dataFolder() + QStringLiteral("/drive_") + driveLetter.toLower();
}

std::optional<QString> toLocal(const QString& windowsPath)
{
    if (windowsPath.size() < 3 || !isDriveLetter(windowsPath.at(0)) ||
        windowsPath.at(1) != QLatin1Char(':') ||
        (windowsPath.at(2) != QLatin1Char('\\') && windowsPath.at(2) != QLatin1Char('/')))
        return std::nullopt;
    if (windowsPath.contains(QChar(0)))
        return std::nullopt;

#ifdef Q_OS_WIN
    return windowsPath;
#else
    // Either slash separates parts, as on the system the paths were written for.
    const QStringList parts = QString(windowsPath.mid(3))
                                  .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = driveFolder(windowsPath.at(0));
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
        path += QLatin1Char('/') + matchEntry(path, part);
    }
    if (!isInsideDriveFolders(path))
        return std::nullopt;
    return path;
#endif
}

bool isInsideDriveFolders(const QString& localPath)
{
    const std::optional<QString> data = resolveLinks(dataFolder());
    const std::optional<QString> resolved = resolveLinks(localPath);
    if (!data || !resolved || !isInside(*resolved, *data))
        return false;
    // The first part below the data folder must be a drive folder.
    const QString first = resolved->mid(data->size() + 1).section(QLatin1Char('/'), 0, 0);
    return first.size() == 7 && first.startsWith(QLatin1String("drive_")) &&
           first.at(6) >= QLatin1Char('a') && first.at(6) <= QLatin1Char('z');
}

} // namespace lq::DrivePaths

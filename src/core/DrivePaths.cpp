#include "DrivePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

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
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                   QDir::NoDotAndDotDot,
                               QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(part, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return part;
}

// The canonical form of the longest part of path that exists.
QString canonicalExistingPrefix(const QString& path)
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
    const QStringList parts =
        windowsPath.mid(3).split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts);
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
    const QString data = canonicalExistingPrefix(dataFolder());
    const QString resolved = canonicalExistingPrefix(localPath);
    if (!isInside(resolved, data))
        return false;
    // The first part below the data folder must be a drive folder.
    const QString first = resolved.mid(data.size() + 1).section(QLatin1Char('/'), 0, 0);
    return first.size() == 7 && first.startsWith(QLatin1String("drive_")) &&
           first.at(6) >= QLatin1Char('a') && first.at(6) <= QLatin1Char('z');
}

} // namespace lq::DrivePaths

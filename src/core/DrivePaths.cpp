#include "DrivePaths.h"

#include "InstallLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lq::DrivePaths {

namespace {

bool isSlash(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

QString joined(const QString& folder, const QStringList& parts)
{
    return parts.isEmpty() ? folder : folder + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

// True when the kernel's name for an open folder is a drive folder of the data folder.
bool isADriveFolder(int folderFd, int dataFd)
{
    const QString where = kernelPath(folderFd);
    const QString data = kernelPath(dataFd) + QLatin1Char('/');
    return data.size() > 1 && where.startsWith(data) &&
           driveLetterOfFolder(QStringView(where).sliced(data.size())).has_value();
}

// Opens the data folder, making it first when asked; the outcome of the walk to it.
WalkOutcome openDataFolder(MissingFolders missing, UniqueFd* fd, Location* location)
{
    const QString data = dataFolder();
    if (missing == MissingFolders::Create && !QFileInfo::exists(data)) {
        if (const int error = makeFolders(data, 0777)) {
            location->error = error;
            return WalkOutcome::Failed;
        }
        location->createdFolders << data;
    }
    *fd = UniqueFd(::open(QFile::encodeName(data).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (fd->isValid())
        return WalkOutcome::Found;
    location->error = errno;
    return errno == ENOENT    ? WalkOutcome::FolderMissing
           : errno == ENOTDIR ? WalkOutcome::NotAFolder
                              : WalkOutcome::Failed;
}

// Opens the drive folder of a letter. One that is a symbolic link counts only when the kernel
// says it leads to another drive folder of the same data folder.
WalkOutcome openDriveFolder(QChar letter, MissingFolders missing, UniqueFd* fd, Location* location)
{
    UniqueFd data;
    if (const WalkOutcome outcome = openDataFolder(missing, &data, location);
        outcome != WalkOutcome::Found)
        return outcome;
    const QByteArray name = QFile::encodeName(driveFolderName(letter));
    if (missing == MissingFolders::Create && ::mkdirat(data.get(), name.constData(), 0777) == 0)
        location->createdFolders << driveFolder(letter);
    struct stat info;
    if (::fstatat(data.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        location->error = errno;
        return errno == ENOENT ? WalkOutcome::FolderMissing : WalkOutcome::Failed;
    }
    if (!S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode))
        return WalkOutcome::NotAFolder;
    const int follow = S_ISLNK(info.st_mode) ? 0 : O_NOFOLLOW;
    *fd =
        UniqueFd(::openat(data.get(), name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC | follow));
    if (S_ISLNK(info.st_mode))
        return fd->isValid() && isADriveFolder(fd->get(), data.get()) ? WalkOutcome::Found
                                                                      : WalkOutcome::LeadsOut;
    location->error = errno;
    return fd->isValid() ? WalkOutcome::Found : WalkOutcome::Failed;
}

} // namespace

bool isDriveLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

QString driveFolderName(QChar driveLetter)
{
    return QString(kDriveFolderPrefix) + driveLetter.toLower();
}

std::optional<QChar> driveLetterOfFolder(QStringView folderName)
{
    if (folderName.size() != kDriveFolderPrefix.size() + 1 ||
        !folderName.startsWith(kDriveFolderPrefix))
        return std::nullopt;
    const QChar letter = folderName.back();
    if (!isDriveLetter(letter) || !letter.isLower())
        return std::nullopt;
    return letter;
}

std::optional<WindowsPath> parse(const QString& windowsPath)
{
    if (windowsPath.size() < 3 || windowsPath.size() > kMaxPathLength ||
        !isDriveLetter(windowsPath.at(0)) || windowsPath.at(1) != QLatin1Char(':') ||
        !isSlash(windowsPath.at(2)) || windowsPath.contains(QChar(0)))
        return std::nullopt;
    WindowsPath path{windowsPath.at(0).toLower(), {}};
    qsizetype start = 3;
    while (start <= windowsPath.size()) {
        qsizetype end = start;
        while (end < windowsPath.size() && !isSlash(windowsPath.at(end)))
            ++end;
        const QStringView part = QStringView(windowsPath).sliced(start, end - start);
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
        if (!part.isEmpty()) {
            if (path.parts.size() == kMaxParts)
                return std::nullopt;
            path.parts.append(part.toString());
        }
        start = end + 1;
    }
    return path;
}

std::optional<QString> folderOf(const QString& windowsPath)
{
    const std::optional<WindowsPath> path = parse(windowsPath);
    if (!path || path->parts.isEmpty())
        return std::nullopt;
    QString folder = path->drive + QStringLiteral(":\\");
    for (const QString& part : path->parts.first(path->parts.size() - 1))
        folder += part + QLatin1Char('\\');
    return folder;
}

QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1Char('/') + QLatin1String(InstallLayout::folderName);
}

QString driveFolder(QChar driveLetter)
{
    return dataFolder() + QLatin1Char('/') + driveFolderName(driveLetter);
}

Location locate(const WindowsPath& path, MissingFolders missing)
{
    Location location;
    const QString root = driveFolder(path.drive);
    UniqueFd drive;
    location.outcome = openDriveFolder(path.drive, missing, &drive, &location);
    if (location.outcome != WalkOutcome::Found) {
        if (location.outcome != WalkOutcome::LeadsOut)
            location.localPath = joined(root, path.parts);
        return location;
    }
    WalkResult walk =
        walkBeneath(drive.get(), root, path.parts,
                    {.ignoreCase = true, .createFolders = missing == MissingFolders::Create});
    location.outcome = walk.outcome;
    location.error = walk.error;
    if (walk.outcome == WalkOutcome::LeadsOut)
        return location;
    location.localPath = joined(root, walk.spelled);
    for (const int part : walk.createdParts)
        location.createdFolders << joined(root, walk.spelled.first(part + 1));
    location.folder = std::move(walk.folder);
    location.name = walk.name;
    return location;
}

Location locate(const QString& windowsPath, MissingFolders missing)
{
    const std::optional<WindowsPath> path = parse(windowsPath);
    return path ? locate(*path, missing) : Location{};
}

std::optional<QString> toLocal(const QString& windowsPath)
{
    const Location location = locate(windowsPath);
    if (isRefused(location))
        return std::nullopt;
    return location.localPath;
}

} // namespace lq::DrivePaths

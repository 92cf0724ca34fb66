#include "FirstStart.h"

#include "DrivePaths.h"
#include "Tables.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace lq::FirstStart {

namespace {

bool isThere(const QString& localPath)
{
    const QFileInfo info(localPath);
    return info.exists() || info.isSymLink();
}

bool isContentFile(const QString& windowsPath)
{
    for (const ContentFile& file : contentFiles())
        if (file.path.compare(windowsPath, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString leadsOutside(const QString& windowsPath)
{
    return QStringLiteral("\u201C%1\u201D leads outside the program's folders.").arg(windowsPath);
}

// Copies an installed file's bytes and permissions into a new file; false when that fails.
bool copyInto(const QString& source, int target)
{
    QFile in(source);
    struct stat info;
    if (!in.open(QIODevice::ReadOnly) || ::fstat(in.handle(), &info) != 0)
        return false;
    QByteArray block;
    do {
        block = in.read(64 * 1024);
        if (writeAll(target, block) != 0)
            return false;
    } while (!block.isEmpty());
    return in.error() == QFileDevice::NoError && ::fchmod(target, info.st_mode & 0777) == 0;
}

// Every folder and file is made beneath a descriptor of its drive folder, so that no symbolic
// link switched meanwhile can lead the layout out of it.
class Layout
{
public:
    Outcome outcome;

    // Creates a folder given as a fixed Windows path, with every missing folder above it.
    bool makeFolder(const QString& windowsPath)
    {
        const DrivePaths::Location location =
            DrivePaths::locate(windowsPath, DrivePaths::MissingFolders::Create);
        outcome.created << location.createdFolders; // from the top down, as they were made
        if (DrivePaths::isRefused(location)) {
            outcome.problems << leadsOutside(windowsPath);
            return false;
        }
        const bool made = location.outcome == WalkOutcome::Found &&
                          ::mkdirat(location.folder.get(), location.name.constData(), 0777) == 0;
        if (made)
            outcome.created << location.localPath;
        struct stat info;
        if (location.outcome != WalkOutcome::Found ||
            ::fstatat(location.folder.get(), location.name.constData(), &info,
                      AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(info.st_mode)) {
            outcome.problems << QStringLiteral("The folder \u201C%1\u201D could not be created.")
                                    .arg(QDir::toNativeSeparators(location.localPath));
            return false;
        }
        return true;
    }

    void copyFile(const QString& source, const QString& windowsPath)
    {
        if (isContentFile(windowsPath))
            return;
        const DrivePaths::Location before = DrivePaths::locate(windowsPath);
        if (DrivePaths::isRefused(before)) {
            outcome.problems << leadsOutside(windowsPath);
            return;
        }
        // Whatever stands there, even a link that leads nowhere, stays as it is.
        const std::optional<QString> folder = DrivePaths::folderOf(windowsPath);
        if (isThere(before.localPath) || !folder || !makeFolder(*folder))
            return;
        const DrivePaths::Location location = DrivePaths::locate(windowsPath);
        if (location.outcome == WalkOutcome::Found) {
            // Made anew, never opened through a link nor over anything that is there.
            const UniqueFd target(::openat(location.folder.get(), location.name.constData(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                           0666));
            if (!target.isValid() && errno == EEXIST)
                return;
            if (target.isValid() && copyInto(source, target.get())) {
                outcome.created << location.localPath;
                return;
            }
            if (target.isValid())
                ::unlinkat(location.folder.get(), location.name.constData(), 0);
        }
        outcome.problems << QStringLiteral("\u201C%1\u201D could not be copied to \u201C%2\u201D.")
                                .arg(QDir::toNativeSeparators(source),
                                     QDir::toNativeSeparators(location.localPath));
    }

    // Every file and folder of one installed drive folder (drive_c) under its drive letter.
    void copyDrive(const QString& installedDrive, QChar letter)
    {
        QDirIterator entries(installedDrive,
                             QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        QStringList folders;
        QStringList files;
        while (entries.hasNext()) {
            entries.next();
            const QFileInfo info = entries.fileInfo();
            if (info.isSymLink())
                continue;
            (info.isDir() ? folders : files) << info.filePath();
        }
        // Sorted, so a run is repeatable and parents come before their children.
        folders.sort();
        files.sort();
        const QString drive = QString(letter) + QStringLiteral(":\\");
        auto windowsPath = [&](const QString& installedPath) {
            return drive + QDir(installedDrive)
                               .relativeFilePath(installedPath)
                               .replace(QLatin1Char('/'), QLatin1Char('\\'));
        };
        for (const QString& folder : folders)
            makeFolder(windowsPath(folder) + QLatin1Char('\\'));
        for (const QString& file : files)
            copyFile(file, windowsPath(file));
    }
};

} // namespace

Outcome layOut(const QString& installedDataFolder)
{
    Layout layout;
    for (const char* root : {templateRoot, installRoot}) {
        const std::optional<QString> local = DrivePaths::toLocal(QString::fromLatin1(root));
        if (!local || isThere(*local))
            return layout.outcome;
    }
    layout.outcome.laidOut = true;

    layout.makeFolder(QString::fromLatin1(installRoot));
    for (const Template& row : templates())
        layout.makeFolder(row.folder);

    if (installedDataFolder.isEmpty() || !QFileInfo(installedDataFolder).isDir()) {
        layout.outcome.problems
            << QStringLiteral("The program's own files were not found%1, so the tutorial page and "
                              "the sample movies could not be laid out.")
                   .arg(installedDataFolder.isEmpty()
                            ? QString()
                            : QStringLiteral(" in \u201C%1\u201D")
                                  .arg(QDir::toNativeSeparators(installedDataFolder)));
        return layout.outcome;
    }
    const QStringList drives =
        QDir(installedDataFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : drives) {
        const std::optional<QChar> letter = DrivePaths::driveLetterOfFolder(name);
        const QString installedDrive = installedDataFolder + QLatin1Char('/') + name;
        if (letter && !QFileInfo(installedDrive).isSymLink())
            layout.copyDrive(installedDrive, *letter);
    }
    return layout.outcome;
}

} // namespace lq::FirstStart

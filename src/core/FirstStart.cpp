#include "FirstStart.h"

#include "DrivePaths.h"
#include "InstalledFiles.h"
#include "Tables.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

namespace lq::FirstStart {

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

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

class Layout
{
public:
    Outcome outcome;

    // Creates a folder given as a fixed Windows path, with every missing folder above it.
    bool makeFolder(const QString& windowsPath)
    {
        const std::optional<QString> local = DrivePaths::toLocal(windowsPath);
        if (!local) {
            outcome.problems << QStringLiteral(
                                    "\u201C%1\u201D leads outside the program's folders.")
                                    .arg(windowsPath);
            return false;
        }
        if (QFileInfo(*local).isDir())
            return true;
        // Record each folder as it is made, from the top down.
        QStringList missing;
        for (QString probe = *local; !isThere(probe); probe = QFileInfo(probe).path())
            missing.prepend(probe);
        if (!QDir().mkpath(*local)) {
            outcome.problems << QStringLiteral("The folder \u201C%1\u201D could not be created.")
                                    .arg(native(*local));
            return false;
        }
        outcome.created << missing;
        return true;
    }

    void copyFile(const QString& source, const QString& windowsPath)
    {
        if (isContentFile(windowsPath))
            return;
        const std::optional<QString> local = DrivePaths::toLocal(windowsPath);
        if (!local) {
            outcome.problems << QStringLiteral(
                                    "\u201C%1\u201D leads outside the program's folders.")
                                    .arg(windowsPath);
            return;
        }
        if (isThere(*local))
            return;
        if (!makeFolder(windowsPath.section(QLatin1Char('\\'), 0, -2) + QLatin1Char('\\')))
            return;
        if (!QFile::copy(source, *local)) {
            outcome.problems << QStringLiteral(
                                    "\u201C%1\u201D could not be copied to \u201C%2\u201D.")
                                    .arg(native(source), native(*local));
            return;
        }
        outcome.created << *local;
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

QString installedDataFolder(const QString& executableFolder)
{
    return installedFolder(executableFolder, "share");
}

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
                   .arg(
                       installedDataFolder.isEmpty()
                           ? QString()
                           : QStringLiteral(" in \u201C%1\u201D").arg(native(installedDataFolder)));
        return layout.outcome;
    }
    static const QRegularExpression driveFolder(QStringLiteral("^drive_([a-z])$"));
    const QStringList drives =
        QDir(installedDataFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : drives) {
        const QRegularExpressionMatch match = driveFolder.match(name);
        if (match.hasMatch() &&
            !QFileInfo(installedDataFolder + QLatin1Char('/') + name).isSymLink())
            layout.copyDrive(installedDataFolder + QLatin1Char('/') + name,
                             match.captured(1).at(0));
    }
    return layout.outcome;
}

} // namespace lq::FirstStart

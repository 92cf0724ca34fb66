#include "ContentFileWriter.h"

#include "AnsiCodec.h"
#include "DrivePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lq {

namespace {

SaveStepHook& stepHook()
{
    static SaveStepHook hook;
    return hook;
}

// 0 to go on; otherwise the errno value a test made the step fail with.
int reachStep(SaveStep step)
{
    const SaveStepHook& hook = stepHook();
    return hook ? hook(step) : 0;
}

SaveResult failure(SaveError error, const QString& localPath, const QString& reason)
{
    return {error, localPath, reason};
}

QString nativeFolder(const QFileInfo& file)
{
    return QDir::toNativeSeparators(file.absolutePath());
}

bool hasAnyWriteBit(QFileDevice::Permissions permissions)
{
    return permissions &
           (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

// The folder a content file belongs in is missing, or something else stands in its place.
SaveResult folderFailure(const QFileInfo& file)
{
    const QFileInfo folder(file.absolutePath());
    if (folder.exists() || folder.isSymLink())
        return failure(
            SaveError::FolderMissing, file.filePath(),
            QStringLiteral("\u201C%1\u201D is a file, not a folder.").arg(nativeFolder(file)));
    return failure(
        SaveError::FolderMissing, file.filePath(),
        QStringLiteral("The folder \u201C%1\u201D does not exist.").arg(nativeFolder(file)));
}

// Why the system refused the write, in words a user can act on.
SaveResult explainFailure(QFileDevice::FileError error, const QString& detail,
                          const QString& localPath)
{
    const QFileInfo info(localPath);
    if (error == QFileDevice::ResourceError ||
        detail.contains(QLatin1String("No space left"), Qt::CaseInsensitive) ||
        detail.contains(QLatin1String("quota"), Qt::CaseInsensitive))
        return failure(SaveError::DiskFull, localPath,
                       QStringLiteral("The disk is full. Free some space and save again."));
    if (!QFileInfo(info.absolutePath()).isDir())
        return folderFailure(info);
    if (info.isDir())
        return failure(SaveError::NotAFile, localPath,
                       QStringLiteral("\u201C%1\u201D is a folder, not a text file.")
                           .arg(QDir::toNativeSeparators(localPath)));
    if (detail.contains(QLatin1String("Permission denied"), Qt::CaseInsensitive) ||
        detail.contains(QLatin1String("Operation not permitted"), Qt::CaseInsensitive) ||
        detail.contains(QLatin1String("Read-only file system"), Qt::CaseInsensitive) ||
        !QFileInfo(info.absolutePath()).isWritable())
        return failure(SaveError::PermissionDenied, localPath,
                       QStringLiteral("You do not have permission to write in the folder "
                                      "\u201C%1\u201D.")
                           .arg(nativeFolder(info)));
    return failure(SaveError::WriteFailed, localPath,
                   QStringLiteral("The system reported: %1.").arg(detail));
}

SaveResult explainFailure(const QSaveFile& file, const QString& localPath)
{
    return explainFailure(file.error(), file.errorString(), localPath);
}

bool meansDiskFull(int error)
{
#ifdef EDQUOT
    if (error == EDQUOT)
        return true;
#endif
    return error == ENOSPC;
}

SaveResult explainErrno(int error, const QString& localPath)
{
    return explainFailure(meansDiskFull(error) ? QFileDevice::ResourceError
                                               : QFileDevice::WriteError,
                          qt_error_string(error), localPath);
}

// Forces the temporary file's bytes to disk, so that the rename never publishes a file whose
// text a power cut could still take away. 0 or the errno value.
int syncToDisk(QSaveFile& file)
{
#ifndef Q_OS_WIN
    if (::fsync(file.handle()) != 0)
        return errno;
#else
    Q_UNUSED(file);
#endif
    return 0;
}

// Makes the rename itself last. Best effort: the new text is in place whether or not this works.
void syncFolder(const QString& folder)
{
#ifndef Q_OS_WIN
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// The steps after the checks: a temporary file, the bytes, the disk, the rename.
SaveResult writeReplacing(const QString& localPath, const QByteArray& bytes)
{
    QSaveFile file(localPath);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return explainFailure(file, localPath);

    // Every way out below drops the temporary file, so nothing is left beside the content file.
    auto abandon = [&file](SaveResult result) {
        file.cancelWriting();
        return result;
    };
    if (const int error = reachStep(SaveStep::TemporaryCreated))
        return abandon(explainErrno(error, localPath));
    if (file.write(bytes) != bytes.size() || !file.flush())
        return abandon(explainFailure(file, localPath));
    if (const int error = reachStep(SaveStep::TextWritten))
        return abandon(explainErrno(error, localPath));
    if (const int error = syncToDisk(file))
        return abandon(explainErrno(error, localPath));
    if (const int error = reachStep(SaveStep::TextOnDisk))
        return abandon(explainErrno(error, localPath));
    if (!file.commit())
        return explainFailure(file, localPath);
    syncFolder(QFileInfo(localPath).absolutePath());
    return {SaveError::None, localPath, {}};
}

} // namespace

void setSaveStepHook(SaveStepHook hook)
{
    stepHook() = std::move(hook);
}

SaveResult SaveContentFile(const QString& path, const QString& text)
{
    const AnsiEncoding encoded = encodeAnsi(text);
    const std::optional<QString> local = DrivePaths::toLocal(path);
    if (!local)
        return failure(
            SaveError::InvalidPath, {},
            QStringLiteral("\u201C%1\u201D is not a place this program can write to.").arg(path));
    if (encoded.unrepresentable)
        return failure(SaveError::Unrepresentable, *local,
                       QStringLiteral("The text contains the character %1, which the template's "
                                      "text files cannot hold. Replace it and save again.")
                           .arg(describeCharacter(*encoded.unrepresentable)));

    const QFileInfo info(*local);
    if (!QFileInfo(info.absolutePath()).isDir())
        return folderFailure(info);
    if (info.exists()) {
        if (!info.isFile())
            return failure(SaveError::NotAFile, *local,
                           QStringLiteral("\u201C%1\u201D is a folder, not a text file.")
                               .arg(QDir::toNativeSeparators(*local)));
        // Read-only is the file's own setting, whoever runs the program.
        if (!hasAnyWriteBit(info.permissions()))
            return failure(SaveError::FileReadOnly, *local,
                           QStringLiteral("The file is read-only."));
        if (!info.isWritable())
            return failure(SaveError::PermissionDenied, *local,
                           QStringLiteral("You do not have permission to change this file."));
    }

    QByteArray bytes = encoded.bytes;
    bytes += "\r\n";
    return writeReplacing(*local, bytes);
}

} // namespace lq

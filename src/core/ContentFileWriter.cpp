#include "ContentFileWriter.h"

#include "AnsiCodec.h"
#include "DrivePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace lq {

namespace {

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
    return permissions & (QFileDevice::WriteOwner |
                          QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

// Why the system refused the write, in words a user can act on.
SaveResult explainFailure(const QSaveFile& file, const QString& localPath)
{
    const QFileInfo info(localPath);
    const QString detail = file.errorString();
    if (file.error() == QFileDevice::ResourceError ||
        detail.contains(QLatin1String("No space left"), Qt::CaseInsensitive))
        return failure(SaveError::DiskFull, localPath,
                       QStringLiteral("The disk is full. Free some space and save again."));
    if (!QFileInfo(info.absolutePath()).isDir())
        return failure(SaveError::FolderMissing, localPath,
                       QStringLiteral("The folder \u201C%1\u201D does not exist.")
                           .arg(nativeFolder(info)));
    if (detail.contains(QLatin1String("Permission denied"), Qt::CaseInsensitive) ||
        detail.contains(QLatin1String("Read-only file system"), Qt::CaseInsensitive) ||
        !QFileInfo(info.absolutePath()).isWritable())
        return failure(SaveError::PermissionDenied, localPath,
                       QStringLiteral("You do not have permission to write in the folder "
                                      "\u201C%1\u201D.")
                           .arg(nativeFolder(info)));
    return failure(SaveError::WriteFailed, localPath,
                   QStringLiteral("The system reported: %1.").arg(detail));
}

} // namespace

SaveResult SaveContentFile(const QString& path, const QString& text)
{
    const AnsiEncoding encoded = encodeAnsi(text);
    const std::optional<QString> local = DrivePaths::toLocal(path);
    if (!local)
        return failure(SaveError::InvalidPath, {},
                       QStringLiteral("\u201C%1\u201D is not a place this program can write to.")
                           .arg(path));
    if (encoded.unrepresentable)
        return failure(SaveError::Unrepresentable, *local,
                       QStringLiteral("The text contains the character %1, which the template's "
                                      "text files cannot hold. Replace it and save again.")
                           .arg(describeCharacter(*encoded.unrepresentable)));

    const QFileInfo info(*local);
    if (!QFileInfo(info.absolutePath()).isDir())
        return failure(SaveError::FolderMissing, *local,
                       QStringLiteral("The folder \u201C%1\u201D does not exist.")
                           .arg(nativeFolder(info)));
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

    QSaveFile file(*local);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return explainFailure(file, *local);
    QByteArray bytes = encoded.bytes;
    bytes += "\r\n";
    if (file.write(bytes) != bytes.size()) {
        SaveResult result = explainFailure(file, *local);
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return explainFailure(file, *local);
    return {SaveError::None, *local, {}};
}

} // namespace lq

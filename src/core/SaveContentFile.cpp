#include "SaveContentFile.h"

#include "AnsiCodec.h"
#include "DrivePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

QString nativeFolder(const QString& localPath)
{
    return QDir::toNativeSeparators(QFileInfo(localPath).absolutePath());
}

// The folder a content file belongs in is missing, or something else stands in its place.
SaveResult folderFailure(const QString& localPath)
{
    const QFileInfo folder(QFileInfo(localPath).absolutePath());
    if (folder.exists() || folder.isSymLink())
        return failure(
            SaveError::FolderMissing, localPath,
            QStringLiteral("\u201C%1\u201D is a file, not a folder.").arg(nativeFolder(localPath)));
    return failure(
        SaveError::FolderMissing, localPath,
        QStringLiteral("The folder \u201C%1\u201D does not exist.").arg(nativeFolder(localPath)));
}

// Something that is not a regular file stands where the content file should be.
SaveResult notAFile(const QString& localPath, mode_t mode)
{
    return failure(SaveError::NotAFile, localPath,
                   QStringLiteral("\u201C%1\u201D is %2, not a text file.")
                       .arg(QDir::toNativeSeparators(localPath), describeFileType(mode)));
}

// Why the system refused a step of the save, in words a user can act on. Told from the error
// code alone: the system's own message is in the user's language.
SaveResult explainErrno(int error, const QString& localPath)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return failure(SaveError::DiskFull, localPath,
                       QStringLiteral("The disk is full. Free some space and save again."));
    case EACCES:
    case EPERM:
    case EROFS:
        return failure(SaveError::PermissionDenied, localPath,
                       QStringLiteral("You do not have permission to write in the folder "
                                      "\u201C%1\u201D.")
                           .arg(nativeFolder(localPath)));
    case EISDIR:
        return notAFile(localPath, S_IFDIR);
    case ENOENT:
    case ENOTDIR:
        return folderFailure(localPath);
    default:
        return failure(SaveError::WriteFailed, localPath,
                       QStringLiteral("The system reported: %1.").arg(qt_error_string(error)));
    }
}

SaveResult changedFailure(const QString& localPath)
{
    return failure(SaveError::WriteFailed, localPath,
                   QStringLiteral("\u201C%1\u201D changed while the text was being saved. Save "
                                  "again.")
                       .arg(QDir::toNativeSeparators(localPath)));
}

// A name for the temporary file beside the content file that nothing uses yet.
QByteArray temporaryName(const QByteArray& name)
{
    return '.' + name + '.' + QByteArray::number(QRandomGenerator::system()->generate(), 36);
}

// The new text's file, in the content file's folder: unnamed while it is written, so that a save
// cut off at any point leaves nothing behind. Where the file system cannot make an unnamed file,
// a named one with a fresh name.
struct TemporaryFile
{
    UniqueFd fd;
    QByteArray name; // empty while the file has no name
};

TemporaryFile createTemporary(int folderFd, const QByteArray& name)
{
    // An unnamed file gets its name through /proc/self/fd, which a chroot may lack.
    static const bool canName = ::access("/proc/self/fd", F_OK) == 0;
    TemporaryFile file;
    if (canName) {
        file.fd = UniqueFd(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (file.fd.isValid() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return file;
    }
    for (int attempt = 0; attempt < 100 && !file.fd.isValid(); ++attempt) {
        file.name = temporaryName(name);
        file.fd = UniqueFd(::openat(folderFd, file.name.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.fd.isValid() && errno != EEXIST)
            break;
    }
    if (!file.fd.isValid())
        file.name.clear();
    return file;
}

// Gives an unnamed temporary file a name in its folder; 0 or the errno value.
int nameTemporary(TemporaryFile& file, int folderFd, const QByteArray& name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.fd.get());
    for (int attempt = 0; attempt < 100 && file.name.isEmpty(); ++attempt) {
        const QByteArray candidate = temporaryName(name);
        if (::linkat(AT_FDCWD, self.constData(), folderFd, candidate.constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            file.name = candidate;
        else if (errno != EEXIST)
            return errno;
    }
    return file.name.isEmpty() ? EEXIST : 0;
}

// Makes the rename itself last. Best effort: the new text is in place whether or not this works.
void syncFolder(int folderFd)
{
    const UniqueFd folder(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isValid())
        ::fsync(folder.get());
}

bool sameFile(int first, int second)
{
    struct stat a;
    struct stat b;
    return ::fstat(first, &a) == 0 && ::fstat(second, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// Looks again, just before the rename, whether the path still leads to the folder the text was
// written in: a folder moved away or swapped for a file meanwhile is reported, not written to.
std::optional<SaveResult> movedMeanwhile(const QString& path, const DrivePaths::Location& saved)
{
    const DrivePaths::Location now = DrivePaths::locate(path);
    if (now.outcome == WalkOutcome::Found && sameFile(now.folder.get(), saved.folder.get()))
        return std::nullopt;
    if (now.outcome == WalkOutcome::FolderMissing || now.outcome == WalkOutcome::NotAFolder)
        return folderFailure(saved.localPath);
    return changedFailure(saved.localPath);
}

// What stands at the content file's place: nothing yet, or a file the save may replace, whose
// permissions the new file then keeps; otherwise why the save may not go on.
SaveResult checkExisting(const DrivePaths::Location& target, std::optional<mode_t>* keptMode)
{
    const QString& localPath = target.localPath;
    struct stat info;
    if (::fstatat(target.folder.get(), target.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? SaveResult{} : explainErrno(errno, localPath);
    if (S_ISLNK(info.st_mode)) // a link put there since the path was followed
        return changedFailure(localPath);
    if (!S_ISREG(info.st_mode))
        return notAFile(localPath, info.st_mode);
    // Read-only is the file's own setting, whoever runs the program.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return failure(SaveError::FileReadOnly, localPath,
                       QStringLiteral("The file is read-only."));
    if (::faccessat(target.folder.get(), target.name.constData(), W_OK,
                    AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return failure(SaveError::PermissionDenied, localPath,
                       QStringLiteral("You do not have permission to change this file."));
    *keptMode = info.st_mode & 07777;
    return {};
}

// The folder refuses a new file, but the content file itself may be written: no temporary file,
// no rename.
bool folderRefusesOnly(int error, std::optional<mode_t> keptMode)
{
    return keptMode && (error == EACCES || error == EPERM || error == EROFS);
}

// Writes the content file in place, for a folder that takes no new file: the room for the text
// is taken first, so that a full disk leaves the earlier text as it was; then the text goes over
// it from the start, the rest is cut off and everything is forced to disk. Only a failure of the
// disk itself while the bytes go out can leave the file half written.
SaveResult writeInPlace(const DrivePaths::Location& target, const QByteArray& bytes,
                        int folderError)
{
    const UniqueFd file(::openat(target.folder.get(), target.name.constData(),
                                 O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isValid())
        return errno == ELOOP ? changedFailure(target.localPath)
                              : explainErrno(folderError, target.localPath);
    struct stat info;
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return changedFailure(target.localPath);
    int error = 0;
    if (::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        error = errno;
    if (!error)
        error = writeAll(file.get(), bytes);
    if (!error)
        error = reachStep(SaveStep::TextWritten);
    if (!error && ::ftruncate(file.get(), off_t(bytes.size())) != 0)
        error = errno;
    if (!error && ::fsync(file.get()) != 0)
        error = errno;
    if (!error)
        error = reachStep(SaveStep::TextOnDisk);
    if (error == EACCES || error == EPERM)
        return failure(SaveError::PermissionDenied, target.localPath,
                       QStringLiteral("You do not have permission to change this file."));
    if (error)
        return explainErrno(error, target.localPath);
    return {SaveError::None, target.localPath, {}};
}

// The steps after the checks: a temporary file, the bytes, the disk, the rename, all relative to
// the folder's descriptor.
SaveResult writeReplacing(const QString& path, const DrivePaths::Location& target,
                          const QByteArray& bytes, std::optional<mode_t> keptMode)
{
    const int folder = target.folder.get();
    TemporaryFile file = createTemporary(folder, target.name);
    if (!file.fd.isValid()) {
        const int error = errno;
        return folderRefusesOnly(error, keptMode) ? writeInPlace(target, bytes, error)
                                                  : explainErrno(error, target.localPath);
    }
    // Every way out below drops the temporary file, so nothing is left beside the content file.
    auto abandon = [&](SaveResult result) {
        if (!file.name.isEmpty())
            ::unlinkat(folder, file.name.constData(), 0);
        return result;
    };
    if (keptMode)
        ::fchmod(file.fd.get(), *keptMode);
    int error = reachStep(SaveStep::TemporaryCreated);
    if (!error)
        error = writeAll(file.fd.get(), bytes);
    if (!error)
        error = reachStep(SaveStep::TextWritten);
    // On disk before the rename, so that no power cut can publish a file without its text.
    if (!error && ::fsync(file.fd.get()) != 0)
        error = errno;
    if (!error)
        error = reachStep(SaveStep::TextOnDisk);
    if (error)
        return abandon(explainErrno(error, target.localPath));
    if (const std::optional<SaveResult> moved = movedMeanwhile(path, target))
        return abandon(*moved);
    if (file.name.isEmpty())
        error = nameTemporary(file, folder, target.name);
    if (!error && ::renameat(folder, file.name.constData(), folder, target.name.constData()) != 0)
        error = errno;
    if (error)
        return abandon(explainErrno(error, target.localPath));
    syncFolder(folder);
    return {SaveError::None, target.localPath, {}};
}

} // namespace

void setSaveStepHook(SaveStepHook hook)
{
    stepHook() = std::move(hook);
}

SaveResult SaveContentFile(const QString& path, const QString& text)
{
    const AnsiEncoding encoded = encodeAnsi(text);
    const DrivePaths::Location target = DrivePaths::locate(path);
    if (DrivePaths::isRefused(target))
        return failure(
            SaveError::InvalidPath, {},
            QStringLiteral("\u201C%1\u201D is not a place this program can write to.").arg(path));
    if (encoded.unrepresentable)
        return failure(SaveError::Unrepresentable, target.localPath,
                       QStringLiteral("The text contains the character %1, which the template's "
                                      "text files cannot hold. Replace it and save again.")
                           .arg(describeCharacter(*encoded.unrepresentable)));
    if (target.outcome == WalkOutcome::FolderMissing || target.outcome == WalkOutcome::NotAFolder)
        return folderFailure(target.localPath);
    if (target.outcome == WalkOutcome::Failed)
        return explainErrno(target.error, target.localPath);

    std::optional<mode_t> keptMode;
    if (SaveResult refused = checkExisting(target, &keptMode); !refused.ok())
        return refused;
    QByteArray bytes = encoded.bytes;
    bytes += "\r\n";
    return writeReplacing(path, target, bytes, keptMode);
}

} // namespace lq

#include "DiskPublication.h"

#include "ConfinedWalk.h"
#include "PublicationPage.h"
#include "Publishing.h"
#include "PublishingSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace lq {

namespace {

using publishing::Failure;
using publishing::native;
using publishing::Result;

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Why the system refused to write, in words a user can act on (told from the code alone: the
// system's own message is in the user's language).
QString writeReason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
    case EACCES:
    case EPERM:
        return QStringLiteral("you do not have permission to write there");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case ENOENT:
        return QStringLiteral("the folder does not exist");
    case ENOTDIR:
        return QStringLiteral("a file stands where a folder should be");
    default:
        return QStringLiteral("the system reported: %1").arg(qt_error_string(error));
    }
}

Failure writeFailure(const QString& path, int error)
{
    return {QStringLiteral("cannot write %1: %2").arg(native(path), writeReason(error))};
}

// --- Files and folders, made as cp and mkdir make them: 0644 and 0755, less the umask --------

int makeFolder(const QString& path)
{
    return ::mkdir(encoded(path).constData(), 0755) == 0 ? 0 : errno;
}

UniqueFd openNewFile(const QString& path)
{
    return UniqueFd(
        ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
}

int makeEmptyFile(const QString& path)
{
    return openNewFile(path).isValid() ? 0 : errno;
}

// Writes a whole file and forces it to disk; the errno value of a failure, or 0. The file is new,
// or an empty one this publication made.
int writeFile(const QString& path, QByteArrayView bytes)
{
    const UniqueFd fd(
        ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.isValid())
        return errno;
    if (const int error = writeAll(fd.get(), bytes))
        return error;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// Which end of a copy failed: the program's own file, or the copy in the publication.
enum class CopySide { Reading, Writing };

struct CopyError
{
    int error = 0;
    CopySide side = CopySide::Writing;
};

// Copies from the start of `in` to `out`, which is emptied first, through memory.
CopyError copyThroughMemory(int in, int out)
{
    if (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) < 0)
        return {errno, CopySide::Writing};
    if (::lseek(in, 0, SEEK_SET) < 0)
        return {errno, CopySide::Reading};
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (true) {
        const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {errno, CopySide::Reading};
        if (got == 0)
            return {};
        if (const int error = writeAll(out, QByteArrayView(buffer.constData(), got)))
            return {error, CopySide::Writing};
    }
}

// Copies a file of the program's own into a new file, in the kernel where the disk allows it,
// and forces it to disk.
CopyError copyFile(const QString& from, const QString& to)
{
    const UniqueFd in(::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.isValid())
        return {errno, CopySide::Reading};
    const UniqueFd out = openNewFile(to);
    if (!out.isValid())
        return {errno, CopySide::Writing};
    while (true) {
        const ssize_t copied = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 30, 0);
        if (copied == 0)
            break;
        if (copied > 0 || errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return {errno, CopySide::Writing};
        // Across file systems on older kernels: through memory instead.
        if (const CopyError failed = copyThroughMemory(in.get(), out.get()); failed.error)
            return failed;
        break;
    }
    return {::fsync(out.get()) == 0 ? 0 : errno, CopySide::Writing};
}

int syncFolder(const QString& path)
{
    const UniqueFd fd(::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isValid())
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// --- What stands at the target ---------------------------------------------------------------

// A regular file (never a link, a pipe or a device) that carries our generator tag.
bool isPublicationPage(const QString& path)
{
    const QFileInfo info(path);
    const UniqueFd folder(
        ::open(encoded(info.absolutePath()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const UniqueFd fd(folder.isValid() ? openRegularFile(folder.get(), encoded(info.fileName()))
                                       : -1);
    QFile file;
    if (!fd.isValid() || !file.open(fd.get(), QIODevice::ReadOnly))
        return false;
    return file.read(4096).contains(kPublicationMarker);
}

// What stands at the target, seen without following a link.
QString describePlace(mode_t mode)
{
    if (S_ISREG(mode))
        return QStringLiteral("a file");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    return describeFileType(mode);
}

// What publishing may do with the target: put the new publication where nothing is, or replace
// what is there (an empty place, or a publication of ours). Anything else is a refusal.
enum class TargetState { Missing, Replaceable };

bool isOurFolder(const QString& folder, const struct stat&)
{
    return QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                QDir::NoDotAndDotDot) ||
           isPublicationPage(folder + QStringLiteral("/index.html"));
}

bool isOurPage(const QString& file, const struct stat& info)
{
    return info.st_size == 0 || isPublicationPage(file);
}

bool removeFolder(const QString& path)
{
    return QDir(path).removeRecursively();
}

bool removeFile(const QString& path)
{
    return ::unlink(encoded(path).constData()) == 0;
}

// How a publication of one kind is made, recognised and removed on the disk.
struct DiskForm
{
    int (*make)(const QString& path);                             // creates it empty; 0 or errno
    mode_t type;                                                  // S_IFDIR or S_IFREG
    QString kind;                                                 // "folder"
    bool (*isOurs)(const QString& path, const struct stat& info); // empty, or one of ours
    QString foreign;                     // the refusal of anything else, %1 the place
    bool (*remove)(const QString& path); // removes one of ours
    QString asideSuffix;                 // kept after " (new)" when set aside
};

const DiskForm kFolder{
    .make = makeFolder,
    .type = S_IFDIR,
    .kind = QStringLiteral("folder"),
    .isOurs = isOurFolder,
    .foreign = QStringLiteral("the folder %1 holds files that are not a publication of Lumen "
                              "Quill; choose an empty or new folder"),
    .remove = removeFolder,
};
const DiskForm kPage{
    .make = makeEmptyFile,
    .type = S_IFREG,
    .kind = QStringLiteral("file"),
    .isOurs = isOurPage,
    .foreign = QStringLiteral("the file %1 is not a publication of Lumen Quill and is left as it "
                              "is; choose another name"),
    .remove = removeFile,
    .asideSuffix = QStringLiteral(".html"),
};

// What stands at a target now, seen without following a link.
Result<TargetState> checkTarget(const QString& target, const DiskForm& form)
{
    struct stat info;
    if (::lstat(encoded(target).constData(), &info) != 0)
        return errno == ENOENT ? Result<TargetState>(TargetState::Missing)
                               : writeFailure(target, errno);
    const QString shown = native(target);
    if ((info.st_mode & S_IFMT) != form.type)
        return Failure{QStringLiteral("%1 is %2, not a %3")
                           .arg(shown, describePlace(info.st_mode), form.kind)};
    if (form.isOurs(target, info))
        return TargetState::Replaceable;
    return Failure{form.foreign.arg(shown)};
}

// A free name beside the target for what is being written, made empty by the form:
// ".NAME.publishing-XXXXXXX".
Result<QString> makeBeside(const QString& target, const DiskForm& form)
{
    const QFileInfo info(target);
    int error = EEXIST;
    for (int attempt = 0; attempt < 64 && error == EEXIST; ++attempt) {
        const QString name = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                             QStringLiteral(".publishing-") +
                             QString::number(QRandomGenerator::global()->generate64(), 36);
        error = form.make(name);
        if (error == 0)
            return name;
    }
    return writeFailure(info.absolutePath(), error);
}

// --- Putting it in place ---------------------------------------------------------------------

int renameTo(const QString& from, const QString& to, unsigned flags)
{
    return ::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(),
                       flags) == 0
               ? 0
               : errno;
}

// A publication that could not be put in place is moved to a free name the user can see beside
// the target ("NAME (new)", "NAME (new 2)", ...), or left where it was written; the failure then
// says where it is.
Failure keptAside(const QString& written, const QString& target, const DiskForm& form,
                  Failure failure)
{
    QString base = target;
    QString suffix;
    if (!form.asideSuffix.isEmpty() && base.endsWith(form.asideSuffix, Qt::CaseInsensitive)) {
        suffix = base.right(form.asideSuffix.size());
        base.chop(suffix.size());
    }
    QString kept = written;
    for (int n = 1; n <= 9; ++n) {
        const QString aside =
            base + (n == 1 ? QStringLiteral(" (new)") : QStringLiteral(" (new %1)").arg(n)) +
            suffix;
        const int error = renameTo(written, aside, RENAME_NOREPLACE);
        if (error == 0) {
            kept = aside;
            break;
        }
        if (error != EEXIST)
            break;
    }
    failure.message += QStringLiteral("; the new publication is kept as %1").arg(native(kept));
    return failure;
}

// Removes what was written for a publication that failed; says so when even that fails.
Failure discarded(const QString& written, const DiskForm& form, Failure failure)
{
    if (!form.remove(written))
        failure.message += QStringLiteral("; what was written is left in %1 and may be deleted")
                               .arg(native(written));
    return failure;
}

// A check of what a swap moved out, named as the user knows it: by the target.
std::optional<Failure> displacedIsForeign(const QString& displaced, const QString& target,
                                          const DiskForm& form)
{
    auto state = checkTarget(displaced, form);
    auto* failure = std::get_if<Failure>(&state);
    if (!failure)
        return std::nullopt;
    failure->message.replace(native(displaced), native(target));
    return *failure;
}

// Puts what was written in place of the target, deciding again right before: renamed to the
// target where nothing stands, or swapped in one step with what stands there, which is removed
// only once it is seen to be ours. Whatever is not ours stays as it is, and so does the new
// publication, beside it.
std::optional<Failure> moveIntoPlace(const QString& written, const QString& target,
                                     const DiskForm& form)
{
    auto state = checkTarget(target, form);
    if (auto* failure = std::get_if<Failure>(&state))
        return keptAside(written, target, form, *failure);
    const bool nothingThere = std::get<TargetState>(state) == TargetState::Missing;
    if (const int error =
            renameTo(written, target, nothingThere ? RENAME_NOREPLACE : RENAME_EXCHANGE)) {
        if (error == EEXIST || error == ENOENT)
            return keptAside(written, target, form,
                             {QStringLiteral("%1 changed while publishing and is left as it is")
                                  .arg(native(target))});
        return discarded(written, form, writeFailure(target, error));
    }
    if (!nothingThere) {
        // `written` now names what stood at the target.
        if (auto foreign = displacedIsForeign(written, target, form)) {
            if (const int error = renameTo(written, target, RENAME_EXCHANGE))
                return Failure{QStringLiteral("%1 changed while publishing; it was moved to %2 "
                                              "and could not be moved back: %3")
                                   .arg(native(target), native(written), writeReason(error))};
            return keptAside(written, target, form, *foreign);
        }
    }
    const QString parent = QFileInfo(target).absolutePath();
    if (const int error = syncFolder(parent))
        return writeFailure(parent, error);
    if (!nothingThere && !form.remove(written))
        return Failure{QStringLiteral("the new publication is in place, but the earlier one, "
                                      "moved to %1, could not be removed")
                           .arg(native(written))};
    return std::nullopt;
}

// --- The two places on the disk --------------------------------------------------------------

// The web folder's files, written into a fresh folder.
std::optional<Failure> writeFolderFiles(const QString& folder, const PageContent& content)
{
    QString problem;
    const QByteArray index = buildFolderPage(content, &problem);
    if (index.isEmpty())
        return Failure{problem};
    const auto write = [](const QString& path, QByteArrayView bytes) -> std::optional<Failure> {
        if (const int error = writeFile(path, bytes))
            return writeFailure(path, error);
        return std::nullopt;
    };
    if (auto failure = write(folder + QStringLiteral("/index.html"), index))
        return failure;
    if (auto failure = write(folder + QLatin1Char('/') + content.movieName, content.movie))
        return failure;
    for (const MovieText& text : content.texts) {
        if (auto failure = write(folder + QLatin1Char('/') + text.fileName, text.bytes))
            return failure;
    }
    const QString player = folder + QStringLiteral("/ruffle");
    if (const int error = makeFolder(player))
        return writeFailure(player, error);
    // The player as a publication carries it: its code gzipped, for the page to unpack.
    const QDir installed(content.dataFolder + QStringLiteral("/publish/player"));
    for (const QFileInfo& file : installed.entryInfoList(QDir::Files)) {
        const QString copy = player + QLatin1Char('/') + file.fileName();
        const CopyError failed = copyFile(file.filePath(), copy);
        if (failed.error && failed.side == CopySide::Reading)
            return Failure{QStringLiteral("cannot read the program's file %1: %2")
                               .arg(native(file.filePath()), qt_error_string(failed.error))};
        if (failed.error)
            return writeFailure(copy, failed.error);
    }
    if (const int error = syncFolder(player))
        return writeFailure(player, error);
    if (const int error = syncFolder(folder))
        return writeFailure(folder, error);
    return std::nullopt;
}

// The request's target made absolute, checked, and with the folders above it made; or a refusal.
Result<QString> prepareTarget(const PublishRequest& request, const DiskForm& form)
{
    const QString target = QFileInfo(request.target).absoluteFilePath();
    auto state = checkTarget(target, form);
    if (auto* failure = std::get_if<Failure>(&state))
        return *failure;
    const QString parent = QFileInfo(target).absolutePath();
    if (const int error = makeFolders(parent, 0755))
        return writeFailure(parent, error);
    return target;
}

// Makes a fresh publication beside the target with `write`, then puts it in place.
template <typename Write>
Built publishBeside(const PublishRequest& request, const DiskForm& form, Write write)
{
    auto prepared = prepareTarget(request, form);
    if (auto* failure = std::get_if<Failure>(&prepared))
        return {.failure = failure->message};
    const QString target = std::get<QString>(prepared);
    auto made = makeBeside(target, form);
    if (auto* failure = std::get_if<Failure>(&made))
        return {.failure = failure->message};
    const QString written = std::get<QString>(made);
    std::optional<Failure> failure = write(written);
    if (failure) {
        // The user knows the place by the name it was to have, not by the one written first.
        failure->message.replace(native(written), native(target));
        failure = discarded(written, form, *failure);
    } else {
        failure = moveIntoPlace(written, target, form);
    }
    return failure ? Built{.failure = failure->message} : Built{.written = target};
}

} // namespace

std::optional<QString> writeWebFolder(const QString& emptyFolder, const PageContent& content)
{
    if (auto failure = writeFolderFiles(emptyFolder, content))
        return failure->message;
    return std::nullopt;
}

Built publishWebFolder(const PublishRequest& request, const PageContent& content)
{
    return publishBeside(request, kFolder,
                         [&](const QString& folder) { return writeFolderFiles(folder, content); });
}

Built publishSinglePage(const PublishRequest& request, const PageContent& content)
{
    return publishBeside(request, kPage, [&](const QString& file) -> std::optional<Failure> {
        QString problem;
        const QByteArray page = buildSinglePage(content, &problem);
        if (page.isEmpty())
            return Failure{problem};
        if (const int error = writeFile(file, page))
            return writeFailure(file, error);
        return std::nullopt;
    });
}

} // namespace lq

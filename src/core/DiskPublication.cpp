#include "DiskPublication.h"

#include "ConfinedWalk.h"
#include "PublicationPage.h"
#include "Publishing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace lq {

namespace {

// A step of publishing that failed: the message for the user, without the leading words.
struct Failure
{
    QString message;
};

template <typename T> using Result = std::variant<T, Failure>;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
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

// Writes a whole file and forces it to disk; the errno value of a failure, or 0.
int writeFile(const QString& path, const QByteArray& bytes)
{
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd.isValid())
        return errno;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd.get(), bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += written;
    }
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// Copies a file of the program's own into a new file, in the kernel where the disk allows it,
// and forces it to disk; the errno value of a failure, or 0.
int copyFile(const QString& from, const QString& to)
{
    const UniqueFd in(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.isValid())
        return errno;
    const UniqueFd out(
        ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out.isValid())
        return errno;
    while (true) {
        const ssize_t copied = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 30, 0);
        if (copied == 0)
            break;
        if (copied > 0 || errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return errno;
        // Across file systems on older kernels: through memory instead.
        QFile file(from);
        if (!file.open(QIODevice::ReadOnly))
            return EIO;
        const QByteArray bytes = file.readAll();
        ::ftruncate(out.get(), 0);
        ::lseek(out.get(), 0, SEEK_SET);
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t written =
                ::write(out.get(), bytes.constData() + done, bytes.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : ENOSPC;
            done += written;
        }
        break;
    }
    return ::fsync(out.get()) == 0 ? 0 : errno;
}

int syncFolder(const QString& path)
{
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.isValid() && ::fsync(fd.get()) == 0 ? 0 : errno;
}

bool isPublicationPage(const QString& path)
{
    QFile file(path);
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(QIODevice::ReadOnly))
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

// What stands at a folder target now: nothing (false), an empty folder or an earlier publication
// that publishing may replace (true), or a refusal.
Result<bool> checkFolderTarget(const QString& target)
{
    struct stat info;
    if (::lstat(QFile::encodeName(target).constData(), &info) != 0)
        return errno == ENOENT ? Result<bool>(false) : writeFailure(target, errno);
    const QString shown = native(target);
    if (!S_ISDIR(info.st_mode))
        return Failure{
            QStringLiteral("%1 is %2, not a folder").arg(shown, describePlace(info.st_mode))};
    if (QDir(target).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                             QDir::NoDotAndDotDot) ||
        isPublicationPage(target + QStringLiteral("/index.html")))
        return true;
    return Failure{QStringLiteral("the folder %1 holds files that are not a publication of "
                                  "Lumen Quill; choose an empty or new folder")
                       .arg(shown)};
}

// The same for a file target: nothing, an empty file or an earlier page of ours, or a refusal.
Result<bool> checkFileTarget(const QString& target)
{
    struct stat info;
    if (::lstat(QFile::encodeName(target).constData(), &info) != 0)
        return errno == ENOENT ? Result<bool>(false) : writeFailure(target, errno);
    const QString shown = native(target);
    if (!S_ISREG(info.st_mode))
        return Failure{
            QStringLiteral("%1 is %2, not a file").arg(shown, describePlace(info.st_mode))};
    if (info.st_size == 0 || isPublicationPage(target))
        return true;
    return Failure{QStringLiteral("the file %1 is not a publication of Lumen Quill and is left as "
                                  "it is; choose another name")
                       .arg(shown)};
}

// The web folder's files, written into a fresh folder.
std::optional<Failure> writeFolderFiles(const QString& folder, const PageContent& content)
{
    QString problem;
    const QByteArray index = buildFolderPage(content, &problem);
    if (index.isEmpty())
        return Failure{problem};
    const auto write = [](const QString& path, const QByteArray& bytes) -> std::optional<Failure> {
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
    if (::mkdir(QFile::encodeName(player).constData(), 0755) != 0)
        return writeFailure(player, errno);
    const QDir installed(content.dataFolder + QStringLiteral("/ruffle"));
    for (const QFileInfo& file : installed.entryInfoList(QDir::Files)) {
        const QString copy = player + QLatin1Char('/') + file.fileName();
        if (const int error = copyFile(file.filePath(), copy))
            return error == ENOENT || error == EACCES
                       ? Failure{QStringLiteral("cannot read the program's file %1: %2")
                                     .arg(native(file.filePath()), qt_error_string(error))}
                       : writeFailure(copy, error);
    }
    if (const int error = syncFolder(player))
        return writeFailure(player, error);
    if (const int error = syncFolder(folder))
        return writeFailure(folder, error);
    return std::nullopt;
}

// A free name beside the target for what is being written: ".NAME.publishing-XXXXXX".
QByteArray temporaryTemplate(const QString& target)
{
    const QFileInfo info(target);
    return QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                             QStringLiteral(".publishing-XXXXXX"));
}

// Puts what was written in place of the target: swapped with an earlier publication in one step,
// which is then removed, or renamed to a name that is free.
std::optional<Failure> moveIntoPlace(const QString& written, const QString& target, bool replace,
                                     bool folder)
{
    const QByteArray from = QFile::encodeName(written);
    const QByteArray to = QFile::encodeName(target);
    if (!replace) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) !=
            0)
            return writeFailure(target, errno);
    } else if (!folder) {
        if (::rename(from.constData(), to.constData()) != 0)
            return writeFailure(target, errno);
    } else {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0)
            return writeFailure(target, errno);
        QDir(written).removeRecursively(); // now the earlier publication
    }
    syncFolder(QFileInfo(target).absolutePath());
    return std::nullopt;
}

// Where a place on the disk is written: the request's target made absolute, once checked and
// with its parent folders made; or a refusal.
struct DiskTarget
{
    QString path;
    bool replace = false; // an earlier publication (or an empty place) stands there
};

Result<DiskTarget> prepareTarget(const PublishRequest& request,
                                 Result<bool> (*check)(const QString&))
{
    const QString target = QFileInfo(request.target).absoluteFilePath();
    auto replace = check(target);
    if (auto* failure = std::get_if<Failure>(&replace))
        return *failure;
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent))
        return writeFailure(parent, errno);
    return DiskTarget{target, std::get<bool>(replace)};
}

Built built(const QString& target, const std::optional<Failure>& failure)
{
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
    auto prepared = prepareTarget(request, checkFolderTarget);
    if (auto* failure = std::get_if<Failure>(&prepared))
        return built({}, *failure);
    const auto [target, replace] = std::get<DiskTarget>(prepared);
    QByteArray name = temporaryTemplate(target);
    if (!::mkdtemp(name.data()))
        return built({}, writeFailure(QFileInfo(target).absolutePath(), errno));
    const QString written = QFile::decodeName(name);
    auto failure = writeFolderFiles(written, content);
    if (!failure)
        failure = moveIntoPlace(written, target, replace, true);
    if (failure) {
        QDir(written).removeRecursively();
        // The user knows the folder by the name it was to have, not by the one written first.
        failure->message.replace(native(written), native(target));
    }
    return built(target, failure);
}

Built publishSinglePage(const PublishRequest& request, const PageContent& content)
{
    auto prepared = prepareTarget(request, checkFileTarget);
    if (auto* failure = std::get_if<Failure>(&prepared))
        return built({}, *failure);
    const auto [target, replace] = std::get<DiskTarget>(prepared);
    QString problem;
    const QByteArray page = buildSinglePage(content, &problem);
    if (page.isEmpty())
        return built({}, Failure{problem});
    QByteArray name = temporaryTemplate(target);
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return built({}, writeFailure(QFileInfo(target).absolutePath(), errno));
    ::close(fd);
    const QString written = QFile::decodeName(name);
    QFile::remove(written); // written anew below, exclusively
    std::optional<Failure> failure;
    if (const int error = writeFile(written, page))
        failure = writeFailure(target, error);
    if (!failure)
        failure = moveIntoPlace(written, target, replace, false);
    if (failure)
        QFile::remove(written);
    return built(target, failure);
}

} // namespace lq

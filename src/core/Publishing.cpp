#include "Publishing.h"

#include "ConfinedWalk.h"
#include "ContentText.h"
#include "DrivePaths.h"
#include "PublicationPage.h"
#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace lq {

namespace {

// The largest movie or text taken into a publication: far above any template, far below what
// would make a page no browser opens.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

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

const Template* findTemplate(const QString& effectName)
{
    for (const Template& entry : templates()) {
        if (entry.effectName == effectName)
            return &entry;
    }
    return nullptr;
}

QString lastPart(const QString& windowsPath)
{
    return windowsPath.section(QLatin1Char('\\'), -1);
}

// How much of a file of the drive publishing reads.
enum class ReadExtent {
    Whole,      // all of it, refused above kMaxFileBytes (the movie)
    ContentText // as much as a template movie reads of it, and a byte more to tell it was cut
};

// A file of the drive read through the confined walk, or nothing when it is not there.
// A link out of the drive, a folder in its place or a refused read is a failure.
Result<std::optional<QByteArray>> readDriveFile(const QString& windowsPath, ReadExtent extent)
{
    const DrivePaths::Location location = DrivePaths::locate(windowsPath);
    if (location.outcome == WalkOutcome::LeadsOut)
        return Failure{
            QStringLiteral("%1 leads out of the drive folder, which is refused").arg(windowsPath)};
    const QString local = native(location.localPath);
    if (location.outcome == WalkOutcome::FolderMissing ||
        location.outcome == WalkOutcome::NotAFolder)
        return std::optional<QByteArray>();
    if (location.outcome != WalkOutcome::Found)
        return Failure{
            QStringLiteral("cannot read %1: %2").arg(local, qt_error_string(location.error))};
    UniqueFd fd(openRegularFile(location.folder.get(), location.name));
    if (!fd.isValid()) {
        const int error = errno;
        if (error == ENOENT)
            return std::optional<QByteArray>();
        struct stat info;
        if ((error == EISDIR || error == EINVAL) &&
            ::fstatat(location.folder.get(), location.name.constData(), &info,
                      AT_SYMLINK_NOFOLLOW) == 0)
            return Failure{
                QStringLiteral("%1 is %2, not a file").arg(local, describeFileType(info.st_mode))};
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, qt_error_string(error))};
    }
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, file.errorString())};
    if (extent == ReadExtent::Whole && file.size() > kMaxFileBytes)
        return Failure{QStringLiteral("cannot read %1: it is larger than %2 MiB")
                           .arg(local)
                           .arg(kMaxFileBytes >> 20)};
    QByteArray bytes =
        extent == ReadExtent::Whole ? file.readAll() : file.read(kContentReadLimit + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, file.errorString())};
    return std::optional<QByteArray>(std::move(bytes));
}

QString localPathOf(const QString& windowsPath)
{
    return native(DrivePaths::locate(windowsPath).localPath);
}

// The movie and the texts of a template, as they are on the drive now.
struct Sources
{
    PageContent content;
    QStringList missing;
};

// The language of the texts unless the user names one: the user's own, as the system says it.
QString systemLanguage()
{
    const QLocale locale = QLocale::system();
    return locale.language() == QLocale::C ? QStringLiteral("en") : locale.bcp47Name();
}

Result<Sources> readSources(const Template& entry, const QString& dataFolder)
{
    Sources sources;
    sources.content.language = systemLanguage();
    sources.content.movieName = lastPart(entry.movie);
    sources.content.dataFolder = dataFolder;
    auto movie = readDriveFile(entry.movie, ReadExtent::Whole);
    if (auto* failure = std::get_if<Failure>(&movie))
        return *failure;
    const std::optional<QByteArray>& bytes = std::get<std::optional<QByteArray>>(movie);
    if (!bytes)
        return Failure{QStringLiteral("there is no movie at %1").arg(localPathOf(entry.movie))};
    const QByteArray signature = bytes->left(3);
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return Failure{QStringLiteral("%1 is not a Flash movie (it does not begin with FWS, "
                                      "CWS or ZWS)")
                           .arg(localPathOf(entry.movie))};
    sources.content.movie = *bytes;
    for (const ContentFile& file : contentFiles()) {
        if (file.effectName != entry.effectName)
            continue;
        auto text = readDriveFile(file.path, ReadExtent::ContentText);
        if (auto* failure = std::get_if<Failure>(&text))
            return *failure;
        if (const auto& textBytes = std::get<std::optional<QByteArray>>(text))
            sources.content.texts.append({lastPart(file.path), publishedContentFile(*textBytes),
                                          file.section, file.holdsSiteTitle()});
        else
            sources.missing << file.path;
    }
    return sources;
}

// --- Writing ---------------------------------------------------------------------------------

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

// What stands at the target now: nothing, or something publishing may replace, or a refusal.
Result<bool> checkTarget(const QString& target, PublicationForm form)
{
    struct stat info;
    if (::lstat(QFile::encodeName(target).constData(), &info) != 0)
        return errno == ENOENT ? Result<bool>(false) : writeFailure(target, errno);
    const QString shown = native(target);
    if (form == PublicationForm::WebFolder) {
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
std::optional<Failure> writeWebFolder(const QString& folder, const Sources& sources,
                                      const QByteArray& index)
{
    const auto write = [](const QString& path, const QByteArray& bytes) -> std::optional<Failure> {
        if (const int error = writeFile(path, bytes))
            return writeFailure(path, error);
        return std::nullopt;
    };
    if (auto failure = write(folder + QStringLiteral("/index.html"), index))
        return failure;
    if (auto failure =
            write(folder + QLatin1Char('/') + sources.content.movieName, sources.content.movie))
        return failure;
    for (const MovieText& text : sources.content.texts) {
        if (auto failure = write(folder + QLatin1Char('/') + text.fileName, text.bytes))
            return failure;
    }
    const QString player = folder + QStringLiteral("/ruffle");
    if (::mkdir(QFile::encodeName(player).constData(), 0755) != 0)
        return writeFailure(player, errno);
    // The player as a publication carries it: its code gzipped, for the page to unpack.
    const QDir installed(sources.content.dataFolder + QStringLiteral("/publish/player"));
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

std::optional<Failure> publishFolder(const QString& target, bool replace, const Sources& sources)
{
    QString problem;
    const QByteArray index = buildFolderPage(sources.content, &problem);
    if (index.isEmpty())
        return Failure{problem};
    QByteArray name = temporaryTemplate(target);
    if (!::mkdtemp(name.data()))
        return writeFailure(QFileInfo(target).absolutePath(), errno);
    const QString written = QFile::decodeName(name);
    auto failure = writeWebFolder(written, sources, index);
    if (!failure)
        failure = moveIntoPlace(written, target, replace, true);
    if (failure) {
        QDir(written).removeRecursively();
        // The user knows the folder by the name it was to have, not by the one written first.
        failure->message.replace(native(written), native(target));
    }
    return failure;
}

std::optional<Failure> publishPage(const QString& target, bool replace, const Sources& sources)
{
    QString problem;
    const QByteArray page = buildSinglePage(sources.content, &problem);
    if (page.isEmpty())
        return Failure{problem};
    QByteArray name = temporaryTemplate(target);
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return writeFailure(QFileInfo(target).absolutePath(), errno);
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
    return failure;
}

PublishOutcome failed(const QString& effectName, const Failure& failure)
{
    PublishOutcome outcome;
    outcome.error = QStringLiteral("Cannot publish %1: %2.").arg(effectName, failure.message);
    return outcome;
}

} // namespace

PublishOutcome publishTemplate(const PublishRequest& request)
{
    const Template* entry = findTemplate(request.effectName);
    if (!entry)
        return failed(request.effectName,
                      {QStringLiteral("it is not a template; choose one of %1")
                           .arg(publishableEffects().join(QStringLiteral(", ")))});
    if (request.target.isEmpty())
        return failed(request.effectName, {QStringLiteral("no place to publish to was given")});
    const QString target = QFileInfo(request.target).absoluteFilePath();
    auto sources = readSources(*entry, request.dataFolder);
    if (auto* failure = std::get_if<Failure>(&sources))
        return failed(request.effectName, *failure);
    auto replace = checkTarget(target, request.form);
    if (auto* failure = std::get_if<Failure>(&replace))
        return failed(request.effectName, *failure);
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent))
        return failed(request.effectName, writeFailure(parent, errno));

    const Sources& read = std::get<Sources>(sources);
    const bool earlier = std::get<bool>(replace);
    const auto failure = request.form == PublicationForm::WebFolder
                             ? publishFolder(target, earlier, read)
                             : publishPage(target, earlier, read);
    if (failure)
        return failed(request.effectName, *failure);
    PublishOutcome outcome;
    outcome.ok = true;
    outcome.written = target;
    outcome.missingContentFiles = read.missing;
    return outcome;
}

QString defaultPublicationTarget(const QString& effectName, PublicationForm form,
                                 const QString& documentsFolder)
{
    const QString name =
        form == PublicationForm::SinglePage ? effectName + QStringLiteral(".html") : effectName;
    return QDir(documentsFolder).filePath(name);
}

QStringList publishableEffects()
{
    QStringList names;
    const QStringList list = effectListEntries();
    for (const QString& entry : list) {
        if (findTemplate(entry))
            names << entry;
    }
    return names;
}

} // namespace lq

#include "ConfinedWalk.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lq {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int UniqueFd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

namespace {

constexpr int kMaxLinks = 40; // the system's own limit
// How often a step is tried again when what stands at a name changed between looking and opening.
constexpr int kMaxRetries = 8;

struct Step
{
    QByteArray name;
    int part = -1; // the index of a given name; -1 for a name from a link's target
};

class Walk
{
public:
    Walk(int rootFd, const QString& rootPath, WalkOptions options)
        : m_root(rootFd), m_rootPath(QFile::encodeName(rootPath)), m_options(options)
    {}

    WalkResult run(const QStringList& names);

private:
    bool takeStep(Step step, bool last);
    bool climb(const QByteArray& name, bool last);
    bool tryAgain(Step step, int error);
    int current() const { return m_folders.empty() ? m_root : m_folders.back().get(); }
    QByteArray matchName(const QByteArray& name) const;
    bool followLink(const QByteArray& name);
    std::optional<QByteArray> belowRoot(const QByteArray& absolute);
    bool enterFolder(const QByteArray& name);
    bool createFolder(const Step& step);
    bool end(WalkOutcome outcome, int error = 0);
    bool found(const QByteArray& name);

    int m_root;
    QByteArray m_rootPath;
    QByteArray m_rootKernelPath; // read when an absolute link is first met
    WalkOptions m_options;
    std::vector<UniqueFd> m_folders; // the folders entered below the root, deepest last
    std::vector<Step> m_pending;     // the names still to walk, next last
    WalkResult m_result;
    int m_links = 0;
    int m_retries = 0;
};

WalkResult Walk::run(const QStringList& names)
{
    m_result.spelled = names;
    for (qsizetype i = names.size() - 1; i >= 0; --i)
        m_pending.push_back({QFile::encodeName(names.at(i)), int(i)});
    while (!m_pending.empty()) {
        Step step = std::move(m_pending.back());
        m_pending.pop_back();
        if (!takeStep(std::move(step), m_pending.empty()))
            return std::move(m_result);
    }
    found(".");
    return std::move(m_result);
}

// One name of the walk; false once the walk has ended.
bool Walk::takeStep(Step step, bool last)
{
    if (step.name == "." || step.name == "..")
        return climb(step.name, last);
    if (step.part >= 0 && m_options.ignoreCase) {
        step.name = matchName(step.name);
        m_result.spelled[step.part] = QFile::decodeName(step.name);
    }
    struct stat info;
    if (::fstatat(current(), step.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return end(WalkOutcome::Failed, errno);
        if (last)
            return found(step.name);
        if (!m_options.createFolders || step.part < 0)
            return tryAgain(std::move(step), ENOENT) || end(WalkOutcome::FolderMissing);
        return createFolder(step) || end(WalkOutcome::Failed, errno);
    }
    if (S_ISLNK(info.st_mode)) {
        if (++m_links > kMaxLinks)
            return end(WalkOutcome::LeadsOut);
        if (followLink(step.name))
            return true;
        const int error = errno;
        if (error == 0)
            return end(WalkOutcome::LeadsOut);
        return tryAgain(std::move(step), error) || end(WalkOutcome::Failed, error);
    }
    if (last)
        return found(step.name);
    if (!S_ISDIR(info.st_mode))
        return end(WalkOutcome::NotAFolder);
    if (enterFolder(step.name))
        return true;
    const int error = errno;
    return tryAgain(std::move(step), error) || end(WalkOutcome::Failed, error);
}

// "." stays, ".." goes up a folder but never above the root.
bool Walk::climb(const QByteArray& name, bool last)
{
    if (name == "..") {
        if (m_folders.empty())
            return end(WalkOutcome::LeadsOut);
        m_folders.pop_back();
    }
    return !last || found(".");
}

// Puts a step back when what stood at its name changed between looking and using it (a link
// became a folder, a folder a link, or it went away), a few times at most.
bool Walk::tryAgain(Step step, int error)
{
    const bool changed = error == EINVAL || error == ENOENT || error == ENOTDIR || error == ELOOP;
    if (!changed || ++m_retries > kMaxRetries)
        return false;
    m_pending.push_back(std::move(step));
    return true;
}

// The existing entry of the current folder whose name equals name without regard to case; an
// exact match wins, and among several that differ only in case the first in sorted order, so the
// choice is stable. The name as given when nothing matches.
QByteArray Walk::matchName(const QByteArray& name) const
{
    struct stat info;
    if (::fstatat(current(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return name;
    const int fd = ::openat(current(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!folder) {
        if (fd >= 0)
            ::close(fd);
        return name;
    }
    const QString wanted = QFile::decodeName(name);
    std::optional<QString> best;
    while (const dirent* entry = ::readdir(folder)) {
        const QString candidate = QFile::decodeName(entry->d_name);
        if (candidate.compare(wanted, Qt::CaseInsensitive) == 0 && (!best || candidate < *best))
            best = candidate;
    }
    ::closedir(folder);
    return best ? QFile::encodeName(*best) : name;
}

// Puts the target of the link `name` in front of the names still to walk. False with errno
// EINVAL when name is no longer a link, and with 0 when its target leads out.
bool Walk::followLink(const QByteArray& name)
{
    char buffer[PATH_MAX];
    const ssize_t size = ::readlinkat(current(), name.constData(), buffer, sizeof buffer);
    if (size < 0 || size == ssize_t(sizeof buffer)) {
        if (size >= 0)
            errno = 0;
        return false;
    }
    QByteArray target(buffer, qsizetype(size));
    if (target.startsWith('/')) {
        const std::optional<QByteArray> rest = belowRoot(target);
        if (!rest) {
            errno = 0;
            return false;
        }
        m_folders.clear();
        target = *rest;
    }
    const QList<QByteArray> names = target.split('/');
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        if (!names.at(i).isEmpty())
            m_pending.push_back({names.at(i), -1});
    }
    return true;
}

// The rest of an absolute link target that names a place inside the root; nothing otherwise.
std::optional<QByteArray> Walk::belowRoot(const QByteArray& absolute)
{
    if (m_rootKernelPath.isEmpty())
        m_rootKernelPath = QFile::encodeName(kernelPath(m_root));
    for (const QByteArray& root : {m_rootKernelPath, m_rootPath}) {
        if (root.isEmpty() || root == "/")
            continue;
        if (absolute == root)
            return QByteArray();
        if (absolute.startsWith(root + '/'))
            return absolute.mid(root.size() + 1);
    }
    return std::nullopt;
}

// Opens the folder `name` of the current one and makes it current; false with errno set.
bool Walk::enterFolder(const QByteArray& name)
{
    const int fd =
        ::openat(current(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = ENOTDIR;
        return false;
    }
    m_folders.emplace_back(fd);
    return true;
}

// Creates the missing folder of a given name and puts the step back to enter it.
bool Walk::createFolder(const Step& step)
{
    if (::mkdirat(current(), step.name.constData(), 0777) == 0)
        m_result.createdParts.append(step.part);
    else if (errno != EEXIST || ++m_retries > kMaxRetries)
        return false;
    m_pending.push_back(step);
    return true;
}

// Ends the walk; always false, so that a step can return it.
bool Walk::end(WalkOutcome outcome, int error)
{
    m_result.outcome = outcome;
    m_result.error = error;
    return false;
}

bool Walk::found(const QByteArray& name)
{
    m_result.depth = int(m_folders.size());
    if (m_folders.empty()) {
        const int fd = ::fcntl(m_root, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            return end(WalkOutcome::Failed, errno);
        m_result.folder = UniqueFd(fd);
    } else {
        m_result.folder = std::move(m_folders.back());
    }
    m_result.name = name;
    return end(WalkOutcome::Found);
}

} // namespace

WalkResult walkBeneath(int rootFd, const QString& rootPath, const QStringList& names,
                       WalkOptions options)
{
    return Walk(rootFd, rootPath, options).run(names);
}

int writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (written < 0 && errno != EINTR)
            return errno;
        if (written == 0) // nothing taken and no reason given: going on would never end
            return ENOSPC;
        done += written > 0 ? written : 0;
    }
    return 0;
}

int makeFolders(const QString& path, unsigned mode)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const QString parent = QFileInfo(path).path();
    if (parent != path) {
        if (const int error = makeFolders(parent, mode))
            return error;
    }
    // Made meanwhile by someone else is as good, if it is a folder.
    if (::mkdir(name.constData(), mode) == 0)
        return 0;
    const int error = errno;
    return error == EEXIST && ::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) ? 0
                                                                                            : error;
}

int openRegularFile(int folderFd, const QByteArray& name)
{
    struct stat info;
    if (::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    const auto refuse = [](const struct stat& what) {
        errno = S_ISDIR(what.st_mode) ? EISDIR : S_ISLNK(what.st_mode) ? ELOOP : EINVAL;
        return -1;
    };
    // Only a regular file is opened at all: opening a device can act on it.
    if (!S_ISREG(info.st_mode))
        return refuse(info);
    const int fd = ::openat(folderFd, name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(info);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QString describeFileType(unsigned mode)
{
    return S_ISDIR(mode)                    ? QStringLiteral("a folder")
           : S_ISFIFO(mode)                 ? QStringLiteral("a named pipe")
           : S_ISSOCK(mode)                 ? QStringLiteral("a socket")
           : S_ISCHR(mode) || S_ISBLK(mode) ? QStringLiteral("a device")
                                            : QStringLiteral("no regular file");
}

QString kernelPath(int fd)
{
    char buffer[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t size = ::readlink(link.constData(), buffer, sizeof buffer);
    if (size <= 0 || size == ssize_t(sizeof buffer))
        return {};
    return QFile::decodeName(QByteArray(buffer, qsizetype(size)));
}

} // namespace lq

#include "MovieFile.h"

#include "ConfinedWalk.h"

#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lq {

namespace {

// "FWS" uncompressed, "CWS" zlib, "ZWS" LZMA; then the version and the uncompressed length.
constexpr qsizetype kHeaderSize = 8;

QString notThere()
{
    return QStringLiteral("the file is not there");
}

QString mayNotRead()
{
    return QStringLiteral("this user may not read the file");
}

// Why openRegularFile refused the entry, from its errno value.
QString refusal(int error, int folderFd, const QByteArray& name)
{
    if (error == ENOENT)
        return notThere();
    if (error == EACCES || error == EPERM)
        return mayNotRead();
    struct stat status;
    if ((error == EISDIR || error == EINVAL || error == ELOOP) &&
        ::fstatat(folderFd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(status.st_mode))
        return QStringLiteral("%1 stands in its place").arg(describeFileType(status.st_mode));
    return QStringLiteral("the file cannot be read");
}

// Up to size bytes from the start of an open file; fewer only where the file ends.
QByteArray readStart(int fd, qsizetype size)
{
    QByteArray bytes(size, '\0');
    qsizetype done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, bytes.data() + done, size_t(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

// What the first bytes of a movie of `size` bytes tell.
std::optional<QString> headerProblem(QByteArrayView header, qint64 size)
{
    const QByteArrayView signature = header.first(std::min<qsizetype>(header.size(), 3));
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return QStringLiteral("the file is not a Flash movie");
    if (header.size() < kHeaderSize)
        return QStringLiteral("the file is cut short");
    const quint32 length = qFromLittleEndian<quint32>(header.data() + 4);
    if (signature == "FWS" && size < qint64(length))
        return QStringLiteral("the file is cut short");
    return std::nullopt;
}

} // namespace

std::optional<QString> movieFileProblem(int folderFd, const QByteArray& name)
{
    const UniqueFd file(openRegularFile(folderFd, name));
    if (!file.isValid())
        return refusal(errno, folderFd, name);
    struct stat status;
    if (::fstat(file.get(), &status) != 0)
        return QStringLiteral("the file cannot be read");
    if (status.st_size == 0)
        return QStringLiteral("the file is empty");
    return headerProblem(readStart(file.get(), kHeaderSize), status.st_size);
}

std::optional<QString> movieBytesProblem(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("the file is empty");
    return headerProblem(bytes.first(std::min(bytes.size(), kHeaderSize)), bytes.size());
}

std::optional<QString> movieFileProblem(const DrivePaths::Location& location)
{
    switch (location.outcome) {
    case WalkOutcome::Found:
        return movieFileProblem(location.folder.get(), location.name);
    case WalkOutcome::Failed:
        return location.error == EACCES ? mayNotRead() : notThere();
    default: // a folder on the way missing, or a file in its place
        return notThere();
    }
}

} // namespace lq

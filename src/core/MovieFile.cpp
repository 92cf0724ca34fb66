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
// A zlib body is unpacked to see that it is whole only up to this size: a header may claim 4 GiB.
constexpr quint32 kMaxUnpackedCheck = 64 * 1024 * 1024;

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

// Whether the zlib body of a CWS movie unpacks whole to the length its header states.
bool zlibBodyIsWhole(QByteArrayView bytes)
{
    const quint32 length = qFromLittleEndian<quint32>(bytes.data() + 4);
    if (length <= kHeaderSize || length > kMaxUnpackedCheck)
        return true; // nothing to unpack, or too much to unpack just to check: the player will say
    // qUncompress takes the unpacked size first, big-endian, then the zlib stream.
    QByteArray packed(4, Qt::Uninitialized);
    qToBigEndian<quint32>(length - kHeaderSize, packed.data());
    packed += bytes.sliced(kHeaderSize);
    return qUncompress(packed).size() == qsizetype(length - kHeaderSize);
}

std::optional<QString> movieBytesProblem(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("the file is empty");
    if (auto problem =
            headerProblem(bytes.first(std::min(bytes.size(), kHeaderSize)), bytes.size()))
        return problem;
    if (bytes.startsWith("CWS") && !zlibBodyIsWhole(bytes))
        return QStringLiteral("the file is cut short or damaged");
    return std::nullopt;
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

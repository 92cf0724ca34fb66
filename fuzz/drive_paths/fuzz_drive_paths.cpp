// Fuzzes the mapping of Windows paths to local ones: whatever the input, a path that the mapping
// accepts must lead into a drive folder, and so must the folder descriptor and name that the
// descriptor walk of saves and first start ends on. Where they lead is asked of the system itself
// (folders opened and named by the kernel, links read one hop at a time), not of the mapping's
// own code.
//
// The inputs play against the drive full of traps of TrapDrive.h.

#include "DrivePaths.h"
#include "TrapDrive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

lqfuzz::TrapDrive g_drive;

void removeDrive()
{
    if (!g_drive.home.isEmpty())
        QDir(g_drive.home).removeRecursively();
}

QString kernelName(int fd)
{
    char buffer[PATH_MAX];
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t size = readlink(proc.constData(), buffer, sizeof buffer);
    if (size <= 0)
        std::abort();
    return QFile::decodeName(QByteArray(buffer, int(size)));
}

// Where a read or a write of path would land, as the system resolves it; empty when it could
// land nowhere (a folder on the way is missing, the links go round). The folder part is left to
// the kernel; only a link in the last place is read by hand, since a write through a dangling
// link creates its target.
QString whereItLands(QString path)
{
    for (int hops = 0; hops < 64; ++hops) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = path.mid(slash + 1);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
            const int fd = open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
            if (fd < 0)
                return {};
            const QString real = kernelName(fd);
            close(fd);
            return real;
        }
        const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
        const int fd =
            open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return {};
        const QString realFolder = kernelName(fd);
        const QByteArray encodedName = QFile::encodeName(name);
        struct stat info;
        if (fstatat(fd, encodedName.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(info.st_mode)) {
            close(fd);
            return realFolder == QLatin1String("/") ? "/" + name : realFolder + "/" + name;
        }
        char target[PATH_MAX];
        const ssize_t size = readlinkat(fd, encodedName.constData(), target, sizeof target);
        close(fd);
        if (size <= 0)
            return {};
        const QString linkTarget = QFile::decodeName(QByteArray(target, int(size)));
        path = linkTarget.startsWith(QLatin1Char('/')) ? linkTarget : realFolder + "/" + linkTarget;
    }
    return {};
}

// The folder a save would write in, as the kernel names its descriptor, lies in a drive folder,
// and the entry the save would replace leads into one too.
void checkDescriptorWalk(const QString& input)
{
    const lq::DrivePaths::Location location = lq::DrivePaths::locate(input);
    if (location.outcome != lq::WalkOutcome::Found)
        return;
    const QString folder = kernelName(location.folder.get());
    const QString lands = whereItLands(folder + "/" + QFile::decodeName(location.name));
    if (!lqfuzz::insideADriveFolder(g_drive, folder) ||
        (!lands.isEmpty() && !lqfuzz::insideADriveFolder(g_drive, lands))) {
        std::fprintf(stderr, "%s is walked to %s in %s, which leads to %s\n", qPrintable(input),
                     location.name.constData(), qPrintable(folder), qPrintable(lands));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_drive = lqfuzz::buildTrapDrive("lq-fuzz-paths");
    std::atexit(removeDrive);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> local = lq::DrivePaths::toLocal(input);
    if (!local)
        return 0;
    // Nothing refused may come back, and what comes back is named inside a drive folder ...
    if (!local->startsWith(g_drive.home + "/lumen-quill/drive_")) {
        std::fprintf(stderr, "mapped outside the drive folders by name: %s\n", qPrintable(*local));
        std::abort();
    }
    // ... and leads into one when the system follows it.
    const QString lands = whereItLands(*local);
    if (!lands.isEmpty() && !lqfuzz::insideADriveFolder(g_drive, lands)) {
        std::fprintf(stderr, "%s maps to %s, which leads to %s\n", qPrintable(input),
                     qPrintable(*local), qPrintable(lands));
        std::abort();
    }
    checkDescriptorWalk(input);
    return 0;
}

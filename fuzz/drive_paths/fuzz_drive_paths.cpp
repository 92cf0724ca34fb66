// Fuzzes the mapping of Windows paths to local ones: whatever the input, a path that the mapping
// accepts must lead into a drive folder. Where it leads is asked of the system itself (folders
// opened and named by the kernel, links read one hop at a time), not of the mapping's own code.
//
// The inputs play against a fixed drive full of traps: links out of the drive, absolute and
// relative, dangling ones, loops, a drive folder that is itself a link out, and a link up to the
// data folder beside the drive folders.

#include "DrivePaths.h"

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

QString g_home;       // XDG_DATA_HOME for the run
QString g_dataFolder; // its lumen-quill folder, as the kernel names it
QString g_outside;    // a folder outside the drive that the traps point into

void makeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
}

void makeLink(const QString& target, const QString& link)
{
    if (symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0)
        std::abort();
}

void buildDrive()
{
    char pattern[] = "/tmp/lq-fuzz-paths-XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    g_home = QString::fromLocal8Bit(pattern);
    g_outside = g_home + "/outside";
    const QString data = g_home + "/lumen-quill";
    const QString c = data + "/drive_c";
    for (const char* folder : {"lumenquill/Fireworks", "lumenquill/vector", "lumenquill/3d",
                               "lumenquill/cube", "LumenQuill/Vector", "lumen quill/tutorial"})
        QDir().mkpath(c + "/" + folder);
    QDir().mkpath(g_outside + "/sub");
    QDir().mkpath(data + "/drive_cx");
    makeFile(c + "/lumenquill/vector/aboutus.txt");
    makeFile(c + "/lumenquill/cube/Clients.txt");
    makeFile(data + "/secret.txt");
    makeFile(g_outside + "/passwd");

    makeLink(g_outside, c + "/lumenquill/out");
    makeLink("../../../outside", c + "/lumenquill/up");
    makeLink("../..", c + "/lumenquill/meta");
    makeLink("/", c + "/lumenquill/root");
    makeLink(g_outside + "/made.txt", c + "/lumenquill/vector/dangling.txt");
    makeLink(g_outside + "/none/deeper", c + "/lumenquill/vector/gone");
    makeLink("vector", c + "/lumenquill/inside");
    makeLink("vector/../../..", c + "/lumenquill/downup");
    makeLink("loop", c + "/lumenquill/loop");
    makeLink("pong", c + "/lumenquill/ping");
    makeLink("ping", c + "/lumenquill/pong");
    makeLink("../drive_cx", c + "/lumenquill/twin");
    makeLink(g_outside, data + "/drive_d");
    makeLink("drive_c", data + "/drive_e");

    qputenv("XDG_DATA_HOME", g_home.toLocal8Bit());
    char real[PATH_MAX];
    if (!realpath(QFile::encodeName(data).constData(), real))
        std::abort();
    g_dataFolder = QFile::decodeName(real);
}

void removeDrive()
{
    if (!g_home.isEmpty())
        QDir(g_home).removeRecursively();
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

bool insideADriveFolder(const QString& real)
{
    const QString prefix = g_dataFolder + "/drive_";
    if (!real.startsWith(prefix) || real.size() < prefix.size() + 1)
        return false;
    const QChar letter = real.at(prefix.size());
    if (letter < QLatin1Char('a') || letter > QLatin1Char('z'))
        return false;
    return real.size() == prefix.size() + 1 || real.at(prefix.size() + 1) == QLatin1Char('/');
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

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    buildDrive();
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
    if (!local->startsWith(g_home + "/lumen-quill/drive_")) {
        std::fprintf(stderr, "mapped outside the drive folders by name: %s\n", qPrintable(*local));
        std::abort();
    }
    // ... and leads into one when the system follows it.
    const QString lands = whereItLands(*local);
    if (!lands.isEmpty() && !insideADriveFolder(lands)) {
        std::fprintf(stderr, "%s maps to %s, which leads to %s\n", qPrintable(input),
                     qPrintable(*local), qPrintable(lands));
        std::abort();
    }
    return 0;
}

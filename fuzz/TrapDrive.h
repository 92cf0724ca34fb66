#pragma once

// The drive the fuzz targets play against: template folders full of traps (links out of the
// drive, absolute and relative, dangling ones, loops, a drive folder that is itself a link out or
// to a folder beside the drive folders that is none, a link up to the data folder beside the
// drive folders, a named pipe where a text could be), and links that stay inside (absolute ones
// too), in a fresh folder under /tmp that XDG_DATA_HOME then names.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace lqfuzz {

struct TrapDrive
{
    QString home;       // XDG_DATA_HOME for the run
    QString dataFolder; // its lumen-quill folder, as the kernel names it
    QString outside;    // a folder outside the drive that the traps point into
};

inline void makeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
}

inline void makeLink(const QString& target, const QString& link)
{
    if (symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0)
        std::abort();
}

inline QString realPath(const QString& path)
{
    char real[PATH_MAX];
    if (!realpath(QFile::encodeName(path).constData(), real))
        return {};
    return QFile::decodeName(real);
}

inline TrapDrive buildTrapDrive(const char* name)
{
    QByteArray pattern = QByteArray("/tmp/") + name + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    TrapDrive drive;
    drive.home = QString::fromLocal8Bit(pattern);
    drive.outside = drive.home + "/outside";
    const QString data = drive.home + "/lumen-quill";
    const QString c = data + "/drive_c";
    for (const char* folder : {"lumenquill/Fireworks", "lumenquill/vector", "lumenquill/3d",
                               "lumenquill/cube", "LumenQuill/Vector", "lumen quill/tutorial"})
        QDir().mkpath(c + "/" + folder);
    QDir().mkpath(drive.outside + "/sub");
    QDir().mkpath(data + "/drive_cx");
    makeFile(c + "/lumenquill/vector/aboutus.txt");
    makeFile(c + "/lumenquill/vector/vector.swf");
    makeFile(c + "/lumenquill/cube/Clients.txt");
    makeFile(c + "/lumen quill/preloader.txt");
    makeFile(data + "/drive_cx/twin.txt");
    makeFile(data + "/secret.txt");
    makeFile(drive.outside + "/passwd");
    makeFile(drive.outside + "/sub/deep.txt");

    makeLink(drive.outside, c + "/lumenquill/out");
    makeLink("../../../outside", c + "/lumenquill/up");
    makeLink("../..", c + "/lumenquill/meta");
    makeLink("/", c + "/lumenquill/root");
    makeLink(drive.outside + "/made.txt", c + "/lumenquill/vector/dangling.txt");
    makeLink(drive.outside + "/none/deeper", c + "/lumenquill/vector/gone");
    makeLink(drive.outside + "/passwd", c + "/lumenquill/vector/passwd.txt");
    makeLink("../../../secret.txt", c + "/lumenquill/vector/secret.txt");
    makeLink("aboutus.txt", c + "/lumenquill/vector/same.txt");
    makeLink("vector", c + "/lumenquill/inside");
    makeLink("vector/../../..", c + "/lumenquill/downup");
    makeLink("loop", c + "/lumenquill/loop");
    makeLink("pong", c + "/lumenquill/ping");
    makeLink("ping", c + "/lumenquill/pong");
    makeLink("../drive_cx", c + "/lumenquill/twin");
    makeLink(drive.outside, data + "/drive_d");
    makeLink("drive_c", data + "/drive_e");
    makeLink("drive_cx", data + "/drive_f");
    makeLink(c + "/lumenquill/vector", c + "/lumenquill/absolute");
    makeLink(c + "/lumenquill/vector/aboutus.txt", c + "/lumenquill/cube/about.txt");
    makeLink(c + "/../drive_cx/twin.txt", c + "/lumenquill/cube/twin.txt");
    // Nothing may wait on it: a plain open for reading blocks until a writer comes.
    if (mkfifo(QFile::encodeName(c + "/lumenquill/vector/pipe.txt").constData(), 0644) != 0)
        std::abort();

    qputenv("XDG_DATA_HOME", drive.home.toLocal8Bit());
    drive.dataFolder = realPath(data);
    if (drive.dataFolder.isEmpty())
        std::abort();
    return drive;
}

// True when a path the kernel resolved lies in a drive folder data/drive_<letter>.
inline bool insideADriveFolder(const TrapDrive& drive, const QString& real)
{
    const QString prefix = drive.dataFolder + "/drive_";
    if (!real.startsWith(prefix) || real.size() < prefix.size() + 1)
        return false;
    const QChar letter = real.at(prefix.size());
    if (letter < QLatin1Char('a') || letter > QLatin1Char('z'))
        return false;
    return real.size() == prefix.size() + 1 || real.at(prefix.size() + 1) == QLatin1Char('/');
}

} // namespace lqfuzz

#include "MovieFile.h"

#include "ConfinedWalk.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <sys/stat.h>

namespace lq {

namespace {

// "FWS" uncompressed, "CWS" zlib, "ZWS" LZMA; then the version and the uncompressed length.
constexpr qsizetype kHeaderSize = 8;

} // namespace

std::optional<QString> movieFileProblem(const QString& localPath)
{
    struct stat status;
    if (::stat(QFile::encodeName(localPath).constData(), &status) != 0)
        return QStringLiteral("the file is not there");
    // Never opened unless it is a regular file: opening a named pipe would wait for a writer.
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("%1 stands in its place").arg(describeFileType(status.st_mode));
    const QFileInfo info(localPath);
    if (!info.isReadable())
        return QStringLiteral("this user may not read the file");
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be read");
    if (file.size() == 0)
        return QStringLiteral("the file is empty");
    const QByteArray header = file.read(kHeaderSize);
    const QByteArray signature = header.left(3);
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return QStringLiteral("the file is not a Flash movie");
    if (header.size() < kHeaderSize)
        return QStringLiteral("the file is cut short");
    const quint32 length = qFromLittleEndian<quint32>(header.constData() + 4);
    if (signature == "FWS" && file.size() < qint64(length))
        return QStringLiteral("the file is cut short");
    return std::nullopt;
}

} // namespace lq

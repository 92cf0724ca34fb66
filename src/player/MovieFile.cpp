#include "MovieFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace lq {

namespace {

// "FWS" uncompressed, "CWS" zlib, "ZWS" LZMA; then the version and the uncompressed length.
constexpr qsizetype kHeaderSize = 8;

} // namespace

std::optional<QString> movieFileProblem(const QString& localPath)
{
    const QFileInfo info(localPath);
    if (!info.exists())
        return QStringLiteral("the file is not there");
    if (!info.isFile())
        return QStringLiteral("a folder stands in its place");
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

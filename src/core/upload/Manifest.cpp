#include "Manifest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace lq {

namespace {

const QByteArray kFirstLine = QByteArrayLiteral("lumenquill-manifest 1");

} // namespace

Manifest manifestOfFolder(const QString& folder, QString* error)
{
    Manifest manifest;
    error->clear();
    const QDir root(folder);
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString name = root.relativeFilePath(path);
        if (name == kManifestName)
            continue;
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
            *error = QStringLiteral("cannot read %1: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
            return {};
        }
        manifest.insert(name, {hash.result().toHex(), file.size()});
    }
    return manifest;
}

QByteArray serializeManifest(const Manifest& manifest)
{
    QByteArray bytes = kFirstLine + '\n';
    for (auto entry = manifest.cbegin(); entry != manifest.cend(); ++entry)
        bytes += entry->sha256 + ' ' + QByteArray::number(entry->size) + ' ' +
                 entry.key().toUtf8() + '\n';
    return bytes;
}

bool parseManifest(const QByteArray& bytes, Manifest* manifest)
{
    manifest->clear();
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.value(0) != kFirstLine)
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const qsizetype afterHash = lines[i].indexOf(' ');
        const qsizetype afterSize = lines[i].indexOf(' ', afterHash + 1);
        bool sized = false;
        const qint64 size =
            lines[i].mid(afterHash + 1, afterSize - afterHash - 1).toLongLong(&sized);
        const QString name = QString::fromUtf8(lines[i].mid(afterSize + 1));
        // A name that climbs out of the folder is not one we wrote: the whole file is not ours.
        if (afterHash != 64 || afterSize < 0 || !sized || name.isEmpty() ||
            name.startsWith(QLatin1Char('/')) || name.split(QLatin1Char('/')).contains(".."))
            return false;
        manifest->insert(name, {lines[i].left(64), size});
    }
    return true;
}

} // namespace lq

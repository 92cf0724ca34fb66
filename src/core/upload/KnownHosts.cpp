#include "KnownHosts.h"

#include "InstallLayout.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace lq {

KnownHosts::KnownHosts(QString file) : m_file(std::move(file)) {}

QString KnownHosts::fingerprint(const QString& hostKeyName) const
{
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
        if (fields.size() == 2 && QString::fromUtf8(fields[0]) == hostKeyName)
            return QString::fromUtf8(fields[1]);
    }
    return {};
}

bool KnownHosts::accept(const QString& hostKeyName, const QString& fingerprint, QString* error)
{
    QByteArray kept;
    QFile old(m_file);
    if (old.open(QIODevice::ReadOnly)) {
        while (!old.atEnd()) {
            const QByteArray line = old.readLine();
            if (!line.startsWith(hostKeyName.toUtf8() + ' '))
                kept += line;
        }
    }
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(kept + hostKeyName.toUtf8() + ' ' + fingerprint.toUtf8() + '\n') < 0 ||
        !file.commit()) {
        *error = QStringLiteral("cannot remember the host in %1: %2")
                     .arg(QDir::toNativeSeparators(m_file), file.errorString());
        return false;
    }
    return true;
}

QString KnownHosts::defaultFile()
{
    // One file for the window and the command line, whatever name each runs under.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1Char('/') + QLatin1String(InstallLayout::folderName) +
           QStringLiteral("/known-hosts");
}

QString sha256Fingerprint(const QByteArray& keyBytes)
{
    const QByteArray digest = QCryptographicHash::hash(keyBytes, QCryptographicHash::Sha256);
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals));
}

} // namespace lq

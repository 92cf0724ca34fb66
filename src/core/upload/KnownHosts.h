#pragma once

#include <QString>

namespace lq {

// The program's own list of the hosts the user has accepted, one "host:port SHA256:…" line each:
// the SSH host key, or the public key of a TLS certificate no authority vouches for.
class KnownHosts
{
public:
    explicit KnownHosts(QString file);

    // The fingerprint accepted for the host, or empty.
    QString fingerprint(const QString& hostKeyName) const;
    // Adds the host; false (and `error` says why) when the file cannot be written.
    bool accept(const QString& hostKeyName, const QString& fingerprint, QString* error);

    // The default file, beside the program's other data of this user.
    static QString defaultFile();

private:
    QString m_file;
};

// "SHA256:" and the unpadded Base64 of the SHA-256 of the key's bytes, as ssh-keygen -l shows it.
QString sha256Fingerprint(const QByteArray& keyBytes);

} // namespace lq

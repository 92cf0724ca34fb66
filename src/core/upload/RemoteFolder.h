#pragma once

#include "HostAddress.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace lq {

// What went wrong with the host, by case: each has its own line for the user.
enum class UploadProblem {
    None,
    HostNotFound,
    ConnectionRefused,
    WrongLogin,
    HostKeyUnknown,
    HostKeyChanged,
    CertificateNotTrusted,
    CertificateChanged,
    PermissionDenied,
    QuotaFull,
    TimedOut,
    ConnectionLost, // dropped in the middle: worth another try
    WriteRefused,   // the host stopped a file in the middle: lost, or out of room
    NotFound,
    NotOurs,
    Cancelled,
    Other,
};

// A host nobody vouches for yet: the user may accept it by its fingerprint and try again.
inline bool awaitsTrust(UploadProblem problem)
{
    return problem == UploadProblem::HostKeyUnknown ||
           problem == UploadProblem::CertificateNotTrusted;
}

struct RemoteResult
{
    UploadProblem problem = UploadProblem::None;
    QString detail;      // the transfer library's or the server's own words, for Other
    QString fingerprint; // the host's, when its key or certificate was not accepted
    bool ok() const { return problem == UploadProblem::None; }
};

struct RemoteEntry
{
    QString name;
    bool folder = false;
    qint64 size = -1;
};

// How the user logs in.
struct HostLogin
{
    QString password;
    QString keyFile; // SFTP: a private key file; with neither, the running ssh-agent
};

struct RemoteSettings
{
    HostAddress address;
    HostLogin login;
    QString knownHostsFile;
    // A fingerprint the user accepted for this one run (asked, or --host-key): remembered when the
    // host shows it.
    QString acceptedFingerprint;
    int timeoutSeconds = 30;
    // Told the bytes of content sent so far; false stops the transfer (Cancel).
    std::function<bool(qint64 sentBytes)> onProgress;
};

// The remote folder on the host, through one connection kept open between operations. Paths are
// relative to the folder, with '/'. Operations block; use one RemoteFolder from one thread.
class RemoteFolder
{
public:
    explicit RemoteFolder(RemoteSettings settings);
    ~RemoteFolder();
    RemoteFolder(const RemoteFolder&) = delete;
    RemoteFolder& operator=(const RemoteFolder&) = delete;

    // Logs in and checks the host's key or certificate; every operation would, this says it first.
    RemoteResult connect();
    RemoteResult list(const QString& path, QList<RemoteEntry>* entries);
    RemoteResult read(const QString& path, QByteArray* bytes);
    // Sends a local file, appending from `offset` where the remote file holds that much already.
    RemoteResult put(const QString& path, const QString& localFile, qint64 offset);
    // Renames onto `to`, replacing a file there.
    RemoteResult rename(const QString& from, const QString& to);
    RemoteResult remove(const QString& path);
    RemoteResult makeFolder(const QString& path);
    // Makes the remote folder itself and the folders above it that are missing.
    RemoteResult makeItself();

    // Whether put() can go on from an offset (else a file is sent again whole).
    bool canAppend() const;
    // Content bytes sent, over all operations.
    qint64 sentBytes() const;

private:
    // SFTP's or FTP's own commands, one after the other, stopping at the first refused.
    RemoteResult runCommands(const QList<QByteArray>& commands);

    struct Session;
    std::unique_ptr<Session> m_session;
};

} // namespace lq

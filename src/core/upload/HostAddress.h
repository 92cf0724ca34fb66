#pragma once

#include <QList>
#include <QString>

namespace lq {

// The ways a publication travels to the user's web host.
enum class HostProtocol {
    Sftp,     // SSH file transfer: password, key file or the running ssh-agent
    Ftps,     // FTP with explicit TLS, the certificate verified
    WebDavs,  // WebDAV over HTTPS
    PlainFtp, // FTP without encryption: only after the user was warned
};

// One row per protocol: what the user picks and what the address says.
struct HostProtocolInfo
{
    HostProtocol protocol;
    QString scheme; // in the address the command line takes: "sftp", "ftps", "davs", "ftp"
    QString label;  // in the dialog
    int defaultPort;
    bool encrypted; // false: the password travels readable
};

const QList<HostProtocolInfo>& hostProtocols();
const HostProtocolInfo& hostProtocolInfo(HostProtocol protocol);

// Where on which host a publication goes.
struct HostAddress
{
    HostProtocol protocol = HostProtocol::Sftp;
    QString host;
    int port = 0; // 0: the protocol's own
    QString user;
    // The remote folder: absolute ("/var/www/site") or below the login folder ("site", "").
    QString folder;

    int effectivePort() const;
    // "sftp://user@host:port/folder", without any password: for messages and the settings.
    QString display() const;
    // "host:port", the key under which the host's fingerprint is kept.
    QString hostKeyName() const;
};

// Reads "sftp://user@host[:port]/path" (also ftps://, davs://, ftp://). "/site" and "/~/site"
// mean "site" below the login folder; "//var/www" means the absolute "/var/www". Empty `error` on
// success; otherwise it says what is wrong with the address.
HostAddress parseHostAddress(const QString& url, QString* error);

} // namespace lq

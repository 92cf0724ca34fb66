#include "HostAddress.h"

#include <QUrl>

namespace lq {

const QList<HostProtocolInfo>& hostProtocols()
{
    static const QList<HostProtocolInfo> rows = {
        {HostProtocol::Sftp, QStringLiteral("sftp"), QStringLiteral("SFTP (SSH)"), 22, true},
        {HostProtocol::Ftps, QStringLiteral("ftps"), QStringLiteral("FTPS (FTP with TLS)"), 21,
         true},
        {HostProtocol::WebDavs, QStringLiteral("davs"), QStringLiteral("WebDAV over HTTPS"), 443,
         true},
        {HostProtocol::PlainFtp, QStringLiteral("ftp"), QStringLiteral("FTP without encryption"),
         21, false},
    };
    return rows;
}

const HostProtocolInfo& hostProtocolInfo(HostProtocol protocol)
{
    for (const HostProtocolInfo& row : hostProtocols()) {
        if (row.protocol == protocol)
            return row;
    }
    return hostProtocols().first();
}

int HostAddress::effectivePort() const
{
    return port > 0 ? port : hostProtocolInfo(protocol).defaultPort;
}

QString HostAddress::display() const
{
    QString text = hostProtocolInfo(protocol).scheme + QStringLiteral("://");
    if (!user.isEmpty())
        text += user + QLatin1Char('@');
    text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    // An absolute folder shows as "//var/www", one below the login folder as "/site".
    return text + QLatin1Char('/') + folder;
}

QString HostAddress::hostKeyName() const
{
    return host.toLower() + QLatin1Char(':') + QString::number(effectivePort());
}

HostAddress parseHostAddress(const QString& url, QString* error)
{
    HostAddress address;
    error->clear();
    const QUrl parsed(url, QUrl::StrictMode);
    const HostProtocolInfo* row = nullptr;
    for (const HostProtocolInfo& candidate : hostProtocols()) {
        if (candidate.scheme == parsed.scheme().toLower())
            row = &candidate;
    }
    if (!parsed.isValid() || !row) {
        *error = QStringLiteral("\u201C%1\u201D is not an address to upload to; write "
                                "sftp://user@host/folder, ftps://, davs:// or ftp://")
                     .arg(url);
        return address;
    }
    if (parsed.host().isEmpty()) {
        *error = QStringLiteral("the address \u201C%1\u201D names no host").arg(url);
        return address;
    }
    if (!parsed.password().isEmpty()) {
        *error = QStringLiteral("the address carries a password, which would stay in the shell's "
                                "history; give it with --password-stdin");
        return address;
    }
    address.protocol = row->protocol;
    address.host = parsed.host();
    address.port = parsed.port(0);
    address.user = parsed.userName();
    QString path = parsed.path();
    if (path.startsWith(QLatin1String("//")))
        address.folder = path.mid(1); // absolute on the host
    else if (path.startsWith(QLatin1String("/~/")))
        address.folder = path.mid(3);
    else
        address.folder = path.mid(path.startsWith(QLatin1Char('/')) ? 1 : 0);
    while (address.folder.size() > 1 && address.folder.endsWith(QLatin1Char('/')))
        address.folder.chop(1);
    return address;
}

} // namespace lq

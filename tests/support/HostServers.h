#pragma once

// Real servers on 127.0.0.1 for the upload tests and benchmark, each started in a scratch folder
// of its own and stopped by its destructor: OpenSSH's sshd with internal-sftp, vsftpd with TLS and
// a self-signed certificate, lighttpd's mod_webdav over HTTPS. The SFTP account is the current
// user with a key made for the run; FTPS is the anonymous account writing into "site"; WebDAV has
// the account "site" with the password "secret".

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lqtest {

// A TCP port on 127.0.0.1 that nothing listens on right now.
inline int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

inline bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(20000) && process.exitCode() == 0;
}

inline QString currentUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

class HostServer
{
public:
    enum class Kind { Sftp, Ftps, WebDavs };

    explicit HostServer(Kind kind) : m_kind(kind)
    {
        m_root = m_dir.path();
        // The servers' own accounts ("ftp") pass through it to the folders they serve.
        QFile::setPermissions(m_root, QFile::permissions(m_root) | QFile::ReadGroup |
                                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        m_port = freePort();
        QDir(m_root).mkpath(QStringLiteral("tmp"));
    }
    ~HostServer() { stop(); }
    HostServer(const HostServer&) = delete;
    HostServer& operator=(const HostServer&) = delete;

    // Writes the keys, certificate and configuration, and starts the server; false when the
    // server's program is not installed (`why` says so) or did not come up.
    bool start(QString* why)
    {
        const QString program = m_kind == Kind::Sftp   ? QStringLiteral("/usr/sbin/sshd")
                                : m_kind == Kind::Ftps ? QStringLiteral("/usr/sbin/vsftpd")
                                                       : QStringLiteral("/usr/sbin/lighttpd");
        if (!QFile::exists(program)) {
            *why = program + QStringLiteral(" is not installed");
            return false;
        }
        if (!m_prepared && !prepare(why))
            return false;
        m_prepared = true;
        const QString config = m_root + QStringLiteral("/server.conf");
        const QStringList arguments = m_kind == Kind::Sftp   ? QStringList{"-D", "-e", "-f", config}
                                      : m_kind == Kind::Ftps ? QStringList{config}
                                                             : QStringList{"-D", "-f", config};
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
        for (int i = 0; i < 100 && !accepts(m_port); ++i)
            QThread::msleep(50);
        if (!accepts(m_port)) {
            m_process.kill();
            m_process.waitForFinished(2000);
            *why = QStringLiteral("%1 did not start: %2")
                       .arg(program, QString::fromLocal8Bit(m_process.readAll()));
            return false;
        }
        return true;
    }

    // Ends the server and every connection it serves at once, as a crash or a cut cable would.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        const qint64 server = m_process.processId();
        QDir proc(QStringLiteral("/proc"));
        for (const QString& pid : proc.entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            // The parent's id is the second field after the command's closing parenthesis.
            const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            if (line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong() == server)
                ::kill(pid.toInt(), SIGKILL);
        }
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // A new host key (SFTP) or certificate (TLS), as after the host was reinstalled or replaced.
    bool replaceKey()
    {
        QFile::remove(m_root + QStringLiteral("/hostkey"));
        QFile::remove(m_root + QStringLiteral("/hostkey.pub"));
        return makeKeys();
    }

    int port() const { return m_port; }
    // The folder visitors are served from, holding the remote folder "site".
    QString served() const
    {
        return m_kind == Kind::Sftp ? m_root + QStringLiteral("/home")
                                    : m_root + QStringLiteral("/www");
    }
    QString siteFolder() const { return served() + QStringLiteral("/site"); }
    // The address of the remote folder "site", as the command line takes it.
    QString url() const
    {
        switch (m_kind) {
        case Kind::Sftp:
            return QStringLiteral("sftp://%1@127.0.0.1:%2/%3")
                .arg(currentUser())
                .arg(m_port)
                .arg(siteFolder());
        case Kind::Ftps:
            return QStringLiteral("ftps://anonymous@127.0.0.1:%1/site").arg(m_port);
        case Kind::WebDavs:
            return QStringLiteral("davs://site@127.0.0.1:%1/site").arg(m_port);
        }
        return {};
    }
    QString userKey() const { return m_root + QStringLiteral("/userkey"); }
    QString hostPublicKey() const { return m_root + QStringLiteral("/hostkey.pub"); }
    QString certificate() const { return m_root + QStringLiteral("/cert.pem"); }
    QString root() const { return m_root; }

private:
    bool makeKeys()
    {
        if (m_kind == Kind::Sftp)
            return run(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f",
                                                      m_root + QStringLiteral("/hostkey")});
        return run(QStringLiteral("openssl"),
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", m_root + "/key.pem",
                    "-out", m_root + "/cert.pem", "-days", "2", "-subj", "/CN=127.0.0.1"}) &&
               run(QStringLiteral("sh"), {"-c", QStringLiteral("cat '%1/cert.pem' '%1/key.pem' > "
                                                               "'%1/server.pem'")
                                                    .arg(m_root)});
    }

    bool prepare(QString* why)
    {
        if (!makeKeys()) {
            *why = QStringLiteral("cannot make the server's key");
            return false;
        }
        QDir(m_root).mkpath(served());
        QString config;
        if (m_kind == Kind::Sftp) {
            if (!run(QStringLiteral("ssh-keygen"),
                     {"-q", "-t", "ed25519", "-N", "", "-f", userKey()}) ||
                !QFile::copy(userKey() + QStringLiteral(".pub"), m_root + "/authorized_keys")) {
                *why = QStringLiteral("cannot make the account's key");
                return false;
            }
            QDir().mkpath(QStringLiteral("/run/sshd")); // sshd's own empty folder
            config = QStringLiteral("Port %2\nListenAddress 127.0.0.1\nHostKey %1/hostkey\n"
                                    "PidFile %1/sshd.pid\nAuthorizedKeysFile %1/authorized_keys\n"
                                    "StrictModes no\nUsePAM no\nPasswordAuthentication yes\n"
                                    "KbdInteractiveAuthentication no\nPermitRootLogin yes\n"
                                    "Subsystem sftp internal-sftp\nLogLevel ERROR\n");
        } else if (m_kind == Kind::Ftps) {
            // The anonymous account writes as "ftp" below a root it may not write itself.
            QDir(m_root).mkpath(QStringLiteral("empty"));
            QDir(served()).mkpath(QStringLiteral("site"));
            run(QStringLiteral("chown"), {QStringLiteral("ftp"), siteFolder()});
            config = QStringLiteral(
                "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%2\n"
                "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                "anon_root=%1/www\nwrite_enable=YES\nanon_upload_enable=YES\n"
                "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
                "ftp_username=ftp\nsecure_chroot_dir=%1/empty\npasv_enable=YES\n"
                "pasv_address=127.0.0.1\nssl_enable=YES\nallow_anon_ssl=YES\n"
                "force_anon_data_ssl=YES\nforce_anon_logins_ssl=YES\n"
                "rsa_cert_file=%1/cert.pem\nrsa_private_key_file=%1/key.pem\n"
                "require_ssl_reuse=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                "xferlog_enable=NO\n");
        } else {
            QFile users(m_root + QStringLiteral("/users"));
            users.open(QIODevice::WriteOnly);
            users.write("site:secret\n");
            config = QStringLiteral(
                "server.document-root = \"%1/www\"\nserver.bind = \"127.0.0.1\"\n"
                "server.port = %2\nserver.upload-dirs = (\"%1/tmp\")\n"
                "server.errorlog = \"%1/error.log\"\n"
                "server.modules = (\"mod_openssl\", \"mod_auth\", \"mod_authn_file\", "
                "\"mod_webdav\")\nssl.engine = \"enable\"\nssl.pemfile = \"%1/server.pem\"\n"
                "webdav.activate = \"enable\"\nwebdav.is-readonly = \"disable\"\n"
                "auth.backend = \"plain\"\nauth.backend.plain.userfile = \"%1/users\"\n"
                "auth.require = (\"/\" => (\"method\" => \"basic\", \"realm\" => \"site\", "
                "\"require\" => \"valid-user\"))\n");
        }
        QFile file(m_root + QStringLiteral("/server.conf"));
        return file.open(QIODevice::WriteOnly) &&
               file.write(config.arg(m_root).arg(m_port).toUtf8()) > 0;
    }

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_root;
    int m_port = 0;
    bool m_prepared = false;
    QProcess m_process;
};

} // namespace lqtest

#include "UploadCommand.h"

#include "FirstStart.h"
#include "Hosting.h"
#include "InstalledFiles.h"
#include "KnownHosts.h"
#include "Publishing.h"
#include "TemplateUpload.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace lq {

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const QString kPasswordStdin = QStringLiteral("password-stdin");
const QString kHostKey = QStringLiteral("host-key");
const QString kKey = QStringLiteral("key");
const QString kAllowPlainFtp = QStringLiteral("allow-plain-ftp");

int say(int code, const QString& line)
{
    QTextStream(code == 0 ? stdout : stderr) << line << Qt::endl;
    return code;
}

// The first key of the usual names in ~/.ssh, when no agent runs.
QString defaultKeyFile()
{
    if (!qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"))
        return {};
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString path = QDir::homePath() + QStringLiteral("/.ssh/") + QLatin1String(name);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QString readPasswordLine()
{
    QTextStream in(stdin);
    return in.readLine();
}

} // namespace

void addUploadOptions(QCommandLineParser& parser)
{
    parser.addOption({kPasswordStdin,
                      QStringLiteral("With --upload: read the password (or the key's passphrase) "
                                     "from the first line of standard input instead of the "
                                     "desktop's secret store.")});
    parser.addOption({kHostKey,
                      QStringLiteral("With --upload: accept the host whose key or certificate has "
                                     "this fingerprint (SHA256:…), once; it is then remembered."),
                      QStringLiteral("FINGERPRINT")});
    parser.addOption({kKey,
                      QStringLiteral("With --upload to sftp://: log in with this private key "
                                     "file instead of the ssh-agent or ~/.ssh/id_*."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {kAllowPlainFtp, QStringLiteral("With --upload to ftp://: send the password readable by "
                                        "anyone on the way, as plain FTP does.")});
}

int runUploadCommand(const QCommandLineParser& parser, const PageOptions& page)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return say(kUsage, QStringLiteral("Give the template and where to upload it: lumenquill "
                                          "--upload EFFECT sftp://user@host/folder (see "
                                          "lumenquill --help)"));
    QString problem;
    const HostAddress address = parseHostAddress(arguments.at(1), &problem);
    if (!problem.isEmpty())
        return say(kUsage, QStringLiteral("Cannot upload: %1.").arg(problem));
    if (!hostProtocolInfo(address.protocol).encrypted && !parser.isSet(kAllowPlainFtp))
        return say(kUsage, QStringLiteral("Cannot upload: plain FTP sends your password readable "
                                          "by anyone on the way; use sftp://, ftps:// or davs://, "
                                          "or confirm with --allow-plain-ftp."));
    if (!publishableEffects().contains(arguments.at(0)))
        return say(kUsage,
                   QStringLiteral("Cannot upload %1: it is not a template; choose one of "
                                  "%2.")
                       .arg(arguments.at(0), publishableEffects().join(QStringLiteral(", "))));

    UploadRequest request;
    request.remote.address = address;
    request.remote.login.password =
        parser.isSet(kPasswordStdin) ? readPasswordLine() : Hosting::readPassword(address);
    if (address.protocol == HostProtocol::Sftp)
        request.remote.login.keyFile =
            parser.isSet(kKey)
                ? parser.value(kKey)
                : (request.remote.login.password.isEmpty() ? defaultKeyFile() : QString());
    request.remote.knownHostsFile = KnownHosts::defaultFile();
    request.remote.acceptedFingerprint = parser.value(kHostKey);

    const QString dataFolder =
        installedFolder(QCoreApplication::applicationDirPath(), InstalledKind::Data);
    if (dataFolder.isEmpty())
        return say(kFailed,
                   QStringLiteral("Cannot upload: the program's files are missing beside %1.")
                       .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
    for (const QString& line : FirstStart::layOut(dataFolder).problems)
        say(kFailed, line);
    const UploadOutcome outcome = uploadTemplate({.effectName = arguments.at(0),
                                                  .dataFolder = dataFolder,
                                                  .pageTitle = page.title,
                                                  .language = page.language},
                                                 request, publishTemplate, Hosting::upload);
    if (!outcome.ok) {
        QString line = outcome.error;
        if (awaitsTrust(outcome.problem))
            line += QStringLiteral(" To accept it: --host-key %1").arg(outcome.fingerprint);
        return say(kFailed, line);
    }
    return say(0, outcome.filesSent == 0
                      ? QStringLiteral("%1 on %2 is up to date: nothing was sent.")
                            .arg(arguments.at(0), address.display())
                      : QStringLiteral("Uploaded %1 to %2: %3 files sent, %4 removed.")
                            .arg(arguments.at(0), address.display())
                            .arg(outcome.filesSent)
                            .arg(outcome.filesRemoved));
}

} // namespace lq

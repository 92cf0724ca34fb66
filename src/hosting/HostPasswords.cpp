#include "HostPasswords.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace lq::HostPasswords {

namespace {

const QString kService = QStringLiteral("Lumen Quill uploads");

// One entry per protocol, user, host and port: the folder does not change the password.
QString keyOf(const HostAddress& address)
{
    return QStringLiteral("%1://%2@%3")
        .arg(hostProtocolInfo(address.protocol).scheme, address.user, address.hostKeyName());
}

// Runs a job of the store to its end; a store that does not answer in time counts as none.
bool finish(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a file in clear
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

} // namespace

QString read(const HostAddress& address)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(keyOf(address));
    return finish(job) ? job.textData() : QString();
}

bool write(const HostAddress& address, const QString& password)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(keyOf(address));
    job.setTextData(password);
    return finish(job);
}

} // namespace lq::HostPasswords

#include "Upload.h"

#include "Manifest.h"
#include "PublicationPage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <optional>
#include <thread>

namespace lq {

namespace {

const QString kIndex = QStringLiteral("index.html");

QString folderOf(const QString& path)
{
    return path.contains(QLatin1Char('/')) ? path.section(QLatin1Char('/'), 0, -2) : QString();
}

QString inFolder(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

// Where a file waits until it is renamed into place: named by its content, so that a second run
// finds what the first one sent, and knows it is the same file.
QString temporaryName(const QString& path, const ManifestEntry& entry)
{
    return inFolder(folderOf(path), QStringLiteral(".lq-%1-%2.part")
                                        .arg(QString::fromLatin1(entry.sha256.left(16)),
                                             path.section(QLatin1Char('/'), -1)));
}

bool isTemporaryName(const QString& name)
{
    return name.startsWith(QLatin1String(".lq-")) && name.endsWith(QLatin1String(".part"));
}

bool isRetryable(UploadProblem problem)
{
    return problem == UploadProblem::ConnectionLost || problem == UploadProblem::WriteRefused ||
           problem == UploadProblem::ConnectionRefused || problem == UploadProblem::TimedOut;
}

class Uploader
{
public:
    Uploader(const UploadRequest& request, const std::function<void(const UploadProgress&)>& report,
             const std::atomic_bool* cancel)
        : m_request(request), m_report(report), m_cancel(cancel),
          m_remote(withProgress(request.remote))
    {}

    UploadOutcome run();

private:
    RemoteSettings withProgress(RemoteSettings settings)
    {
        settings.onProgress = [this](qint64 sent) {
            m_progress.bytesDone = m_bytesBefore + sent;
            if (m_report)
                m_report(m_progress);
            return !cancelled();
        };
        return settings;
    }

    bool cancelled() const { return !m_committing && m_cancel && m_cancel->load(); }
    void ignoreCancel() { m_committing = true; }

    UploadOutcome failed(UploadProblem problem, const QString& fingerprint = QString(),
                         const QString& detail = QString())
    {
        UploadOutcome outcome;
        outcome.problem = problem;
        outcome.fingerprint = fingerprint;
        const RemoteSettings& settings = m_request.remote;
        const QString what = problem == UploadProblem::Other
                                 ? detail
                                 : describeUploadProblem(problem, settings.address, fingerprint,
                                                         settings.timeoutSeconds);
        outcome.error =
            QStringLiteral("Cannot upload to %1: %2.").arg(settings.address.display(), what);
        outcome.bytesSent = m_remote.sentBytes();
        return outcome;
    }

    UploadOutcome failed(const RemoteResult& result)
    {
        return failed(result.problem, result.fingerprint, result.detail);
    }

    // Runs an operation again while the connection drops, after a pause; a host that refuses to
    // store the rest of a file while it still answers is out of room.
    RemoteResult retrying(const std::function<RemoteResult()>& operation)
    {
        RemoteResult result;
        for (int attempt = 1; attempt <= m_request.attempts; ++attempt) {
            result = operation();
            // SFTP servers tell a full disk only as a failure of the write.
            if (result.problem == UploadProblem::WriteRefused &&
                m_request.remote.address.protocol == HostProtocol::Sftp) {
                QList<RemoteEntry> ignored;
                if (m_remote.list(QString(), &ignored).ok())
                    return {UploadProblem::QuotaFull, QString(), QString()};
            }
            // Refused or silent before the first connection: the address is wrong, not the line.
            const bool lost = result.problem == UploadProblem::ConnectionLost ||
                              result.problem == UploadProblem::WriteRefused || m_connected;
            if (!isRetryable(result.problem) || !lost || attempt == m_request.attempts)
                break;
            std::this_thread::sleep_for(m_request.retryDelay);
            if (cancelled())
                return {UploadProblem::Cancelled, QString(), QString()};
        }
        if (result.problem == UploadProblem::WriteRefused ||
            m_connected && (result.problem == UploadProblem::ConnectionRefused))
            result.problem = UploadProblem::ConnectionLost;
        return result;
    }

    // A folder of the publication's own ("ruffle") that an interrupted run left with files in
    // waiting only.
    bool holdsOnlyWaitingFiles(const RemoteEntry& entry)
    {
        bool ours = false;
        for (auto file = m_local.cbegin(); file != m_local.cend() && !ours; ++file)
            ours = folderOf(file.key()) == entry.name;
        QList<RemoteEntry>& listing = m_listings[entry.name];
        if (!entry.folder || !ours || !listFolder(entry.name, &listing).ok())
            return false;
        return std::all_of(listing.cbegin(), listing.cend(),
                           [](const RemoteEntry& inside) { return isTemporaryName(inside.name); });
    }

    // What stands in the remote folder: a refusal when it is not ours to change.
    std::optional<RemoteResult> judgeFolder(const QList<RemoteEntry>& entries);
    RemoteResult listFolder(const QString& folder, QList<RemoteEntry>* entries);
    RemoteResult send(const QString& path, const ManifestEntry& entry);
    RemoteResult commit();
    void removeTemporaries();

    const UploadRequest& m_request;
    const std::function<void(const UploadProgress&)>& m_report;
    const std::atomic_bool* m_cancel;
    RemoteFolder m_remote;
    UploadProgress m_progress;
    qint64 m_bytesBefore = 0;
    qint64 m_doneBytes = 0; // of the files sent whole
    bool m_connected = false;
    bool m_committing = false;
    Manifest m_local;
    std::optional<Manifest> m_remoteManifest;
    QStringList m_toSend;
    QStringList m_toRemove;
    QMap<QString, QList<RemoteEntry>> m_listings; // by folder below the remote folder
    QStringList m_sentTemporaries;
};

RemoteResult Uploader::listFolder(const QString& folder, QList<RemoteEntry>* entries)
{
    return retrying([&] { return m_remote.list(folder, entries); });
}

std::optional<RemoteResult> Uploader::judgeFolder(const QList<RemoteEntry>& entries)
{
    bool empty = true;
    bool hasManifest = false;
    bool hasIndex = false;
    for (const RemoteEntry& entry : entries) {
        empty = empty && (isTemporaryName(entry.name) || holdsOnlyWaitingFiles(entry));
        hasManifest = hasManifest || (entry.name == kManifestName && !entry.folder);
        hasIndex = hasIndex || (entry.name == kIndex && !entry.folder);
    }
    if (empty)
        return std::nullopt;
    QByteArray bytes;
    if (hasManifest) {
        const RemoteResult read = retrying([&] { return m_remote.read(kManifestName, &bytes); });
        if (!read.ok())
            return read;
        Manifest manifest;
        if (parseManifest(bytes, &manifest)) {
            m_remoteManifest = manifest;
            return std::nullopt;
        }
    }
    if (hasIndex) {
        const RemoteResult read = retrying([&] { return m_remote.read(kIndex, &bytes); });
        if (!read.ok())
            return read;
        if (bytes.left(4096).contains(kPublicationMarker))
            return std::nullopt;
    }
    return RemoteResult{UploadProblem::NotOurs, QString(), QString()};
}

RemoteResult Uploader::send(const QString& path, const ManifestEntry& entry)
{
    const QString temporary = temporaryName(path, entry);
    const QString local = QDir(m_request.publication).filePath(path);
    m_sentTemporaries << temporary;
    bool relist = false;
    return retrying([&]() -> RemoteResult {
        QList<RemoteEntry>& listing = m_listings[folderOf(path)];
        if (relist) {
            const RemoteResult listed = m_remote.list(folderOf(path), &listing);
            if (!listed.ok())
                return listed;
        }
        relist = true;
        qint64 arrived = 0;
        for (const RemoteEntry& remote : listing) {
            if (remote.name == temporary.section(QLatin1Char('/'), -1))
                arrived = remote.size;
        }
        if (arrived == entry.size) // sent whole by an earlier run
            return {};
        if (!m_remote.canAppend() || arrived > entry.size)
            arrived = 0;
        m_bytesBefore = m_doneBytes + arrived - m_remote.sentBytes();
        return m_remote.put(temporary, local, arrived);
    });
}

RemoteResult Uploader::commit()
{
    ignoreCancel(); // from here the new site goes in whole, whatever is pressed
    QStringList order;
    for (const QString& path : std::as_const(m_toSend)) {
        if (path != kIndex && path != kManifestName)
            order << path;
    }
    if (m_toSend.contains(kIndex))
        order << kIndex;
    for (const QString& path : std::as_const(order)) {
        const RemoteResult renamed = retrying(
            [&] { return m_remote.rename(temporaryName(path, m_local.value(path)), path); });
        if (!renamed.ok())
            return renamed;
    }
    for (const QString& path : std::as_const(m_toRemove)) {
        const RemoteResult removed = retrying([&] { return m_remote.remove(path); });
        if (!removed.ok() && removed.problem != UploadProblem::NotFound)
            return removed;
    }
    // The manifest last: until it is in place, a second run sends again what this one renamed.
    return retrying([&] {
        return m_remote.rename(temporaryName(kManifestName, m_local.value(kManifestName)),
                               kManifestName);
    });
}

void Uploader::removeTemporaries()
{
    ignoreCancel(); // the cleaning up after a Cancel must not be cancelled itself
    for (const QString& temporary : std::as_const(m_sentTemporaries))
        m_remote.remove(temporary);
}

UploadOutcome Uploader::run()
{
    QString error;
    m_local = manifestOfFolder(m_request.publication, &error);
    if (!error.isEmpty())
        return failed(UploadProblem::Other, QString(), error);
    QSaveFile manifestFile(QDir(m_request.publication).filePath(kManifestName));
    const QByteArray manifestBytes = serializeManifest(m_local);
    if (!manifestFile.open(QIODevice::WriteOnly) || manifestFile.write(manifestBytes) < 0 ||
        !manifestFile.commit())
        return failed(UploadProblem::Other, QString(), manifestFile.errorString());

    RemoteResult result = retrying([&] { return m_remote.connect(); });
    if (!result.ok())
        return failed(result);
    m_connected = true;
    QList<RemoteEntry>& root = m_listings[QString()];
    result = listFolder(QString(), &root);
    if (result.problem == UploadProblem::NotFound ||
        (result.ok() && root.isEmpty() && !m_request.remote.address.folder.isEmpty())) {
        m_remote.makeItself();
        result = listFolder(QString(), &root);
    }
    if (!result.ok())
        return failed(result);
    if (const auto refusal = judgeFolder(root))
        return failed(*refusal);

    const Manifest earlier = m_remoteManifest.value_or(Manifest());
    for (auto entry = m_local.cbegin(); entry != m_local.cend(); ++entry) {
        if (!m_remoteManifest || earlier.value(entry.key()) != entry.value())
            m_toSend << entry.key();
    }
    for (auto entry = earlier.cbegin(); entry != earlier.cend(); ++entry) {
        if (!m_local.contains(entry.key()) && entry.key() != kManifestName)
            m_toRemove << entry.key();
    }
    UploadOutcome outcome;
    if (m_toSend.isEmpty() && m_toRemove.isEmpty()) {
        outcome.ok = true; // nothing changed: nothing is written
        return outcome;
    }
    m_local.insert(kManifestName,
                   {QCryptographicHash::hash(manifestBytes, QCryptographicHash::Sha256).toHex(),
                    manifestBytes.size()});
    m_toSend << kManifestName;

    QSet<QString> folders;
    for (const QString& path : std::as_const(m_toSend)) {
        m_progress.bytesTotal += m_local.value(path).size;
        const QString folder = folderOf(path);
        if (folder.isEmpty() || folders.contains(folder))
            continue;
        folders.insert(folder);
        QList<RemoteEntry>& listing = m_listings[folder];
        if (listFolder(folder, &listing).problem == UploadProblem::NotFound || listing.isEmpty()) {
            m_remote.makeFolder(folder); // refused when there already; the listing tells
            result = listFolder(folder, &listing);
            if (!result.ok())
                return failed(result);
        }
    }
    m_progress.filesTotal = int(m_toSend.size());
    if (m_report)
        m_report(m_progress);
    for (const QString& path : std::as_const(m_toSend)) {
        result = cancelled() ? RemoteResult{UploadProblem::Cancelled, {}, {}}
                             : send(path, m_local.value(path));
        if (result.problem == UploadProblem::Cancelled)
            removeTemporaries();
        if (!result.ok())
            return failed(result);
        ++m_progress.filesDone;
        m_doneBytes += m_local.value(path).size;
        m_progress.bytesDone = m_doneBytes;
        if (m_report)
            m_report(m_progress);
    }
    result = commit();
    if (!result.ok())
        return failed(result);
    outcome.ok = true;
    outcome.filesSent = int(m_toSend.size());
    outcome.filesRemoved = int(m_toRemove.size());
    outcome.bytesSent = m_remote.sentBytes();
    return outcome;
}

} // namespace

UploadOutcome uploadPublication(const UploadRequest& request,
                                const std::function<void(const UploadProgress&)>& onProgress,
                                const std::atomic_bool* cancel)
{
    Uploader uploader(request, onProgress, cancel);
    return uploader.run();
}

QString describeUploadProblem(UploadProblem problem, const HostAddress& address,
                              const QString& fingerprint, int timeoutSeconds)
{
    const QString folder = address.folder.isEmpty()
                               ? QStringLiteral("the login folder")
                               : QStringLiteral("\u201C%1\u201D").arg(address.folder);
    switch (problem) {
    case UploadProblem::None:
        return {};
    case UploadProblem::HostNotFound:
        return QStringLiteral("the host \u201C%1\u201D was not found; check its name")
            .arg(address.host);
    case UploadProblem::ConnectionRefused:
        return QStringLiteral("the host refused the connection on port %1; check the port and the "
                              "protocol")
            .arg(address.effectivePort());
    case UploadProblem::WrongLogin:
        return QStringLiteral("the host refused the login: wrong user name, password or key");
    case UploadProblem::HostKeyUnknown:
        return QStringLiteral(
                   "the host is not known yet; its key's fingerprint is %1. Accept it only "
                   "if your host gives you the same one")
            .arg(fingerprint);
    case UploadProblem::HostKeyChanged:
        return QStringLiteral(
                   "WARNING: the host's key has changed (now %1); somebody may be posing "
                   "as your host, so nothing was sent")
            .arg(fingerprint);
    case UploadProblem::CertificateNotTrusted:
        return QStringLiteral("the host's certificate is not trusted%1")
            .arg(fingerprint.isEmpty()
                     ? QString()
                     : QStringLiteral("; its key's fingerprint is %1. Accept it only if your "
                                      "host gives you the same one")
                           .arg(fingerprint));
    case UploadProblem::CertificateChanged:
        return QStringLiteral("WARNING: the host's certificate has changed since you accepted it "
                              "(now %1); somebody may be posing as your host, so nothing was sent")
            .arg(fingerprint);
    case UploadProblem::PermissionDenied:
        return QStringLiteral("permission denied: the host does not let you write in %1")
            .arg(folder);
    case UploadProblem::QuotaFull:
        return QStringLiteral("the host has no room left (quota full); the site is as it was");
    case UploadProblem::TimedOut:
        return QStringLiteral("timed out: the host did not answer for %1 seconds")
            .arg(timeoutSeconds);
    case UploadProblem::ConnectionLost:
    case UploadProblem::WriteRefused:
        return QStringLiteral(
            "the connection was lost and could not be made again; upload again to "
            "go on from what arrived");
    case UploadProblem::NotFound:
        return QStringLiteral("%1 is not there").arg(folder);
    case UploadProblem::NotOurs:
        return QStringLiteral(
                   "the folder %1 holds files that are not a publication of Lumen Quill; "
                   "nothing in it was changed. Name an empty or new folder")
            .arg(folder);
    case UploadProblem::Cancelled:
        return QStringLiteral("cancelled; the site is as it was");
    case UploadProblem::Other:
        break;
    }
    return QStringLiteral("the transfer failed");
}

} // namespace lq

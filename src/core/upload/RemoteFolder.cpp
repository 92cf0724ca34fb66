#include "RemoteFolder.h"

#include "KnownHosts.h"

#include <QFile>
#include <QUrl>
#include <QXmlStreamReader>
#include <cerrno>
#include <curl/curl.h>
#include <mutex>

namespace lq {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Percent-encodes each part of a path for a URL, keeping the slashes.
QByteArray encodedPath(const QString& path)
{
    QByteArray encoded;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i)
        encoded += (i ? "/" : "") + QUrl::toPercentEncoding(parts[i]);
    return encoded;
}

// A path as SFTP's and FTP's own commands take it: in double quotes where it holds a blank.
QByteArray quoted(const QString& path)
{
    const QByteArray bytes = path.toUtf8();
    return bytes.contains(' ') ? '"' + bytes + '"' : bytes;
}

// The TLS pin libcurl checks: the SHA-256 of the certificate's public key.
QByteArray pinOf(const QString& fingerprint)
{
    QByteArray base64 = fingerprint.mid(7).toLatin1();
    while (base64.size() % 4)
        base64 += '=';
    return "sha256//" + base64;
}

// Reads one DER element's header at `pos`: its tag, where its content starts and how long it is.
bool readElement(const QByteArray& der, qsizetype pos, uchar* tag, qsizetype* start,
                 qsizetype* length)
{
    if (pos + 2 > der.size())
        return false;
    *tag = uchar(der[pos]);
    qsizetype size = uchar(der[pos + 1]);
    qsizetype at = pos + 2;
    if (size & 0x80) {
        const int bytes = size & 0x7f;
        if (bytes < 1 || bytes > 4 || at + bytes > der.size())
            return false;
        size = 0;
        for (int i = 0; i < bytes; ++i)
            size = (size << 8) | uchar(der[at++]);
    }
    *start = at;
    *length = size;
    return at + size <= der.size();
}

// The subjectPublicKeyInfo of an X.509 certificate, the part a certificate's key is pinned by.
QByteArray publicKeyInfo(const QByteArray& der)
{
    uchar tag = 0;
    qsizetype start = 0;
    qsizetype length = 0;
    if (!readElement(der, 0, &tag, &start, &length) ||   // Certificate
        !readElement(der, start, &tag, &start, &length)) // tbsCertificate
        return {};
    qsizetype pos = start;
    int field = 0;
    while (readElement(der, pos, &tag, &start, &length)) {
        if (field == 0 && tag == 0xa0) { // the optional version
            pos = start + length;
            continue;
        }
        if (field == 5) // serial, signature, issuer, validity, subject, then the key
            return der.mid(pos, start + length - pos);
        ++field;
        pos = start + length;
    }
    return {};
}

UploadProblem problemOfHttpStatus(long status)
{
    switch (status) {
    case 401:
        return UploadProblem::WrongLogin;
    case 403:
        return UploadProblem::PermissionDenied;
    case 404:
    case 409:
        return UploadProblem::NotFound;
    case 413:
    case 507:
        return UploadProblem::QuotaFull;
    default:
        return UploadProblem::Other;
    }
}

// Lines of a Unix "ls -l" listing, as SFTP servers and most FTP servers send them.
QList<RemoteEntry> parseLongListing(const QByteArray& text)
{
    QList<RemoteEntry> entries;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 9 || line.startsWith("total"))
            continue;
        // The name is what follows the eighth field, blanks and all.
        qsizetype pos = 0;
        for (int field = 0; field < 8; ++field) {
            pos = line.indexOf(' ', pos);
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
        }
        RemoteEntry entry;
        entry.name = QString::fromUtf8(line.mid(pos));
        if (line.startsWith('l'))
            entry.name = entry.name.section(QStringLiteral(" -> "), 0, 0);
        entry.folder = line.startsWith('d');
        entry.size = fields[4].toLongLong();
        if (entry.name != QLatin1String(".") && entry.name != QLatin1String(".."))
            entries << entry;
    }
    return entries;
}

// A WebDAV PROPFIND answer of depth 1: the entries below the folder asked about.
QList<RemoteEntry> parseMultiStatus(const QByteArray& xml, const QByteArray& folderPath)
{
    QList<RemoteEntry> entries;
    QXmlStreamReader reader(xml);
    RemoteEntry entry;
    QString href;
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        if (reader.isStartElement()) {
            if (name == QLatin1String("response"))
                entry = {}, href.clear();
            else if (name == QLatin1String("href"))
                href = reader.readElementText();
            else if (name == QLatin1String("collection"))
                entry.folder = true;
            else if (name == QLatin1String("getcontentlength"))
                entry.size = reader.readElementText().toLongLong();
        } else if (reader.isEndElement() && name == QLatin1String("response")) {
            const QString path = QUrl(href).path(QUrl::FullyEncoded);
            const QString trimmed = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
            if (trimmed == QString::fromLatin1(folderPath).chopped(1) || trimmed.isEmpty())
                continue;
            entry.name = QUrl::fromPercentEncoding(trimmed.section(QLatin1Char('/'), -1).toUtf8());
            entries << entry;
        }
    }
    return entries;
}

} // namespace

struct RemoteFolder::Session
{
    RemoteSettings settings;
    CURL* curl = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    qint64 sent = 0;
    qint64 sentThisTransfer = 0;
    bool cancelled = false;
    // The host's key as the last connection met it.
    enum class KeyCheck { NotYet, Known, Unknown, Changed } keyCheck = KeyCheck::NotYet;
    QString shownFingerprint;
    QByteArray tlsPin; // set once the host's certificate is accepted by fingerprint

    HostProtocol protocol() const { return settings.address.protocol; }
    bool isSftp() const { return protocol() == HostProtocol::Sftp; }
    bool isDav() const { return protocol() == HostProtocol::WebDavs; }
    bool isTls() const { return protocol() == HostProtocol::Ftps || isDav(); }

    // The path on the host, as its own commands take it.
    QString hostPath(const QString& path) const
    {
        const QString& folder = settings.address.folder;
        QString joined =
            folder.isEmpty() || path.isEmpty() ? folder + path : folder + QLatin1Char('/') + path;
        if (isSftp() && !joined.startsWith(QLatin1Char('/')))
            joined.prepend(QStringLiteral("/~/"));
        return joined;
    }

    QByteArray url(const QString& path, bool folder = false) const
    {
        const HostAddress& address = settings.address;
        const QByteArray scheme = isSftp() ? "sftp" : isDav() ? "https" : "ftp";
        QByteArray host = QUrl::toAce(address.host);
        if (host.isEmpty())
            host = address.host.toUtf8();
        if (address.host.contains(QLatin1Char(':')))
            host = '[' + host + ']';
        QString onHost = hostPath(path);
        QByteArray pathPart = encodedPath(onHost);
        if (isSftp() && onHost.startsWith(QLatin1String("/~/")))
            pathPart = "/~/" + encodedPath(onHost.mid(3));
        else if (!isSftp() && onHost.startsWith(QLatin1Char('/')))
            pathPart = isDav() ? encodedPath(onHost.mid(1)) : "%2F" + encodedPath(onHost.mid(1));
        else if (isSftp())
            pathPart = encodedPath(onHost.mid(1));
        QByteArray result = scheme + "://" + host + ':' +
                            QByteArray::number(address.effectivePort()) + '/' + pathPart;
        if (folder && !result.endsWith('/'))
            result += '/';
        return result;
    }

    static int hostKeyCheck(void* self, int, const char* key, size_t length)
    {
        return static_cast<Session*>(self)->checkHostKey(QByteArray(key, qsizetype(length)));
    }

    int checkHostKey(const QByteArray& key)
    {
        shownFingerprint = sha256Fingerprint(key);
        KnownHosts known(settings.knownHostsFile);
        const QString name = settings.address.hostKeyName();
        const QString kept = known.fingerprint(name);
        if (kept == shownFingerprint) {
            keyCheck = KeyCheck::Known;
            return CURLKHMATCH_OK;
        }
        if (!kept.isEmpty()) { // a changed key is refused whatever was accepted for this run
            keyCheck = KeyCheck::Changed;
            return CURLKHMATCH_MISMATCH;
        }
        QString ignored;
        if (settings.acceptedFingerprint == shownFingerprint &&
            known.accept(name, shownFingerprint, &ignored)) {
            keyCheck = KeyCheck::Known;
            return CURLKHMATCH_OK;
        }
        keyCheck = KeyCheck::Unknown;
        return CURLKHMATCH_MISMATCH;
    }

    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded)
    {
        auto* session = static_cast<Session*>(self);
        session->sent += uploaded - session->sentThisTransfer;
        session->sentThisTransfer = uploaded;
        if (session->settings.onProgress && !session->settings.onProgress(session->sent)) {
            session->cancelled = true;
            return 1;
        }
        return 0;
    }

    static size_t collect(char* data, size_t size, size_t count, void* target)
    {
        static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
        return size * count;
    }

    static size_t readLocal(char* buffer, size_t size, size_t count, void* file)
    {
        const qint64 read = static_cast<QFile*>(file)->read(buffer, qint64(size * count));
        return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
    }

    static int seekLocal(void* file, curl_off_t offset, int origin)
    {
        auto* local = static_cast<QFile*>(file);
        const qint64 base = origin == SEEK_CUR   ? local->pos()
                            : origin == SEEK_END ? local->size()
                                                 : 0;
        return local->seek(base + offset) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
    }

    // Sets up the handle for one operation; the connection stays open between operations.
    void prepare(const QByteArray& url, QByteArray* received)
    {
        curl_easy_reset(curl);
        errorText[0] = 0;
        sentThisTransfer = 0;
        const HostAddress& address = settings.address;
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(settings.timeoutSeconds));
        // A transfer that moves nothing for the timeout is given up, however long it ran.
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(settings.timeoutSeconds));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, long(qEnvironmentVariableIsSet("LQ_UPLOAD_TRACE")));
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Session::progress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Session::collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, received);
        if (!address.user.isEmpty())
            curl_easy_setopt(curl, CURLOPT_USERNAME, address.user.toUtf8().constData());
        if (!settings.login.password.isEmpty())
            curl_easy_setopt(curl, CURLOPT_PASSWORD, settings.login.password.toUtf8().constData());
        if (isSftp())
            prepareSsh();
        else if (isTls())
            prepareTls();
        if (protocol() == HostProtocol::Ftps || protocol() == HostProtocol::PlainFtp) {
            curl_easy_setopt(curl, CURLOPT_USE_SSL,
                             isTls() ? long(CURLUSESSL_ALL) : long(CURLUSESSL_NONE));
            // Paths from the login folder, never changing folder: our own commands use the same.
            curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
            // vsftpd, common at hosts, breaks the data connection after the first transfer over
            // TLS 1.3 ("426 Failure reading network stream"); TLS 1.2 keeps them whole.
            if (isTls())
                curl_easy_setopt(curl, CURLOPT_SSLVERSION,
                                 long(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
        }
        if (isDav())
            curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    }

    void prepareSsh()
    {
        curl_easy_setopt(curl, CURLOPT_SSH_HOSTKEYFUNCTION, &Session::hostKeyCheck);
        curl_easy_setopt(curl, CURLOPT_SSH_HOSTKEYDATA, this);
        const HostLogin& login = settings.login;
        long methods = CURLSSH_AUTH_AGENT;
        if (!login.keyFile.isEmpty()) {
            methods = CURLSSH_AUTH_PUBLICKEY;
            curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, login.keyFile.toUtf8().constData());
            const QString publicKey = login.keyFile + QStringLiteral(".pub");
            curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE,
                             QFile::exists(publicKey) ? publicKey.toUtf8().constData() : "");
            if (!login.password.isEmpty()) // the key's passphrase
                curl_easy_setopt(curl, CURLOPT_KEYPASSWD, login.password.toUtf8().constData());
        } else if (!login.password.isEmpty()) {
            methods = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
        }
        curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, methods);
    }

    void prepareTls()
    {
        if (tlsPin.isEmpty())
            return;
        // Accepted by fingerprint: no authority vouches for it, the pinned key is the check.
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(curl, CURLOPT_PINNEDPUBLICKEY, tlsPin.constData());
    }

    // The fingerprint of the public key of the certificate the host shows, or empty.
    QString probeCertificate()
    {
        QByteArray ignored;
        prepare(url(QString(), true), &ignored);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(curl, CURLOPT_CERTINFO, 1L);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        // Only the certificate is wanted: no login is tried with an unverified host.
        curl_easy_setopt(curl, CURLOPT_PASSWORD, "");
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_perform(curl);
        curl_certinfo* info = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) != CURLE_OK || !info ||
            info->num_of_certs < 1)
            return {};
        for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
            const QByteArray field(item->data);
            if (!field.startsWith("Cert:"))
                continue;
            QByteArray base64 = field.mid(5);
            base64.replace("-----BEGIN CERTIFICATE-----", "");
            base64.replace("-----END CERTIFICATE-----", "");
            const QByteArray key = publicKeyInfo(QByteArray::fromBase64(base64.simplified()));
            return key.isEmpty() ? QString() : sha256Fingerprint(key);
        }
        return {};
    }

    RemoteResult outcome(CURLcode code)
    {
        RemoteResult result;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (code == CURLE_OK && isDav() && status >= 300)
            result.problem = problemOfHttpStatus(status);
        else
            result.problem = problemOf(code, status);
        if (result.problem == UploadProblem::Other)
            result.detail = errorText[0] ? QString::fromUtf8(errorText)
                                         : QString::fromUtf8(curl_easy_strerror(code));
        if (isDav() && result.problem == UploadProblem::Other && status >= 300)
            result.detail = QStringLiteral("the server answered %1").arg(status);
        if (result.problem == UploadProblem::HostKeyUnknown ||
            result.problem == UploadProblem::HostKeyChanged)
            result.fingerprint = shownFingerprint;
        return result;
    }

    UploadProblem problemOf(CURLcode code, long status)
    {
        switch (code) {
        case CURLE_OK:
            return UploadProblem::None;
        case CURLE_COULDNT_RESOLVE_HOST:
            return UploadProblem::HostNotFound;
        case CURLE_COULDNT_CONNECT:
            return UploadProblem::ConnectionRefused;
        case CURLE_OPERATION_TIMEDOUT:
            return UploadProblem::TimedOut;
        case CURLE_LOGIN_DENIED:
        case CURLE_AUTH_ERROR:
            return UploadProblem::WrongLogin;
        case CURLE_PEER_FAILED_VERIFICATION:
            if (isSftp())
                return keyCheck == KeyCheck::Changed   ? UploadProblem::HostKeyChanged
                       : keyCheck == KeyCheck::Unknown ? UploadProblem::HostKeyUnknown
                                                       : UploadProblem::WrongLogin;
            return UploadProblem::CertificateNotTrusted;
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return UploadProblem::CertificateChanged;
        case CURLE_REMOTE_ACCESS_DENIED:
            return UploadProblem::PermissionDenied;
        case CURLE_REMOTE_DISK_FULL:
            return UploadProblem::QuotaFull;
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return UploadProblem::NotFound;
        case CURLE_ABORTED_BY_CALLBACK:
            return cancelled ? UploadProblem::Cancelled : UploadProblem::Other;
        case CURLE_UPLOAD_FAILED:
            // FTP's answers: 452 and 552 are out of room, 550 and 553 refused.
            if (status == 452 || status == 552)
                return UploadProblem::QuotaFull;
            if (status == 550 || status == 553)
                return UploadProblem::PermissionDenied;
            return UploadProblem::WriteRefused;
        case CURLE_SSH:
        case CURLE_PARTIAL_FILE:
            return UploadProblem::WriteRefused;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_FTP_WEIRD_PASV_REPLY:
            return UploadProblem::ConnectionLost;
        default:
            if (status == 530)
                return UploadProblem::WrongLogin;
            if (status == 550)
                return UploadProblem::PermissionDenied;
            return UploadProblem::Other;
        }
    }

    RemoteResult perform() { return outcome(curl_easy_perform(curl)); }

    // The login folder, asked for no content: where the commands of SFTP and FTP run.
    QByteArray loginFolderUrl() const { return serverUrl() + (isSftp() ? "/~/" : "/"); }

    // "sftp://host:port", without a path.
    QByteArray serverUrl() const
    {
        const QByteArray whole = url(QString(), true);
        return whole.left(whole.indexOf('/', whole.indexOf("://") + 3));
    }
};

RemoteFolder::RemoteFolder(RemoteSettings settings) : m_session(std::make_unique<Session>())
{
    initialiseCurlOnce();
    m_session->settings = std::move(settings);
    m_session->curl = curl_easy_init();
    if (m_session->isTls()) {
        const QString kept = KnownHosts(m_session->settings.knownHostsFile)
                                 .fingerprint(m_session->settings.address.hostKeyName());
        if (!kept.isEmpty())
            m_session->tlsPin = pinOf(kept);
    }
}

RemoteFolder::~RemoteFolder()
{
    curl_easy_cleanup(m_session->curl);
}

RemoteResult RemoteFolder::connect()
{
    Session& s = *m_session;
    QByteArray ignored;
    s.prepare(s.loginFolderUrl(), &ignored);
    curl_easy_setopt(s.curl, CURLOPT_NOBODY, 1L);
    RemoteResult result = s.perform();
    // A web server may forbid looking at its root; only a refused login counts here.
    if (s.isDav() && result.problem != UploadProblem::WrongLogin)
        result.problem = result.problem == UploadProblem::PermissionDenied ||
                                 result.problem == UploadProblem::NotFound ||
                                 (result.problem == UploadProblem::Other &&
                                  result.detail.startsWith(QLatin1String("the server answered")))
                             ? UploadProblem::None
                             : result.problem;
    if (result.problem == UploadProblem::CertificateChanged)
        result.fingerprint = s.probeCertificate();
    if (!s.isTls() || result.problem != UploadProblem::CertificateNotTrusted || !s.tlsPin.isEmpty())
        return result;
    // No authority vouches for the certificate: the user may have accepted its fingerprint.
    result.fingerprint = s.probeCertificate();
    const QString name = s.settings.address.hostKeyName();
    QString ignoredError;
    if (result.fingerprint.isEmpty() || s.settings.acceptedFingerprint != result.fingerprint ||
        !KnownHosts(s.settings.knownHostsFile).accept(name, result.fingerprint, &ignoredError))
        return result;
    s.tlsPin = pinOf(result.fingerprint);
    return connect();
}

bool RemoteFolder::canAppend() const
{
    return !m_session->isDav();
}

qint64 RemoteFolder::sentBytes() const
{
    return m_session->sent;
}

RemoteResult RemoteFolder::list(const QString& path, QList<RemoteEntry>* entries)
{
    Session& s = *m_session;
    QByteArray received;
    const QByteArray url = s.url(path, true);
    s.prepare(url, &received);
    curl_slist* headers = nullptr;
    if (s.isDav()) {
        headers = curl_slist_append(headers, "Depth: 1");
        headers = curl_slist_append(headers, "Content-Type: application/xml");
        curl_easy_setopt(s.curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(s.curl, CURLOPT_CUSTOMREQUEST, "PROPFIND");
        curl_easy_setopt(s.curl, CURLOPT_POSTFIELDS,
                         "<?xml version=\"1.0\"?><propfind xmlns=\"DAV:\"><prop><resourcetype/>"
                         "<getcontentlength/></prop></propfind>");
    }
    RemoteResult result = s.perform();
    curl_slist_free_all(headers);
    if (!result.ok())
        return result;
    const QByteArray askedPath = QUrl(QString::fromLatin1(url)).path(QUrl::FullyEncoded).toLatin1();
    *entries = s.isDav() ? parseMultiStatus(received, askedPath) : parseLongListing(received);
    return result;
}

RemoteResult RemoteFolder::read(const QString& path, QByteArray* bytes)
{
    Session& s = *m_session;
    bytes->clear();
    s.prepare(s.url(path), bytes);
    RemoteResult result = s.perform();
    if (!result.ok())
        bytes->clear();
    return result;
}

RemoteResult RemoteFolder::put(const QString& path, const QString& localFile, qint64 offset)
{
    Session& s = *m_session;
    QFile file(localFile);
    if (!file.open(QIODevice::ReadOnly))
        return {UploadProblem::Other,
                QStringLiteral("cannot read %1: %2").arg(localFile, file.errorString()), QString()};
    QByteArray ignored;
    s.prepare(s.url(path), &ignored);
    curl_easy_setopt(s.curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(s.curl, CURLOPT_READFUNCTION, &Session::readLocal);
    curl_easy_setopt(s.curl, CURLOPT_READDATA, &file);
    curl_easy_setopt(s.curl, CURLOPT_SEEKFUNCTION, &Session::seekLocal);
    curl_easy_setopt(s.curl, CURLOPT_SEEKDATA, &file);
    curl_easy_setopt(s.curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    // SFTP writes a piece per round trip: larger pieces carry a large file several times faster,
    // and still only this much is held.
    curl_easy_setopt(s.curl, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    if (offset > 0 && canAppend())
        curl_easy_setopt(s.curl, CURLOPT_RESUME_FROM_LARGE, curl_off_t(offset));
    return s.perform();
}

RemoteResult RemoteFolder::rename(const QString& from, const QString& to)
{
    Session& s = *m_session;
    QByteArray ignored;
    if (s.isDav()) {
        s.prepare(s.url(from), &ignored);
        const QByteArray destination = "Destination: " + s.url(to);
        curl_slist* headers = curl_slist_append(nullptr, destination.constData());
        headers = curl_slist_append(headers, "Overwrite: T");
        curl_easy_setopt(s.curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(s.curl, CURLOPT_CUSTOMREQUEST, "MOVE");
        RemoteResult result = s.perform();
        curl_slist_free_all(headers);
        return result;
    }
    const QByteArray source = quoted(s.hostPath(from));
    const QByteArray target = quoted(s.hostPath(to));
    QList<QByteArray> commands;
    if (s.isSftp())
        commands << "rename " + source + ' ' + target;
    else
        commands << "RNFR " + source << "RNTO " + target;
    RemoteResult result = runCommands(commands);
    if (result.ok() || !s.isSftp())
        return result;
    // SFTP as most servers speak it renames only onto a free name: make the name free first.
    return runCommands({"rm " + target, "rename " + source + ' ' + target});
}

RemoteResult RemoteFolder::remove(const QString& path)
{
    Session& s = *m_session;
    if (s.isDav()) {
        QByteArray ignored;
        s.prepare(s.url(path), &ignored);
        curl_easy_setopt(s.curl, CURLOPT_CUSTOMREQUEST, "DELETE");
        return s.perform();
    }
    const QByteArray target = quoted(s.hostPath(path));
    return runCommands({(s.isSftp() ? "rm " : "DELE ") + target});
}

RemoteResult RemoteFolder::makeFolder(const QString& path)
{
    Session& s = *m_session;
    if (s.isDav()) {
        QByteArray ignored;
        s.prepare(s.url(path, true), &ignored);
        curl_easy_setopt(s.curl, CURLOPT_CUSTOMREQUEST, "MKCOL");
        return s.perform();
    }
    const QByteArray target = quoted(s.hostPath(path));
    return runCommands({(s.isSftp() ? "mkdir " : "MKD ") + target});
}

RemoteResult RemoteFolder::makeItself()
{
    Session& s = *m_session;
    const QString folder = s.settings.address.folder;
    const bool absolute = folder.startsWith(QLatin1Char('/'));
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QList<QByteArray> commands;
    QString path = absolute ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        path += part;
        QString onHost = path;
        if (s.isSftp() && !absolute)
            onHost.prepend(QStringLiteral("/~/"));
        if (s.isDav()) {
            QByteArray ignored;
            s.prepare(s.serverUrl() + '/' + encodedPath(path) + '/', &ignored);
            curl_easy_setopt(s.curl, CURLOPT_CUSTOMREQUEST, "MKCOL");
            s.perform(); // one that is there already is refused, and that is fine
        }
        // A leading '*' lets the commands go on past a folder that is there already.
        commands << (s.isSftp() ? "*mkdir " : "*MKD ") + quoted(onHost);
        path += QLatin1Char('/');
    }
    return commands.isEmpty() || s.isDav() ? RemoteResult() : runCommands(commands);
}

RemoteResult RemoteFolder::runCommands(const QList<QByteArray>& commands)
{
    Session& s = *m_session;
    QByteArray ignored;
    s.prepare(s.loginFolderUrl(), &ignored);
    curl_easy_setopt(s.curl, CURLOPT_NOBODY, 1L);
    curl_slist* list = nullptr;
    for (const QByteArray& command : commands)
        list = curl_slist_append(list, command.constData());
    curl_easy_setopt(s.curl, CURLOPT_QUOTE, list);
    RemoteResult result = s.perform();
    curl_slist_free_all(list);
    if (result.problem == UploadProblem::Other && s.errorText[0] &&
        QByteArray(s.errorText).contains("ermission"))
        result.problem = UploadProblem::PermissionDenied;
    return result;
}

} // namespace lq

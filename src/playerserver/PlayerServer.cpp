#include "PlayerServer.h"

#include "PagePolicy.h"

#include <QFile>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <microhttpd.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lq {

namespace {

using Clock = std::chrono::steady_clock;

// One connection: whether it has asked for something under the secret yet, and for a stranger,
// its socket and when it came.
struct ConnectionState
{
    bool known = false;
    MHD_socket socket = MHD_INVALID_SOCKET;
    Clock::time_point accepted;
};

// One request: what it gets, decided from its head, and how much of its body was thrown away.
struct RequestState
{
    RequestDecision decision;
    qint64 discarded = 0;
    bool answered = false;
};

void addCommonHeaders(MHD_Response* response)
{
    MHD_add_response_header(response, "Cache-Control", "no-store");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
}

MHD_Response* emptyResponse(int status)
{
    MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!response)
        return nullptr;
    addCommonHeaders(response);
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, "Allow", "GET, POST");
    return response;
}

// The file a decision names, streamed from its descriptor; null when it is not a plain file. It is
// opened beneath its folder's descriptor, so a link switched since the decision cannot lead out,
// and without waiting on a FIFO put at its path.
MHD_Response* fileResponse(const RequestDecision& decision, const PlayerSite& site)
{
    const int fd = openDecidedFile(decision, site);
    if (fd < 0)
        return nullptr;
    struct stat status = {};
    MHD_Response* response = nullptr;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        response = MHD_create_response_from_fd64(quint64(status.st_size), fd);
    if (!response) {
        ::close(fd);
        return nullptr;
    }
    addCommonHeaders(response);
    MHD_add_response_header(response, "Content-Type", decision.mimeType.constData());
    return response;
}

// A socket listening on 127.0.0.1 on a port the system picks, or -1. Its queue of connections
// not yet taken is as long as the system allows: they cost the program no descriptor, and when
// many clients crowd in, the player's connection waits its turn in the queue rather than being
// dropped by the system (which the player would only try again a second later).
int listenOnLoopback()
{
    const int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listening < 0)
        return -1;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listening, SOMAXCONN) != 0) {
        ::close(listening);
        return -1;
    }
    return listening;
}

qint64 announcedBody(MHD_Connection* connection)
{
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (!length)
        return 0;
    bool ok = false;
    const qint64 bytes = QByteArray(length).trimmed().toLongLong(&ok);
    return ok ? bytes : std::numeric_limits<qint64>::max();
}

} // namespace

// libmicrohttpd's daemon and what its thread needs. Everything here runs in that thread, but for
// start() and the destructor.
class PlayerServer::Daemon
{
public:
    Daemon(const PlayerSite& site, const QByteArray& page, unsigned idleTimeout)
        : m_site(site), m_idleTimeout(idleTimeout)
    {
        m_page = MHD_create_response_from_buffer(
            size_t(page.size()), const_cast<char*>(page.constData()), MHD_RESPMEM_MUST_COPY);
        addCommonHeaders(m_page);
        MHD_add_response_header(m_page, "Content-Type", mimeTypeFor("player.html").constData());
        MHD_add_response_header(
            m_page, "Content-Security-Policy",
            pagePolicy(page, PageOrigin::OwnSite, PolicyDelivery::Header).constData());
        MHD_add_response_header(m_page, "X-Frame-Options", "DENY");
    }

    ~Daemon()
    {
        if (m_sweeper.joinable()) {
            {
                const std::lock_guard lock(m_strangersLock);
                m_stopping = true;
            }
            m_strangersChanged.notify_one();
            m_sweeper.join();
        }
        if (m_daemon)
            MHD_stop_daemon(m_daemon);
        MHD_destroy_response(m_page);
    }

    bool start(int listening);

private:
    static MHD_Result acceptFrom(void* self, const sockaddr*, socklen_t);
    static void notify(void* self, MHD_Connection*, void** context,
                       MHD_ConnectionNotificationCode code);
    static MHD_Result handle(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, size_t* uploadSize,
                             void** requestContext);
    static void completed(void*, MHD_Connection*, void** requestContext,
                          MHD_RequestTerminationCode);
    // The path is given to decideRequest() exactly as it arrived, percent-encoding and all.
    static size_t keepRawPath(void*, MHD_Connection*, char* uri) { return std::strlen(uri); }

    RequestDecision decide(MHD_Connection* connection, const char* url, const char* method);
    MHD_Result answer(MHD_Connection* connection, RequestState& request);

    void addStranger(MHD_Connection* connection, ConnectionState* state);
    void forgetStranger(ConnectionState* state);
    void evictOldestStranger();
    void makeRoom(Clock::time_point now);
    void sweepOverdueStrangers();

    const PlayerSite& m_site;
    const unsigned m_idleTimeout;
    MHD_Response* m_page = nullptr;
    MHD_Daemon* m_daemon = nullptr;

    // Strangers, oldest first. The server's thread adds and forgets them; the sweeper's thread
    // hangs up on those past their deadline. A socket is shut down only while it is listed, and
    // libmicrohttpd tells of a closed connection (which takes it off the list) before it closes
    // the socket, so the number is never one the system has given to another socket since.
    std::mutex m_strangersLock;
    std::condition_variable m_strangersChanged;
    std::vector<ConnectionState*> m_strangers;
    bool m_stopping = false;
    std::thread m_sweeper;
};

bool PlayerServer::Daemon::start(int listening)
{
    // epoll, not select: the number of the program's descriptors does not matter. "Turbo" reads
    // a new connection at once, in the turn it was taken in: the player's request is there by
    // then and makes it known before a crowd of newer strangers could push it out.
    m_daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TURBO, 0, &Daemon::acceptFrom,
        this, &Daemon::handle, this, MHD_OPTION_LISTEN_SOCKET, listening,
        MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        kMaxConnections, MHD_OPTION_CONNECTION_TIMEOUT, m_idleTimeout,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kRequestHeadBytes, MHD_OPTION_NOTIFY_CONNECTION,
        &Daemon::notify, this, MHD_OPTION_NOTIFY_COMPLETED, &Daemon::completed, this,
        MHD_OPTION_UNESCAPE_CALLBACK, &Daemon::keepRawPath, this, MHD_OPTION_END);
    if (!m_daemon)
        return false;
    m_sweeper = std::thread(&Daemon::sweepOverdueStrangers, this);
    return true;
}

// Every new connection gets in. When the places for strangers are taken, the one that has held
// its place longest goes: the player sends its request the moment it connects, so a patient
// client cannot keep it out, and the player's own connections are no strangers to be evicted.
MHD_Result PlayerServer::Daemon::acceptFrom(void* self, const sockaddr*, socklen_t)
{
    auto* daemon = static_cast<Daemon*>(self);
    const std::lock_guard lock(daemon->m_strangersLock);
    daemon->makeRoom(Clock::now());
    return MHD_YES;
}

void PlayerServer::Daemon::addStranger(MHD_Connection* connection, ConnectionState* state)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    state->socket = info ? info->connect_fd : MHD_INVALID_SOCKET;
    state->accepted = Clock::now();
    const std::lock_guard lock(m_strangersLock);
    m_strangers.push_back(state);
    // The sweeper has a deadline to wait for again, or strangers beyond their share to end.
    if (m_strangers.size() == 1 || m_strangers.size() > kMaxStrangers)
        m_strangersChanged.notify_one();
}

void PlayerServer::Daemon::forgetStranger(ConnectionState* state)
{
    const std::lock_guard lock(m_strangersLock);
    std::erase(m_strangers, state);
}

// Hangs up on the oldest stranger; libmicrohttpd sees the socket end and closes the connection.
// It is off the list at once, so its place is free for the connection that made room.
void PlayerServer::Daemon::evictOldestStranger()
{
    if (m_strangers.empty())
        return;
    if (m_strangers.front()->socket != MHD_INVALID_SOCKET)
        ::shutdown(m_strangers.front()->socket, SHUT_RDWR);
    m_strangers.erase(m_strangers.begin());
}

// Leaves a place for one more stranger, hanging up on the oldest, but none within its grace.
void PlayerServer::Daemon::makeRoom(Clock::time_point now)
{
    while (m_strangers.size() >= kMaxStrangers &&
           m_strangers.front()->accepted + kStrangerGrace <= now)
        evictOldestStranger();
}

// A stranger has a deadline from the moment it came, whatever it sends meanwhile: a client that
// sends a byte now and then never goes silent for long, yet holds its place no longer than this.
// Strangers beyond their share go as soon as their grace is over.
void PlayerServer::Daemon::sweepOverdueStrangers()
{
    std::unique_lock lock(m_strangersLock);
    while (!m_stopping) {
        const Clock::time_point now = Clock::now();
        while (!m_strangers.empty() && m_strangers.front()->accepted + kStrangerDeadline <= now)
            evictOldestStranger();
        while (m_strangers.size() > kMaxStrangers &&
               m_strangers.front()->accepted + kStrangerGrace <= now)
            evictOldestStranger();
        if (m_strangers.empty()) {
            m_strangersChanged.wait(lock);
            continue;
        }
        Clock::time_point wake = m_strangers.front()->accepted + kStrangerDeadline;
        if (m_strangers.size() > kMaxStrangers)
            wake = m_strangers.front()->accepted + kStrangerGrace;
        m_strangersChanged.wait_until(lock, wake);
    }
}

void PlayerServer::Daemon::notify(void* self, MHD_Connection* connection, void** context,
                                  MHD_ConnectionNotificationCode code)
{
    auto* daemon = static_cast<Daemon*>(self);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* state = new ConnectionState;
        *context = state;
        daemon->addStranger(connection, state);
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, kStrangerTimeout);
        return;
    }
    auto* state = static_cast<ConnectionState*>(*context);
    if (state && !state->known)
        daemon->forgetStranger(state);
    delete state;
    *context = nullptr;
}

RequestDecision PlayerServer::Daemon::decide(MHD_Connection* connection, const char* url,
                                             const char* method)
{
    // The method goes as it came: which ones are answered, and for what, is decideRequest's rule.
    // What a POST sends is never kept (see handle).
    const char* host =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
    RequestDecision decision =
        decideRequest(method, host ? QByteArrayView(host) : QByteArrayView(), url, m_site);
    if (decision.target == RequestTarget::Refused)
        return decision;
    // Only the player knows the secret: its connection is no stranger from now on.
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    auto* state = info ? static_cast<ConnectionState*>(info->socket_context) : nullptr;
    if (state && !state->known) {
        forgetStranger(state);
        state->known = true;
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, m_idleTimeout);
    }
    return decision;
}

MHD_Result PlayerServer::Daemon::handle(void* self, MHD_Connection* connection, const char* url,
                                        const char* method, const char*, const char*,
                                        size_t* uploadSize, void** requestContext)
{
    auto* daemon = static_cast<Daemon*>(self);
    auto* request = static_cast<RequestState*>(*requestContext);
    if (!request) {
        request = new RequestState;
        *requestContext = request;
        request->decision = daemon->decide(connection, url, method);
        // A body announced bigger than what is read of one: answer at once without reading it;
        // the connection closes after the answer.
        if (announcedBody(connection) > kMaxDiscardedBody)
            return daemon->answer(connection, *request);
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        // A body is never kept: counted and dropped, and too much of it ends the connection.
        request->discarded += qint64(*uploadSize);
        *uploadSize = 0;
        return request->answered || request->discarded <= kMaxDiscardedBody ? MHD_YES : MHD_NO;
    }
    return request->answered ? MHD_YES : daemon->answer(connection, *request);
}

MHD_Result PlayerServer::Daemon::answer(MHD_Connection* connection, RequestState& request)
{
    request.answered = true;
    const RequestDecision& decision = request.decision;
    if (decision.target == RequestTarget::PlayerPage)
        return MHD_queue_response(connection, MHD_HTTP_OK, m_page);
    MHD_Response* response = nullptr;
    int status = decision.status;
    if (decision.target == RequestTarget::File) {
        response = fileResponse(decision, m_site);
        if (!response)
            status = MHD_HTTP_NOT_FOUND;
    }
    if (!response)
        response = emptyResponse(status);
    if (!response)
        return MHD_NO; // out of memory: drop the connection
    const MHD_Result queued = MHD_queue_response(connection, unsigned(status), response);
    MHD_destroy_response(response);
    return queued;
}

void PlayerServer::Daemon::completed(void*, MHD_Connection*, void** requestContext,
                                     MHD_RequestTerminationCode)
{
    delete static_cast<RequestState*>(*requestContext);
    *requestContext = nullptr;
}

PlayerServer::PlayerServer(const QString& ruffleFolder, const QByteArray& playerPage,
                           QObject* parent)
    : QObject(parent), m_page(playerPage)
{
    m_site.secret = makeSecret();
    m_site.ruffleFolder = ruffleFolder;
}

PlayerServer::~PlayerServer() = default;

bool PlayerServer::start()
{
    if (m_port != 0)
        return true;
    const int listening = listenOnLoopback();
    if (listening < 0)
        return false;
    sockaddr_in bound = {};
    socklen_t size = sizeof bound;
    if (::getsockname(listening, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        ::close(listening);
        return false;
    }
    // The server's thread reads the site from now on, and it never changes again.
    const quint16 port = ntohs(bound.sin_port);
    m_site.host = "127.0.0.1:" + QByteArray::number(port);
    auto daemon = std::make_unique<Daemon>(m_site, m_page, m_idleTimeout);
    if (!daemon->start(listening)) {
        ::close(listening);
        return false;
    }
    m_daemon = std::move(daemon);
    m_port = port;
    return true;
}

QUrl PlayerServer::urlFor(const QByteArray& path) const
{
    if (path.isEmpty() || m_port == 0)
        return {};
    return QUrl::fromEncoded("http://" + m_site.host + path, QUrl::StrictMode);
}

QUrl PlayerServer::pageUrl() const
{
    return urlFor('/' + m_site.secret + "/player.html");
}

QUrl PlayerServer::fileUrl(const QString& windowsPath) const
{
    return urlFor(urlPathForWindowsPath(windowsPath, m_site.secret));
}

QUrl PlayerServer::folderUrl(const QString& windowsPath) const
{
    return urlFor(urlPathForFolderOf(windowsPath, m_site.secret));
}

} // namespace lq

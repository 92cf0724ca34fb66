// Fuzzes the player's loopback server as a client on the machine reaches it: arbitrary bytes on a
// real connection (request lines, headers, bodies, several requests in a row, cut short). Whatever
// arrives, no answer holds a byte of a file outside the drive, every file or page sent says
// "Cache-Control: no-store", and the server goes on answering the player afterwards.
//
// In the input "$S" stands for this run's secret and "$H" for the expected Host header, so that
// the fuzzer reaches past the secret. The drive is the trap drive of TrapDrive.h, its files and
// the files its links lead to filled with markers.

#include "PlayerServer.h"
#include "TrapDrive.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

lqfuzz::TrapDrive g_drive;
lq::PlayerServer* g_server = nullptr;

constexpr char kOutside[] = "OUTSIDE-THE-DRIVE";
constexpr char kPage[] = "<html>the player page</html>";

void fill(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
}

// The server takes every new connection (a stranger that has held its place longest makes room),
// but the system may be slow to hand it over: a connection may wait a while for its turn. Never
// getting one is a fault. libFuzzer's own timer interrupts system calls now and then, so every
// wait here goes on after an interruption.
int connectToServer(int silenceMs)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(g_server->port());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        std::perror("no connection to the server");
        std::abort();
    }
    pollfd waiting = {fd, POLLOUT, 0};
    QElapsedTimer turn;
    turn.start();
    int ready = 0;
    while ((ready = ::poll(&waiting, 1, 100)) <= 0) {
        if ((ready < 0 && errno != EINTR) || turn.hasExpired(4000)) {
            std::fprintf(stderr, "no connection to the server within 4 s\n");
            std::abort();
        }
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        std::fprintf(stderr, "no connection to the server: %s\n", std::strerror(error));
        std::abort();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const timeval limit = {silenceMs / 1000, (silenceMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    return fd;
}

// Sends the request bytes, says no more will come, and reads what comes back until the server
// closes or falls silent for a while. Then the connection is reset, not closed: the server lets
// go of its place at once rather than when its idle time is out.
QByteArray exchange(const QByteArray& request, int silenceMs)
{
    const int fd = connectToServer(silenceMs);
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n =
            ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sent += n;
    }
    ::shutdown(fd, SHUT_WR);
    QByteArray answer;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    const linger reset = {1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd);
    return answer;
}

[[noreturn]] void fail(const char* what, const QByteArray& request, const QByteArray& answer)
{
    std::fprintf(stderr, "%s\n  request %s\n  answer %s\n", what,
                 request.left(2000).toPercentEncoding(" /:\r\n").constData(),
                 answer.left(2000).toPercentEncoding(" /:\r\n").constData());
    std::abort();
}

// Every answer that sends something (2xx) forbids caching it.
bool everySentAnswerIsUncached(const QByteArray& answer)
{
    for (qsizetype at = answer.indexOf("HTTP/1."); at >= 0;
         at = answer.indexOf("HTTP/1.", at + 1)) {
        const qsizetype end = answer.indexOf("\r\n\r\n", at);
        const QByteArray head = answer.mid(at, end < 0 ? -1 : end - at);
        if (head.mid(9, 1) == "2" && !head.contains("\r\nCache-Control: no-store"))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_drive = lqfuzz::buildTrapDrive("lq-fuzz-server");
    const QString c = g_drive.dataFolder + "/drive_c";
    fill(c + "/lumenquill/vector/aboutus.txt", "aboutus=inside the drive");
    fill(g_drive.outside + "/passwd", kOutside);
    fill(g_drive.outside + "/sub/deep.txt", kOutside);
    fill(g_drive.dataFolder + "/secret.txt", kOutside);
    fill(g_drive.dataFolder + "/drive_cx/twin.txt", kOutside);
    g_server = new lq::PlayerServer(g_drive.home + "/no-ruffle", kPage);
    if (!g_server->start())
        std::abort();
    std::atexit([] {
        delete g_server;
        QDir(g_drive.home).removeRecursively();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    // A last request ends the connection, so that a well-formed input need not wait for the
    // server's idle timeout; one left unfinished takes it as its own rest.
    QByteArray request = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)) +
                         "GET /$S/player.html HTTP/1.1\r\nHost: $H\r\nConnection: close\r\n\r\n";
    const QByteArray host = "127.0.0.1:" + QByteArray::number(g_server->port());
    request.replace("$S", g_server->secret());
    request.replace("$H", host);

    const QByteArray answer = exchange(request, 100);
    if (answer.contains(kOutside))
        fail("a file outside the drive was sent", request, answer);
    if (!everySentAnswerIsUncached(answer))
        fail("an answer may be cached", request, answer);

    // Whatever connections an input left behind, the player, which asks at once, must be answered
    // (a try may fall in a moment the system is busy, so there are a few).
    const QByteArray pageRequest = "GET /" + g_server->secret() +
                                   "/player.html HTTP/1.1\r\nHost: " + host +
                                   "\r\nConnection: close\r\n\r\n";
    QByteArray page;
    QElapsedTimer waited;
    waited.start();
    do {
        page = exchange(pageRequest, 1000);
        if (page.startsWith("HTTP/1.1 200") && page.endsWith(kPage))
            return 0;
        ::usleep(200 * 1000);
    } while (!waited.hasExpired(4000));
    fail("the server stopped answering the player", request, page);
}

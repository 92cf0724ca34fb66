#pragma once

#include <QtGlobal>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

// Another local process, patient and without the secret: it holds `count` connections to a port
// and sends one byte of a never-ending request head on each every 2.9 s, just under a 3 s idle
// timeout. A connection the server hangs up on is made again at once, so the server never sees
// fewer than it can take. It runs in a process of its own until the object goes.
class SlowStrangers
{
public:
    static constexpr int kByteIntervalMs = 2900;

    SlowStrangers(quint16 port, int count)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        // Made before the fork: the child of a threaded process should not allocate.
        std::vector<pollfd> sockets(size_t(count), pollfd{-1, POLLIN, 0});
        std::vector<size_t> sent(size_t(count), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            // Nothing of the parent's is kept open here: a connection the server closed would
            // otherwise stay open for its client, who would wait on it for ever.
            ::close_range(3, uint(ready[1]) - 1, 0);
            ::close_range(uint(ready[1]) + 1, ~0u, 0);
            run(port, sockets, sent, ready[1]);
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        m_started = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }

    ~SlowStrangers()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    SlowStrangers(const SlowStrangers&) = delete;
    SlowStrangers& operator=(const SlowStrangers&) = delete;

    // All its connections were asked for.
    bool started() const { return m_started; }

private:
    static int connectTo(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return fd;
    }

    static qint64 nowMs()
    {
        timespec now = {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

    [[noreturn]] static void run(quint16 port, std::vector<pollfd>& sockets,
                                 std::vector<size_t>& sent, int ready)
    {
        rlimit limit = {};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur =
            qMax<rlim_t>(limit.rlim_cur, qMin<rlim_t>(limit.rlim_max, sockets.size() + 64));
        ::setrlimit(RLIMIT_NOFILE, &limit);
        static const char head[] = "GET / HTTP/1.1\r\nX-Slow: ";
        for (pollfd& socket : sockets)
            socket.fd = connectTo(port);
        (void)!::write(ready, "r", 1);
        qint64 nextByte = nowMs() + kByteIntervalMs;
        for (;;) {
            const int wait = int(qMax<qint64>(0, nextByte - nowMs()));
            if (::poll(sockets.data(), sockets.size(), wait) > 0) {
                for (size_t i = 0; i < sockets.size(); ++i) {
                    char buffer[512];
                    if (!sockets[i].revents)
                        continue;
                    const ssize_t n = ::recv(sockets[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                        ::close(sockets[i].fd);
                        sockets[i].fd = connectTo(port);
                        sent[i] = 0;
                    }
                }
            }
            if (nowMs() < nextByte)
                continue;
            nextByte += kByteIntervalMs;
            for (size_t i = 0; i < sockets.size(); ++i) {
                const char byte = sent[i] < sizeof head - 1 ? head[sent[i]] : 'a';
                if (::send(sockets[i].fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1)
                    ++sent[i];
            }
        }
    }

    pid_t m_pid = -1;
    bool m_started = false;
};

#pragma once

#include "PlayerRequests.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <memory>

namespace lq {

// The player's own web server: Qt WebEngine lets a page fetch() nothing but http(s), and the SWF
// player fetches its wasm, the movie and every text the movie loads. It listens on 127.0.0.1 only,
// on a port the system picks, and answers nothing without this run's secret path prefix; what it
// hands out is decided by decideRequest(). Every answer carries "Cache-Control: no-store", so that
// a movie loaded again reads its texts as they are on disk now.
//
// Any process on the machine can reach a loopback port, so the server runs in a thread of its own
// (nothing it does can hold up the window) and bounds what one client can take: connections,
// their idle time, how long a stranger may hold a place, the size of a request's head, and what
// it reads of a body (never kept). Files are sent from the file, never read into memory. It tells
// the window nothing: however many requests a movie makes, the GUI thread does no work for them.
class PlayerServer : public QObject
{
    Q_OBJECT

public:
    // Connections open at once, from anyone; the program keeps descriptors for its own files.
    static constexpr unsigned kMaxConnections = 64;
    // Connections that have not yet asked for anything under the secret. The rest stay for the
    // player, whose connections are known once they have. A new connection is never turned away
    // for want of a stranger's place: the oldest stranger makes room for it.
    static constexpr unsigned kMaxStrangers = 32;
    // How long a stranger may hold its place from the moment it came, whatever it sends.
    static constexpr std::chrono::milliseconds kStrangerDeadline{2500};
    // A stranger that came this recently is not hung up on to make room: a client may take a
    // moment between connecting and sending its request. Newcomers may hold places beyond the
    // strangers' share for that long.
    static constexpr std::chrono::milliseconds kStrangerGrace{5};
    // Seconds a connection may stay silent: a stranger, and one the player has used.
    static constexpr unsigned kStrangerTimeout = 3;
    static constexpr unsigned kIdleTimeout = 15;
    // Bytes a connection may use for its request line and headers.
    static constexpr size_t kRequestHeadBytes = 32 * 1024;
    // Bytes of a request's body read (and thrown away) before the answer; more and the server
    // hangs up.
    static constexpr qint64 kMaxDiscardedBody = 64 * 1024;

    PlayerServer(const QString& ruffleFolder, const QByteArray& playerPage,
                 QObject* parent = nullptr);
    ~PlayerServer() override;

    // How long a connection the player has used may stay silent, when not kIdleTimeout (tests
    // shorten it). Set before start().
    void setIdleTimeout(unsigned seconds) { m_idleTimeout = seconds; }

    // Starts listening; false when no port could be had.
    bool start();
    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    const QByteArray& secret() const { return m_site.secret; }

    // http://127.0.0.1:<port>/<secret>/player.html
    QUrl pageUrl() const;
    // Where the file of a fixed Windows path is served, and the folder holding it (with its
    // trailing slash); invalid for a path that is not an absolute drive path.
    QUrl fileUrl(const QString& windowsPath) const;
    QUrl folderUrl(const QString& windowsPath) const;

private:
    class Daemon;

    QUrl urlFor(const QByteArray& path) const;

    PlayerSite m_site;
    QByteArray m_page;
    quint16 m_port = 0;
    unsigned m_idleTimeout = kIdleTimeout;
    std::unique_ptr<Daemon> m_daemon;
};

} // namespace lq

#pragma once

#include "PlayerRequests.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QUrl>

namespace lq {

// The player's own web server: Qt WebEngine lets a page fetch() nothing but http(s), and the SWF
// player fetches its wasm, the movie and every text the movie loads. It listens on 127.0.0.1 only,
// on a port the system picks, and answers nothing without this run's secret path prefix; what it
// hands out is decided by decideRequest(). Every answer carries "Cache-Control: no-store", so that
// a movie loaded again reads its texts as they are on disk now.
class PlayerServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    PlayerServer(const QString& ruffleFolder, const QByteArray& playerPage,
                 QObject* parent = nullptr);

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

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    QUrl urlFor(const QByteArray& path) const;
    void dropWebSockets();

    PlayerSite m_site;
    QByteArray m_page;
    quint16 m_port = 0;
};

} // namespace lq

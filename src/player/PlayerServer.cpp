#include "PlayerServer.h"

#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QWebSocket>

namespace lq {

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    const QMetaEnum names = QMetaEnum::fromType<QHttpServerRequest::Methods>();
    const char* name = names.valueToKey(int(method));
    return name ? QByteArray(name).toUpper() : QByteArray("UNKNOWN");
}

} // namespace

PlayerServer::PlayerServer(const QString& ruffleFolder, const QByteArray& playerPage,
                           QObject* parent)
    : QAbstractHttpServer(parent), m_page(playerPage)
{
    m_site.secret = makeSecret();
    m_site.ruffleFolder = ruffleFolder;
    // The player never opens a web socket; nobody else gets to keep one open here.
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this,
            &PlayerServer::dropWebSockets);
}

bool PlayerServer::start()
{
    if (m_port != 0)
        return true;
    m_port = listen(QHostAddress::LocalHost, 0);
    m_site.host = "127.0.0.1:" + QByteArray::number(m_port);
    return m_port != 0;
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

bool PlayerServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const RequestDecision decision =
        decideRequest(methodName(request.method()), request.value("Host"),
                      request.url().path(QUrl::FullyEncoded).toUtf8(), m_site);

    // The responder adds Content-Length itself.
    QHttpServerResponder responder = makeResponder(request, socket);
    if (decision.target == RequestTarget::Refused) {
        const auto status = QHttpServerResponder::StatusCode(decision.status);
        if (status == QHttpServerResponder::StatusCode::MethodNotAllowed)
            responder.write({{"Cache-Control", "no-store"}, {"Allow", "GET"}}, status);
        else
            responder.write({{"Cache-Control", "no-store"}}, status);
        return true;
    }
    QByteArray body = m_page;
    if (decision.target == RequestTarget::File) {
        QFile file(decision.localPath);
        if (!file.open(QIODevice::ReadOnly)) {
            responder.write({{"Cache-Control", "no-store"}},
                            QHttpServerResponder::StatusCode::NotFound);
            return true;
        }
        body = file.readAll();
    }
    responder.write(body,
                    {{"Content-Type", decision.mimeType},
                     {"Cache-Control", "no-store"},
                     {"X-Content-Type-Options", "nosniff"}},
                    QHttpServerResponder::StatusCode::Ok);
    return true;
}

void PlayerServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write({{"Cache-Control", "no-store"}}, QHttpServerResponder::StatusCode::NotFound);
}

void PlayerServer::dropWebSockets()
{
    while (hasPendingWebSocketConnections()) {
        if (std::unique_ptr<QWebSocket> socket = nextPendingWebSocketConnection())
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
    }
}

} // namespace lq

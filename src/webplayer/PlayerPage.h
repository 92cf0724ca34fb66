#pragma once

#include <QJsonObject>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace lq {

// The page that hosts the player: it stays on the player page, opens no window and no frame,
// shows no dialog, and passes the page's reports (console lines starting "lumenquill:") on as
// JSON. What a movie asks of the page beyond that is refused here, whatever the player itself
// allows: the page is the program's, not the movie's.
class PlayerPage : public QWebEnginePage
{
    Q_OBJECT

public:
    PlayerPage(QWebEngineProfile* profile, const QUrl& home, QObject* parent);

    // The text with the server's address and secret taken out of every URL in it, which keeps
    // the path below the secret: what may go into a log.
    QString withoutSecret(QString text) const;

signals:
    void message(const QJsonObject& message);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& text,
                                  int line, const QString& source) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl&, const QString& text) override;
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override
    {
        return false;
    }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override
    {
        return {};
    }

private:
    QUrl m_home;
    QString m_site; // "http://127.0.0.1:<port>/<secret>"
    QString m_secret;
};

// Lets the player page's engine reach nothing but the program's own server: every request for
// another scheme, host or port is dropped before it leaves, whatever made it (the player, a
// movie, the page).
class PlayerRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    PlayerRequestGuard(const QUrl& server, QObject* parent);

    static bool allows(const QUrl& request, const QUrl& server);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QUrl m_server;
};

} // namespace lq

#pragma once

#include "PlayerLog.h"

#include <QJsonObject>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace lq {

// The page that hosts the player: it stays on the player page, opens no window and no frame,
// shows no dialog, and passes the page's reports on as JSON: console lines
// "lumenquill:<load>:<json>", where <load> is the number of the load the report is about (0 for
// the page's own). What a movie asks of the page beyond that is refused here, whatever the player
// itself allows: the page is the program's, not the movie's. Everything it logs goes through its
// gate.
class PlayerPage : public QWebEnginePage
{
    Q_OBJECT

public:
    PlayerPage(QWebEngineProfile* profile, const QUrl& home, PlayerLogGate& log, QObject* parent);

    // Reports about any other load than this one are dropped as they arrive, unread: a movie
    // that has been replaced may have left a queue of them.
    void setCurrentLoad(int load) { m_currentLoad = load; }

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
    bool passReport(const QString& text);

    QUrl m_home;
    QString m_homeText;
    PlayerLogGate& m_log;
    int m_currentLoad = 0;
};

// Lets the player page's engine reach nothing but the program's own server: every request for
// another scheme, host or port is dropped before it leaves, whatever made it (the player, a
// movie, the page).
class PlayerRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    // The engine asks it on the GUI thread, where the gate is used.
    PlayerRequestGuard(const QUrl& server, PlayerLogGate& log, QObject* parent);

    static bool allows(const QUrl& request, const QUrl& server);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QUrl m_server;
    PlayerLogGate& m_log;
};

} // namespace lq

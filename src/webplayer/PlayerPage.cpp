#include "PlayerPage.h"

#include <QJsonDocument>
#include <QLoggingCategory>

namespace lq {

namespace {

constexpr auto kMessagePrefix = QLatin1String("lumenquill:");

} // namespace

PlayerPage::PlayerPage(QWebEngineProfile* profile, const QUrl& home, PlayerLogGate& log,
                       QObject* parent)
    : QWebEnginePage(profile, parent), m_home(home), m_homeText(home.toString()), m_log(log)
{
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

// A report of the page's own; true when the text was one, whether passed on or dropped.
bool PlayerPage::passReport(const QString& text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'), kMessagePrefix.size());
    if (colon < 0)
        return false;
    bool numbered = false;
    const int load = QStringView(text)
                         .mid(kMessagePrefix.size(), colon - kMessagePrefix.size())
                         .toInt(&numbered);
    if (!numbered)
        return false;
    if (load != 0 && load != m_currentLoad)
        return true;
    const QJsonDocument json = QJsonDocument::fromJson(QStringView(text).mid(colon + 1).toUtf8());
    if (!json.isObject())
        return false;
    emit message(json.object());
    return true;
}

void PlayerPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& text,
                                          int line, const QString& source)
{
    if (text.startsWith(kMessagePrefix) && source == m_homeText && passReport(text))
        return;
    // The player names the URLs it fetches in what it says: the gate takes the secret out.
    const QtMsgType type = level == ErrorMessageLevel ? QtInfoMsg : QtDebugMsg;
    if (m_log.admits(type))
        m_log.write(type, QStringLiteral("page: ") + text + QStringLiteral(" (") + source +
                              QLatin1Char(':') + QString::number(line) + QLatin1Char(')'));
}

bool PlayerPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame)
{
    // The page has no frames of its own; a movie gets none either.
    return isMainFrame && url == m_home;
}

void PlayerPage::javaScriptAlert(const QUrl&, const QString& text)
{
    m_log.log(QtInfoMsg, QStringLiteral("movie alert not shown: ") + text);
}

PlayerRequestGuard::PlayerRequestGuard(const QUrl& server, PlayerLogGate& log, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_server(server), m_log(log)
{}

bool PlayerRequestGuard::allows(const QUrl& request, const QUrl& server)
{
    // Data made in the page itself (the player's own blobs, inline data) goes nowhere.
    const QString scheme = request.scheme();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob"))
        return true;
    return scheme == QLatin1String("http") && request.host() == server.host() &&
           request.port(80) == server.port(80) && request.userInfo().isEmpty();
}

void PlayerRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (!allows(info.requestUrl(), m_server)) {
        if (m_log.admits(QtInfoMsg))
            m_log.write(QtInfoMsg,
                        QStringLiteral("request from the player page refused: ") +
                            info.requestUrl().toString(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                                       QUrl::RemoveQuery | QUrl::RemoveFragment));
        info.block(true);
    }
}

} // namespace lq

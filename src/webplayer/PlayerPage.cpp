#include "PlayerPage.h"

#include <QJsonDocument>
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace {

constexpr auto kMessagePrefix = QLatin1String("lumenquill:");

} // namespace

PlayerPage::PlayerPage(QWebEngineProfile* profile, const QUrl& home, QObject* parent)
    : QWebEnginePage(profile, parent), m_home(home)
{
    // "/<secret>/player.html": the first part of the path is the secret.
    m_secret = home.path().section(QLatin1Char('/'), 1, 1);
    m_site = home.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment) +
             QLatin1Char('/') + m_secret;
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

QString PlayerPage::withoutSecret(QString text) const
{
    if (m_secret.isEmpty())
        return text;
    text.replace(m_site, QString());
    return text.replace(m_secret, QStringLiteral("<secret>"));
}

void PlayerPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& text,
                                          int line, const QString& source)
{
    if (text.startsWith(kMessagePrefix) && QUrl(source) == m_home) {
        const QJsonDocument json =
            QJsonDocument::fromJson(text.mid(kMessagePrefix.size()).toUtf8());
        if (json.isObject()) {
            emit message(json.object());
            return;
        }
    }
    // The player names the URLs it fetches in what it says: they hold the secret.
    if (level == ErrorMessageLevel)
        qCInfo(lcPlayer).noquote()
            << "page:" << withoutSecret(text) << withoutSecret(source) << line;
    else
        qCDebug(lcPlayer).noquote()
            << "page:" << withoutSecret(text) << withoutSecret(source) << line;
}

bool PlayerPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame)
{
    // The page has no frames of its own; a movie gets none either.
    return isMainFrame && url == m_home;
}

void PlayerPage::javaScriptAlert(const QUrl&, const QString& text)
{
    qCInfo(lcPlayer).noquote() << "movie alert not shown:" << withoutSecret(text);
}

PlayerRequestGuard::PlayerRequestGuard(const QUrl& server, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_server(server)
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
        qCInfo(lcPlayer).noquote()
            << "request from the player page refused:"
            << info.requestUrl().toString(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                          QUrl::RemoveQuery | QUrl::RemoveFragment);
        info.block(true);
    }
}

} // namespace lq

#include "BrowserPeer.h"

#include "DrivePaths.h"
#include "SaveContentFile.h"
#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrlQuery>
#include <unistd.h>

namespace bench {

namespace {

// The least a web page needs to play a movie: the player, told where the movie is by the query,
// with the settings that keep it from waiting for a click.
QByteArray peerPage()
{
    return QByteArrayLiteral(R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>peer</title>
<style>html, body { margin: 0; background: #000; overflow: hidden; }</style>
<script src="ruffle/ruffle.js"></script></head>
<body><script>
  var query = new URLSearchParams(location.search);
  var player = window.RufflePlayer.newest().createPlayer();
  player.style.width = "%1px";
  player.style.height = "%2px";
  document.body.appendChild(player);
  player.ruffle().load({ url: query.get("movie"), base: query.get("base"), autoplay: "on",
                         splashScreen: false, unmuteOverlay: "hidden", preferredRenderer: "canvas",
                         publicPath: "ruffle/" });
</script></body></html>
)")
        .replace("%1", QByteArray::number(BrowserPeer::kWidth))
        .replace("%2", QByteArray::number(BrowserPeer::kHeight));
}

bool layOutMovie(const QString& movie, const QString& from, const QString& effect)
{
    const std::optional<QString> local = lq::DrivePaths::toLocal(movie);
    if (!local)
        return false;
    QDir().mkpath(QFileInfo(*local).absolutePath());
    QFile::remove(*local);
    if (!QFile::copy(from, *local))
        return false;
    for (const lq::ContentFile& file : lq::contentFiles()) {
        if (file.effectName == effect && !lq::SaveContentFile(file.path, file.defaultLine))
            return false;
    }
    return true;
}

} // namespace

bool BrowserPeer::prepare(const QString& ruffleFolder, const QString& standInDrive,
                          const QString& effect, const QString& movieFile)
{
    const QString movie = lq::movieForEffect(effect).value_or(QString());
    const QString from = !movieFile.isEmpty() ? movieFile
                                              : standInDrive + QLatin1Char('/') +
                                                    QString(movie).mid(3).replace('\\', '/');
    if (movie.isEmpty() || program().isEmpty() || !m_profile.isValid() ||
        !layOutMovie(movie, from, effect))
        return false;
    m_server = std::make_unique<lq::PlayerServer>(ruffleFolder, peerPage());
    if (!m_server->start())
        return false;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("movie"), m_server->fileUrl(movie).toString());
    query.addQueryItem(QStringLiteral("base"), m_server->folderUrl(movie).toString());
    m_page = m_server->pageUrl();
    m_page.setQuery(query);
    return true;
}

QString BrowserPeer::program() const
{
    return QStandardPaths::findExecutable(QStringLiteral("chromium"));
}

QString BrowserPeer::version() const
{
    QProcess browser;
    browser.start(program(), {QStringLiteral("--version")});
    if (!browser.waitForFinished(30'000))
        return {};
    // "Chromium 156.0.7500.1 built on Debian ..."
    return QString::fromUtf8(browser.readAllStandardOutput()).section(QLatin1Char(' '), 1, 1);
}

QStringList BrowserPeer::arguments() const
{
    QStringList arguments{QStringLiteral("--user-data-dir=") + m_profile.path(),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--password-store=basic"),
                          QStringLiteral("--autoplay-policy=no-user-gesture-required"),
                          QStringLiteral("--window-size=%1,%2").arg(kWidth).arg(kHeight),
                          QStringLiteral("--app=") + m_page.toString(QUrl::FullyEncoded)};
    // As the program does, and as a browser must when run as root: no sandbox.
    if (geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox"));
    return arguments;
}

} // namespace bench

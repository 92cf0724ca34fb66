#pragma once

// The peer the preview is held against: Debian's Chromium playing the same template movie with
// the same build of the SWF player, at the preview's size, from a minimal page on 127.0.0.1.

#include "PlayerServer.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace bench {

class BrowserPeer
{
public:
    // The movie's width and height in the main window, which the peer's page plays it at.
    static constexpr int kWidth = 529;
    static constexpr int kHeight = 417;

    // Lays the effect's movie (or movieFile in its place) and its texts out in the drive of
    // XDG_DATA_HOME and starts a server for them; false when the browser, the movie or a port is
    // missing.
    bool prepare(const QString& ruffleFolder, const QString& standInDrive,
                 const QString& effect = QStringLiteral("Vector"), const QString& movieFile = {});
    // What the browser is started with: a profile of its own, one window showing the page.
    QString program() const;
    QStringList arguments() const;
    // Its version as it says it ("156.0.7500.1"); empty when it does not answer.
    QString version() const;

private:
    std::unique_ptr<lq::PlayerServer> m_server;
    QTemporaryDir m_profile;
    QUrl m_page;
};

} // namespace bench

#pragma once

#include "MoviePlayer.h"

#include <memory>

class QJsonObject;
class QLabel;
class QStackedLayout;
class QWebEngineProfile;
class QWebEngineView;

namespace lq {

class PlayerLogGate;
class PlayerPage;
class PlayerServer;

// Plays SWF movies with the Ruffle player in a web view. Making it is cheap; the web engine, the
// loopback server and the player page are made by prepare() (or the first setMovie), which the
// program calls once its window is on screen. A movie named before the page is ready plays as
// soon as it is.
class RufflePlayer : public MoviePlayer
{
    Q_OBJECT

public:
    // ruffleFolder holds ruffle.js, its chunks and its .wasm files.
    explicit RufflePlayer(const QString& ruffleFolder = defaultRuffleFolder(),
                          QWidget* parent = nullptr);
    ~RufflePlayer() override;

    void setMovie(const QString& path) override;
    QString movie() const override { return m_movie; }
    // Makes the server, the web engine's profile, the page and the view, once.
    void prepare() override;

    // True once the player page has loaded and can take a movie.
    bool isReady() const { return m_ready; }
    // True once the player has compiled its wasm (with an empty movie of its own, or the first
    // movie): from then on a movie's first frame follows a launch at once.
    bool isWarm() const { return m_warm; }
    // The server, once made (tests look at its URLs).
    const PlayerServer* server() const { return m_server; }
    // The server's idle timeout (see PlayerServer::setIdleTimeout), before prepare().
    void setServerIdleTimeout(unsigned seconds) { m_serverIdleTimeout = seconds; }
    QWebEngineView* view() const { return m_view; }

    // <installed data folder>/ruffle beside the executable: <exe dir>/share/lumen-quill in the
    // build tree, <exe dir>/../share/lumen-quill under an install prefix.
    static QString defaultRuffleFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void warmedUp();
    // The movie's first frame is on screen.
    void movieStarted(const QString& path);
    // The movie called fscommand(command, args).
    void fsCommand(const QString& command, const QString& args);

private:
    bool startServer();
    void makeProfile();
    void makePage();
    void makeView();
    void restartPage();
    void passFocusToTheView();
    void playCurrent();
    void onPageMessage(const QJsonObject& message);
    void onMovieReport(const QString& kind, const QJsonObject& message);
    void logReport(const QString& what, const QJsonObject& message, const QString& field);
    void failMovie(const QString& reason);
    void showNotice(const QString& text);

    QString m_ruffleFolder;
    QString m_movie;
    bool m_moviePending = false;
    bool m_prepared = false;
    bool m_ready = false;
    bool m_warm = false;
    int m_load = 0;                        // number of the load the page is playing
    static constexpr int kMaxRestarts = 3; // in a row, without a launch between them
    int m_restarts = 0;
    bool m_gaveUp = false; // the page's process failed once more after the last restart

    std::unique_ptr<PlayerLogGate> m_log; // made with the server, whose secret it keeps out
    QStackedLayout* m_stack = nullptr;
    QLabel* m_notice = nullptr;
    QWebEngineProfile* m_profile = nullptr;
    PlayerPage* m_page = nullptr;
    QWebEngineView* m_view = nullptr;
    PlayerServer* m_server = nullptr;
    unsigned m_serverIdleTimeout = 0; // the server's own
};

} // namespace lq

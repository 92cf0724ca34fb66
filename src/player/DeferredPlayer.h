#pragma once

#include "MoviePlayer.h"

#include <functional>

class QLabel;

namespace lq {

// The web engine asks for the application's shared GL context, which Qt makes only when GL is
// chosen at start. An empty one, never created, stands in for it: no GL driver is loaded for it,
// and the engine's library, loaded with the player's module, does not warn that it was started
// without one. Call before the engine starts; once is enough.
void standInForTheSharedGLContext();

// Stands in the main window for the real player, and is the one place that decides when it is
// made and readied. The real player lives in a module of its own with the web engine: loading
// that costs more than showing the whole window, so it happens once the window is on screen and
// the event loop has nothing else to do (or at once, when a movie is asked for before then).
// Every movie is passed on; one named early plays once the player is ready.
class DeferredPlayer : public MoviePlayer
{
    Q_OBJECT

public:
    enum class State {
        NotLoaded, // nothing made yet
        Loading,   // on its way: scheduled, or made and readying itself
        Ready,     // the player can take a movie at once
        Failed,    // no player: the area says why
    };
    Q_ENUM(State)

    // Loads the player from a module; by default the one installed beside the program.
    explicit DeferredPlayer(const QString& moduleFile = defaultModuleFile(),
                            QWidget* parent = nullptr);
    // Defers readying a player that is already made (its constructor did no heavy work).
    explicit DeferredPlayer(MoviePlayer* player, QWidget* parent = nullptr);

    void setMovie(const QString& path) override;
    QString movie() const override { return m_movie; }
    void prepare() override;

    State state() const { return m_state; }
    // The real player once made, else null.
    MoviePlayer* loadedPlayer() const { return m_player; }

    // <exe dir>/lib/lumen-quill/ in the build tree, <exe dir>/../lib/lumen-quill/ when installed.
    static QString defaultModuleFile();

signals:
    void loaded(lq::MoviePlayer* player);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    using MakePlayer = std::function<MoviePlayer*(QWidget* parent, QString* error)>;
    DeferredPlayer(MakePlayer make, QWidget* parent);
    void scheduleWhenIdle();
    void adopt(MoviePlayer* player);
    void fail(const QString& reason);

    MakePlayer m_make;
    State m_state = State::NotLoaded;
    QString m_movie;
    MoviePlayer* m_player = nullptr;
    QLabel* m_notice = nullptr;
};

} // namespace lq

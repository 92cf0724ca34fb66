#pragma once

#include "MoviePlayer.h"

class QLabel;

namespace lq {

// Stands in the main window for the real player, which lives in a module of its own with the web
// engine: loading that module costs more than showing the whole window, so it is loaded only once
// the window is on screen and the event loop has nothing else to do (or at once, when a movie is
// asked for before then). Every call is passed on; a movie named early plays once it is loaded.
class DeferredPlayer : public MoviePlayer
{
    Q_OBJECT

public:
    // moduleFile: the player module to load; by default the one installed beside the program.
    explicit DeferredPlayer(const QString& moduleFile = defaultModuleFile(),
                            QWidget* parent = nullptr);

    void setMovie(const QString& path) override;
    QString movie() const override { return m_movie; }

    // The real player once loaded, else null.
    MoviePlayer* loadedPlayer() const { return m_player; }

    // <exe dir>/lib/lumen-quill/ in the build tree, <exe dir>/../lib/lumen-quill/ when installed.
    static QString defaultModuleFile();

public slots:
    // Loads the module and makes the real player now, if that has not happened yet.
    void load();

signals:
    void loaded(lq::MoviePlayer* player);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_moduleFile;
    QString m_movie;
    MoviePlayer* m_player = nullptr;
    QLabel* m_notice = nullptr;
    bool m_loadScheduled = false;
    bool m_failed = false;
};

} // namespace lq

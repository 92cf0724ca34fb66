#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QStackedLayout;

namespace lq {

// The movie player in the main window. The program only ever names the movie to play;
// how it is loaded and drawn is the player's own business.
class MoviePlayer : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Loads the movie at a fixed Windows path and plays it, anew on every call, the same path
    // included, so that a movie restarted this way reads its content files as they are now.
    virtual void setMovie(const QString& path) = 0;

    // The path last given to setMovie; empty until the first call.
    virtual QString movie() const = 0;

    // Readies the player for movies, work that can take a while; emits ready() once it can take
    // one at once. A player that needs no readying is ready at once. A movie asked for before
    // then is readied for first and plays as soon as it can.
    virtual void prepare() { emit ready(); }

signals:
    void ready();
    // The movie of the latest setMovie cannot be played; the player area says why (reason).
    void movieFailed(const QString& path, const QString& reason);

protected:
    // Makes the area what a player without a movie shows: black, with a centred line of text in
    // a stacked layout, in front of which the movie itself can be put later.
    QLabel* initBlankArea(const QString& labelName);
    QStackedLayout* stack() const;
};

} // namespace lq

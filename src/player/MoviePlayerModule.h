#pragma once

#include <QtPlugin>

class QWidget;

namespace lq {

class MoviePlayer;

// What the player module offers the program: the real movie player, made on request. The module
// is a Qt plugin; its interface id below carries the version of this interface and of
// MoviePlayer, and changes whenever either changes, so that a module built for another version
// is refused when it is loaded instead of misbehaving later.
class MoviePlayerModule
{
public:
    virtual ~MoviePlayerModule() = default;

    // A new player in parent, not yet prepared (see MoviePlayer::prepare).
    virtual MoviePlayer* createPlayer(QWidget* parent) = 0;
};

} // namespace lq

#define LQ_MOVIE_PLAYER_MODULE_IID "org.lumenquill.MoviePlayerModule/1"
Q_DECLARE_INTERFACE(lq::MoviePlayerModule, LQ_MOVIE_PLAYER_MODULE_IID)

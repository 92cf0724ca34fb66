// The entry point of the player module: the program loads it once its window is on screen and
// asks it for the real player.
#include "RufflePlayer.h"

extern "C" Q_DECL_EXPORT lq::MoviePlayer* lq_create_movie_player(QWidget* parent)
{
    return new lq::RufflePlayer(lq::RufflePlayer::defaultRuffleFolder(), parent);
}

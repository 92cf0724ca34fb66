// The player module: the program loads it once its window is on screen and asks it for the real
// player. Only the plugin's entry points leave the module; everything else stays inside it.
#include "MoviePlayerModule.h"
#include "RufflePlayer.h"

namespace lq {

class WebPlayerModule : public QObject, public MoviePlayerModule
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LQ_MOVIE_PLAYER_MODULE_IID)
    Q_INTERFACES(lq::MoviePlayerModule)

public:
    MoviePlayer* createPlayer(QWidget* parent) override
    {
        return new RufflePlayer(RufflePlayer::defaultRuffleFolder(), parent);
    }
};

} // namespace lq

#include "WebPlayerModule.moc"

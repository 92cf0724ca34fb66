#include "DeferredPlayer.h"

#include "InstalledFiles.h"
#include "MoviePlayerModule.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPluginLoader>
#include <QStackedLayout>
#include <QTimer>

// Qt's own, exported but not in a public header: the context the web engine shares its GL with.
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace lq {

void standInForTheSharedGLContext()
{
    if (!qt_gl_global_share_context())
        qt_gl_set_global_share_context(new QOpenGLContext(QCoreApplication::instance()));
}

namespace {

Q_LOGGING_CATEGORY(lcPlayerModule, "lumenquill.player.module", QtWarningMsg)

// Loads the player module and makes its player; null, with the reason in error, when the module
// is missing, broken or made for another version of the program.
MoviePlayer* makeFromModule(const QString& moduleFile, QWidget* parent, QString* error)
{
    QPluginLoader module(moduleFile);
    const QString iid = module.metaData().value(QLatin1String("IID")).toString();
    if (!iid.isEmpty() && iid != QLatin1String(LQ_MOVIE_PLAYER_MODULE_IID)) {
        *error = QStringLiteral("The movie player \u201C%1\u201D belongs to another version of "
                                "Lumen Quill, so no effect can be shown here.")
                     .arg(QDir::toNativeSeparators(module.fileName()));
        return nullptr;
    }
    standInForTheSharedGLContext(); // before the engine's library loads with the module
    auto* factory = qobject_cast<MoviePlayerModule*>(module.instance());
    if (!factory) {
        *error = QStringLiteral("The movie player could not be loaded, so no effect can be shown "
                                "here.\n%1")
                     .arg(module.errorString());
        return nullptr;
    }
    return factory->createPlayer(parent);
}

} // namespace

DeferredPlayer::DeferredPlayer(const QString& moduleFile, QWidget* parent)
    : DeferredPlayer(
          [moduleFile](QWidget* owner, QString* error) {
              return makeFromModule(moduleFile, owner, error);
          },
          parent)
{}

DeferredPlayer::DeferredPlayer(MoviePlayer* player, QWidget* parent)
    : DeferredPlayer([player](QWidget*, QString*) { return player; }, parent)
{
    player->setParent(this);
    player->hide();
}

DeferredPlayer::DeferredPlayer(MakePlayer make, QWidget* parent)
    : MoviePlayer(parent), m_make(std::move(make))
{
    m_notice = initBlankArea(QStringLiteral("playerNotice"));
}

QString DeferredPlayer::defaultModuleFile()
{
    return playerModuleIn(
        expectedInstalledFolder(QCoreApplication::applicationDirPath(), InstalledKind::Libraries));
}

void DeferredPlayer::setMovie(const QString& path)
{
    m_movie = path;
    prepare();
    if (m_player)
        m_player->setMovie(path);
    else
        emit movieFailed(path, m_notice->text());
}

void DeferredPlayer::paintEvent(QPaintEvent* event)
{
    MoviePlayer::paintEvent(event);
    if (m_state == State::NotLoaded)
        scheduleWhenIdle();
}

void DeferredPlayer::scheduleWhenIdle()
{
    // The window is on screen: make the player the next time the event loop runs dry.
    m_state = State::Loading;
    connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
        [this] { QTimer::singleShot(0, this, &DeferredPlayer::prepare); },
        Qt::SingleShotConnection);
    // Should the event loop never run dry, make it a moment later all the same.
    QTimer::singleShot(500, this, &DeferredPlayer::prepare);
}

void DeferredPlayer::prepare()
{
    if (m_player || m_state == State::Failed)
        return;
    m_state = State::Loading;
    QString error;
    MoviePlayer* player = m_make(this, &error);
    if (!player) {
        fail(error);
        return;
    }
    adopt(player);
    // Readied in the next turn of the event loop: the window answers between loading the module
    // and starting the web engine. A movie asked for meanwhile readies it at once.
    QTimer::singleShot(0, player, &MoviePlayer::prepare);
}

void DeferredPlayer::adopt(MoviePlayer* player)
{
    m_player = player;
    m_player->setObjectName(QStringLiteral("moviePlayer"));
    stack()->addWidget(m_player);
    stack()->setCurrentWidget(m_player);
    connect(m_player, &MoviePlayer::movieFailed, this, &MoviePlayer::movieFailed);
    connect(m_player, &MoviePlayer::ready, this, [this] {
        if (m_state != State::Loading)
            return;
        m_state = State::Ready;
        emit ready();
    });
    emit loaded(m_player);
}

void DeferredPlayer::fail(const QString& reason)
{
    qCWarning(lcPlayerModule).noquote() << reason;
    m_state = State::Failed;
    m_notice->setText(reason);
}

} // namespace lq

#include "DeferredPlayer.h"

#include "InstalledFiles.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QLabel>
#include <QLibrary>
#include <QStackedLayout>
#include <QTimer>

namespace lq {

namespace {
using CreatePlayer = MoviePlayer* (*)(QWidget* parent);
constexpr auto kModuleName = "lumenquill-webplayer";
} // namespace

DeferredPlayer::DeferredPlayer(const QString& moduleFile, QWidget* parent)
    : MoviePlayer(parent), m_moduleFile(moduleFile)
{
    m_notice = initBlankArea(QStringLiteral("playerNotice"));
}

QString DeferredPlayer::defaultModuleFile()
{
    // QLibrary adds the system's prefix and suffix to the bare name.
    const QString exe = QCoreApplication::applicationDirPath();
    const QString lib = installedFolder(exe, "lib");
    return (lib.isEmpty() ? exe + QStringLiteral("/lib/lumen-quill") : lib) + QLatin1Char('/') +
           QLatin1String(kModuleName);
}

void DeferredPlayer::setMovie(const QString& path)
{
    m_movie = path;
    load();
    if (m_player)
        m_player->setMovie(path);
    else
        emit movieFailed(path, m_notice->text());
}

void DeferredPlayer::paintEvent(QPaintEvent* event)
{
    MoviePlayer::paintEvent(event);
    // The window is on screen: load the player the next time the event loop runs dry.
    if (m_loadScheduled || m_player || m_failed)
        return;
    m_loadScheduled = true;
    connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
        [this] { QTimer::singleShot(0, this, &DeferredPlayer::load); }, Qt::SingleShotConnection);
    // Should the event loop never run dry, load it a moment later all the same.
    QTimer::singleShot(500, this, &DeferredPlayer::load);
}

void DeferredPlayer::load()
{
    if (m_player || m_failed)
        return;
    QLibrary module(m_moduleFile);
    const auto create = reinterpret_cast<CreatePlayer>(module.resolve("lq_create_movie_player"));
    if (!create) {
        m_failed = true;
        m_notice->setText(tr("The movie player could not be loaded, so no effect can be shown "
                             "here.\n%1")
                              .arg(module.errorString()));
        return;
    }
    m_player = create(this);
    m_player->setObjectName(QStringLiteral("moviePlayer"));
    stack()->addWidget(m_player);
    stack()->setCurrentWidget(m_player);
    connect(m_player, &MoviePlayer::movieFailed, this, &MoviePlayer::movieFailed);
    if (!m_movie.isEmpty())
        m_player->setMovie(m_movie);
    emit loaded(m_player);
}

} // namespace lq

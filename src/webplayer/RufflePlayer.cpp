#include "RufflePlayer.h"

#include "DeferredPlayer.h"
#include "DrivePaths.h"
#include "InstalledFiles.h"
#include "MovieFile.h"
#include "PlayerLog.h"
#include "PlayerPage.h"
#include "PlayerServer.h"
#include "ProgramEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QStackedLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>

namespace lq {

namespace {

QByteArray playerPageHtml()
{
    QFile page(QStringLiteral(":/player/player.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

QString jsString(const QString& text)
{
    // A JSON array of one string is a JavaScript literal of that string, quotes and all.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// What the web engine says of itself (its settings, the sandbox, its graphics, its own log) is for
// a developer, who asks for it with QT_LOGGING_RULES="lumenquill.webengine.debug=true"; otherwise
// it stays out of the user's terminal.
Q_LOGGING_CATEGORY(lcWebEngine, "lumenquill.webengine", QtCriticalMsg)

QtMessageHandler g_nextMessageHandler = nullptr;

// The engine's own categories, and the lines it writes without one, word for word.
bool isEngineMessage(const QMessageLogContext& context, const QString& text)
{
    const QLatin1StringView category(context.category ? context.category : "");
    if (category.startsWith(QLatin1StringView("qt.webengine")))
        return true;
    static const QStringList engineLines = {QStringLiteral("Sandboxing disabled by user."),
                                            QStringLiteral("No suitable graphics backend found")};
    return category == QLatin1StringView("default") &&
           std::any_of(engineLines.cbegin(), engineLines.cend(),
                       [&text](const QString& line) { return text.startsWith(line); });
}

void keepEngineMessagesOut(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (isEngineMessage(context, text))
        return;
    if (g_nextMessageHandler)
        g_nextMessageHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// The engine reads its flags when its first profile is made.
// - After compiling the player's wasm (14 MB) for a first run, the engine by default compiles it
//   all again, optimised, in the background; on a machine with two cores that work competes with
//   the first movie a user launches and doubles the time to its first frame, while the template
//   movies play smoothly on the first compile alone. Flags the user gives the engine for the
//   script engine are left as they are.
// - The preview draws in software (the program chose Qt Quick's software renderer before its
//   application object existed): the engine is told to leave the GPU alone. It still asks for the
//   application's shared GL context, which is made only when GL is chosen at start; an empty one,
//   never created, stands in for it, so that no GL driver is loaded for it.
// - Its audio service runs inside the program rather than as a process of its own: a movie's
//   sound plays the same, for one process less.
// - The C library's allocator in the engine's processes is made to give freed memory back. Left to
//   itself, once a large block (the 14 MB wasm) has been freed it serves every block up to that
//   size from its own pools and keeps them, fragmented, for good: some 50 MiB at rest after the
//   compile, more while a movie plays. Fixed thresholds of 1 MiB hand blocks that large back at
//   once and trim the pools when a megabyte is free at their end; smaller thresholds cost CPU
//   while a movie plays, as blocks of a few hundred kilobytes come and go with every frame. The
//   processes are started with the program's environment; a user's own settings win.
void prepareEngineForThePlayer()
{
    ProgramEnvironment::setDefault(
        "GLIBC_TUNABLES",
        "glibc.malloc.mmap_threshold=1048576:glibc.malloc.trim_threshold=1048576");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    QList<QByteArray> added{"--disable-gpu", "--disable-features=AudioServiceOutOfProcess"};
    if (!lcWebEngine().isDebugEnabled()) {
        added.append("--log-level=3"); // the engine's own log: fatal errors only
        static const QtMessageHandler next = qInstallMessageHandler(keepEngineMessagesOut);
        g_nextMessageHandler = next; // once, or the handler would pass messages to itself
    }
    if (!flags.contains("--js-flags"))
        added.append("--js-flags=--no-wasm-tier-up");
    for (const QByteArray& flag : std::as_const(added)) {
        if (!flags.contains(flag.left(flag.indexOf('='))))
            flags += (flags.isEmpty() ? "" : " ") + flag;
    }
    ProgramEnvironment::set("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    standInForTheSharedGLContext();
}

// What the player area says of a movie that cannot be played: which template movie, where it
// belongs on this machine and what is wrong, in plain words.
QString movieFailureText(const QString& movie, const QString& problem)
{
    const std::optional<QString> local = DrivePaths::toLocal(movie);
    if (!local)
        return QStringLiteral(
                   "The template movie \u201C%1\u201D cannot be played: it leads outside "
                   "\u201C%2\u201D.")
            .arg(movie, QDir::toNativeSeparators(DrivePaths::dataFolder()));
    return QStringLiteral("The template movie \u201C%1\u201D cannot be played: %2.\n\nOn this "
                          "computer it belongs at \u201C%3\u201D.")
        .arg(movie, problem, QDir::toNativeSeparators(*local));
}

// What the program can tell by itself keeps the movie from playing; nothing when it looks whole.
std::optional<QString> movieProblem(const QString& movie)
{
    const DrivePaths::Location location = DrivePaths::locate(movie);
    if (location.outcome == WalkOutcome::LeadsOut) // the text says where it leads
        return movieFailureText(movie, QString());
    if (const std::optional<QString> problem = movieFileProblem(location))
        return movieFailureText(movie, *problem);
    return std::nullopt;
}

} // namespace

RufflePlayer::RufflePlayer(const QString& ruffleFolder, QWidget* parent)
    : MoviePlayer(parent), m_ruffleFolder(ruffleFolder)
{
    // Nothing heavy here: whoever made the player says when to prepare() it. Until the web view
    // exists the area is as a player with no movie shows it: black.
    m_notice = initBlankArea(QStringLiteral("playerNotice"));
    m_stack = stack();
}

RufflePlayer::~RufflePlayer()
{
    // The page must go before its profile.
    delete m_view;
    delete m_page;
    delete m_profile;
}

QString RufflePlayer::defaultRuffleFolder()
{
    return expectedInstalledFolder(QCoreApplication::applicationDirPath(), InstalledKind::Data) +
           QStringLiteral("/ruffle");
}

void RufflePlayer::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    if (!startServer())
        return;
    prepareEngineForThePlayer();
    makeProfile();
    makePage();
    makeView();
    m_page->load(m_server->pageUrl());
}

bool RufflePlayer::startServer()
{
    m_server = new PlayerServer(m_ruffleFolder, playerPageHtml(), this);
    if (m_serverIdleTimeout > 0)
        m_server->setIdleTimeout(m_serverIdleTimeout);
    if (m_server->start()) {
        m_log = std::make_unique<PlayerLogGate>(m_server->pageUrl());
        return true;
    }
    showNotice(QStringLiteral("The movie preview could not start: no local port was free."));
    return false;
}

void RufflePlayer::makeProfile()
{
    // Nothing of the preview is kept on disk: no cache, no cookies, no history.
    m_profile = new QWebEngineProfile;
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    QWebEngineSettings* settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
}

void RufflePlayer::makePage()
{
    m_profile->setUrlRequestInterceptor(
        new PlayerRequestGuard(m_server->pageUrl(), *m_log, m_profile));
    m_page = new PlayerPage(m_profile, m_server->pageUrl(), *m_log, nullptr);
    m_page->setBackgroundColor(Qt::black);
    connect(m_page, &PlayerPage::message, this, &RufflePlayer::onPageMessage);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        // Only the page's own load counts: a navigation a movie asked for and the page refused
        // ends "not ok" too, while the player goes on playing. So does the load a failed page's
        // process was in, which the restart (or the notice that it gave up) takes care of.
        if (!ok && !m_ready && m_restarts == 0)
            showNotice(QStringLiteral("The movie preview could not start."));
    });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    restartPage();
            });
}

void RufflePlayer::restartPage()
{
    m_ready = false;
    // A page that keeps failing is not restarted forever: after a few tries the area says so,
    // and the user's next launch starts it again (see setMovie).
    if (++m_restarts > kMaxRestarts) {
        m_gaveUp = true;
        showNotice(
            QStringLiteral(
                "The movie preview stopped: the part of Lumen Quill that plays movies failed %1 "
                "times in a row and was not started again.\n\nPress \u201CLaunch Effect\u201D to "
                "try "
                "again. If it keeps stopping, close Lumen Quill and start it again.")
                .arg(kMaxRestarts + 1));
        return;
    }
    // Start over; the movie plays again once the page is back.
    m_moviePending = !m_movie.isEmpty();
    m_page->load(m_server->pageUrl());
}

// The web view that shows the page; made last, once the page exists.
void RufflePlayer::makeView()
{
    m_view = new QWebEngineView(this);
    m_view->setObjectName(QStringLiteral("playerView"));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setPage(m_page);
    passFocusToTheView();
    m_stack->addWidget(m_view);
    m_stack->setCurrentWidget(m_view);
}

// The player area is one stop in the tab order, and keys typed there reach the movie: the player
// widgets around the web view (this one, and the main window's stand-in that loaded it) hand their
// focus on to the view, which hands it on to the widget it draws the page in. That widget is the
// one stop; given the focus by Tab, the page gives it to its first element, the movie's.
void RufflePlayer::passFocusToTheView()
{
    for (QWidget* area = this; qobject_cast<MoviePlayer*>(area); area = area->parentWidget())
        area->setFocusProxy(m_view);
    // The widget the view draws in is made by the view, now or later.
    m_view->installEventFilter(this);
    for (QWidget* drawn : m_view->findChildren<QWidget*>())
        drawn->installEventFilter(this);
}

// Tab and Shift+Tab (with Ctrl or without) belong to the window, not to the movie: the page would
// keep them, as the player takes every key it is given, and a keyboard could never leave the
// preview again.
bool RufflePlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::ChildAdded) {
        if (auto* drawn = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            drawn->installEventFilter(this);
    } else if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && !(key->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
            if (event->type() == QEvent::KeyPress) {
                const bool backwards =
                    key->key() == Qt::Key_Backtab || key->modifiers() & Qt::ShiftModifier;
                focusNextPrevChild(!backwards);
            }
            event->accept();
            return true;
        }
    }
    return MoviePlayer::eventFilter(watched, event);
}

void RufflePlayer::setMovie(const QString& path)
{
    m_movie = path;
    m_moviePending = true;
    prepare();
    // A launch counts the page's failures afresh; one that finds the page given up starts it.
    m_restarts = 0;
    if (m_gaveUp) {
        m_gaveUp = false;
        m_page->load(m_server->pageUrl());
        return;
    }
    if (m_ready)
        playCurrent();
}

void RufflePlayer::playCurrent()
{
    if (!m_moviePending || !m_ready)
        return;
    m_moviePending = false;
    // From now on the page's reports of earlier loads are dropped unread.
    m_page->setCurrentLoad(++m_load);
    // What the program can see for itself is said at once, without troubling the player.
    if (const std::optional<QString> problem = movieProblem(m_movie)) {
        m_page->runJavaScript(QStringLiteral("window.lumenQuill.stop(%1);").arg(m_load));
        failMovie(*problem);
        return;
    }
    m_stack->setCurrentWidget(m_view);
    const QString movieUrl = m_server->fileUrl(m_movie).toString(QUrl::FullyEncoded);
    const QString baseUrl = m_server->folderUrl(m_movie).toString(QUrl::FullyEncoded);
    m_page->runJavaScript(QStringLiteral("window.lumenQuill.play(%1, %2, %3);")
                              .arg(jsString(movieUrl), jsString(baseUrl))
                              .arg(m_load));
}

void RufflePlayer::failMovie(const QString& reason)
{
    showNotice(reason);
    emit movieFailed(m_movie, reason);
}

void RufflePlayer::onPageMessage(const QJsonObject& message)
{
    const QString kind = message.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("ready")) {
        m_ready = true;
        m_stack->setCurrentWidget(m_view);
        emit ready();
        playCurrent();
        return;
    }
    if (kind == QLatin1String("warm")) {
        if (!m_warm) {
            m_warm = true;
            emit warmedUp();
        }
        return;
    }
    // Reports of a movie that has since been replaced are of no interest.
    if (message.value(QLatin1String("load")).toInt() == m_load)
        onMovieReport(kind, message);
}

void RufflePlayer::onMovieReport(const QString& kind, const QJsonObject& message)
{
    // What the movie does can be followed with QT_LOGGING_RULES="lumenquill.player.debug=true".
    if (kind == QLatin1String("started")) {
        logReport(QStringLiteral("movie started:"), message, QStringLiteral("load"));
        emit movieStarted(m_movie);
    } else if (kind == QLatin1String("fscommand")) {
        const QString command = message.value(QLatin1String("command")).toString();
        const QString args = message.value(QLatin1String("args")).toString();
        logReport(QStringLiteral("movie fscommand: ") + command, message, QStringLiteral("args"));
        emit fsCommand(command, args);
    } else if (kind == QLatin1String("failed")) {
        // The file may have changed since it was looked at; what it is now is said first.
        logReport(QStringLiteral("the player says:"), message, QStringLiteral("message"));
        failMovie(movieProblem(m_movie).value_or(movieFailureText(
            m_movie, QStringLiteral("the player could not read it; the file is damaged or was "
                                    "cut short"))));
    } else if (kind == QLatin1String("error")) {
        // The page says so in its own area: the player's files are missing.
        const QString reason = message.value(QLatin1String("message")).toString();
        logReport(QStringLiteral("movie not handed to the player:"), message,
                  QStringLiteral("message"));
        emit movieFailed(m_movie, reason);
    }
}

// A report in the log, for a developer: the movie, and one field of the report as the page gave
// it, with how much the page left out of it, if anything.
void RufflePlayer::logReport(const QString& what, const QJsonObject& message, const QString& field)
{
    if (!m_log->admits(QtDebugMsg))
        return;
    QString line = what + QLatin1Char(' ') + m_movie + QLatin1Char(' ') +
                   message.value(field).toVariant().toString();
    if (const int length = message.value(QLatin1String("length")).toInt())
        line += QStringLiteral(" [the page passed on %1 of %2 characters]")
                    .arg(message.value(field).toString().size())
                    .arg(length);
    if (const int dropped = message.value(QLatin1String("dropped")).toInt())
        line += QStringLiteral(" [%1 earlier reports not passed on]").arg(dropped);
    m_log->write(QtDebugMsg, line);
}

void RufflePlayer::showNotice(const QString& text)
{
    // It may quote what the player said of a movie: the gate has the last word.
    if (m_log)
        m_log->log(QtWarningMsg, text);
    else
        qCWarning(lcPlayer).noquote() << text;
    m_notice->setText(text);
    m_stack->setCurrentWidget(m_notice);
}

} // namespace lq

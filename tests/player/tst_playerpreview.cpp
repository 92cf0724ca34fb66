#include "DeferredPlayer.h"
#include "Expectations.h"
#include "LoadedReport.h"
#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PlayerLog.h"
#include "PlayerServer.h"
#include "RufflePlayer.h"
#include "SaveContentFile.h"
#include "Says.h"
#include "SlowStrangers.h"
#include "SoftwareGraphics.h"
#include "Tables.h"
#include "TestDrive.h"
#include "TinySwf.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>
#include <csignal>

using namespace lq;

namespace {

// Starting the web engine and loading a movie takes a few seconds on a loaded machine.
constexpr int kPlayTimeout = 60000;

struct Command
{
    int launch;
    QString command;
    QString args;
};

// Every line logged while a test records them, and those of the player's category apart; all but
// debug and info lines are passed on as well.
QStringList g_logged;
QStringList g_loggedByThePlayer;
QtMessageHandler g_previousHandler = nullptr;

void recordLogLine(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    g_logged.append(text);
    if (QByteArrayView(context.category) == QByteArrayView("lumenquill.player"))
        g_loggedByThePlayer.append(text);
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_previousHandler(type, context, text);
}

// Records every line logged, with the given logging rules, for as long as it lives.
struct LogRecorder
{
    explicit LogRecorder(const QString& rules)
    {
        QLoggingCategory::setFilterRules(rules);
        g_logged.clear();
        g_loggedByThePlayer.clear();
        g_previousHandler = qInstallMessageHandler(recordLogLine);
    }
    ~LogRecorder()
    {
        qInstallMessageHandler(g_previousHandler);
        QLoggingCategory::setFilterRules(QString());
    }
};

// Whether a line logged holds the secret; the failure message says which.
QString lineWithTheSecret(const QString& secret)
{
    for (const QString& line : std::as_const(g_logged)) {
        if (line.contains(secret, Qt::CaseInsensitive))
            return line;
    }
    return QString();
}

} // namespace

// Movies really playing in the main window's preview: saved texts reach the movie, a new save
// shows at the next launch, and the page behaves as a player area should.
class PlayerPreviewTest : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        TestDrive drive;
        RufflePlayer* player = new RufflePlayer(QStringLiteral(LQ_RUFFLE_FOLDER));
        // Readied as the program readies it: once the window is on screen.
        MainWindow window{new DeferredPlayer(player)};
        QList<Command> commands;
        int launches = 0;

        Fixture()
        {
            drive.makeTemplateFolders();
            QObject::connect(player, &RufflePlayer::fsCommand,
                             [this](const QString& command, const QString& args) {
                                 commands.append({launches, command, args});
                             });
        }

        // The template movies the build wrote, at their places in this drive.
        void installStandInMovies()
        {
            const QString from = QStringLiteral(LQ_STANDIN_DRIVE);
            QDirIterator movies(from, {"*.swf"}, QDir::Files, QDirIterator::Subdirectories);
            int count = 0;
            while (movies.hasNext()) {
                const QString source = movies.next();
                const QString target = drive.driveC() + source.mid(from.size());
                QDir().mkpath(QFileInfo(target).absolutePath());
                QFile::remove(target);
                QVERIFY2(QFile::copy(source, target), qPrintable(target));
                ++count;
            }
            QCOMPARE(count, expected::kTemplateEffects.size());
        }

        void place(const QString& relative, const QByteArray& bytes)
        {
            QFile file(drive.driveC() + QLatin1Char('/') + relative);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }

        void show()
        {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }

        void launch(const QString& effect)
        {
            window.findChild<QComboBox*>("Combo1")->setEditText(effect);
            ++launches;
            window.findChild<QPushButton*>("Cmdeffect")->click();
        }

        const Command* find(const QString& command) const
        {
            for (const Command& c : commands) {
                if (c.launch == launches && c.command == command)
                    return &c;
            }
            return nullptr;
        }

        // What the movie of the latest launch said with fscommand(command, ...), first time.
        QString waitFor(const QString& command) const
        {
            if (!QTest::qWaitFor([&] { return find(command) != nullptr; }, kPlayTimeout))
                return QStringLiteral("<no %1 from the movie>").arg(command);
            return find(command)->args;
        }

        // The template movie's report once everything it loads has arrived.
        LoadedReport waitForCompleteReport() const
        {
            auto complete = [&]() -> std::optional<LoadedReport> {
                for (const Command& c : commands) {
                    if (c.launch != launches || c.command != QLatin1String("lq_loaded"))
                        continue;
                    const auto report = LoadedReport::parse(c.args);
                    if (report && report->status == QLatin1String("complete"))
                        return report;
                }
                return std::nullopt;
            };
            if (!QTest::qWaitFor([&] { return complete().has_value(); }, kPlayTimeout))
                qWarning() << "no complete report; the movie said:" << commands.size() << "things";
            return complete().value_or(LoadedReport{"<none>", {}, {}, {}});
        }

        // Every count a counting movie of the latest launch reported, in order.
        QList<int> counts(const QString& command) const
        {
            QList<int> values;
            for (const Command& c : commands) {
                if (c.launch == launches && c.command == command)
                    values.append(c.args.toInt());
            }
            return values;
        }

        QVariant evaluate(const QString& script) const
        {
            QVariant result;
            bool done = false;
            player->view()->page()->runJavaScript(script, [&](const QVariant& value) {
                result = value;
                done = true;
            });
            if (!QTest::qWaitFor([&] { return done; }, 10000))
                return QStringLiteral("<no answer from the page>");
            return result;
        }
    };

    // Saves every content file of a template with a text of its own and returns what each
    // variable must then hold in the movie.
    static QMap<QString, QString> saveTexts(const QString& effect, const QString& tag)
    {
        QMap<QString, QString> expected;
        for (const ContentFile& file : contentFiles()) {
            if (file.effectName != effect)
                continue;
            const QString value = QStringLiteral("%1 %2 é").arg(tag, file.variable());
            const SaveResult saved = SaveContentFile(file.path, file.variable() + "=" + value);
            if (!saved.ok())
                qWarning() << file.path << saved.reason;
            expected.insert(file.variable(), value);
        }
        return expected;
    }

    // Whether the preview's frame draws its ring beside the player, as a user sees it.
    static bool ringShown(Fixture& f)
    {
        auto* frame = f.window.findChild<QWidget*>("frme1");
        const QRect area = f.window.findChild<QWidget*>("ShockwaveFlash1")->geometry();
        const QImage seen = frame->grab().toImage();
        const QColor ring = frame->palette().color(QPalette::Highlight);
        return seen.pixelColor(area.left() - 2, area.center().y()) == ring;
    }

    static QMap<QString, QString> valuesOf(const LoadedReport& report)
    {
        QMap<QString, QString> values;
        for (auto it = report.values.cbegin(); it != report.values.cend(); ++it)
            values.insert(it.key(), it.value().value_or(QStringLiteral("<missing>")));
        return values;
    }

private slots:
    void theWindowShowsBeforeAnyWebEngineWork()
    {
        Fixture f;
        QVERIFY(!f.player->view());
        QVERIFY(!f.player->server());
        f.window.show();
        QVERIFY(!f.player->view());
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        // Once the window is up, the engine is readied without anyone asking for a movie.
        QTRY_VERIFY_WITH_TIMEOUT(f.player->isReady(), kPlayTimeout);
        QVERIFY(f.player->movie().isEmpty());
    }

    void theWholeRoadFromASaveToTheMovieShowingIt()
    {
        MessageRecorder messages;
        Fixture f;
        f.installStandInMovies();
        QVERIFY(SaveContentFile("C:\\lumenquill\\vector\\aboutus.txt",
                                "aboutus=  Crumb & Co., Café + 100%25 é ")
                    .ok());
        for (const char* file : {"clients", "contact", "ourvision", "products1", "services"})
            QVERIFY(SaveContentFile(QString("C:\\lumenquill\\vector\\%1.txt").arg(file),
                                    QString("%1=enter text here").arg(file))
                        .ok());
        // Pressed the moment the window is shown, long before the player page is ready: the movie
        // waits for the page and then plays.
        f.window.show();
        f.launch("Vector");
        QVERIFY(!f.player->isReady());
        QCOMPARE(f.waitFor("lq_frame"), QString("Vector"));
        LoadedReport report = f.waitForCompleteReport();
        QCOMPARE(report.effect, QString("Vector"));
        // The text as typed after the "=", "&", "+" and "%" included, under its section's heading.
        QCOMPARE(report.values.value("aboutus").value_or("<missing>"),
                 QString("Crumb & Co., Café + 100%25 é"));
        QCOMPARE(report.values.value("clients").value_or("<missing>"), QString("enter text here"));
        QCOMPARE(f.waitFor("lq_shown"), QString("About us|Crumb & Co., Café + 100%25 é"));

        // A new save shows at the next press of the same button, the same movie path again.
        QVERIFY(
            SaveContentFile("C:\\lumenquill\\vector\\aboutus.txt", "aboutus=Zweite Fassung").ok());
        f.launch("Vector");
        report = f.waitForCompleteReport();
        QCOMPARE(report.values.value("aboutus").value_or("<missing>"), QString("Zweite Fassung"));
        QVERIFY(messages.texts().isEmpty());
    }

    void everyTemplatePlaysItsOwnMovieWithItsOwnTexts()
    {
        Fixture f;
        f.installStandInMovies();
        f.show();
        for (const Template& effect : templates()) {
            const QMap<QString, QString> expected = saveTexts(effect.effectName, "Saved for");
            f.launch(effect.effectName);
            const LoadedReport report = f.waitForCompleteReport();
            QCOMPARE(report.effect, effect.effectName);
            QCOMPARE(valuesOf(report), expected);
        }
    }

    void aMovieOfTheUsersOwnAtATemplatesPathPlays()
    {
        MessageRecorder messages;
        Fixture f;
        f.place("lumenquill/cube/cube.swf",
                TinySwf::loadingAndReporting("aboutus1.txt", "aboutus2", "own_loaded"));
        QVERIFY(SaveContentFile("C:\\lumenquill\\cube\\aboutus1.txt", "aboutus2=Mine, ü").ok());
        f.show();
        f.launch("cube");
        QCOMPARE(f.waitFor("own_loaded"), QString("Mine, ü\r\n"));

        // One that loads its texts with POST, as some do, reads them just the same.
        f.place("lumenquill/cube/cube.swf",
                TinySwf::loadingAndReporting("aboutus1.txt", "aboutus2", "posted_loaded", 2));
        f.launch("cube");
        QCOMPARE(f.waitFor("posted_loaded"), QString("Mine, ü\r\n"));
        QVERIFY(messages.texts().isEmpty());
    }

    void aMovieThatCannotBePlayedIsSaidInThePlayerAreaInOurWords()
    {
        MessageRecorder messages;
        Fixture f;
        QSignalSpy failures(f.player, &MoviePlayer::movieFailed);
        f.show();
        QTRY_VERIFY_WITH_TIMEOUT(f.player->isReady(), kPlayTimeout);
        auto* notice = f.player->findChild<QLabel*>("playerNotice");
        // What the page shows: the player's own error panel, or "none".
        const QString panel = "(function(){var p=document.querySelector('ruffle-player');"
                              "var e=p&&p.shadowRoot&&p.shadowRoot.querySelector('#panic');"
                              "return e?e.textContent:'none';})()";

        // What the program can see for itself is said at once.
        f.launch("spirograph");
        QCOMPARE(failures.size(), 1);
        QVERIFY2(saysAll(notice->text(), {"C:\\lumenquill\\spirograph\\spiro.swf", "not there",
                                          f.drive.driveC() + "/lumenquill/spirograph/spiro.swf"}),
                 qPrintable(notice->text()));
        QVERIFY(notice->isVisible());
        // A link that leads out of the drive is never followed.
        const QString outside = f.drive.home() + "/outside.swf";
        QFile::remove(f.drive.driveC() + "/lumenquill/matrix/matrix.swf");
        QVERIFY(QFile::link(outside, f.drive.driveC() + "/lumenquill/matrix/matrix.swf"));
        QFile movie(outside);
        QVERIFY(movie.open(QIODevice::WriteOnly));
        movie.write(TinySwf::reporting("own", "from outside"));
        movie.close();
        f.launch("Matrix");
        QCOMPARE(failures.size(), 2);
        QVERIFY2(saysAll(notice->text(), {"C:\\lumenquill\\matrix\\matrix.swf", "leads outside",
                                          f.drive.home() + "/lumen-quill"}),
                 qPrintable(notice->text()));
        f.place("lumenquill/3d/3d.swf", "This text is no movie at all.");
        f.launch("3d");
        QCOMPARE(failures.size(), 3);
        QVERIFY2(notice->text().contains("3d.swf\u201D cannot be played: the file is not a Flash "
                                         "movie."),
                 qPrintable(notice->text()));

        // A compressed body the player cannot unpack: the player's word, said in ours, and its
        // own error panel gone before it is ever drawn.
        f.place("lumenquill/cube/cube.swf",
                QByteArray("CWS\x0a\x40\0\0\0", 8) + QByteArray(64, 'x'));
        f.launch("cube");
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 4, kPlayTimeout);
        QCOMPARE(failures.last().at(0).toString(), "C:\\lumenquill\\cube\\cube.swf");
        QVERIFY2(notice->text().contains("cube.swf\u201D cannot be played: the player could not "
                                         "read it; the file is damaged or was cut short."),
                 qPrintable(notice->text()));
        QVERIFY(notice->isVisible());
        QCOMPARE(f.evaluate(panel).toString(), QString("none"));
        QVERIFY(messages.texts().isEmpty());

        // Once the movie is in place, the next launch plays it.
        f.place("lumenquill/spirograph/spiro.swf", TinySwf::reporting("own", "back again"));
        f.launch("spirograph");
        QCOMPARE(f.waitFor("own"), QString("back again"));
        QVERIFY(f.player->view()->isVisible());
        QVERIFY(!notice->isVisible());
        QCOMPARE(failures.size(), 4);
    }

    // The page's process ended by force, again and again: the player starts it again a few
    // times, then says in its area that it gave up; the next launch tries again and plays.
    void aPageThatKeepsFailingIsGivenUpOnAndALaunchTriesAgain()
    {
        MessageRecorder messages;
        Fixture f;
        f.place("lumenquill/vector/vector.swf", TinySwf::reporting("own", "playing"));
        f.show();
        f.launch("Vector");
        QCOMPARE(f.waitFor("own"), QString("playing"));
        auto* notice = f.player->findChild<QLabel*>("playerNotice");
        QWebEnginePage* page = f.player->view()->page();
        QSignalSpy ended(page, &QWebEnginePage::renderProcessTerminated);

        // Three times the page comes back and plays the movie again.
        for (int round = 1; round <= 4; ++round) {
            QTRY_VERIFY_WITH_TIMEOUT(f.player->isReady() && page->renderProcessPid() > 0,
                                     kPlayTimeout);
            QCOMPARE(::kill(pid_t(page->renderProcessPid()), SIGKILL), 0);
            QTRY_COMPARE_WITH_TIMEOUT(ended.size(), round, kPlayTimeout);
            QVERIFY2(round == 4 || !notice->isVisible(), qPrintable(notice->text()));
        }
        QVERIFY(notice->isVisible());
        QVERIFY2(saysAll(notice->text(), {"stopped", "4 times", "\u201CLaunch Effect\u201D"}),
                 qPrintable(notice->text()));
        QTest::qWait(1000);
        QVERIFY(!f.player->isReady());
        QVERIFY(messages.texts().isEmpty());

        f.launch("Vector");
        QCOMPARE(f.waitFor("own"), QString("playing"));
        QVERIFY(!notice->isVisible());
    }

    void thePageFillsThePlayerAreaExactly()
    {
        Fixture f;
        f.place("lumenquill/matrix/matrix.swf", TinySwf::reporting("own", "here"));
        f.show();
        f.launch("Matrix");
        QCOMPARE(f.waitFor("own"), QString("here"));
        const QStringList measures =
            f.evaluate(
                 "(function(){var p=document.querySelector('ruffle-player');"
                 "var r=p.getBoundingClientRect();var b=getComputedStyle(document.body);"
                 "return [innerWidth, innerHeight, r.left, r.top, r.width, r.height,"
                 "document.documentElement.scrollWidth, document.documentElement.scrollHeight,"
                 "b.marginLeft, b.marginTop].join(' ');})()")
                .toString()
                .split(' ');
        const QSize area = f.player->size();
        QCOMPARE(measures,
                 (QStringList{QString::number(area.width()), QString::number(area.height()), "0",
                              "0", QString::number(area.width()), QString::number(area.height()),
                              QString::number(area.width()), QString::number(area.height()), "0px",
                              "0px"}));
        QCOMPARE(f.player->view()->geometry(), QRect(QPoint(0, 0), area));

        // Nothing stands between the user and the movie: no splash, play button or unmute
        // overlay, and no advice about hardware acceleration when the pointer comes by.
        const QString overlays =
            f.evaluate("(function(){var s=document.querySelector('ruffle-player').shadowRoot;"
                       "s.querySelector('#container').dispatchEvent(new MouseEvent('mouseover'));"
                       "return ['#splash-screen','#play-button','#unmute-overlay',"
                       "'#hardware-acceleration-modal','#panic'].filter(function(id){"
                       "var e=s.querySelector(id);return e&&e.offsetWidth>0;}).join(',');})()")
                .toString();
        QCOMPARE(overlays, QString());
    }

    // A hostile movie tries every way out of the player: scripts through javascript: URLs whatever
    // the target, replacing or leaving the page, opening windows, sending its variables to another
    // port of this machine. Nothing of it happens, the log never shows the server's secret, and
    // the next movie plays.
    void aMovieScriptsNothingLeavesNothingAndTheNextMoviePlays()
    {
        MessageRecorder messages;
        QTcpServer elsewhere;
        QVERIFY(elsewhere.listen(QHostAddress::LocalHost, 0));
        int reached = 0;
        connect(&elsewhere, &QTcpServer::newConnection, this, [&] { ++reached; });
        const QByteArray other = "http://127.0.0.1:" + QByteArray::number(elsewhere.serverPort());
        QByteArray actions;
        for (const char* target : {"", "_top", "_self", "_parent", "_blank"})
            actions += TinySwf::getUrl("javascript:document.title='moviescript';void(0)", target);
        actions += TinySwf::getUrl("javascript:'<h1>replaced</h1>'", "");
        actions += TinySwf::getUrl("javascript:location='" + other + "/script'", "_top");
        actions += TinySwf::getUrl(other + "/navigated", "_top");
        actions += TinySwf::getUrl(other + "/window", "_blank");
        actions += TinySwf::loadVariables(other + "/sent", "_level0", 1);
        actions += TinySwf::loadVariables(other + "/posted", "_level0", 2);
        actions += TinySwf::loadVariables("missing.txt", "_level0", 2);

        Fixture f;
        f.place("lumenquill/matrix/matrix.swf",
                TinySwf::doingThenReporting(actions, "hostile", "done"));
        f.place("lumenquill/cube/cube.swf", TinySwf::reporting("good", "plays"));
        std::optional<LogRecorder> recording(std::in_place, QStringLiteral("*.debug=true"));
        f.show();
        f.launch("Matrix");
        QCOMPARE(f.waitFor("hostile"), QString("done"));
        f.launch("cube");
        QCOMPARE(f.waitFor("good"), QString("plays"));
        // Should anything still send the page away, it stays, and the next movie plays in it.
        QSignalSpy refused(f.player->view()->page(), &QWebEnginePage::loadFinished);
        f.evaluate("location.href = '" + other + "/away'; 1");
        QVERIFY(refused.wait(kPlayTimeout));
        QCOMPARE(refused.first().first().toBool(), false);
        f.launch("cube");
        QCOMPARE(f.waitFor("good"), QString("plays"));
        recording.reset();

        const QString page = f.player->server()->pageUrl().toString();
        QCOMPARE(f.evaluate("document.title + ' ' + location.href").toString(),
                 "Lumen Quill preview " + page);
        QVERIFY(f.player->view()->isVisible());
        QCOMPARE(reached, 0);
        QVERIFY(messages.texts().isEmpty());
        const QString secret = QString::fromLatin1(f.player->server()->secret());
        QVERIFY(g_loggedByThePlayer.size() > 3);
        QCOMPARE(lineWithTheSecret(secret), QString());
    }

    // A movie that talks as fast as it can, in texts of any length, quoting its own URL: the
    // program hears a bounded share of it, cut short, and the log a few short lines a second
    // without the secret, whichever categories are on; the next launch is heard at once and
    // nothing more of the earlier movie.
    void aChattyMovieIsHeardWithinBoundsAndGivesWayToTheNext_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::newRow("default logging") << QString();
        QTest::newRow("every debug category") << QStringLiteral("*.debug=true");
    }

    void aChattyMovieIsHeardWithinBoundsAndGivesWayToTheNext()
    {
        QFETCH(QString, rules);
        Fixture f;
        // Texts of 1 MiB, 120 a second.
        f.place("lumenquill/matrix/matrix.swf", TinySwf::floodingFsCommands("flood", 10, 10));
        f.place("lumenquill/cube/cube.swf", TinySwf::reporting("good", "plays"));
        // A damaged movie: the player's error names its URL.
        f.place("lumenquill/3d/3d.swf", QByteArray("CWS\x0a\x40\0\0\0", 8) + QByteArray(64, 'x'));
        QSignalSpy failures(f.player, &MoviePlayer::movieFailed);
        LogRecorder recording(rules);
        f.show();
        f.launch("Matrix");
        const QString ownUrl = f.waitFor("own_url");
        QCOMPARE(f.waitFor("flood").size(), 32768);
        QElapsedTimer listening;
        listening.start();
        QTest::qWait(1000);
        const qint64 seconds = listening.elapsed() / 1000 + 2;
        int floods = 0;
        for (const Command& c : std::as_const(f.commands)) {
            if (c.command == QLatin1String("flood")) {
                ++floods;
                QCOMPARE(c.args, QString(32768, 'x'));
            }
        }
        QVERIFY2(floods <= 20 * seconds, qPrintable(QString::number(floods)));

        f.launch("cube");
        QCOMPARE(f.waitFor("good"), QString("plays"));
        QTest::qWait(500);
        QVERIFY(!f.find("flood"));
        f.launch("3d");
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, kPlayTimeout);

        const QString secret = QString::fromLatin1(f.player->server()->secret());
        QVERIFY2(ownUrl.contains(secret), qPrintable(ownUrl));
        QCOMPARE(lineWithTheSecret(secret), QString());
        const qint64 lineBound = PlayerLogGate::kMaxLineChars + 40;
        for (const QString& line : std::as_const(g_loggedByThePlayer))
            QVERIFY2(line.size() <= lineBound, qPrintable(line.left(lineBound) + "..."));
        QVERIFY(g_loggedByThePlayer.size() <= 21 * (seconds + 2));
        if (!rules.isEmpty()) {
            const QStringList ownUrl = g_loggedByThePlayer.filter("movie fscommand: own_url");
            QCOMPARE(ownUrl.size(), 1);
            QVERIFY2(ownUrl.first().endsWith(" /drive/c/lumenquill/matrix/matrix.swf"),
                     qPrintable(ownUrl.first()));
            QVERIFY(!g_loggedByThePlayer.filter("the player says:").isEmpty());
        } else {
            // The notice the player area shows, and nothing of what the movies said.
            QCOMPARE(g_loggedByThePlayer.size(), 1);
            QVERIFY2(g_loggedByThePlayer.first().startsWith(
                         "The template movie \u201CC:\\lumenquill\\3d\\3d.swf\u201D cannot be"),
                     qPrintable(g_loggedByThePlayer.first()));
        }
    }

    // A movie that asks the server for missing files as fast as it can: the next launch plays
    // with the saved text.
    void aMovieFloodingTheServerGivesWayToTheNext()
    {
        Fixture f;
        f.place("lumenquill/matrix/matrix.swf", TinySwf::floodingRequests(30));
        f.place("lumenquill/cube/cube.swf",
                TinySwf::loadingAndReporting("aboutus1.txt", "aboutus2", "own_loaded"));
        QVERIFY(SaveContentFile("C:\\lumenquill\\cube\\aboutus1.txt", "aboutus2=After it").ok());
        QSignalSpy started(f.player, &RufflePlayer::movieStarted);
        f.show();
        f.launch("Matrix");
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, kPlayTimeout);
        QTest::qWait(3000);
        f.launch("cube");
        QCOMPARE(f.waitFor("own_loaded"), QString("After it\r\n"));
    }

    // Another local process holds far more connections than the server has places for strangers,
    // each kept alive a byte at a time, while the page's own connections have idled out: a launch
    // still plays with the saved text.
    void aLaunchAmongSlowStrangersPlaysTheSavedText()
    {
        MessageRecorder messages;
        Fixture f;
        f.place("lumenquill/cube/cube.swf",
                TinySwf::loadingAndReporting("aboutus1.txt", "aboutus2", "own_loaded"));
        QVERIFY(
            SaveContentFile("C:\\lumenquill\\cube\\aboutus1.txt", "aboutus2=Despite them").ok());
        const unsigned idleSeconds = PlayerServer::kStrangerTimeout;
        f.player->setServerIdleTimeout(idleSeconds);
        f.show();
        QTRY_VERIFY_WITH_TIMEOUT(f.player->isWarm(), kPlayTimeout);
        SlowStrangers strangers(f.player->server()->port(), 100);
        QVERIFY(strangers.started());
        QTest::qWait(int(idleSeconds + 1) * 1000); // the page's own connections have gone
        f.launch("cube");
        QCOMPARE(f.waitFor("own_loaded"), QString("Despite them\r\n"));
        QVERIFY(SaveContentFile("C:\\lumenquill\\cube\\aboutus1.txt", "aboutus2=Saved again").ok());
        f.launch("cube");
        QCOMPARE(f.waitFor("own_loaded"), QString("Saved again\r\n"));
        QVERIFY(messages.texts().isEmpty());
    }

    // Once the player has compiled its wasm with the page's empty movie, that player is gone for
    // good: no frame is asked for and no sound played while nothing is launched.
    void withNothingLaunchedThePageIsAtRest()
    {
        Fixture f;
        QSignalSpy warmed(f.player, &RufflePlayer::warmedUp);
        f.show();
        QTRY_COMPARE_WITH_TIMEOUT(warmed.size(), 1, kPlayTimeout);
        QTRY_COMPARE(f.evaluate("document.querySelectorAll('ruffle-player').length").toInt(), 0);
        // A frame already asked for may still come; from the next one on, nothing may run.
        QTest::qWait(300);
        f.evaluate("window.asked = 0;"
                   "var frame = window.requestAnimationFrame;"
                   "window.requestAnimationFrame = function (f) { ++window.asked;"
                   "  return frame.call(window, f); };"
                   "var source = AudioContext.prototype.createBufferSource;"
                   "AudioContext.prototype.createBufferSource = function () { ++window.asked;"
                   "  return source.call(this); }; 1");
        QTest::qWait(1000);
        QCOMPARE(f.evaluate("window.asked").toInt(), 0);
    }

    // While nobody can see the movie it stops where it is; when the window comes back it goes
    // on from there rather than from the start.
    void aMovieOutOfSightStopsAndGoesOnWhereItWas()
    {
        Fixture f;
        f.place("lumenquill/matrix/matrix.swf", TinySwf::counting("count"));
        f.show();
        f.launch("Matrix");
        QTRY_VERIFY_WITH_TIMEOUT(f.counts("count").size() >= 3, kPlayTimeout);

        f.window.showMinimized();
        QTRY_COMPARE(f.evaluate("document.visibilityState").toString(), QString("hidden"));
        // Reports sent before the page knew it was hidden may still be on their way.
        QTest::qWait(300);
        const int stoppedAt = f.counts("count").size();
        QTest::qWait(1000); // six frames' worth
        QCOMPARE(f.counts("count").size(), stoppedAt);

        f.window.showNormal();
        QTRY_VERIFY_WITH_TIMEOUT(f.counts("count").size() > stoppedAt, kPlayTimeout);
        const QList<int> counts = f.counts("count");
        for (int i = 0; i < counts.size(); ++i)
            QCOMPARE(counts.at(i), i + 1);
    }

    void thePlayerIsOneTabStopWhereKeysReachTheMovieAndTabLeavesIt_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("reached");
        QTest::newRow("Tab") << int(Qt::NoModifier) << "Toolbar1";
        QTest::newRow("Shift+Tab") << int(Qt::ShiftModifier) << "combo2";
        QTest::newRow("Ctrl+Tab") << int(Qt::ControlModifier) << "Toolbar1";
    }

    void thePlayerIsOneTabStopWhereKeysReachTheMovieAndTabLeavesIt()
    {
        QFETCH(int, modifiers);
        QFETCH(QString, reached);
        Fixture f;
        f.place("lumenquill/matrix/matrix.swf", TinySwf::reporting("own", "here"));
        f.show();
        f.launch("Matrix");
        QCOMPARE(f.waitFor("own"), QString("here"));
        QApplication::setActiveWindow(&f.window);
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* before = f.window.findChild<QComboBox*>("combo2");
        before->setFocus(Qt::TabFocusReason);
        QVERIFY(before->hasFocus());
        QVERIFY(!ringShown(f));

        // One Tab from the list before it: the keys go to the page, no stop on the way.
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(f.player->hasFocus());
        QVERIFY(f.player->view()->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(ringShown(f));
        QTRY_COMPARE(f.evaluate("document.activeElement.tagName").toString(),
                     QString("RUFFLE-PLAYER"));
        f.evaluate("window.typed = ''; window.addEventListener('keydown',"
                   " function(e) { window.typed += e.key; }, true); 1");
        QTest::keyClicks(QApplication::focusWidget(), "go");
        QTRY_COMPARE(f.evaluate("window.typed").toString(), QString("go"));

        // Tab leaves it for the next stop, Shift+Tab for the one before; the movie never sees it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::KeyboardModifiers(modifiers));
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), reached);
        QVERIFY(!ringShown(f));
        QTest::keyClicks(QApplication::focusWidget(), "x");
        const QString typed = f.evaluate("window.typed").toString();
        QVERIFY2(!typed.contains("Tab") && !typed.contains('x'), qPrintable(typed));
    }

    void withoutThePlayersFilesThePreviewSaysSoInItsAreaAlone()
    {
        MessageRecorder messages;
        QTemporaryDir empty;
        TestDrive drive;
        drive.makeTemplateFolders();
        QFile movie(drive.driveC() + "/lumenquill/vector/vector.swf");
        QVERIFY(movie.open(QIODevice::WriteOnly));
        movie.write(TinySwf::reporting("own", "never seen"));
        movie.close();
        auto* player = new RufflePlayer(empty.path());
        MainWindow window(player);
        QSignalSpy failures(player, &RufflePlayer::movieFailed);
        window.show();
        player->setMovie("C:\\lumenquill\\vector\\vector.swf");
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, kPlayTimeout);
        QVariant text;
        player->view()->page()->toPlainText([&](const QString& page) { text = page; });
        QTRY_VERIFY_WITH_TIMEOUT(text.isValid(), 10000);
        QVERIFY2(saysAll(text.toString(), {"movie player", "missing"}),
                 qPrintable(text.toString()));
        QVERIFY(messages.texts().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    lq::drawPreviewInSoftware(); // as the program does
    QApplication app(argc, argv);
    PlayerPreviewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playerpreview.moc"

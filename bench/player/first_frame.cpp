// Measures, in one fresh process, how long the preview takes and what it costs in memory:
//   shown            the main window's first paint, from the start of main()
//   ready            the player page ready to take a movie, from the first paint
//   warm             the player's wasm compiled (it plays an empty movie for that), from the
//                    first paint
//   first launch     "Launch Effect" to the first frame of a movie as the page reports it, the
//                    button pressed the moment the window shows (--press shown, the default) or
//                    once the player is ready and warm (--press ready)
//   repeated launch  the same movie launched again, several times, the engine already up
//   stall            the longest time the window's event loop was kept busy before the first frame
//   first section    in the last launch, its first frame to the moment the movie says the first
//                    section after the title can be read (lq_shown); -1 for a movie that never
//                    says so
//   memory           resident memory of this process when the window first shows
//   playing          a second into the last launch it prints "playing" and lets the movie play
//                    for 6 s more: lq_bench reads the CPU and memory of this process and every
//                    process it started (the web engine's) from outside meanwhile
//   minimised        then it minimises its window, prints "minimised" a second later and waits
//                    6 s more, for lq_bench to read the CPU of the same processes with nobody
//                    able to see the movie
// With --screenshot FILE it also saves a picture of the window while the movie plays. --effect NAME
// launches another effect than Vector; --movie FILE plays FILE at that effect's movie path.
// scripts/bench.sh runs it several times (a fresh process each) and puts the medians in its table;
// to run it by hand on the display of DISPLAY:
//   QTWEBENGINE_DISABLE_SANDBOX=1 build/bench/bench_first_frame
#include "Arguments.h"
#include "DeferredPlayer.h"
#include "DrivePaths.h"
#include "MainWindow.h"
#include "ProcessTree.h"
#include "RufflePlayer.h"
#include "SaveContentFile.h"
#include "SoftwareGraphics.h"
#include "Tables.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// Tells when the window has painted for the first time.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_onPaint) {
            auto callback = std::move(m_onPaint);
            m_onPaint = nullptr;
            callback();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onPaint;
};

void copyStandIns(const QString& driveC)
{
    const QString from = QStringLiteral(LQ_STANDIN_DRIVE);
    QDirIterator movies(from, {"*.swf"}, QDir::Files, QDirIterator::Subdirectories);
    while (movies.hasNext()) {
        const QString source = movies.next();
        const QString target = driveC + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

// A line for lq_bench, which reads this process's output as it comes.
void say(const char* what)
{
    std::fputs(what, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

qint64 median(QList<qint64> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Puts FILE where the effect's movie lies in the drive, in place of the built one.
void replaceMovie(const QString& effect, const QString& file)
{
    const std::optional<QString> movie = lq::movieForEffect(effect);
    const std::optional<QString> local = movie ? lq::DrivePaths::toLocal(*movie) : std::nullopt;
    if (local && QFile::remove(*local))
        QFile::copy(file, *local);
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    copyStandIns(home.path() + QStringLiteral("/lumen-quill/drive_c"));
    for (const lq::ContentFile& file : lq::contentFiles())
        lq::SaveContentFile(file.path, file.defaultLine);
    QStringList early;
    for (int i = 0; i < argc; ++i)
        early << QString::fromLocal8Bit(argv[i]);
    const QString effect =
        bench::optionValue(early, QStringLiteral("--effect"), QStringLiteral("Vector"));
    if (const QString movie = bench::optionValue(early, QStringLiteral("--movie"));
        !movie.isEmpty())
        replaceMovie(effect, movie);

    QElapsedTimer clock;
    clock.start();
    lq::drawPreviewInSoftware(); // as the program does
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool pressWhenReady =
        bench::optionValue(arguments, QStringLiteral("--press")) == QLatin1String("ready");
    const int repeats = std::max(
        1, bench::optionValue(arguments, QStringLiteral("--repeats"), QStringLiteral("5")).toInt());
    const QString screenshot = bench::optionValue(arguments, QStringLiteral("--screenshot"));

    auto* player = new lq::RufflePlayer(QStringLiteral(LQ_RUFFLE_FOLDER));
    lq::MainWindow window(new lq::DeferredPlayer(player));
    auto* launch = window.findChild<QPushButton*>(QStringLiteral("Cmdeffect"));
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(effect);

    qint64 shown = -1, ready = -1, warm = -1, firstPress = -1, first = -1, pressed = -1;
    qint64 lastStart = -1, firstSection = -1;
    long long shownRssKiB = -1;
    QList<qint64> repeated;
    // The longest time the window could not answer, from its first paint until the first frame.
    qint64 lastBeat = -1, longestStall = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastBeat >= 0 && first < 0)
            longestStall = std::max(longestStall, now - lastBeat);
        lastBeat = now;
    });
    auto press = [&] {
        pressed = clock.elapsed();
        if (firstPress < 0)
            firstPress = pressed;
        launch->click();
    };
    FirstPaint firstPaint([&] {
        shown = clock.elapsed();
        shownRssKiB = bench::procKiB(QStringLiteral("/proc/self/status"), "VmRSS:");
        heartbeat.start();
        if (!pressWhenReady)
            QTimer::singleShot(0, launch, press);
    });
    window.installEventFilter(&firstPaint);
    QObject::connect(player, &lq::RufflePlayer::ready, [&] {
        if (ready >= 0)
            return;
        ready = clock.elapsed();
    });
    QObject::connect(player, &lq::RufflePlayer::warmedUp, [&] {
        warm = clock.elapsed();
        if (pressWhenReady && firstPress < 0)
            QTimer::singleShot(0, launch, press);
    });
    QObject::connect(player, &lq::RufflePlayer::movieStarted, [&] {
        const qint64 now = clock.elapsed();
        // Its work is done; beating on, 200 times a second, it would be counted as the
        // program's while the movie plays.
        heartbeat.stop();
        if (first < 0)
            first = now - firstPress;
        else
            repeated.append(now - pressed);
        if (repeated.size() >= repeats) // the last launch: the one that plays on
            lastStart = now;
        if (repeated.size() < repeats) {
            // The user watches for a moment, then launches again.
            QTimer::singleShot(500, launch, press);
            return;
        }
        // Once the movie has played for a second the engine is as warm as it gets: from then on
        // the movie is measured playing, from outside.
        QTimer::singleShot(1000, &app, [&] {
            if (!screenshot.isEmpty())
                window.screen()->grabWindow(window.winId()).save(screenshot);
            say("playing");
            QTimer::singleShot(6000, &app, [&] {
                window.showMinimized();
                QTimer::singleShot(1000, &app, [&] {
                    say("minimised");
                    QTimer::singleShot(6000, &app, &QApplication::quit);
                });
            });
        });
    });
    // "heading|text", the heading empty for the site's title.
    QObject::connect(player, &lq::RufflePlayer::fsCommand,
                     [&](const QString& command, const QString& args) {
                         if (command == QLatin1String("lq_shown") && lastStart >= 0 &&
                             firstSection < 0 && !args.startsWith(QLatin1Char('|')))
                             firstSection = clock.elapsed() - lastStart;
                     });
    QTimer::singleShot(120000, &app, &QApplication::quit);
    window.show();
    app.exec();

    QTextStream out(stdout);
    out << "shown_ms " << shown << "\n"
        << "ready_after_shown_ms " << (ready < 0 ? -1 : ready - shown) << "\n"
        << "warm_after_shown_ms " << (warm < 0 ? -1 : warm - shown) << "\n"
        << "pressed_after_shown_ms " << (firstPress < 0 ? -1 : firstPress - shown) << "\n"
        << "first_launch_to_frame_ms " << first << "\n"
        << "repeated_launch_to_frame_ms " << median(repeated) << "\n"
        << "repeated_launches " << repeated.size() << "\n"
        << "longest_ui_stall_until_first_frame_ms " << longestStall << "\n"
        << "first_section_readable_ms " << firstSection << "\n"
        << "shown_rss_kib " << shownRssKiB << "\n";
    return first < 0 || repeated.size() < repeats ? 1 : 0;
}

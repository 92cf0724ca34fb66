// Measures, in one fresh process, how long the preview takes:
//   shown       the main window's first paint, from the start of main()
//   ready       the player page ready to take a movie, from the first paint
//   cold frame  the first frame of a movie launched at once after the window is shown
//   warm frame  the first frame of the same movie launched again (the engine already up)
//   stall       the longest time the window's event loop was kept busy before the first frame
// With --screenshot FILE it also saves a picture of the window while the movie plays.
// Run it a few times (a fresh process each) and take the median:
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 build/bench/bench_first_frame
#include "ContentFileWriter.h"
#include "MainWindow.h"
#include "RufflePlayer.h"
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

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    copyStandIns(home.path() + QStringLiteral("/lumen-quill/drive_c"));
    for (const lq::ContentFile& file : lq::contentFiles())
        lq::SaveContentFile(file.path, file.defaultLine);

    QElapsedTimer clock;
    clock.start();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    auto* player = new lq::RufflePlayer(QStringLiteral(LQ_RUFFLE_FOLDER));
    lq::MainWindow window(player);
    auto* launch = window.findChild<QPushButton*>(QStringLiteral("Cmdeffect"));
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("Vector"));

    qint64 shown = -1, ready = -1, cold = -1, warm = -1, warmStart = -1;
    // The longest time the window could not answer, from its first paint until the first frame.
    qint64 lastBeat = -1, longestStall = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastBeat >= 0 && cold < 0)
            longestStall = std::max(longestStall, now - lastBeat);
        lastBeat = now;
    });
    FirstPaint firstPaint([&] {
        shown = clock.elapsed();
        heartbeat.start();
        // The user presses "Launch Effect" at once.
        QTimer::singleShot(0, launch, &QPushButton::click);
    });
    window.installEventFilter(&firstPaint);
    QObject::connect(player, &lq::RufflePlayer::ready, [&] { ready = clock.elapsed(); });
    QObject::connect(player, &lq::RufflePlayer::movieStarted, [&] {
        if (cold < 0) {
            cold = clock.elapsed();
            warmStart = clock.elapsed();
            QTimer::singleShot(500, launch, [&] {
                warmStart = clock.elapsed();
                launch->click();
            });
        } else if (warm < 0) {
            warm = clock.elapsed();
            // With --screenshot FILE, a picture of the window a second into the movie.
            const qsizetype at = app.arguments().indexOf(QStringLiteral("--screenshot"));
            if (at < 0 || at + 1 >= app.arguments().size()) {
                app.quit();
                return;
            }
            QTimer::singleShot(1500, &app, [&app, &window, at] {
                window.screen()->grabWindow(window.winId()).save(app.arguments().at(at + 1));
                app.quit();
            });
        }
    });
    QTimer::singleShot(120000, &app, &QApplication::quit);
    window.show();
    app.exec();

    QTextStream out(stdout);
    out << "shown_ms " << shown << "\n"
        << "ready_after_shown_ms " << (ready < 0 ? -1 : ready - shown) << "\n"
        << "cold_first_frame_after_shown_ms " << (cold < 0 ? -1 : cold - shown) << "\n"
        << "warm_first_frame_after_launch_ms " << (warm < 0 ? -1 : warm - warmStart) << "\n"
        << "longest_ui_stall_until_first_frame_ms " << longestStall << "\n";
    return cold < 0 || warm < 0 ? 1 : 0;
}

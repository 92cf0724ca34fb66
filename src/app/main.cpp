#include "Accessibility.h"
#include "CommandLine.h"
#include "DeferredPlayer.h"
#include "FirstStartRunner.h"
#include "InstallLayout.h"
#include "MainWindow.h"
#include "ProgramEnd.h"
#include "ProgramEnvironment.h"
#include "SoftwareGraphics.h"
#include "WindowRegistry.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// For the start benchmark (bench/): with LUMENQUILL_REPORT_IDLE set, the program prints
// "idle <steady clock ns> <resident KiB>" as soon as its main window is on screen and the event
// loop has nothing left to do, and quits. Without it nothing is connected.
void reportWhenShownAndIdle(QWidget& window)
{
    auto report = [&window] {
        const QWindow* handle = window.windowHandle();
        if (!handle || !handle->isExposed() || QCoreApplication::closingDown())
            return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        long long residentKiB = -1;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:"))
                    residentKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
            }
        }
        std::printf("idle %lld %lld\n",
                    static_cast<long long>(std::chrono::nanoseconds(now).count()), residentKiB);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &window, report);
}

} // namespace

int main(int argc, char* argv[])
{
    // Publishing, --help and --version need no display: decided before any window system loads.
    if (lq::isCommandLineRequest(argc, argv))
        return lq::runCommandLine(argc, argv);
#ifdef Q_OS_UNIX
    // The web engine refuses to start its sandbox for root, and the preview would fail; run as
    // root (a container, a build machine) the program does without it.
    if (geteuid() == 0)
        lq::ProgramEnvironment::setDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    lq::drawPreviewInSoftware();
    lq::Accessibility::install();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QLatin1String(lq::InstallLayout::folderName));
    lq::endWhenNoWindowIsShown();

    // Every editor window lives in the registry, which outlives the main window and takes its
    // windows with it when the program ends.
    lq::WindowRegistry editors;
    // The movie player and its web engine are loaded only once the window is on screen.
    lq::MainWindow window(new lq::DeferredPlayer);
    QObject::connect(&window, &lq::MainWindow::editorRequested, &editors,
                     &lq::WindowRegistry::showWindow);
    window.show();
    // Once the window is up, the first start on this machine lays out the folders and the tutorial.
    QTimer::singleShot(0, &window,
                       [] { lq::runFirstStart(QCoreApplication::applicationDirPath()); });
    if (qEnvironmentVariableIsSet("LUMENQUILL_REPORT_IDLE"))
        reportWhenShownAndIdle(window);
    return app.exec();
}

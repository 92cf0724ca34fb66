#include "FirstStartRunner.h"
#include "MainWindow.h"
#include "RufflePlayer.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    // The preview's web view shares its graphics context with the window; this must be set before
    // the application object exists. It costs nothing until the web view is made.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QStringLiteral("lumen-quill"));

    // Every editor window lives in the registry, which outlives the main window and takes its
    // windows with it when the program ends.
    lq::WindowRegistry editors;
    // The player readies its web engine only once the window is on screen.
    lq::MainWindow window(new lq::RufflePlayer);
    QObject::connect(&window, &lq::MainWindow::editorRequested, &editors,
                     &lq::WindowRegistry::showWindow);
    window.show();
    // Once the window is up, the first start on this machine lays out the folders and the tutorial.
    QTimer::singleShot(0, &window,
                       [] { lq::runFirstStart(QCoreApplication::applicationDirPath()); });
    return app.exec();
}

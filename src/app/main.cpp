#include "FirstStartRunner.h"
#include "MainWindow.h"
#include "PathPreviewPlayer.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QStringLiteral("lumen-quill"));

    // Every editor window lives in the registry, which outlives the main window and takes its
    // windows with it when the program ends.
    lq::WindowRegistry editors;
    lq::MainWindow window(new lq::PathPreviewPlayer);
    QObject::connect(&window, &lq::MainWindow::editorRequested, &editors,
                     &lq::WindowRegistry::showWindow);
    window.show();
    // Once the window is up, the first start on this machine lays out the folders and the tutorial.
    QTimer::singleShot(0, &window,
                       [] { lq::runFirstStart(QCoreApplication::applicationDirPath()); });
    return app.exec();
}

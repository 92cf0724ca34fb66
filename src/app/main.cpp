#include "MainWindow.h"
#include "RufflePlayer.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The preview's web view shares its graphics context with the window; this must be set before
    // the application object exists. It costs nothing until the web view is made.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QStringLiteral("lumen-quill"));

    // The player readies its web engine only once the window is on screen.
    lq::MainWindow window(new lq::RufflePlayer);
    window.show();
    return app.exec();
}

#include "FirstStartRunner.h"
#include "MainWindow.h"
#include "PathPreviewPlayer.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QStringLiteral("lumen-quill"));

    lq::MainWindow window(new lq::PathPreviewPlayer);
    window.show();
    // Once the window is up, the first start on this machine lays out the folders and the tutorial.
    QTimer::singleShot(0, &window,
                       [] { lq::runFirstStart(QCoreApplication::applicationDirPath()); });
    return app.exec();
}

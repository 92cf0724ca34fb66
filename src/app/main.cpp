#include "MainWindow.h"
#include "PathPreviewPlayer.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumen Quill"));
    QApplication::setOrganizationName(QStringLiteral("lumen-quill"));

    lq::MainWindow window(new lq::PathPreviewPlayer);
    window.show();
    return app.exec();
}

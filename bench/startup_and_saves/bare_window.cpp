// The yardstick for the start benchmark: a bare Qt window with the main window's controls (menus,
// a toolbar of four 16-pixel pictures, the two filled lists, two buttons, the preview frame with
// an empty area where the player goes, the credit line) and none of the program's own code.
// Under LUMENQUILL_REPORT_IDLE it reports "shown and idle" and quits exactly as the program does;
// without it, it stays on screen as the program does until it is ended.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QWindow>
#include <chrono>
#include <cstdio>

namespace {

QIcon picture(QColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(colour);
    painter.drawEllipse(1, 1, 14, 14);
    return QIcon(pixmap);
}

QComboBox* list(QWidget* parent, const QStringList& entries, const QString& text)
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(text);
    return box;
}

void buildWindow(QMainWindow& window)
{
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("UPLOAD YOUR SITE"));
    file->addAction(QStringLiteral("Exit"));
    QMenu* tutorials = window.menuBar()->addMenu(QStringLiteral("Tutorials"));
    tutorials->addAction(QStringLiteral("Tutorial1"));
    tutorials->addAction(QStringLiteral("Preview Examples"));
    window.menuBar()->addMenu(QStringLiteral("About"))->addAction(QStringLiteral("About"));

    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    auto* top = new QFrame(client);
    top->setFrameShape(QFrame::StyledPanel);
    top->setGeometry(0, 0, 718, 34);
    auto* toolbar = new QToolBar(top);
    toolbar->setIconSize(QSize(16, 16));
    for (const QColor colour : {Qt::red, Qt::green, Qt::blue, Qt::yellow})
        toolbar->addAction(picture(colour), QStringLiteral("button"));
    toolbar->setGeometry(2, 2, 104, 30);

    auto* left = new QFrame(client);
    left->setFrameShape(QFrame::StyledPanel);
    left->setGeometry(4, 40, 170, 484);
    list(left,
         {"Fireworks", "Vector", "3d", "flower", "cube", "spirograph", "Matrix", "Preloader",
          "smoke", "circle", "dance"},
         QStringLiteral("Effects"))
        ->setGeometry(8, 14, 154, 24);
    list(left, {"Business Website", "Catalog Website", "Curriculum Vitae", "fun website", "Sports"},
         QStringLiteral("Effects2"))
        ->setGeometry(8, 48, 154, 24);
    (new QPushButton(QStringLiteral("Enter Text"), left))->setGeometry(8, 396, 154, 30);
    (new QPushButton(QStringLiteral("Launch Effect"), left))->setGeometry(8, 434, 154, 30);

    auto* preview = new QGroupBox(QStringLiteral("Preview"), client);
    preview->setGeometry(180, 40, 535, 439);
    (new QWidget(preview))->setGeometry(3, 18, 529, 417);
    auto* credit = new QLabel(QStringLiteral("A credit line"), client);
    credit->setGeometry(180, 485, 535, 40);
    window.resize(718, 560);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    buildWindow(window);
    window.show();
    if (!qEnvironmentVariableIsSet("LUMENQUILL_REPORT_IDLE"))
        return app.exec();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &window, [&window] {
                         const QWindow* handle = window.windowHandle();
                         if (!handle || !handle->isExposed() || QCoreApplication::closingDown())
                             return;
                         const long long now =
                             std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
                         long long residentKiB = -1;
                         QFile status(QStringLiteral("/proc/self/status"));
                         if (status.open(QIODevice::ReadOnly)) {
                             for (const QByteArray& line : status.readAll().split('\n')) {
                                 if (line.startsWith("VmRSS:"))
                                     residentKiB =
                                         line.mid(6).trimmed().split(' ').value(0).toLongLong();
                             }
                         }
                         std::printf("idle %lld %lld\n", now, residentKiB);
                         std::fflush(stdout);
                         QCoreApplication::exit(0);
                     });
    return app.exec();
}

// Plays a hostile movie in the preview for a while, then the vector template's movie, and says
// when each thing happened; bench/player/hostile_movie.sh measures the program from outside
// meanwhile (its GUI thread's CPU, its memory, how fast its log grows).
//   --movie fscommand   fscommand with a 16 MiB text, ten times a frame, for ever
//   --movie requests    thirty requests for a missing file a frame, for ever
//   --seconds N         how long the hostile movie plays (default 60)
// It prints "flooding" when the hostile movie's first frame is on screen, "next" when the vector
// movie is launched, and at the end next_launch_to_frame_ms: from that launch to its first frame.
#include "Arguments.h"
#include "DeferredPlayer.h"
#include "MainWindow.h"
#include "RufflePlayer.h"
#include "SaveContentFile.h"
#include "SoftwareGraphics.h"
#include "Tables.h"
#include "TinySwf.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void place(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void say(const char* what)
{
    std::fputs(what, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    const QString driveC = home.path() + QStringLiteral("/lumen-quill/drive_c");
    const QString from = QStringLiteral(LQ_STANDIN_DRIVE);
    QDirIterator movies(from, {"*.swf"}, QDir::Files, QDirIterator::Subdirectories);
    while (movies.hasNext()) {
        const QString source = movies.next();
        QFile file(source);
        if (file.open(QIODevice::ReadOnly))
            place(driveC + source.mid(from.size()), file.readAll());
    }
    for (const lq::ContentFile& file : lq::contentFiles())
        lq::SaveContentFile(file.path, file.defaultLine);

    lq::drawPreviewInSoftware(); // as the program does
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool requests =
        bench::optionValue(arguments, QStringLiteral("--movie")) == QLatin1String("requests");
    const int seconds =
        bench::optionValue(arguments, QStringLiteral("--seconds"), QStringLiteral("60")).toInt();
    place(driveC + QStringLiteral("/lumenquill/matrix/matrix.swf"),
          requests ? TinySwf::floodingRequests(30) : TinySwf::floodingFsCommands("flood", 14, 10));

    auto* player = new lq::RufflePlayer(QStringLiteral(LQ_RUFFLE_FOLDER));
    lq::MainWindow window(new lq::DeferredPlayer(player));
    auto* launch = window.findChild<QPushButton*>(QStringLiteral("Cmdeffect"));
    auto* effect = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    QElapsedTimer sinceNext;
    qint64 nextToFrame = -1;
    int started = 0;
    QObject::connect(player, &lq::RufflePlayer::warmedUp, [&] {
        effect->setEditText(QStringLiteral("Matrix"));
        launch->click();
    });
    QObject::connect(player, &lq::RufflePlayer::movieStarted, [&] {
        if (++started == 1) {
            say("flooding");
            QTimer::singleShot(seconds * 1000, &app, [&] {
                say("next");
                effect->setEditText(QStringLiteral("Vector"));
                sinceNext.start();
                launch->click();
            });
        } else if (nextToFrame < 0) {
            nextToFrame = sinceNext.elapsed();
            QTimer::singleShot(1000, &app, &QApplication::quit);
        }
    });
    QTimer::singleShot((seconds + 120) * 1000, &app, &QApplication::quit);
    window.show();
    app.exec();
    std::printf("next_launch_to_frame_ms %lld\n", nextToFrame);
    return nextToFrame < 0 ? 1 : 0;
}

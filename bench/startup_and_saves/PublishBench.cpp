#include "PublishBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <vector>

namespace bench {

namespace {

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs the program once; its wall time in ms, or a negative number when it failed.
double timedRun(const QString& program, const QStringList& arguments, const QString& home)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home);
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(120'000) || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

// The six texts of the Vector template, as saved by the editor (Windows-1252, CR LF).
void saveVectorTexts(const QString& home)
{
    const QString folder = home + QStringLiteral("/lumen-quill/drive_c/lumenquill/vector/");
    for (const char* name :
         {"aboutus", "clients", "contact", "ourvision", "products1", "services"}) {
        QFile file(folder + QLatin1String(name) + QStringLiteral(".txt"));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QByteArray(name) + "=Caf\xe9 \x80 and the texts of our website\r\n");
    }
}

// The first frames of a page in fresh Chromium processes on the X display, in ms, and the bytes it
// had downloaded by each; failed runs left out.
struct FrameRuns
{
    std::vector<double> frames;
    std::vector<double> bytes;
};

FrameRuns firstFrames(const QString& script, const QString& url, int runs)
{
    QProcess browser;
    browser.start(QStringLiteral("/usr/bin/python3"), {script, url, QString::number(runs)});
    browser.waitForFinished(600'000);
    FrameRuns result;
    for (const QByteArray& line : browser.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        bool number = false;
        const double ms = fields.first().toDouble(&number);
        if (!number)
            continue;
        result.frames.push_back(ms);
        result.bytes.push_back(fields.value(1).toDouble());
    }
    return result;
}

} // namespace

PublishFigures measurePublishing(const QString& program, const QString& firstFrameScript, int runs,
                                 int frameRuns)
{
    PublishFigures figures;
    QTemporaryDir home;
    const QString out = home.filePath(QStringLiteral("out"));
    // The first publication lays out the drive, as on a new machine; the texts are saved then.
    if (timedRun(program, {QStringLiteral("--publish"), QStringLiteral("Vector"), out},
                 home.path()) < 0) {
        figures.problem = QStringLiteral("the program could not publish");
        return figures;
    }
    saveVectorTexts(home.path());
    std::vector<double> folder, page;
    const QString html = out + QStringLiteral(".html");
    for (int run = 0; run < runs; ++run) {
        QDir(out).removeRecursively();
        QFile::remove(html);
        folder.push_back(timedRun(
            program, {QStringLiteral("--publish"), QStringLiteral("Vector"), out}, home.path()));
        page.push_back(timedRun(program,
                                {QStringLiteral("--publish-file"), QStringLiteral("Vector"), html},
                                home.path()));
    }
    if (std::count_if(folder.begin(), folder.end(), [](double ms) { return ms < 0; }) ||
        std::count_if(page.begin(), page.end(), [](double ms) { return ms < 0; })) {
        figures.problem = QStringLiteral("a publication failed");
        return figures;
    }
    figures.runs = runs;
    figures.folderMs = medianOf(folder);
    figures.pageMs = medianOf(page);
    figures.pageBytes = QFileInfo(html).size();

    const FrameRuns frames =
        firstFrames(firstFrameScript, QStringLiteral("file://") + html, frameRuns);
    figures.frameRuns = int(frames.frames.size());
    figures.firstFrameMs = medianOf(frames.frames);
    // The peer: the web folder served over HTTP from a sub-path, in the same run.
    QProcess server;
    const int port = 20000 + int(QCoreApplication::applicationPid() % 20000);
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port),
                  QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                  QStringLiteral("--directory"), home.path()});
    if (server.waitForStarted()) {
        QThread::msleep(500);
        const FrameRuns folderFrames =
            firstFrames(firstFrameScript,
                        QStringLiteral("http://127.0.0.1:%1/out/index.html").arg(port), frameRuns);
        figures.folderFrameRuns = int(folderFrames.frames.size());
        figures.folderFirstFrameMs = medianOf(folderFrames.frames);
        figures.folderDownloadBytes = qint64(medianOf(folderFrames.bytes));
        server.kill();
        server.waitForFinished();
    }
    figures.ok = figures.frameRuns == frameRuns;
    if (!figures.ok)
        figures.problem = QStringLiteral("the page showed no first frame in %1 of %2 runs")
                              .arg(frameRuns - figures.frameRuns)
                              .arg(frameRuns);
    return figures;
}

} // namespace bench

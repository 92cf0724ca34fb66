// Uploading a publication to a real sshd on 127.0.0.1, as the user's host would take it: 120
// files, 7 MiB, the first time; again with nothing changed; with one text changed; and the memory
// the uploader adds while a large file travels.
//   build/bench/lq_bench_upload [runs]

#include "HostServers.h"
#include "KnownHosts.h"
#include "Upload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>
#include <algorithm>

using namespace lq;

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

void writeRandom(const QString& path, qint64 bytes, quint32 seed)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QRandomGenerator random(seed);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 left = bytes; left > 0; left -= block.size()) {
        random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        file.write(block.constData(), std::min<qint64>(left, block.size()));
    }
}

// 120 files, 7 MiB: the page, a movie, texts, and a player of many pieces, as a big template has.
void writeSite(const QString& folder)
{
    QDir(folder).mkpath(QStringLiteral("ruffle"));
    QFile index(folder + QStringLiteral("/index.html"));
    index.open(QIODevice::WriteOnly);
    index.write("<meta name=\"generator\" content=\"Lumen Quill publication\">\n");
    writeRandom(folder + QStringLiteral("/movie.swf"), 900 << 10, 1);
    writeRandom(folder + QStringLiteral("/ruffle/core.wasm"), 5 << 20, 2);
    for (int i = 0; i < 100; ++i)
        writeRandom(folder + QStringLiteral("/ruffle/part%1.js").arg(i), 10 << 10, 10 + i);
    for (int i = 0; i < 17; ++i) {
        QFile text(folder + QStringLiteral("/text%1.txt").arg(i));
        text.open(QIODevice::WriteOnly);
        text.write("text=hello\r\n");
    }
}

struct Run
{
    double ms = 0;
    UploadOutcome outcome;
    qint64 peakKiB = 0;
};

Run timed(const UploadRequest& request)
{
    Run run;
    const qint64 before = residentKiB();
    QElapsedTimer clock;
    clock.start();
    run.outcome = uploadPublication(request, [&](const UploadProgress&) {
        run.peakKiB = std::max(run.peakKiB, residentKiB() - before);
    });
    run.ms = clock.nsecsElapsed() / 1e6;
    return run;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    QTextStream out(stdout);
    lqtest::HostServer server(lqtest::HostServer::Kind::Sftp);
    QString why;
    if (!server.start(&why)) {
        out << "cannot start sshd: " << why << Qt::endl;
        return 1;
    }
    QTemporaryDir scratch;
    UploadRequest request;
    QString error;
    request.remote.address = parseHostAddress(server.url(), &error);
    request.remote.login.keyFile = server.userKey();
    request.remote.knownHostsFile = scratch.filePath(QStringLiteral("known-hosts"));
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-lf"), server.hostPublicKey()});
    keygen.waitForFinished();
    request.remote.acceptedFingerprint =
        QString::fromUtf8(keygen.readAllStandardOutput()).section(QLatin1Char(' '), 1, 1);

    QList<double> first, unchanged, oneText;
    qint64 unchangedBytes = 0, firstPeak = 0;
    int oneTextFiles = 0;
    qint64 oneTextBytes = 0;
    for (int i = 0; i < runs; ++i) {
        QDir(server.siteFolder()).removeRecursively();
        request.publication = scratch.filePath(QStringLiteral("site%1").arg(i));
        writeSite(request.publication);
        Run run = timed(request);
        if (!run.outcome.ok) {
            out << run.outcome.error << Qt::endl;
            return 1;
        }
        first << run.ms;
        firstPeak = std::max(firstPeak, run.peakKiB);
        run = timed(request);
        unchanged << run.ms;
        unchangedBytes += run.outcome.bytesSent;
        QFile text(request.publication + QStringLiteral("/text3.txt"));
        text.open(QIODevice::WriteOnly);
        text.write("text=changed\r\n");
        text.close();
        QFile index(request.publication + QStringLiteral("/index.html"));
        index.open(QIODevice::Append);
        index.write("<!-- text3 changed -->\n");
        index.close();
        run = timed(request);
        oneText << run.ms;
        oneTextFiles = run.outcome.filesSent;
        oneTextBytes = run.outcome.bytesSent;
    }

    // One large file: what the uploader holds does not grow with it.
    QDir(server.siteFolder()).removeRecursively();
    request.publication = scratch.filePath(QStringLiteral("large"));
    writeSite(request.publication);
    writeRandom(request.publication + QStringLiteral("/ruffle/core.wasm"), 256 << 20, 3);
    const Run large = timed(request);

    out << "upload to loopback SFTP (OpenSSH internal-sftp), medians of " << runs << " runs\n";
    out << QStringLiteral("  120 files, 7 MiB, first time:   %1 ms (goal <= 2000)\n")
               .arg(median(first), 0, 'f', 0);
    out << QStringLiteral("  again, nothing changed:         %1 ms (goal <= 500), %2 bytes of "
                          "content sent (goal 0)\n")
               .arg(median(unchanged), 0, 'f', 0)
               .arg(unchangedBytes);
    out << QStringLiteral("  one text changed:               %1 ms, %2 files sent (the text, the "
                          "page, the manifest), %3 bytes\n")
               .arg(median(oneText), 0, 'f', 0)
               .arg(oneTextFiles)
               .arg(oneTextBytes);
    out << QStringLiteral("  memory added while uploading:   %1 MiB for 7 MiB, %2 MiB with a "
                          "256 MiB file (%3, %4 ms) (goal <= +32)\n")
               .arg(firstPeak / 1024.0, 0, 'f', 1)
               .arg(large.peakKiB / 1024.0, 0, 'f', 1)
               .arg(large.outcome.ok ? QStringLiteral("sent") : large.outcome.error)
               .arg(large.ms, 0, 'f', 0);
    return 0;
}

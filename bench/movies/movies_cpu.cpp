// What the template movies cost while they play, and what they weigh, on an X display (Xvfb with
// openbox, started here unless --display names one), read from outside:
//   - the CPU of the program's whole tree while each effect plays in the preview, 5 s from a
//     second into the movie (fresh runs of bench_first_frame --effect);
//   - the same for the Vector stand-in that the movies replace (a drive folder holding it,
//     --baseline; bench/movies/baseline by default), the same way in the same run;
//   - the CPU of Debian's Chromium playing the same movie with the same player at the same size;
//   - each movie's size.
// Every round plays every movie once in the preview and once in Chromium, in turn, so that all
// see the same state of the machine. Prints a Markdown table.
//
//   lq_bench_movies [--runs N] [--effects NAME,...] [--baseline DIR] [--display :N]
#include "Arguments.h"
#include "BrowserPeer.h"
#include "DrivePaths.h"
#include "Median.h"
#include "ProcessTree.h"
#include "Tables.h"
#include "XDisplay.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::median;

constexpr int kPlayingSeconds = 5;
// Chromium starts the player, compiles its wasm and starts the movie in this time, even loaded.
constexpr int kChromiumSettleSeconds = 15;
constexpr double kMaxMovieKiB = 64;
const QString kBaseline = QStringLiteral("Vector stand-in");

struct Movie
{
    QString label;  // the effect, or kBaseline
    QString effect; // what the effect list names it
    QString drive;  // the drive folder it is taken from
    std::vector<double> preview, chromium;
};

// The share of one core that a process tree takes over kPlayingSeconds.
double playingCpu(qint64 pid)
{
    const double before = bench::cpuSecondsOfTree(pid);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kPlayingSeconds));
    const double spent = bench::cpuSecondsOfTree(pid) - before;
    return 100.0 * spent /
           std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void endTree(QProcess& run)
{
    for (const qint64 pid : bench::processTree(run.processId()))
        kill(pid_t(pid), SIGKILL);
    run.waitForFinished();
}

// The preview: bench_first_frame launches the effect and says "playing" a second into it.
std::optional<double> previewCpu(const Movie& movie, bench::WindowWatch& watch)
{
    QProcess run;
    run.setStandardErrorFile(QProcess::nullDevice());
    watch.reset();
    run.start(QStringLiteral(LQ_FIRST_FRAME_PATH),
              {QStringLiteral("--effect"), movie.effect, QStringLiteral("--movies"), movie.drive,
               QStringLiteral("--repeats"), QStringLiteral("1")});
    std::optional<double> cpu;
    if (run.waitForStarted() && watch.waitForViewable(pid_t(run.processId()), 60'000)) {
        QByteArray output;
        while (!output.contains("playing\n") && run.waitForReadyRead(120'000))
            output += run.readAllStandardOutput();
        if (output.contains("playing\n"))
            cpu = playingCpu(run.processId());
    }
    endTree(run);
    return cpu;
}

std::optional<double> chromiumCpu(const Movie& movie, bench::WindowWatch& watch)
{
    bench::BrowserPeer peer;
    if (!peer.prepare(QStringLiteral(LQ_RUFFLE_FOLDER), movie.drive, movie.effect))
        return std::nullopt;
    QProcess run;
    run.setStandardOutputFile(QProcess::nullDevice());
    run.setStandardErrorFile(QProcess::nullDevice());
    watch.reset();
    run.start(peer.program(), peer.arguments());
    std::optional<double> cpu;
    if (run.waitForStarted() && watch.waitForViewable(pid_t(run.processId()), 60'000)) {
        std::this_thread::sleep_for(std::chrono::seconds(kChromiumSettleSeconds));
        cpu = playingCpu(run.processId());
    }
    endTree(run);
    return cpu;
}

double movieKiB(const Movie& movie)
{
    const auto parts = lq::DrivePaths::parse(lq::movieForEffect(movie.effect).value_or(QString()));
    return parts ? double(QFileInfo(movie.drive + QLatin1Char('/') +
                                    parts->parts.join(QLatin1Char('/')))
                              .size()) /
                       1024
                 : -1;
}

QString ratio(double a, double b)
{
    return b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("-");
}

const char* verdict(bool met)
{
    return met ? "met" : "**missed**";
}

void printTable(const std::vector<Movie>& movies, int runs)
{
    std::printf("| movie | size | preview CPU | Chromium CPU | preview / Chromium (at most 1.25) "
                "| preview / %s (at most 1.5) | result |\n|---|---|---|---|---|---|---|\n",
                qPrintable(kBaseline));
    const double baseline = median(movies.front().preview);
    for (const Movie& movie : movies) {
        const double own = median(movie.preview), browser = median(movie.chromium);
        const double kib = movieKiB(movie);
        const bool judged = movie.label != kBaseline;
        const bool met = movie.preview.size() == std::size_t(runs) &&
                         movie.chromium.size() == std::size_t(runs) && own <= 1.25 * browser &&
                         own <= 1.5 * baseline && kib >= 0 && kib <= kMaxMovieKiB;
        std::printf("| %s | %.1f KiB | %.0f%% | %.0f%% | %s | %s | %s |\n", qPrintable(movie.label),
                    kib, own, browser, qPrintable(ratio(own, browser)),
                    qPrintable(ratio(own, baseline)), judged ? verdict(met) : "-");
    }
    std::printf("\nCPU in %% of one core, all processes of the program (or of Chromium), %d s; "
                "medians of %d runs. Goal for size: at most %.0f KiB.\n",
                kPlayingSeconds, runs, kMaxMovieKiB);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int runs = std::max(1, bench::optionValue(arguments, "--runs", "3").toInt());
    const QString baseline =
        bench::optionValue(arguments, "--baseline", QStringLiteral(LQ_BASELINE_DRIVE));
    const QStringList only =
        bench::optionValue(arguments, "--effects").split(u',', Qt::SkipEmptyParts);
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // as scripts/run.sh starts the program

    bench::VirtualDisplay own;
    QByteArray display = bench::optionValue(arguments, "--display").toLocal8Bit();
    if (display.isEmpty()) {
        if (!own.start()) {
            std::fprintf(stderr, "Xvfb and openbox could not be started\n");
            return 1;
        }
        display = own.name();
    }
    qputenv("DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    bench::WindowWatch watch(display);
    QTemporaryDir home; // the peer's drive
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));

    std::vector<Movie> movies{{kBaseline, QStringLiteral("Vector"), baseline, {}, {}}};
    for (const lq::Template& row : lq::templates()) {
        if (only.isEmpty() || only.contains(row.effectName))
            movies.push_back({row.effectName, row.effectName, QStringLiteral(LQ_MOVIE_DRIVE)});
    }
    for (int run = 0; run < runs; ++run) {
        for (Movie& movie : movies) {
            if (const auto cpu = previewCpu(movie, watch))
                movie.preview.push_back(*cpu);
            if (const auto cpu = chromiumCpu(movie, watch))
                movie.chromium.push_back(*cpu);
            std::fprintf(stderr, "round %d: %s\n", run + 1, qPrintable(movie.label));
        }
    }
    printTable(movies, runs);
    return 0;
}

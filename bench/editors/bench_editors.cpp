// How long the editor windows take at the moments a user waits on them: opening a window for the
// first time, pasting a very long text into a box and saving it. Prints one line per measurement.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_editors
//
// Runs in a private data folder, so it never touches real templates.

#include "Messages.h"
#include "SaveContentFile.h"
#include "Tables.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.at(samples.size() / 2);
}

void report(const char* what, double ms)
{
    std::printf("%-52s %9.2f ms   peak RSS %6ld KiB\n", what, ms, peakResidentKiB());
}

double timed(const std::function<void()>& work)
{
    // Whatever is still pending (a repaint asked for earlier) is not this work's cost.
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    work();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

QString textOf(int bytes)
{
    QString text = QStringLiteral("aboutus=");
    text.reserve(bytes);
    while (text.size() < bytes)
        text += QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    text.truncate(bytes);
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    QDir().mkpath(home.path() + "/lumen-quill/drive_c/lumenquill/vector");
    lq::Messages::setHandler([](const QString&, const QString&) {});

    constexpr int rounds = 15;
    {
        QList<double> column, page;
        for (int i = 0; i < rounds; ++i) {
            lq::WindowRegistry registry;
            column << timed([&] { registry.showWindow("frmvector"); });
            page << timed([&] { registry.showWindow("frm2fireworks"); });
        }
        report("open a six-box editor (median)", median(column));
        report("open a wizard page (median)", median(page));
    }
    {
        lq::WindowRegistry registry;
        QList<double> all;
        all << timed([&] {
            for (const lq::EditorWindow& window : lq::editorWindows())
                registry.showWindow(window.name);
        });
        report("open all twelve windows", all.first());
    }
    for (int bytes : {64 * 1024, 1024 * 1024, 8 * 1024 * 1024}) {
        lq::WindowRegistry registry;
        lq::TextEditorWindow* window = registry.showWindow("frmvector");
        QLineEdit* box = window->textBoxes().first();
        const QString text = textOf(bytes);
        const double paste = timed([&] {
            box->selectAll();
            box->insert(text);
            box->repaint();
        });
        const double typeOne = timed([&] {
            box->end(false);
            box->insert(QStringLiteral("x"));
            box->repaint();
        });
        const double write = timed([&] {
            lq::SaveContentFile(QStringLiteral("C:\\lumenquill\\vector\\aboutus.txt"), text);
        });
        const double save = timed([&] { window->saveButtons().first()->click(); });
        const QByteArray label = QByteArray::number(bytes / 1024) + " KiB";
        report(("paste " + label + " into a box").constData(), paste);
        report(("type one more character after " + label).constData(), typeOne);
        report(("write " + label + " to its content file").constData(), write);
        report(("press save with " + label + " in the box").constData(), save);
    }
    return 0;
}

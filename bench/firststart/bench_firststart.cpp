#include "FirstStart.h"

#include <QTemporaryDir>
#include <QtTest>

// How long the first start keeps the event loop busy: laying out the build's own files and every
// template folder into an empty data folder.
class FirstStartBench : public QObject
{
    Q_OBJECT

private slots:
    void layOutTheBuildsFiles()
    {
        QTemporaryDir homes;
        int run = 0;
        QBENCHMARK
        {
            qputenv("XDG_DATA_HOME", (homes.path() + '/' + QString::number(run++)).toUtf8());
            const lq::FirstStart::Outcome outcome = lq::FirstStart::layOut(LQ_INSTALLED_DATA);
            if (!outcome.laidOut || !outcome.problems.isEmpty())
                QFAIL("the layout did not complete");
        }
    }

    void laterStartFindsARootAndStops()
    {
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        lq::FirstStart::layOut(LQ_INSTALLED_DATA);
        QBENCHMARK
        {
            lq::FirstStart::layOut(LQ_INSTALLED_DATA);
        }
    }
};

QTEST_GUILESS_MAIN(FirstStartBench)
#include "bench_firststart.moc"

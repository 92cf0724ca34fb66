#include "DrivePaths.h"
#include "PlayerRequests.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// How the cost of finding a path beneath its drive folder grows with the number of its parts,
// and what the longest request paths cost: the time per part should stay flat, and an overlong
// path should cost next to nothing, since it is refused before anything is looked up.
class PathsBench : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    static QString nested(int parts, QChar separator)
    {
        QStringList names;
        for (int i = 0; i < parts; ++i)
            names << QStringLiteral("Folder%1").arg(i);
        return names.join(separator);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
        // The path is asked for in lower case, so every part is matched by reading its folder.
        QDir().mkpath(lq::DrivePaths::driveFolder(QLatin1Char('c')) + '/' +
                      nested(lq::DrivePaths::kMaxParts - 1, QLatin1Char('/')));
    }

    void findAPathOfParts_data()
    {
        QTest::addColumn<int>("parts");
        for (const int parts : {1, 8, 16, 32, 63})
            QTest::addRow("%d parts", parts) << parts;
    }

    void findAPathOfParts()
    {
        QFETCH(int, parts);
        const QString path = "C:\\" + nested(parts, QLatin1Char('\\')).toLower() + "\\x.txt";
        QBENCHMARK
        {
            if (lq::DrivePaths::locate(path).outcome != lq::WalkOutcome::Found)
                QFAIL("the path was not found");
        }
    }

    void decideAnOverlongRequest_data()
    {
        QTest::addColumn<QByteArray>("path");
        const QByteArray drive = "/0123456789abcdef0123456789abcdef/drive/c/";
        QTest::newRow("64 KB, 32000 parts") << drive + QByteArray(32000, 'a').replace("a", "a/");
        QTest::newRow("8 KB, 80 parts") << drive + QByteArray(80, 'a').replace("a", "a/");
    }

    void decideAnOverlongRequest()
    {
        QFETCH(QByteArray, path);
        lq::PlayerSite site;
        site.secret = "0123456789abcdef0123456789abcdef";
        QBENCHMARK
        {
            if (lq::decideRequest("GET", {}, path, site).status != 414)
                QFAIL("the path was not refused as too long");
        }
    }
};

QTEST_GUILESS_MAIN(PathsBench)
#include "bench_paths.moc"

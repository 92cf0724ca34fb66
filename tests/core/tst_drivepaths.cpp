#include "DrivePaths.h"
#include "TestDrive.h"

#include <QFile>
#include <QtTest>

using namespace lq;

class DrivePathsTest : public QObject
{
    Q_OBJECT

private slots:
    void drivesMapIntoTheDataLocation()
    {
        TestDrive drive;
        QCOMPARE(DrivePaths::toLocal("C:\\lumenquill\\vector\\aboutus.txt").value_or(""),
                 drive.driveC() + "/lumenquill/vector/aboutus.txt");
        QCOMPARE(DrivePaths::toLocal("c:\\lumen quill\\preloader.txt").value_or(""),
                 drive.driveC() + "/lumen quill/preloader.txt");
        QCOMPARE(DrivePaths::toLocal("D:\\x.txt").value_or(""),
                 drive.home() + "/lumen-quill/drive_d/x.txt");
    }

    void notADrivePathIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("relative") << "lumenquill\\vector\\aboutus.txt";
        QTest::newRow("unix") << "/etc/passwd";
        QTest::newRow("no separator") << "C:lumenquill";
        QTest::newRow("digit drive") << "1:\\x";
        QTest::newRow("climbing") << "C:\\lumenquill\\..\\..\\..\\etc\\passwd";
        QTest::newRow("climbing slashes") << "C:/lumenquill/../../x";
        QTest::newRow("dot") << "C:\\lumenquill\\.\\vector";
        QTest::newRow("nul") << QString("C:\\a") + QChar(0) + "b";
        QTest::newRow("empty") << "";
    }

    void notADrivePathIsRefused()
    {
        TestDrive drive;
        QFETCH(QString, path);
        QVERIFY(!DrivePaths::toLocal(path).has_value());
    }

    void lettersMatchWhateverCaseExists()
    {
        TestDrive drive;
        drive.makeFolder("LumenQuill/Vector");
        QFile existing(drive.driveC() + "/LumenQuill/Vector/AboutUs.TXT");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        // Existing parts are found whatever their case; a missing file keeps the table's spelling.
        QCOMPARE(DrivePaths::toLocal("C:\\lumenquill\\vector\\aboutus.txt").value_or(""),
                 drive.driveC() + "/LumenQuill/Vector/AboutUs.TXT");
        QCOMPARE(DrivePaths::toLocal("C:\\lumenquill\\vector\\Clients.txt").value_or(""),
                 drive.driveC() + "/LumenQuill/Vector/Clients.txt");
    }

    void anExactMatchWinsOverOtherCases()
    {
        TestDrive drive;
        drive.makeFolder("lumenquill/CUBE");
        drive.makeFolder("lumenquill/cube");
        QCOMPARE(DrivePaths::toLocal("C:\\lumenquill\\cube\\x").value_or(""),
                 drive.driveC() + "/lumenquill/cube/x");
        QCOMPARE(DrivePaths::toLocal("C:\\lumenquill\\Cube\\x").value_or(""),
                 drive.driveC() + "/lumenquill/CUBE/x");
    }

    void xdgDataHomeIsHonoured()
    {
        TestDrive first;
        const QString a = DrivePaths::toLocal("C:\\a.txt").value_or("");
        TestDrive second;
        const QString b = DrivePaths::toLocal("C:\\a.txt").value_or("");
        QVERIFY(a.startsWith(first.home()));
        QVERIFY(b.startsWith(second.home()));
    }

    void linksOutOfTheDriveAreRefused()
    {
        TestDrive drive;
        QTemporaryDir outside;
        drive.makeFolder("lumenquill");
        QVERIFY(QFile::link(outside.path(), drive.driveC() + "/lumenquill/vector"));
        QVERIFY(!DrivePaths::toLocal("C:\\lumenquill\\vector\\aboutus.txt").has_value());
        QVERIFY(!DrivePaths::toLocal("C:\\LUMENQUILL\\VECTOR\\aboutus.txt").has_value());
        // A link that stays inside the drive is followed like the folder it names.
        drive.makeFolder("lumenquill/real3d");
        QVERIFY(QFile::link(drive.driveC() + "/lumenquill/real3d", drive.driveC() + "/lumenquill/3d"));
        QVERIFY(DrivePaths::toLocal("C:\\lumenquill\\3d\\aboutus.txt").has_value());
        QVERIFY(!DrivePaths::isInsideDriveFolders(outside.path() + "/x"));
    }
};

QTEST_GUILESS_MAIN(DrivePathsTest)
#include "tst_drivepaths.moc"

#include "DrivePaths.h"
#include "SaveContentFile.h"
#include "TestDrive.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace lq;

// True when the folder of a local path, every link along it followed, lies inside drive_c.
static bool liesInsideDriveC(const TestDrive& drive, const QString& localPath)
{
    const QString folder = QFileInfo(QFileInfo(localPath).path()).canonicalFilePath();
    const QString root = QFileInfo(drive.driveC()).canonicalFilePath();
    return !folder.isEmpty() && (folder == root || folder.startsWith(root + '/'));
}

class DrivePathsTest : public QObject
{
    Q_OBJECT

private slots:
    // Only drive_ and one lower-case letter is a drive folder: an installed folder of any other
    // name is not laid out, and a linked drive folder of any other name leads out.
    void driveFoldersAreNamedByOneLowerCaseLetter()
    {
        QCOMPARE(DrivePaths::driveFolderName('C'), QString("drive_c"));
        QCOMPARE(DrivePaths::driveLetterOfFolder(u"drive_c"), std::optional<QChar>('c'));
        QCOMPARE(DrivePaths::driveLetterOfFolder(u"drive_z"), std::optional<QChar>('z'));
        for (const char16_t* name :
             {u"drive_C", u"drive_1", u"drive_", u"drive_cc", u"xdrive_c", u"drive_\u00e9", u""})
            QVERIFY2(!DrivePaths::driveLetterOfFolder(name), qPrintable(QString::fromUtf16(name)));
    }

    // The folder the first start makes before it copies a file into it.
    void aPathsFolderKeepsItsSpelling()
    {
        QCOMPARE(DrivePaths::folderOf("C:\\lumenquill\\Vector\\aboutus.txt"),
                 std::optional<QString>("c:\\lumenquill\\Vector\\"));
        QCOMPARE(DrivePaths::folderOf("c:/lumen quill//preloader.txt"),
                 std::optional<QString>("c:\\lumen quill\\"));
        QCOMPARE(DrivePaths::folderOf("C:\\a.txt"), std::optional<QString>("c:\\"));
        QVERIFY(!DrivePaths::folderOf("C:\\"));
        QVERIFY(!DrivePaths::folderOf("lumenquill\\vector\\aboutus.txt"));
    }

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
        // Refused before anything is looked up, however long the path.
        QTest::newRow("65 parts") << "C:" + QString("\\a").repeated(64) + "\\x.txt";
        QTest::newRow("32000 parts") << "C:" + QString("\\a").repeated(32000);
        QTest::newRow("longer than a path") << "C:\\" + QString(4094, QLatin1Char('a'));
    }

    void notADrivePathIsRefused()
    {
        TestDrive drive;
        QFETCH(QString, path);
        QVERIFY(!DrivePaths::toLocal(path).has_value());
        // Told apart from a path that leads out of its drive folder.
        QCOMPARE(DrivePaths::locate(path).outcome, WalkOutcome::NotADrivePath);
        QVERIFY(DrivePaths::locate(path).localPath.isEmpty());
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
        QVERIFY(
            QFile::link(drive.driveC() + "/lumenquill/real3d", drive.driveC() + "/lumenquill/3d"));
        QVERIFY(DrivePaths::toLocal("C:\\lumenquill\\3d\\aboutus.txt").has_value());
        QVERIFY(!liesInsideDriveC(drive, outside.path() + "/x"));
        // ".." after a link climbs from where the link leads, as the system does.
        drive.makeFolder("lumenquill/deep/er");
        QVERIFY(QFile::link(drive.driveC() + "/lumenquill/deep/er",
                            drive.driveC() + "/lumenquill/down"));
        QVERIFY(liesInsideDriveC(drive, drive.driveC() + "/lumenquill/down/../x"));
        QVERIFY(QFile::link(drive.home(), drive.driveC() + "/home"));
        QVERIFY(!liesInsideDriveC(drive, drive.driveC() + "/home/../x"));
    }

    // A link whose target does not exist yet would have a save create its target, wherever it
    // points: it must be judged by where it leads, not by where it sits.
    void danglingLinksOutOfTheDriveAreRefused()
    {
        TestDrive drive;
        QTemporaryDir outside;
        const QString vector = drive.makeFolder("lumenquill/vector");
        QVERIFY(QFile::link(outside.path() + "/stolen.txt", vector + "/aboutus.txt"));
        QVERIFY(QFile::link(outside.path() + "/no/such/folder", vector + "/gone"));
        QVERIFY(QFile::link("../../../../../../../../../../tmp/x", vector + "/climb"));
        QVERIFY(QFile::link("loop", vector + "/loop"));
        QVERIFY(!DrivePaths::toLocal("C:\\lumenquill\\vector\\aboutus.txt").has_value());
        QVERIFY(!DrivePaths::toLocal("C:\\lumenquill\\vector\\gone\\x.txt").has_value());
        QVERIFY(!DrivePaths::toLocal("C:\\lumenquill\\vector\\climb").has_value());
        QVERIFY(!DrivePaths::toLocal("C:\\lumenquill\\vector\\loop\\x").has_value());
        QVERIFY(!SaveContentFile("C:\\lumenquill\\vector\\aboutus.txt", "aboutus=x"));
        QVERIFY(!QFileInfo::exists(outside.path() + "/stolen.txt"));

        // A dangling link that leads to a place inside the drive is where the save lands.
        QVERIFY(QFile::link("services-real.txt", vector + "/services.txt"));
        QVERIFY(SaveContentFile("C:\\lumenquill\\vector\\services.txt", "services=x"));
        QCOMPARE(TestDrive::read(vector + "/services-real.txt"), QByteArray("services=x\r\n"));
    }

    void aDriveFolderThatIsALinkOutIsRefused()
    {
        TestDrive drive;
        QTemporaryDir outside;
        QDir().mkpath(drive.home() + "/lumen-quill");
        QVERIFY(QFile::link(outside.path(), drive.home() + "/lumen-quill/drive_d"));
        QVERIFY(!DrivePaths::toLocal("D:\\x.txt").has_value());
        QVERIFY(!DrivePaths::toLocal("d:\\").has_value());
    }
};

QTEST_GUILESS_MAIN(DrivePathsTest)
#include "tst_drivepaths.moc"

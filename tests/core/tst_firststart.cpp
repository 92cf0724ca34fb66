#include "FirstStart.h"
#include "InstalledFiles.h"
#include "SaveContentFile.h"
#include "Tables.h"
#include "TestDrive.h"

#include <QDirIterator>
#include <QtTest>

using namespace lq;

// What the first start puts into the user's drive folders, and what it leaves alone.
class FirstStartTest : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        TestDrive drive;
        QTemporaryDir installed;

        // A file of the installed tree, given below it ("drive_c/lumen quill/tutorial/x.htm").
        void install(const QString& relative, const QByteArray& bytes) const
        {
            const QString path = installed.path() + '/' + relative;
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        void installTypicalTree() const
        {
            install("drive_c/lumen quill/tutorial/TUTORIAL.HTM", "<html>how to</html>");
            install("drive_c/lumen quill/tutorial/pictures/steps.svg", "<svg/>");
            install("drive_c/lumenquill/vector/vector.swf", "FWS movie");
            install("drive_c/lumen quill/preloader.swf", "FWS preloader");
            QDir().mkpath(installed.path() + "/drive_c/lumenquill/samples");
            // Texts of an earlier installation must never reach the user's content files.
            install("drive_c/lumenquill/vector/aboutus.txt", "aboutus=old text\r\n");
            install("drive_c/lumen quill/PRELOADER.TXT", "pre=old text\r\n");
        }
        QString user(const QString& relative) const { return drive.driveC() + '/' + relative; }

        // Every entry below the user's data folder with its bytes, to see that nothing changed.
        QStringList snapshot() const
        {
            QStringList entries;
            QDirIterator it(drive.home(),
                            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                entries << path + '=' + (it.fileInfo().isFile() ? TestDrive::read(path) : "");
            }
            entries.sort();
            return entries;
        }
    };

private slots:
    void firstStartLaysOutTheTreeAndEveryTemplateFolder()
    {
        Fixture f;
        f.installTypicalTree();
        const FirstStart::Outcome outcome = FirstStart::layOut(f.installed.path());
        QVERIFY(outcome.laidOut);
        QCOMPARE(outcome.problems, QStringList());
        QCOMPARE(TestDrive::read(f.user("lumen quill/tutorial/TUTORIAL.HTM")),
                 "<html>how to</html>");
        QCOMPARE(TestDrive::read(f.user("lumen quill/tutorial/pictures/steps.svg")), "<svg/>");
        QCOMPARE(TestDrive::read(f.user("lumenquill/vector/vector.swf")), "FWS movie");
        QCOMPARE(TestDrive::read(f.user("lumen quill/preloader.swf")), "FWS preloader");
        QVERIFY(QFileInfo(f.user("lumenquill/samples")).isDir());
        QVERIFY(outcome.created.contains(f.user("lumen quill/tutorial/TUTORIAL.HTM")));

        // No content file was written, and every editor can save into its folder from now on.
        for (const ContentFile& file : contentFiles())
            QVERIFY2(TestDrive::readWindowsPath(file.path) == "<missing>", qPrintable(file.path));
        for (const ContentFile& file : contentFiles()) {
            const SaveResult saved = SaveContentFile(file.path, file.defaultLine);
            QVERIFY2(saved.ok(), qPrintable(file.path + ": " + saved.reason));
        }
        QCOMPARE(TestDrive::readWindowsPath("C:\\lumenquill\\Fireworks\\aboutus.txt"),
                 "aboutus=entertexthere\r\n");
    }

    void nothingIsDoneWhenARootIsThere_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::newRow("template root") << "lumenquill";
        QTest::newRow("install root") << "lumen quill";
        QTest::newRow("template root in other letter case") << "LumenQuill";
        QTest::newRow("install root in other letter case") << "Lumen Quill";
    }

    void nothingIsDoneWhenARootIsThere()
    {
        QFETCH(QString, existing);
        Fixture f;
        f.installTypicalTree();
        f.drive.makeFolder(existing);
        const QStringList before = f.snapshot();
        const FirstStart::Outcome outcome = FirstStart::layOut(f.installed.path());
        QVERIFY(!outcome.laidOut);
        QVERIFY(outcome.created.isEmpty());
        QCOMPARE(f.snapshot(), before);
    }

    void laterStartsKeepTheUsersChanges()
    {
        Fixture f;
        f.installTypicalTree();
        QVERIFY(FirstStart::layOut(f.installed.path()).laidOut);
        QFile page(f.user("lumen quill/tutorial/TUTORIAL.HTM"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("my notes");
        page.close();
        QVERIFY(QFile::remove(f.user("lumenquill/vector/vector.swf")));
        const QStringList before = f.snapshot();

        QVERIFY(!FirstStart::layOut(f.installed.path()).laidOut);
        QCOMPARE(f.snapshot(), before);
    }

    void existingFilesAreKeptAndLinksAreNotFollowed()
    {
        Fixture f;
        f.installTypicalTree();
        f.install("drive_c/readme.txt", "from the install");
        QTemporaryDir outside;
        QFile secret(outside.path() + "/secret.txt");
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("not for the drive");
        secret.close();
        QVERIFY(QFile::link(secret.fileName(),
                            f.installed.path() + "/drive_c/lumen quill/tutorial/linked.txt"));
        QVERIFY(QFile::link(outside.path(), f.installed.path() + "/drive_c/lumenquill/linked"));

        QDir().mkpath(f.drive.driveC());
        QFile readme(f.user("readme.txt"));
        QVERIFY(readme.open(QIODevice::WriteOnly));
        readme.write("the user's own");
        readme.close();

        const FirstStart::Outcome outcome = FirstStart::layOut(f.installed.path());
        QVERIFY(outcome.laidOut);
        QCOMPARE(outcome.problems, QStringList());
        QCOMPARE(TestDrive::read(f.user("readme.txt")), "the user's own");
        QVERIFY(!QFileInfo(f.user("lumen quill/tutorial/linked.txt")).exists());
        QVERIFY(!QFileInfo(f.user("lumenquill/linked")).exists());
        QCOMPARE(TestDrive::read(f.user("lumen quill/tutorial/TUTORIAL.HTM")),
                 "<html>how to</html>");
    }

    void rootThatIsALinkIsLeftAlone()
    {
        // Even a link whose target is missing counts as there: nothing is created through it.
        Fixture f;
        f.installTypicalTree();
        QTemporaryDir outside;
        QDir().mkpath(f.drive.driveC());
        QVERIFY(QFile::link(outside.path() + "/gone", f.user("lumen quill")));
        QVERIFY(!FirstStart::layOut(f.installed.path()).laidOut);
        QVERIFY(!QFileInfo::exists(outside.path() + "/gone"));
        QVERIFY(!QFileInfo::exists(f.user("lumenquill")));
    }

    void missingInstalledFilesStillGiveTheTemplateFolders()
    {
        Fixture f;
        const QString gone = f.installed.path() + "/nothing-here";
        const FirstStart::Outcome outcome = FirstStart::layOut(gone);
        QVERIFY(outcome.laidOut);
        QCOMPARE(outcome.problems,
                 QStringList{"The program's own files were not found in \u201C" +
                             QDir::toNativeSeparators(gone) +
                             "\u201D, so the tutorial page and the sample movies could not be "
                             "laid out."});
        for (const Template& row : templates())
            QVERIFY2(QFileInfo(*DrivePaths::toLocal(row.folder)).isDir(), qPrintable(row.folder));
    }

    void installedFilesAreFoundBesideOrAboveTheExecutable()
    {
        QTemporaryDir root;
        QDir().mkpath(root.path() + "/build/share/lumen-quill");
        QDir().mkpath(root.path() + "/prefix/bin");
        QDir().mkpath(root.path() + "/prefix/share/lumen-quill");
        QDir().mkpath(root.path() + "/bare/bin");
        QCOMPARE(installedFolder(root.path() + "/build", InstalledKind::Data),
                 root.path() + "/build/share/lumen-quill");
        QCOMPARE(installedFolder(root.path() + "/prefix/bin", InstalledKind::Data),
                 root.path() + "/prefix/share/lumen-quill");
        QCOMPARE(installedFolder(root.path() + "/bare/bin", InstalledKind::Data), QString());
    }
};

QTEST_MAIN(FirstStartTest)
#include "tst_firststart.moc"

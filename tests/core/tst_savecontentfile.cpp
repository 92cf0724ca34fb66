#include "AnsiCodec.h"
#include "SaveContentFile.h"
#include "TestDrive.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace lq;

namespace {

const QString kVectorAbout = QStringLiteral("C:\\lumenquill\\vector\\aboutus.txt");

// Runs a save as an unprivileged user, since root writes anywhere; gives its error.
SaveError saveAsNobody(const QString& path, const QString& text)
{
    return SaveError(runUnprivileged([&] { return int(SaveContentFile(path, text).error); }));
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class SaveContentFileTest : public QObject
{
    Q_OBJECT

private slots:
    void writesTheTextAndALineEndExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("default line")
            << "aboutus=enter text here" << QByteArray("aboutus=enter text here\r\n");
        QTest::newRow("empty") << "" << QByteArray("\r\n");
        QTest::newRow("no equals sign") << "hello" << QByteArray("hello\r\n");
        QTest::newRow("blanks kept") << "  a = b  " << QByteArray("  a = b  \r\n");
        QTest::newRow("accents") << "aboutus=café" << QByteArray("aboutus=caf\xE9\r\n");
        QTest::newRow("euro and quotes")
            << "p=€ “x” – ™" << QByteArray("p=\x80 \x93x\x94 \x96 \x99\r\n");
        QTest::newRow("latin-1 top") << "ÿ" << QByteArray("\xFF\r\n");
    }

    void writesTheTextAndALineEndExactly()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        TestDrive drive;
        drive.makeTemplateFolders();
        const SaveResult result = SaveContentFile(kVectorAbout, text);
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(TestDrive::readWindowsPath(kVectorAbout), bytes);
        QCOMPARE(decodeWindows1252(bytes.chopped(2)), text);
    }

    void aShorterSecondSaveLeavesNothingOfTheFirst()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=a long first text of the section"));
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=b"));
        QCOMPARE(TestDrive::readWindowsPath(kVectorAbout), QByteArray("aboutus=b\r\n"));
        // Only the content file: no temporary file is left beside it.
        QCOMPARE(entriesOf(drive.driveC() + "/lumenquill/vector"), QStringList{"aboutus.txt"});
    }

    void aMegabyteSavesWhole()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        const QString text = "aboutus=" + QString(1024 * 1024, QChar(0xE9));
        QVERIFY(SaveContentFile(kVectorAbout, text));
        const QByteArray bytes = TestDrive::readWindowsPath(kVectorAbout);
        QCOMPARE(bytes.size(), 8 + 1024 * 1024 + 2);
        QCOMPARE(bytes.count('\xE9'), 1024 * 1024);
        QVERIFY(bytes.endsWith("\xE9\r\n"));
    }

    void theInstallRootAndOtherCasesResolve()
    {
        TestDrive drive;
        drive.makeFolder("LUMEN QUILL");
        QVERIFY(SaveContentFile("c:\\lumen quill\\preloader.txt", "pre=x"));
        QCOMPARE(TestDrive::read(drive.driveC() + "/LUMEN QUILL/preloader.txt"),
                 QByteArray("pre=x\r\n"));
        // A file that exists in another case is replaced, not joined by a twin.
        drive.makeFolder("lumenquill/cube");
        QFile old(drive.driveC() + "/lumenquill/cube/clients.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QVERIFY(SaveContentFile("C:\\lumenquill\\cube\\Clients.txt", "Clients1=y"));
        QCOMPARE(entriesOf(drive.driveC() + "/lumenquill/cube"), QStringList{"clients.txt"});
        QCOMPARE(TestDrive::read(drive.driveC() + "/lumenquill/cube/clients.txt"),
                 QByteArray("Clients1=y\r\n"));
    }

    void aMissingFolderIsNeverCreated()
    {
        TestDrive drive;
        drive.makeFolder("lumenquill");
        const SaveResult result = SaveContentFile(kVectorAbout, "aboutus=x");
        QCOMPARE(result.error, SaveError::FolderMissing);
        QVERIFY2(result.reason.contains("does not exist"), qPrintable(result.reason));
        QVERIFY(result.reason.contains("vector"));
        QCOMPARE(entriesOf(drive.driveC() + "/lumenquill"), QStringList{});
    }

    void aReadOnlyFileKeepsItsText()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=old"));
        const QString local = drive.driveC() + "/lumenquill/vector/aboutus.txt";
        QVERIFY(
            QFile::setPermissions(local, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // Even for root, which could write it: read-only is the file's own setting.
        const SaveResult result = SaveContentFile(kVectorAbout, "aboutus=new");
        QCOMPARE(result.error, SaveError::FileReadOnly);
        QVERIFY(result.reason.contains("read-only"));
        QCOMPARE(TestDrive::read(local), QByteArray("aboutus=old\r\n"));
        QCOMPARE(entriesOf(drive.driveC() + "/lumenquill/vector"), QStringList{"aboutus.txt"});
    }

    void aFolderWithoutWritePermissionRefusesTheSave()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=old"));
        const QString folder = drive.driveC() + "/lumenquill/vector";
        // The unprivileged user may reach the folder and read the file, but not write in it.
        QVERIFY(QFile::setPermissions(drive.home(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ExeOwner | QFile::ExeOther |
                                                        QFile::ReadOther));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
        QCOMPARE(saveAsNobody(kVectorAbout, "aboutus=new"), SaveError::PermissionDenied);
        QCOMPARE(TestDrive::read(folder + "/aboutus.txt"), QByteArray("aboutus=old\r\n"));
        QCOMPARE(entriesOf(folder), QStringList{"aboutus.txt"});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void someoneElsesFileIsNotReplaced()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=old"));
        const QString folder = drive.driveC() + "/lumenquill/vector";
        const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                              QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(drive.home(), everyone));
        for (const QString& dir : {drive.home() + "/lumen-quill", drive.driveC(),
                                   drive.driveC() + "/lumenquill", folder})
            QVERIFY(QFile::setPermissions(dir, everyone));
        // The file is the owner's to change; another user who may write in the folder still
        // must not swap it for a file of their own.
        QCOMPARE(saveAsNobody(kVectorAbout, "aboutus=new"),
                 geteuid() == 0 ? SaveError::PermissionDenied : SaveError::None);
        if (geteuid() == 0)
            QCOMPARE(TestDrive::read(folder + "/aboutus.txt"), QByteArray("aboutus=old\r\n"));
    }

    void anUnrepresentableCharacterIsRefusedByName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("snowman") << QString("aboutus=let it \u2603 snow")
                                 << QString("\u201C\u2603\u201D (U+2603)");
        QTest::newRow("emoji") << QString::fromUtf8("a=\xF0\x9F\x98\x80") << QString("U+1F600");
        QTest::newRow("greek") << QString("a=\u03A9") << QString("U+03A9");
        QTest::newRow("undefined byte") << QString("a=\u0081") << QString("U+0081");
    }

    void anUnrepresentableCharacterIsRefusedByName()
    {
        QFETCH(QString, text);
        QFETCH(QString, named);
        TestDrive drive;
        drive.makeTemplateFolders();
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=old"));
        const SaveResult result = SaveContentFile(kVectorAbout, text);
        QCOMPARE(result.error, SaveError::Unrepresentable);
        QVERIFY2(result.reason.contains(named), qPrintable(result.reason));
        QCOMPARE(TestDrive::readWindowsPath(kVectorAbout), QByteArray("aboutus=old\r\n"));
    }

    void aFolderInPlaceOfTheFileIsReported()
    {
        TestDrive drive;
        drive.makeFolder("lumenquill/vector/aboutus.txt");
        const SaveResult result = SaveContentFile(kVectorAbout, "aboutus=x");
        QCOMPARE(result.error, SaveError::NotAFile);
        QVERIFY(QFileInfo(drive.driveC() + "/lumenquill/vector/aboutus.txt").isDir());
    }

    // Never reported as a folder, never waited on (a named pipe without a reader would block a
    // plain open for good), and left as it is.
    void whatIsNotARegularFileIsNamedForWhatItIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "a named pipe";
        QTest::newRow("socket") << "a socket";
    }

    void whatIsNotARegularFileIsNamedForWhatItIs()
    {
        QFETCH(QString, kind);
        TestDrive drive;
        const QString local = drive.makeFolder("lumenquill/vector") + "/aboutus.txt";
        const QByteArray name = QFile::encodeName(local);
        int socketFd = -1;
        if (kind == "a named pipe") {
            QCOMPARE(mkfifo(name.constData(), 0644), 0);
        } else {
            socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            QVERIFY(size_t(name.size()) < sizeof address.sun_path);
            qstrcpy(address.sun_path, name.constData());
            QCOMPARE(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        }
        const auto closeSocket = qScopeGuard([socketFd] {
            if (socketFd >= 0)
                close(socketFd);
        });
        const SaveResult result = SaveContentFile(kVectorAbout, "aboutus=x");
        QCOMPARE(result.error, SaveError::NotAFile);
        QCOMPARE(result.reason, QStringLiteral("\u201C%1\u201D is %2, not a text file.")
                                    .arg(QDir::toNativeSeparators(local), kind));
        struct stat info;
        QCOMPARE(lstat(name.constData(), &info), 0);
        QVERIFY(kind == "a named pipe" ? S_ISFIFO(info.st_mode) : S_ISSOCK(info.st_mode));
        QCOMPARE(
            QDir(drive.driveC() + "/lumenquill/vector")
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"aboutus.txt"});
    }

    void aNewFileGetsOrdinaryPermissionsAndAnOldOneKeepsItsOwn()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        const mode_t old = umask(022);
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=x"));
        umask(old);
        const QString local = drive.driveC() + "/lumenquill/vector/aboutus.txt";
        QVERIFY(QFileInfo(local).permissions().testFlag(QFile::ReadOther));
        const auto chosen =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(local, chosen));
        QVERIFY(SaveContentFile(kVectorAbout, "aboutus=y"));
        QCOMPARE(QFileInfo(local).permissions() &
                     ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 chosen);
    }
};

QTEST_GUILESS_MAIN(SaveContentFileTest)
#include "tst_savecontentfile.moc"

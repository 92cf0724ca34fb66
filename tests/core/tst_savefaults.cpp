// Faults during a save: a full disk, a save cut off part way, the folder or the file swapped for
// something else, permissions taken away. Each must leave the earlier text whole, leave no
// temporary file behind and report a failure, never a success.

#include "LinkSwitcher.h"
#include "SaveContentFile.h"
#include "TestDrive.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <clocale>
#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

using namespace lq;

namespace {

const QString kVectorAbout = QStringLiteral("C:\\lumenquill\\vector\\aboutus.txt");
const QByteArray kOldBytes("aboutus=the earlier text\r\n");
const QString kNewText = QStringLiteral("aboutus=") + QString(3000, QLatin1Char('n'));

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Removes the step hook whatever way a test ends.
struct StepHookGuard
{
    explicit StepHookGuard(SaveStepHook hook) { setSaveStepHook(std::move(hook)); }
    ~StepHookGuard() { setSaveStepHook({}); }
};

// A drive with the vector folder holding its about-us file from an earlier save.
struct SavedDrive
{
    TestDrive drive;
    QString folder = drive.makeFolder(QStringLiteral("lumenquill/vector"));
    QString file = folder + QStringLiteral("/aboutus.txt");

    void writeEarlierText() const
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(kOldBytes);
    }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
}

// Fills the file system holding folder until it refuses another byte.
bool fillUp(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    return filler.error() == QFileDevice::ResourceError;
}

const char* stepName(SaveStep step)
{
    switch (step) {
    case SaveStep::TemporaryCreated:
        return "temporary file created";
    case SaveStep::TextWritten:
        return "text written";
    case SaveStep::TextOnDisk:
        return "text on disk";
    }
    return "?";
}

const auto kOpen = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                   QFile::WriteOther | QFile::ExeOther;
const auto kReadOnlyFolder =
    QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;

// Every folder from the test's home down to the template folder open to every user, so that the
// saves run as "nobody" (when the tests run as root) reach it.
void letEveryoneIn(const SavedDrive& saved)
{
    for (const QString& dir :
         {saved.drive.home(), saved.drive.home() + "/lumen-quill", saved.drive.driveC(),
          saved.drive.driveC() + "/lumenquill", saved.folder})
        QVERIFY(QFile::setPermissions(dir, kOpen));
}

const SaveStep kSteps[] = {SaveStep::TemporaryCreated, SaveStep::TextWritten, SaveStep::TextOnDisk};

} // namespace

class SaveFaultsTest : public QObject
{
    Q_OBJECT

    bool m_canMount = false;
    QTemporaryDir m_locales; // a second language for the system's messages, made for this run
    bool m_hasGerman = false;

private slots:
    void initTestCase()
    {
        // A private mount namespace: a small file system mounted here is seen by this process
        // alone and goes away with it.
        m_canMount = runsAsRoot() && unshare(CLONE_NEWNS) == 0 &&
                     mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!m_canMount)
            qInfo("No file system can be mounted here: the full disk is simulated only.");
        const QString german = m_locales.path() + "/de_DE.UTF-8";
        QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", german});
        m_hasGerman = QFileInfo(german + "/LC_MESSAGES").exists() &&
                      qputenv("LOCPATH", QFile::encodeName(m_locales.path()));
    }

    void aFullDiskKeepsTheEarlierText()
    {
        if (!m_canMount)
            QSKIP("needs root and permission to mount a tmpfs");
        SavedDrive saved;
        QVERIFY(mount("tmpfs", QFile::encodeName(saved.folder).constData(), "tmpfs",
                      MS_NOSUID | MS_NODEV, "size=64k,mode=0755") == 0);
        const auto unmount =
            qScopeGuard([&] { umount2(QFile::encodeName(saved.folder), MNT_DETACH); });
        saved.writeEarlierText();
        QVERIFY(fillUp(saved.folder));

        const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
        QCOMPARE(result.error, SaveError::DiskFull);
        QCOMPARE(result.reason,
                 QStringLiteral("The disk is full. Free some space and save again."));
        QCOMPARE(TestDrive::read(saved.file), kOldBytes);
        QCOMPARE(entriesOf(saved.folder), (QStringList{"aboutus.txt", "filler"}));

        // Once there is room again the same save goes through.
        QVERIFY(QFile::remove(saved.folder + "/filler"));
        QVERIFY(SaveContentFile(kVectorAbout, kNewText));
        QCOMPARE(TestDrive::read(saved.file), kNewText.toLatin1() + "\r\n");
    }

    // Where no file system can be mounted, and for disks that report a full disk only when the
    // bytes are forced out (network and quota file systems), the error comes from the hook.
    void aDiskThatFillsUpAtAnyStepKeepsTheEarlierText()
    {
        for (const SaveStep step : kSteps) {
            SavedDrive saved;
            saved.writeEarlierText();
            StepHookGuard hook([step](SaveStep now) { return now == step ? ENOSPC : 0; });
            const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
            QCOMPARE(result.error, SaveError::DiskFull);
            QVERIFY2(result.reason.contains("disk is full"), stepName(step));
            QCOMPARE(TestDrive::read(saved.file), kOldBytes);
            QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        }
    }

    void aSaveThatFailsPartWayLeavesTheOldTextAndNoTemporaryFile_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("earlierSave");
        for (const SaveStep step : kSteps) {
            QTest::addRow("%s, file existed", stepName(step)) << int(step) << true;
            QTest::addRow("%s, first save", stepName(step)) << int(step) << false;
        }
    }

    void aSaveThatFailsPartWayLeavesTheOldTextAndNoTemporaryFile()
    {
        QFETCH(int, step);
        QFETCH(bool, earlierSave);
        SavedDrive saved;
        if (earlierSave)
            saved.writeEarlierText();
        StepHookGuard hook([step](SaveStep now) { return int(now) == step ? EIO : 0; });
        const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
        QCOMPARE(result.error, SaveError::WriteFailed);
        QCOMPARE(result.reason, QStringLiteral("The system reported: Input/output error."));
        if (earlierSave) {
            QCOMPARE(TestDrive::read(saved.file), kOldBytes);
            QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        } else {
            QCOMPARE(entriesOf(saved.folder), QStringList{});
        }
    }

    // The program itself killed part way, as by a crash or a power cut of the process.
    void aSaveKilledPartWayLeavesTheOldTextAndNoTemporaryFile_data()
    {
        aSaveThatFailsPartWayLeavesTheOldTextAndNoTemporaryFile_data();
    }

    void aSaveKilledPartWayLeavesTheOldTextAndNoTemporaryFile()
    {
        QFETCH(int, step);
        QFETCH(bool, earlierSave);
        SavedDrive saved;
        if (earlierSave)
            saved.writeEarlierText();
        const pid_t child = fork();
        if (child == 0) {
            setSaveStepHook([step](SaveStep now) {
                if (int(now) == step)
                    raise(SIGKILL);
                return 0;
            });
            SaveContentFile(kVectorAbout, kNewText);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "the save was not cut off");
        if (earlierSave) {
            QCOMPARE(TestDrive::read(saved.file), kOldBytes);
            QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        } else {
            QCOMPARE(entriesOf(saved.folder), QStringList{});
        }
    }

    void aFolderReplacedByAFileIsReported_data()
    {
        QTest::addColumn<bool>("duringTheSave");
        QTest::newRow("before the save") << false;
        QTest::newRow("while the save runs") << true;
    }

    void aFolderReplacedByAFileIsReported()
    {
        QFETCH(bool, duringTheSave);
        SavedDrive saved;
        saved.writeEarlierText();
        const QString movedAside = saved.folder + ".moved";
        auto replaceFolder = [&] {
            QDir().rename(saved.folder, movedAside);
            QFile file(saved.folder);
            file.open(QIODevice::WriteOnly);
            file.write("a file where the folder was");
        };
        if (!duringTheSave)
            replaceFolder();
        StepHookGuard hook([&](SaveStep now) {
            if (duringTheSave && now == SaveStep::TextOnDisk)
                replaceFolder();
            return 0;
        });

        const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
        QCOMPARE(result.error, SaveError::FolderMissing);
        QCOMPARE(result.reason, QStringLiteral("\u201C%1\u201D is a file, not a folder.")
                                    .arg(QDir::toNativeSeparators(saved.folder)));
        QCOMPARE(TestDrive::read(saved.folder), QByteArray("a file where the folder was"));
        QCOMPARE(entriesOf(movedAside), QStringList{"aboutus.txt"});
        QCOMPARE(TestDrive::read(movedAside + "/aboutus.txt"), kOldBytes);
    }

    void aContentFileReplacedByAFolderIsReported_data() { aFolderReplacedByAFileIsReported_data(); }

    void aContentFileReplacedByAFolderIsReported()
    {
        QFETCH(bool, duringTheSave);
        SavedDrive saved;
        saved.writeEarlierText();
        auto replaceFile = [&] {
            QFile::remove(saved.file);
            QDir().mkpath(saved.file);
            QFile kept(saved.file + "/kept.txt");
            kept.open(QIODevice::WriteOnly);
            kept.write(kOldBytes);
        };
        if (!duringTheSave)
            replaceFile();
        StepHookGuard hook([&](SaveStep now) {
            if (duringTheSave && now == SaveStep::TextOnDisk)
                replaceFile();
            return 0;
        });

        const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
        QCOMPARE(result.error, SaveError::NotAFile);
        QCOMPARE(result.reason, QStringLiteral("\u201C%1\u201D is a folder, not a text file.")
                                    .arg(QDir::toNativeSeparators(saved.file)));
        QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        QCOMPARE(entriesOf(saved.file), QStringList{"kept.txt"});
        QCOMPARE(TestDrive::read(saved.file + "/kept.txt"), kOldBytes);
    }

    // The user's language changes the system's words for an error, never what the program says.
    void failuresAreToldApartWhateverTheSystemsLanguage_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("reason");
        const QString denied = "You do not have permission to write in the folder \u201C%1\u201D.";
        QTest::newRow("access denied") << EACCES << int(SaveError::PermissionDenied) << denied;
        QTest::newRow("not permitted") << EPERM << int(SaveError::PermissionDenied) << denied;
        QTest::newRow("read-only disk") << EROFS << int(SaveError::PermissionDenied) << denied;
        QTest::newRow("quota") << EDQUOT << int(SaveError::DiskFull)
                               << "The disk is full. Free some space and save again.";
    }

    void failuresAreToldApartWhateverTheSystemsLanguage()
    {
        QFETCH(int, error);
        QFETCH(int, expected);
        QFETCH(QString, reason);
        if (!m_hasGerman)
            QSKIP("no second language for the system's messages could be made (localedef)");
        const QByteArray before = setlocale(LC_MESSAGES, nullptr);
        const auto restore = qScopeGuard([&] { setlocale(LC_MESSAGES, before.constData()); });
        if (!setlocale(LC_MESSAGES, "de_DE.UTF-8") ||
            qstrcmp(strerror(EACCES), "Permission denied") == 0)
            QSKIP("the system's messages stay in English here");
        SavedDrive saved;
        saved.writeEarlierText();
        StepHookGuard hook(
            [error](SaveStep now) { return now == SaveStep::TextWritten ? error : 0; });
        const SaveResult result = SaveContentFile(kVectorAbout, kNewText);
        QCOMPARE(int(result.error), expected);
        QCOMPARE(result.reason, reason.contains("%1")
                                    ? reason.arg(QDir::toNativeSeparators(saved.folder))
                                    : reason);
        QCOMPARE(TestDrive::read(saved.file), kOldBytes);
    }

    // A link in the drive switched on and on between a folder inside it and one outside while
    // saves run: not one save may write outside. On a RAM disk where there is one: on a disk, each
    // save's flush holds up the switching for as long. A longer run: LQ_RACE_ROUNDS=20000.
    void aLinkSwitchedDuringSavesNeverLeadsOut()
    {
        const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
        TestDrive drive(base);
        QTemporaryDir outside(base + "/lq-outside-XXXXXX");
        const QString victim = outside.path() + "/aboutus.txt";
        const QByteArray untouched("not the program's to write\r\n");
        writeFile(victim, untouched);
        const QString inside = drive.makeFolder("lumenquill/inside");
        LinkSwitcher switcher(drive.driveC() + "/lumenquill/switch", "inside", outside.path());
        const int rounds = qEnvironmentVariableIntValue("LQ_RACE_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("LQ_RACE_ROUNDS")
                               : 1000;
        int savedInside = 0;
        int writtenOutside = 0;
        // On a busy machine the switcher may hold the link outside for a whole run: go on until
        // something has landed inside as well, so that both sides of the race were met.
        for (int i = 0; i < rounds || (savedInside == 0 && i < 20 * rounds); ++i) {
            const QString text = "aboutus=" + QString::number(i);
            if (SaveContentFile("C:\\lumenquill\\switch\\aboutus.txt", text))
                savedInside += TestDrive::read(inside + "/aboutus.txt") == text.toLatin1() + "\r\n";
            if (TestDrive::read(victim) != untouched || entriesOf(outside.path()).size() != 1) {
                ++writtenOutside;
                QDir(outside.path()).removeRecursively();
                QDir().mkpath(outside.path());
                writeFile(victim, untouched);
            }
        }
        switcher.stop();
        qInfo("%d of %d saves landed inside the drive, %d outside", savedInside, rounds,
              writtenOutside);
        QCOMPARE(writtenOutside, 0);
        QVERIFY(savedInside > 0);
    }

    // What the user may no longer write after a first save. A folder that takes no new file
    // does not stop a save where the file itself may still be written: it goes in place.
    void permissionsTakenAwayBetweenTwoSaves_data()
    {
        QTest::addColumn<QString>("taken");
        QTest::addColumn<int>("expected");
        QTest::newRow("folder made read-only") << "folder read-only" << int(SaveError::None);
        QTest::newRow("folder closed") << "folder closed" << int(SaveError::PermissionDenied);
        QTest::newRow("file made read-only") << "file read-only" << int(SaveError::FileReadOnly);
        QTest::newRow("file given to another user")
            << "file owner" << int(SaveError::PermissionDenied);
        QTest::newRow("folder read-only, file given to another user")
            << "folder read-only, file owner" << int(SaveError::PermissionDenied);
    }

    void permissionsTakenAwayBetweenTwoSaves()
    {
        QFETCH(QString, taken);
        QFETCH(int, expected);
        if (taken.contains("file owner") && !runsAsRoot())
            QSKIP("only root can hand a file to another user");
        SavedDrive saved;
        letEveryoneIn(saved);
        const auto restore = qScopeGuard([&] { QFile::setPermissions(saved.folder, kOpen); });

        const QByteArray first("aboutus=the first save\r\n");
        QCOMPARE(runUnprivileged([] {
                     return int(SaveContentFile(kVectorAbout, "aboutus=the first save").error);
                 }),
                 int(SaveError::None));
        QCOMPARE(TestDrive::read(saved.file), first);

        if (taken.startsWith("folder read-only"))
            QVERIFY(QFile::setPermissions(saved.folder, kReadOnlyFolder));
        else if (taken == "folder closed")
            QVERIFY(QFile::setPermissions(saved.folder, QFile::ReadOwner | QFile::ExeOwner));
        else if (taken == "file read-only")
            QVERIFY(QFile::setPermissions(saved.file, QFile::ReadOwner | QFile::ReadOther));
        if (taken.endsWith("file owner")) {
            QVERIFY(chown(QFile::encodeName(saved.file).constData(), 0, 0) == 0);
            QVERIFY(QFile::setPermissions(saved.file,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        }

        QCOMPARE(runUnprivileged([] { return int(SaveContentFile(kVectorAbout, kNewText).error); }),
                 expected);
        QFile::setPermissions(saved.folder, kOpen);
        const bool saves = expected == int(SaveError::None);
        QCOMPARE(TestDrive::read(saved.file), saves ? kNewText.toLatin1() + "\r\n" : first);
        QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
    }

    // A template folder laid out by an administrator, with content files the user may write:
    // saves go into the file itself, longer and shorter texts alike, byte for byte; a save that
    // fails part way is reported as failed, never confirmed.
    void aFileTheUserMayWriteInAFolderTheyMayNotIsSavedInPlace()
    {
        SavedDrive saved;
        letEveryoneIn(saved);
        saved.writeEarlierText();
        QVERIFY(QFile::setPermissions(saved.file, QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(saved.folder, kReadOnlyFolder));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(saved.folder, kOpen); });

        for (const QString& text : {kNewText, QStringLiteral("aboutus=Café short")}) {
            QCOMPARE(
                runUnprivileged([&] { return int(SaveContentFile(kVectorAbout, text).error); }),
                int(SaveError::None));
            QCOMPARE(TestDrive::read(saved.file), text.toLatin1() + "\r\n");
            QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        }
        for (const SaveStep step : {SaveStep::TextWritten, SaveStep::TextOnDisk}) {
            StepHookGuard hook([step](SaveStep now) { return now == step ? EIO : 0; });
            QCOMPARE(
                runUnprivileged([] { return int(SaveContentFile(kVectorAbout, kNewText).error); }),
                int(SaveError::WriteFailed));
            QCOMPARE(entriesOf(saved.folder), QStringList{"aboutus.txt"});
        }
        // Where the file is not the user's to write either, nothing changes.
        saved.writeEarlierText();
        QVERIFY(QFile::setPermissions(saved.file,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        if (runsAsRoot()) {
            QCOMPARE(
                runUnprivileged([] { return int(SaveContentFile(kVectorAbout, kNewText).error); }),
                int(SaveError::PermissionDenied));
            QCOMPARE(TestDrive::read(saved.file), kOldBytes);
        }
    }

    // In place too, a full disk is found before the earlier text is touched.
    void aFullDiskKeepsTheEarlierTextWhenSavingInPlace()
    {
        if (!m_canMount)
            QSKIP("needs root and permission to mount a tmpfs");
        SavedDrive saved;
        letEveryoneIn(saved);
        // Owned by root, open to nobody else: no new file may be made in it.
        QVERIFY(mount("tmpfs", QFile::encodeName(saved.folder).constData(), "tmpfs",
                      MS_NOSUID | MS_NODEV, "size=64k,mode=0755") == 0);
        const auto unmount =
            qScopeGuard([&] { umount2(QFile::encodeName(saved.folder), MNT_DETACH); });
        saved.writeEarlierText();
        QVERIFY(QFile::setPermissions(saved.file, QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ReadOther | QFile::WriteOther));
        QVERIFY(fillUp(saved.folder));

        // Longer than the page the earlier text takes, so the new one needs room of its own.
        const QString longText = QStringLiteral("aboutus=") + QString(20000, QLatin1Char('n'));
        QCOMPARE(
            runUnprivileged([&] { return int(SaveContentFile(kVectorAbout, longText).error); }),
            int(SaveError::DiskFull));
        QCOMPARE(TestDrive::read(saved.file), kOldBytes);
        QCOMPARE(entriesOf(saved.folder), (QStringList{"aboutus.txt", "filler"}));

        QVERIFY(QFile::remove(saved.folder + "/filler"));
        QCOMPARE(
            runUnprivileged([&] { return int(SaveContentFile(kVectorAbout, longText).error); }),
            int(SaveError::None));
        QCOMPARE(TestDrive::read(saved.file), longText.toLatin1() + "\r\n");
    }
};

QTEST_GUILESS_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"

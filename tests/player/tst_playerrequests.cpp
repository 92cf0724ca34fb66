#include "LinkSwitcher.h"
#include "MovieFile.h"
#include "PlayerLog.h"
#include "PlayerRequests.h"
#include "TestDrive.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QtTest>
#include <atomic>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

using namespace lq;

namespace {

const QString kVectorMovie = QStringLiteral("C:\\lumenquill\\vector\\vector.swf");

// The lines the player's category writes while a test records them.
QStringList g_playerLines;

void recordPlayerLine(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (QByteArrayView(context.category) == QByteArrayView("lumenquill.player"))
        g_playerLines.append(text);
}

// Records the player's lines under the given logging rules, for as long as it lives.
struct PlayerLines
{
    QtMessageHandler previous;

    explicit PlayerLines(const QString& rules)
    {
        QLoggingCategory::setFilterRules(rules);
        g_playerLines.clear();
        previous = qInstallMessageHandler(recordPlayerLine);
    }
    ~PlayerLines()
    {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }
    const QStringList& lines() const { return g_playerLines; }
};

} // namespace

// What the player's server hands out, decided without a server.
class PlayerRequestsTest : public QObject
{
    Q_OBJECT

private:
    static constexpr const char* kSecret = "0123456789abcdef0123456789abcdef";

    struct Fixture
    {
        TestDrive drive;
        QTemporaryDir ruffle;
        PlayerSite site;

        Fixture()
        {
            drive.makeTemplateFolders();
            write(drive.driveC() + "/lumenquill/vector/vector.swf", "FWS-movie");
            write(drive.driveC() + "/lumenquill/vector/aboutus.txt", "aboutus=x\r\n");
            write(drive.driveC() + "/lumen quill/preloader.txt", "pre=x\r\n");
            write(ruffle.path() + "/ruffle.js", "// player");
            write(ruffle.path() + "/core.ruffle.0123.wasm", "wasm");
            write(drive.home() + "/secret.txt", "outside the drive folder");
            site.secret = kSecret;
            site.ruffleFolder = ruffle.path();
            site.host = "127.0.0.1:4242";
        }

        static void write(const QString& path, const QByteArray& bytes)
        {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
            file.write(bytes);
        }

        RequestDecision get(const QByteArray& path, const QByteArray& host = "127.0.0.1:4242") const
        {
            return decideRequest("GET", host, path, site);
        }
    };

    static QByteArray under(const QByteArray& rest) { return QByteArray("/") + kSecret + rest; }

    // What a server would send for a decision, read through the descriptor it is given.
    static QByteArray readDecided(const RequestDecision& decision, const PlayerSite& site)
    {
        if (decision.target != RequestTarget::File)
            return "<refused>";
        QFile file;
        const int fd = openDecidedFile(decision, site);
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle))
            return "<not opened>";
        return file.readAll();
    }

private slots:
    void servesThePageThePlayersFilesAndDriveFiles()
    {
        Fixture f;
        RequestDecision page = f.get(under("/player.html"));
        QCOMPARE(page.target, RequestTarget::PlayerPage);
        QCOMPARE(page.status, 200);
        QCOMPARE(page.mimeType, QByteArray("text/html; charset=utf-8"));

        RequestDecision script = f.get(under("/ruffle/ruffle.js"));
        QCOMPARE(script.target, RequestTarget::File);
        QCOMPARE(TestDrive::read(script.localPath), QByteArray("// player"));
        QCOMPARE(script.mimeType, QByteArray("text/javascript; charset=utf-8"));
        QCOMPARE(f.get(under("/ruffle/core.ruffle.0123.wasm")).mimeType,
                 QByteArray("application/wasm"));

        RequestDecision movie = f.get(under("/drive/c/lumenquill/vector/vector.swf"));
        QCOMPARE(movie.target, RequestTarget::File);
        QCOMPARE(TestDrive::read(movie.localPath), QByteArray("FWS-movie"));
        QCOMPARE(movie.mimeType, QByteArray("application/x-shockwave-flash"));
    }

    void findsDriveFilesWhateverTheLetterCaseAndEncoding()
    {
        Fixture f;
        // The movies ask for their texts spelt their own way; the file system here minds case.
        QCOMPARE(TestDrive::read(f.get(under("/drive/C/LumenQuill/Vector/AboutUs.TXT")).localPath),
                 QByteArray("aboutus=x\r\n"));
        QCOMPARE(TestDrive::read(f.get(under("/drive/c/lumen%20quill/preloader.txt")).localPath),
                 QByteArray("pre=x\r\n"));
        // A query (a movie's "?nocache=123") does not change the file.
        QCOMPARE(f.get(under("/drive/c/lumenquill/vector/aboutus.txt?nocache=123")).target,
                 RequestTarget::File);
        // Letters that need no escape may still arrive escaped.
        QCOMPARE(f.get(under("/drive/c/lumenquill/vector/%61boutus.txt")).target,
                 RequestTarget::File);
    }

    void refusesEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("status");
        const QByteArray s = kSecret;
        QTest::newRow("no secret") << QByteArray("/drive/c/lumenquill/vector/aboutus.txt") << 404;
        QTest::newRow("root") << QByteArray("/") << 404;
        QTest::newRow("secret alone") << "/" + s << 404;
        QTest::newRow("secret and slash") << "/" + s + "/" << 404;
        QTest::newRow("wrong secret")
            << QByteArray("/0123456789abcdef0123456789abcdee/player.html") << 404;
        QTest::newRow("secret prefix") << "/" + s.left(31) + "/player.html" << 404;
        QTest::newRow("secret longer") << "/" + s + "0/player.html" << 404;
        QTest::newRow("secret in upper case") << "/" + s.toUpper() + "/player.html" << 404;
        QTest::newRow("escaped secret") << "/%30" + s.mid(1) + "/player.html" << 404;
        QTest::newRow("no leading slash") << s + "/player.html" << 400;
        QTest::newRow("unknown file") << "/" + s + "/index.html" << 404;
        QTest::newRow("page below page") << "/" + s + "/player.html/x" << 404;
        QTest::newRow("dot dot") << "/" + s + "/drive/c/lumenquill/../../../secret.txt" << 404;
        QTest::newRow("dot dot to the secret") << "/" + s + "/drive/c/../../secret.txt" << 404;
        QTest::newRow("dot") << "/" + s + "/drive/c/./lumenquill/vector/aboutus.txt" << 404;
        QTest::newRow("encoded dot dot") << "/" + s + "/drive/c/%2e%2e/%2E%2E/secret.txt" << 404;
        QTest::newRow("half encoded dot dot") << "/" + s + "/drive/c/.%2e/.%2E/secret.txt" << 404;
        QTest::newRow("encoded slash")
            << "/" + s + "/drive/c/lumenquill%2f..%2f..%2fsecret.txt" << 404;
        QTest::newRow("encoded backslash")
            << "/" + s + "/drive/c/lumenquill%5c..%5c..%5csecret.txt" << 404;
        QTest::newRow("double encoded dot dot")
            << "/" + s + "/drive/c/%252e%252e/secret.txt" << 404;
        QTest::newRow("encoded NUL")
            << "/" + s + "/drive/c/lumenquill/vector/aboutus.txt%00.swf" << 404;
        QTest::newRow("bad escape") << "/" + s + "/drive/c/lumenquill/vector/%zzboutus.txt" << 404;
        QTest::newRow("cut escape") << "/" + s + "/drive/c/lumenquill/vector/aboutus.tx%7" << 404;
        QTest::newRow("not UTF-8") << "/" + s + "/drive/c/lumenquill/vector/%e9.txt" << 404;
        QTest::newRow("colon") << "/" + s + "/drive/c/c:%5csecret.txt" << 404;
        QTest::newRow("empty part") << "/" + s + "/drive/c//lumenquill/vector/aboutus.txt" << 404;
        QTest::newRow("drive folder itself") << "/" + s + "/drive/c" << 404;
        QTest::newRow("a folder") << "/" + s + "/drive/c/lumenquill/vector" << 404;
        QTest::newRow("folder with slash") << "/" + s + "/drive/c/lumenquill/vector/" << 404;
        QTest::newRow("missing file") << "/" + s + "/drive/c/lumenquill/vector/none.txt" << 404;
        QTest::newRow("two letter drive")
            << "/" + s + "/drive/cc/lumenquill/vector/aboutus.txt" << 404;
        QTest::newRow("digit drive") << "/" + s + "/drive/1/lumenquill/vector/aboutus.txt" << 404;
        QTest::newRow("ruffle subfolder") << "/" + s + "/ruffle/x/ruffle.js" << 404;
        QTest::newRow("ruffle climbs") << "/" + s + "/ruffle/../ruffle/ruffle.js" << 404;
        QTest::newRow("ruffle folder") << "/" + s + "/ruffle" << 404;
        QTest::newRow("ruffle hidden file") << "/" + s + "/ruffle/.ruffle.js" << 404;
        // Refused before anything is looked up: such paths once froze the program for seconds.
        QTest::newRow("64 KB path")
            << "/" + s + "/drive/c/" + QByteArray(32000, 'a').replace("a", "a/") << 414;
        QTest::newRow("too many parts")
            << "/" + s + "/drive/c/" + QByteArray(80, 'a').replace("a", "a/") + "x.txt" << 414;
        QTest::newRow("too many parts for a drive path")
            << "/" + s + "/drive/c/" + QByteArray(65, 'a').replace("a", "a/") + "x.txt" << 404;
    }

    void refusesEverythingElse()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, status);
        Fixture f;
        Fixture::write(f.ruffle.path() + "/.ruffle.js", "hidden");
        const RequestDecision decision = f.get(path);
        QCOMPARE(decision.target, RequestTarget::Refused);
        QCOMPARE(decision.status, status);
        QVERIFY(decision.localPath.isEmpty());
    }

    void refusesSymbolicLinksOutOfTheDriveFolder()
    {
        Fixture f;
        QVERIFY(QFile::link(f.drive.home() + "/secret.txt",
                            f.drive.driveC() + "/lumenquill/vector/services.txt"));
        QVERIFY(QFile::link(f.drive.home(), f.drive.driveC() + "/lumenquill/outside"));
        QCOMPARE(f.get(under("/drive/c/lumenquill/vector/services.txt")).target,
                 RequestTarget::Refused);
        QCOMPARE(f.get(under("/drive/c/lumenquill/outside/secret.txt")).target,
                 RequestTarget::Refused);
        // A link that stays inside the drive folder leads where it points.
        QVERIFY(QFile::link(f.drive.driveC() + "/lumenquill/vector/aboutus.txt",
                            f.drive.driveC() + "/lumenquill/vector/clients.txt"));
        QCOMPARE(TestDrive::read(f.get(under("/drive/c/lumenquill/vector/clients.txt")).localPath),
                 QByteArray("aboutus=x\r\n"));
        // Nor is a link in the player's folder followed out of it.
        QVERIFY(QFile::link(f.drive.home() + "/secret.txt", f.ruffle.path() + "/leak.js"));
        QCOMPARE(f.get(under("/ruffle/leak.js")).target, RequestTarget::Refused);
    }

    void refusesEveryMethodButGetAndPost_data()
    {
        QTest::addColumn<QByteArray>("method");
        for (const char* method : {"PUT", "DELETE", "HEAD", "OPTIONS", "PATCH", "get", "post", ""})
            QTest::newRow(*method ? method : "empty") << QByteArray(method);
    }

    void refusesEveryMethodButGetAndPost()
    {
        QFETCH(QByteArray, method);
        Fixture f;
        for (const char* path : {"/player.html", "/drive/c/lumenquill/vector/aboutus.txt"}) {
            const RequestDecision decision =
                decideRequest(method, "127.0.0.1:4242", under(path), f.site);
            QCOMPARE(decision.target, RequestTarget::Refused);
            QCOMPARE(decision.status, 405);
        }
    }

    // A movie's loadVariables(url, "POST") reads the same text as a GET would; the page is not
    // something to post to.
    void aPostReadsTheSameFileAsAGet()
    {
        Fixture f;
        for (const char* path : {"/drive/C/LumenQuill/Vector/AboutUs.TXT", "/ruffle/ruffle.js"}) {
            const RequestDecision got = f.get(under(path));
            const RequestDecision posted = decideRequest("POST", f.site.host, under(path), f.site);
            QCOMPARE(posted.target, RequestTarget::File);
            QCOMPARE(posted.localPath, got.localPath);
            QCOMPARE(posted.mimeType, got.mimeType);
        }
        QCOMPARE(decideRequest("POST", f.site.host, under("/player.html"), f.site).status, 405);
    }

    void opensWhatItDecidedAndNothingElse()
    {
        Fixture f;
        for (const char* path : {"/drive/c/LUMENQUILL/vector/aboutus.txt", "/ruffle/ruffle.js"}) {
            const RequestDecision decision = f.get(under(path));
            QCOMPARE(readDecided(decision, f.site), TestDrive::read(decision.localPath));
        }
        // What stands there by the time the file is opened counts: a named pipe is refused at
        // once (never waited on), and so is a link put there since.
        const QString about = f.drive.driveC() + "/lumenquill/vector/aboutus.txt";
        const RequestDecision decided = f.get(under("/drive/c/lumenquill/vector/aboutus.txt"));
        QVERIFY(QFile::remove(about));
        QCOMPARE(mkfifo(QFile::encodeName(about).constData(), 0644), 0);
        QCOMPARE(f.get(under("/drive/c/lumenquill/vector/aboutus.txt")).status, 404);
        QCOMPARE(openDecidedFile(decided, f.site), -1);
        QVERIFY(QFile::remove(about));
        QVERIFY(QFile::link(f.drive.home() + "/secret.txt", about));
        QCOMPARE(openDecidedFile(decided, f.site), -1);
        QCOMPARE(openDecidedFile(RequestDecision{}, f.site), -1);
    }

    // A link in the drive switched on and on between a folder inside it and one outside while
    // the server decides and opens: not one answer may come from outside. A longer run:
    // LQ_RACE_ROUNDS=4000.
    void aLinkSwitchedMeanwhileNeverLeadsOut()
    {
        Fixture f;
        QTemporaryDir outside;
        Fixture::write(outside.path() + "/aboutus.txt", "outside");
        const QString inside = f.drive.makeFolder("lumenquill/inside");
        Fixture::write(inside + "/aboutus.txt", "inside");
        LinkSwitcher switcher(f.drive.driveC() + "/lumenquill/switch", "inside", outside.path());
        const int rounds = qEnvironmentVariableIntValue("LQ_RACE_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("LQ_RACE_ROUNDS")
                               : 1000;
        int insideReads = 0;
        int outsideReads = 0;
        // On a busy machine the switcher may hold the link outside for a whole run: go on until
        // something has landed inside as well, so that both sides of the race were met.
        for (int i = 0; i < rounds || (insideReads == 0 && i < 20 * rounds); ++i) {
            const QByteArray read =
                readDecided(f.get(under("/drive/c/lumenquill/switch/aboutus.txt")), f.site);
            insideReads += read == "inside";
            outsideReads += read == "outside";
        }
        switcher.stop();
        qInfo("%d of %d requests read the file inside the drive, %d outside", insideReads, rounds,
              outsideReads);
        QCOMPARE(outsideReads, 0);
        QVERIFY(insideReads > 0);
    }

    void refusesAnotherHost()
    {
        // A page elsewhere that gets its name to resolve to 127.0.0.1 still names its own host.
        Fixture f;
        QCOMPARE(f.get(under("/player.html"), "evil.example:4242").status, 403);
        QCOMPARE(f.get(under("/player.html"), "").status, 403);
        QCOMPARE(f.get(under("/player.html"), "127.0.0.1:4243").status, 403);
    }

    void namesEveryMoviePathUnderTheSecret()
    {
        const QByteArray secret = "abc";
        QCOMPARE(urlPathForWindowsPath("C:\\lumenquill\\vector\\vector.swf", secret),
                 QByteArray("/abc/drive/c/lumenquill/vector/vector.swf"));
        QCOMPARE(urlPathForWindowsPath("c:\\lumen quill\\preloader.swf", secret),
                 QByteArray("/abc/drive/c/lumen%20quill/preloader.swf"));
        QCOMPARE(urlPathForFolderOf("c:\\lumen quill\\preloader.swf", secret),
                 QByteArray("/abc/drive/c/lumen%20quill/"));
        QCOMPARE(urlPathForFolderOf("C:\\lumenquill\\flowers\\Flowers.swf", secret),
                 QByteArray("/abc/drive/c/lumenquill/flowers/"));
        QCOMPARE(urlPathForWindowsPath("C:\\a#b\\%?.swf", secret),
                 QByteArray("/abc/drive/c/a%23b/%25%3F.swf"));
        for (const char* bad : {"", "lumenquill\\vector.swf", "C:", "C:\\", "C:\\..\\x.swf",
                                "\\\\server\\share\\x.swf"})
            QVERIFY2(urlPathForWindowsPath(QString::fromLatin1(bad), secret).isEmpty(), bad);
    }

    void whatItNamesIsWhatItServes()
    {
        // A movie path turned into a URL leads back to the same file, and so does a text
        // named relative to the movie's folder.
        Fixture f;
        const QByteArray movie =
            urlPathForWindowsPath("C:\\lumenquill\\vector\\vector.swf", kSecret);
        QCOMPARE(TestDrive::read(f.get(movie).localPath), QByteArray("FWS-movie"));
        const QByteArray folder = urlPathForFolderOf("c:\\lumen quill\\preloader.swf", kSecret);
        QCOMPARE(TestDrive::read(f.get(folder + "preloader.txt").localPath),
                 QByteArray("pre=x\r\n"));
    }

    void makesANewUnguessableSecretEachTime()
    {
        QSet<QByteArray> seen;
        for (int i = 0; i < 50; ++i) {
            const QByteArray secret = makeSecret();
            QCOMPARE(secret.size(), 32);
            QVERIFY(
                QRegularExpression("^[0-9a-f]{32}$").match(QString::fromLatin1(secret)).hasMatch());
            seen.insert(secret);
        }
        QCOMPARE(seen.size(), 50);
    }

    static std::optional<QString> vectorMovieProblem()
    {
        return movieFileProblem(DrivePaths::locate(kVectorMovie));
    }

    // What a movie file is told to be before the player is asked; the rest is the player's to find.
    void aMovieFileIsCheckedBeforeItIsPlayed_data()
    {
        // "<none>": no file; "<folder>", "<fifo>": those; "<link to fifo>": a link inside the
        // drive to a named pipe; "<link>": a link inside the drive to a whole movie.
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem"); // empty: left to the player
        const QByteArray fws = "FWS\x05" + QByteArray("\x11\0\0\0", 4);
        QTest::newRow("missing") << QByteArray("<none>") << "the file is not there";
        QTest::newRow("folder") << QByteArray("<folder>") << "a folder stands in its place";
        QTest::newRow("pipe") << QByteArray("<fifo>") << "a named pipe stands in its place";
        QTest::newRow("link to a pipe")
            << QByteArray("<link to fifo>") << "a named pipe stands in its place";
        QTest::newRow("link to a movie") << QByteArray("<link>") << QString();
        QTest::newRow("empty") << QByteArray() << "the file is empty";
        QTest::newRow("text") << QByteArray("This is no movie.") << "the file is not a Flash movie";
        QTest::newRow("header cut") << QByteArray("CWS\x0a") << "the file is cut short";
        QTest::newRow("body cut") << fws + QByteArray(4, '\0') << "the file is cut short";
        QTest::newRow("whole") << fws + QByteArray(9, '\0') << QString();
        QTest::newRow("compressed") << QByteArray("CWS\x0a\x40\0\0\0garbage", 15) << QString();
        QTest::newRow("lzma") << QByteArray("ZWS\x0d\x40\0\0\0garbage", 15) << QString();
    }

    void aMovieFileIsCheckedBeforeItIsPlayed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        TestDrive drive;
        const QString folder = drive.makeFolder("lumenquill/vector");
        const QString movie = folder + "/vector.swf";
        const QByteArray local = QFile::encodeName(movie);
        if (bytes == "<folder>") {
            QVERIFY(QDir().mkdir(movie));
        } else if (bytes == "<fifo>") {
            QCOMPARE(mkfifo(local.constData(), 0644), 0);
        } else if (bytes == "<link to fifo>") {
            QCOMPARE(mkfifo(QFile::encodeName(folder + "/pipe").constData(), 0644), 0);
            QCOMPARE(symlink("pipe", local.constData()), 0);
        } else if (bytes == "<link>") {
            Fixture::write(folder + "/real.swf", QByteArray("FWS\x05\x08\0\0\0", 8));
            QCOMPARE(symlink("real.swf", local.constData()), 0);
        } else if (bytes != "<none>") {
            Fixture::write(movie, bytes);
        }
        QCOMPARE(vectorMovieProblem().value_or(QString()), problem);
    }

    // The check never waits on a named pipe, even one put in the movie's place between the look
    // at what stands there and the opening.
    void aNamedPipeSwappedInIsNeverWaitedOn()
    {
        TestDrive drive;
        const QString folder = drive.makeFolder("lumenquill/vector");
        const QByteArray movie = QFile::encodeName(folder + "/vector.swf");
        const QByteArray file = QFile::encodeName(folder + "/file");
        const QByteArray pipe = QFile::encodeName(folder + "/pipe");
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            for (bool useFile = true; !stop; useFile = !useFile) {
                if (useFile)
                    Fixture::write(QFile::decodeName(file), QByteArray("FWS\x05\x08\0\0\0", 8));
                else
                    ::mkfifo(pipe.constData(), 0644);
                std::rename((useFile ? file : pipe).constData(), movie.constData());
            }
        });
        QSet<QString> said;
        for (int i = 0; i < 2000; ++i)
            said.insert(vectorMovieProblem().value_or(QStringLiteral("<plays>")));
        stop = true;
        swapper.join();
        // Before the first swap nothing is there; what was looked at may have changed by the
        // time it is opened, which is said as a file that cannot be read.
        const QSet<QString> fair{"<plays>", "a named pipe stands in its place",
                                 "the file is not there", "the file cannot be read"};
        QVERIFY2((said - fair).isEmpty(), qPrintable(QStringList(said.values()).join(" | ")));
    }

    void aMovieFileThatMayNotBeReadIsSaidSo()
    {
        TestDrive drive;
        const QString folder = drive.makeFolder("lumenquill/vector");
        for (const QString& dir : {drive.home(), drive.home() + "/lumen-quill", drive.driveC(),
                                   drive.driveC() + "/lumenquill"})
            QVERIFY(QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::ExeOther));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ExeOther));
        const QString movie = folder + "/vector.swf";
        Fixture::write(movie, QByteArray("FWS\x05\x08\0\0\0", 8));
        QVERIFY(QFile::setPermissions(movie, QFileDevice::WriteOwner));
        const int verdict = runUnprivileged([&] {
            return vectorMovieProblem() == QStringLiteral("this user may not read the file") ? 0
                                                                                             : 1;
        });
        QCOMPARE(verdict, 0);
    }

    // What the page and its movies say reaches the log without the secret, a line at a time,
    // cut short, and no faster than the gate lets it.
    void theLogGateKeepsTheSecretOutAndTheLogSmall()
    {
        const QString secret = QString::fromLatin1(kSecret);
        const QString site = "http://127.0.0.1:4242/" + secret;
        PlayerLogGate gate(QUrl(site + "/player.html"));
        QCOMPARE(gate.clean("loading " + site + "/drive/c/lumenquill/cube/cube.swf failed"),
                 QString("loading /drive/c/lumenquill/cube/cube.swf failed"));
        QCOMPARE(gate.clean("_url=HTTP://127.0.0.1:4242/" + secret.toUpper() + "/x.swf"),
                 QString("_url=/x.swf"));
        QCOMPARE(gate.clean("escaped " + secret.toUpper() + "!"), QString("escaped <secret>!"));
        QCOMPARE(gate.clean("one\nfaked line\r"), QString("one\\nfaked line\\r"));

        // The secret is taken out before the line is cut, so no part of it stays at the bound.
        const QString straddling =
            QString(PlayerLogGate::kMaxLineChars - 10, 'x') + secret + QString(5000, 'y');
        const QString cut = gate.clean(straddling);
        QVERIFY2(cut.startsWith(QString(PlayerLogGate::kMaxLineChars - 10, 'x') + "<secret>"),
                 qPrintable(cut));
        QVERIFY(
            cut.endsWith(QStringLiteral(" [cut: %1 characters in all]").arg(straddling.size())));
        QVERIFY(cut.size() < PlayerLogGate::kMaxLineChars + 40);
        QVERIFY(!cut.contains(secret.left(8)));
        QCOMPARE(gate.clean(QString(PlayerLogGate::kMaxLineChars, 'z')),
                 QString(PlayerLogGate::kMaxLineChars, 'z'));
    }

    void theLogGateLetsAFewLinesASecondThrough()
    {
        PlayerLines recorded("lumenquill.player.debug=true");
        PlayerLogGate gate(QUrl("http://127.0.0.1:4242/" + QString(kSecret) + "/player.html"));
        for (int i = 0; i < 500; ++i) {
            if (gate.admits(QtDebugMsg, i))
                gate.write(QtDebugMsg, "line " + QString::number(i));
        }
        QCOMPARE(recorded.lines().size(), PlayerLogGate::kLinesPerSecond);
        QCOMPARE(recorded.lines().last(),
                 "line " + QString::number(PlayerLogGate::kLinesPerSecond - 1));
        // The next second begins with what was left out.
        QVERIFY(gate.admits(QtDebugMsg, 1000));
        QCOMPARE(recorded.lines().value(PlayerLogGate::kLinesPerSecond),
                 QStringLiteral("%1 more lines from the player were not logged (more than %2 a "
                                "second)")
                     .arg(500 - PlayerLogGate::kLinesPerSecond)
                     .arg(PlayerLogGate::kLinesPerSecond));
    }

    // Only warnings by default: what a movie says is for a developer who asks for it.
    void thePlayersChatterIsOffByDefault()
    {
        PlayerLines recorded{QString()};
        PlayerLogGate gate(QUrl("http://127.0.0.1:4242/" + QString(kSecret) + "/player.html"));
        QVERIFY(!gate.admits(QtDebugMsg));
        gate.log(QtDebugMsg, "movie fscommand");
        gate.log(QtInfoMsg, "page: an error of the movie's");
        QCOMPARE(recorded.lines(), QStringList());
        gate.log(QtWarningMsg, "the preview could not start");
        QCOMPARE(recorded.lines(), QStringList{"the preview could not start"});
    }
};

QTEST_GUILESS_MAIN(PlayerRequestsTest)
#include "tst_playerrequests.moc"

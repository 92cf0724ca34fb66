#include "AnsiCodec.h"
#include "PublicationPage.h"
#include "Publishing.h"
#include "Tables.h"
#include "TestDrive.h"
#include "Unprivileged.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <sched.h>
#include <sys/mount.h>

using namespace lq;

namespace {

const QString kDataFolder = QStringLiteral(LQ_DATA_DIR);
const QString kVectorFolder = QStringLiteral("lumenquill/vector");

// Every file below a folder, relative to it, with its bytes.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), TestDrive::read(path));
    }
    return files;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QStringList vectorTextNames()
{
    QStringList names;
    for (const ContentFile& file : contentFiles()) {
        if (file.effectName == QLatin1String("Vector"))
            names << file.path.section(QLatin1Char('\\'), -1);
    }
    return names;
}

// The inline scripts of a page and the hashes its policy allows.
QStringList inlineScriptHashes(const QByteArray& page)
{
    QStringList hashes;
    for (qsizetype from = page.indexOf("<script>"); from >= 0;
         from = page.indexOf("<script>", from)) {
        from += 8;
        const qsizetype to = page.indexOf("</script>", from);
        hashes << QString::fromLatin1(
            QCryptographicHash::hash(page.mid(from, to - from), QCryptographicHash::Sha256)
                .toBase64());
        from = to;
    }
    return hashes;
}

QString policyOf(const QByteArray& page)
{
    const QRegularExpression meta(
        QStringLiteral("http-equiv=\"Content-Security-Policy\" content=\"([^\"]*)\""));
    return meta.match(QString::fromUtf8(page)).captured(1);
}

QString scriptSources(const QString& policy)
{
    return policy.section(QStringLiteral("script-src "), 1).section(QLatin1Char(';'), 0, 0);
}

} // namespace

class PublishingTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDrive> m_drive;
    QTemporaryDir m_out;
    QByteArray m_movie;
    bool m_canMount = false;

    QString vectorFile(const QString& name) const
    {
        return m_drive->driveC() + QLatin1Char('/') + kVectorFolder + QLatin1Char('/') + name;
    }

    PublishOutcome publish(PublicationForm form, const QString& target,
                           const QString& effect = QStringLiteral("Vector")) const
    {
        return publishTemplate({effect, form, target, kDataFolder});
    }

private slots:
    void initTestCase()
    {
        QFile movie(kDataFolder + QStringLiteral("/drive_c/lumenquill/vector/vector.swf"));
        QVERIFY2(movie.open(QIODevice::ReadOnly), "the build's stand-in movies are missing");
        m_movie = movie.readAll();
        // A private mount namespace, so that a small disk can be mounted for this process alone.
        m_canMount = runsAsRoot() && unshare(CLONE_NEWNS) == 0 &&
                     mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

    // A drive as a user leaves it: the Vector movie and its texts, one with "Café" and "€".
    void init()
    {
        m_drive = std::make_unique<TestDrive>();
        m_drive->makeTemplateFolders();
        writeFile(vectorFile(QStringLiteral("vector.swf")), m_movie);
        for (const ContentFile& file : contentFiles()) {
            if (file.effectName != QLatin1String("Vector"))
                continue;
            const QString name = file.path.section(QLatin1Char('\\'), -1);
            const QString text = name == QLatin1String("aboutus.txt")
                                     ? QStringLiteral("aboutus=Café <b>co</b> for 5 €")
                                     : file.variable() + QStringLiteral("=") + name;
            writeFile(vectorFile(name), encodeAnsi(text).bytes + "\r\n");
        }
    }

    void webFolderHoldsTheMovieItsTextsAndThePlayer()
    {
        const QString target = m_out.filePath(QStringLiteral("site"));
        const PublishOutcome outcome = publish(PublicationForm::WebFolder, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.written, target);
        QVERIFY(outcome.missingContentFiles.isEmpty());

        const QMap<QString, QByteArray> files = tree(target);
        QCOMPARE(files.value(QStringLiteral("vector.swf")), m_movie);
        for (const QString& name : vectorTextNames())
            QCOMPARE(files.value(name), TestDrive::read(vectorFile(name)));
        QStringList expected = vectorTextNames();
        expected << QStringLiteral("index.html") << QStringLiteral("vector.swf");
        for (const QString& name : entriesOf(kDataFolder + QStringLiteral("/ruffle"))) {
            expected << QStringLiteral("ruffle/") + name;
            QCOMPARE(files.value(QStringLiteral("ruffle/") + name),
                     TestDrive::read(kDataFolder + QStringLiteral("/ruffle/") + name));
        }
        expected.sort();
        QCOMPARE(files.keys(), expected);
        QVERIFY(expected.contains(QStringLiteral("ruffle/LICENSE_MIT")));
        // Nothing of the writing is left beside it.
        QCOMPARE(entriesOf(m_out.path()), QStringList{QStringLiteral("site")});

        const QByteArray index = files.value(QStringLiteral("index.html"));
        QVERIFY(index.contains(kPublicationMarker.toByteArray()));
        QVERIFY(index.contains("url: \"vector.swf\""));
        QVERIFY(index.contains("<p>Café &lt;b&gt;co&lt;/b&gt; for 5 €</p>"));
    }

    // The page's scripts run only by their hashes: a javascript: URL of a movie never runs, and
    // a hash that does not match would keep the movie from playing at all.
    void pagesAllowTheirOwnScriptsAndNoOthers_data()
    {
        QTest::addColumn<PublicationForm>("form");
        QTest::addColumn<QString>("name");
        QTest::newRow("web folder") << PublicationForm::WebFolder << QStringLiteral("site");
        QTest::newRow("one page") << PublicationForm::SinglePage << QStringLiteral("Vector.html");
    }

    void pagesAllowTheirOwnScriptsAndNoOthers()
    {
        QFETCH(PublicationForm, form);
        QFETCH(QString, name);
        const QString target = m_out.filePath(name);
        const PublishOutcome outcome = publish(form, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        const QByteArray page = TestDrive::read(
            form == PublicationForm::WebFolder ? target + QStringLiteral("/index.html") : target);
        const QString scripts = scriptSources(policyOf(page));
        QVERIFY(!scripts.isEmpty());
        QVERIFY(!scripts.contains(QStringLiteral("unsafe-inline")));
        QVERIFY(!scripts.contains(QStringLiteral("'unsafe-eval'")));
        QVERIFY(scripts.contains(QStringLiteral("'wasm-unsafe-eval'")));
        QVERIFY(policyOf(page).contains(QStringLiteral("style-src 'unsafe-inline'")));
        const QStringList hashes = inlineScriptHashes(page);
        QVERIFY(hashes.size() >= 2);
        for (const QString& hash : hashes)
            QVERIFY2(scripts.contains(QStringLiteral("'sha256-") + hash + QLatin1Char('\'')),
                     qPrintable(hash));
    }

    void onePageCarriesTheMovieAndTheSavedBytes()
    {
        const QString target = m_out.filePath(QStringLiteral("Vector.html"));
        const PublishOutcome outcome = publish(PublicationForm::SinglePage, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(entriesOf(m_out.path()), QStringList{QStringLiteral("Vector.html")});
        const QByteArray page = TestDrive::read(target);
        QVERIFY(page.startsWith("<!DOCTYPE html>"));
        QVERIFY(page.contains(kPublicationMarker.toByteArray()));
        QVERIFY(page.contains(">" + m_movie.toBase64() + "<"));
        for (const QString& name : vectorTextNames())
            QVERIFY2(page.contains("\"" + name.toUtf8() + "\":\"data:text/plain;base64," +
                                   TestDrive::read(vectorFile(name)).toBase64() + "\""),
                     qPrintable(name));
        QVERIFY(page.contains("<p>Café &lt;b&gt;co&lt;/b&gt; for 5 €</p>"));
        // Nothing is fetched from elsewhere: no file of the player is named as a source.
        QVERIFY(!page.contains("src=\""));
    }

    void fallbackTextIsWhatTheMovieReads_data()
    {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cp1252") << QByteArray("t=Caf\xe9 \x80 \x93quoted\x94\r\n")
                                << QStringLiteral("<p>Café € “quoted”</p>");
        QTest::newRow("url form") << QByteArray("t=a+b%41%e9&other=x\r\n")
                                  << QStringLiteral("<p>a bAé</p>");
        QTest::newRow("further equals") << QByteArray("t=x=y\r\n") << QStringLiteral("<p>x=y</p>");
        QTest::newRow("markup") << QByteArray("t=<script>\"'\r\n")
                                << QStringLiteral("<p>&lt;script&gt;&quot;'</p>");
        QTest::newRow("no variable") << QByteArray("\r\n") << QString();
    }

    void fallbackTextIsWhatTheMovieReads()
    {
        QFETCH(QByteArray, saved);
        QFETCH(QString, shown);
        QCOMPARE(fallbackHtml({{QStringLiteral("t.txt"), saved}}), shown);
    }

    void earlierPublicationIsReplaced_data() { pagesAllowTheirOwnScriptsAndNoOthers_data(); }

    void earlierPublicationIsReplaced()
    {
        QFETCH(PublicationForm, form);
        QFETCH(QString, name);
        const QString target = m_out.filePath(name);
        QVERIFY(publish(form, target).ok);
        if (form == PublicationForm::WebFolder)
            writeFile(target + QStringLiteral("/old.txt"), "left from before");
        writeFile(vectorFile(QStringLiteral("clients.txt")), "clients=Second text\r\n");

        const PublishOutcome again = publish(form, target);
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(entriesOf(m_out.path()), QStringList{name});
        if (form == PublicationForm::WebFolder) {
            QCOMPARE(TestDrive::read(target + QStringLiteral("/clients.txt")),
                     QByteArray("clients=Second text\r\n"));
            QVERIFY(!QFile::exists(target + QStringLiteral("/old.txt")));
        } else {
            QVERIFY(TestDrive::read(target).contains("<p>Second text</p>"));
        }
    }

    void foreignTargetIsRefusedAndLeftAsItWas_data()
    {
        QTest::addColumn<PublicationForm>("form");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file"); // below the target; empty: the target is the file
        QTest::newRow("folder of other files")
            << PublicationForm::WebFolder << QStringLiteral("site") << QStringLiteral("notes.txt");
        QTest::newRow("folder with its own index.html")
            << PublicationForm::WebFolder << QStringLiteral("site") << QStringLiteral("index.html");
        QTest::newRow("page of another maker")
            << PublicationForm::SinglePage << QStringLiteral("Vector.html") << QString();
    }

    void foreignTargetIsRefusedAndLeftAsItWas()
    {
        QFETCH(PublicationForm, form);
        QFETCH(QString, name);
        QFETCH(QString, file);
        const QString target = m_out.filePath(name);
        if (!file.isEmpty())
            QDir().mkpath(target);
        writeFile(file.isEmpty() ? target : target + QLatin1Char('/') + file,
                  "<html>my own page</html>");
        const auto before = tree(m_out.path());

        const PublishOutcome outcome = publish(form, target);
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.error.contains(target), qPrintable(outcome.error));
        QVERIFY2(outcome.error.contains(QStringLiteral("not a publication of Lumen Quill")),
                 qPrintable(outcome.error));
        QVERIFY(!outcome.error.contains(QLatin1Char('\n')));
        QCOMPARE(tree(m_out.path()), before);
        QCOMPARE(entriesOf(m_out.path()), QStringList{name});
    }

    void whatCannotBeReadIsNamed_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named"); // the path the message must name, relative to vector
        QTest::addColumn<QString>("reason");
        QTest::newRow("no movie") << "no movie"
                                  << "vector.swf"
                                  << "there is no movie at";
        QTest::newRow("not a movie") << "not swf"
                                     << "vector.swf"
                                     << "is not a Flash movie";
        QTest::newRow("text leads out") << "link out"
                                        << ""
                                        << "leads out of the drive folder";
        QTest::newRow("folder for a text") << "folder"
                                           << "contact.txt"
                                           << "is a folder";
    }

    void whatCannotBeReadIsNamed()
    {
        QFETCH(QString, damage);
        QFETCH(QString, named);
        QFETCH(QString, reason);
        QTemporaryDir outside;
        if (damage == QLatin1String("no movie")) {
            QFile::remove(vectorFile(QStringLiteral("vector.swf")));
        } else if (damage == QLatin1String("not swf")) {
            writeFile(vectorFile(QStringLiteral("vector.swf")), "<html>not a movie</html>");
        } else if (damage == QLatin1String("link out")) {
            writeFile(outside.filePath(QStringLiteral("secret.txt")), "aboutus=secret");
            QFile::remove(vectorFile(QStringLiteral("aboutus.txt")));
            QVERIFY(QFile::link(outside.filePath(QStringLiteral("secret.txt")),
                                vectorFile(QStringLiteral("aboutus.txt"))));
        } else {
            QFile::remove(vectorFile(QStringLiteral("contact.txt")));
            QDir().mkpath(vectorFile(QStringLiteral("contact.txt")));
        }
        for (const PublicationForm form :
             {PublicationForm::WebFolder, PublicationForm::SinglePage}) {
            const PublishOutcome outcome = publish(form, m_out.filePath(QStringLiteral("out")));
            QVERIFY(!outcome.ok);
            const QString path = named.isEmpty()
                                     ? QStringLiteral("C:\\lumenquill\\vector\\aboutus.txt")
                                     : vectorFile(named);
            QVERIFY2(outcome.error.contains(path), qPrintable(outcome.error));
            QVERIFY2(outcome.error.contains(reason), qPrintable(outcome.error));
            QVERIFY(!outcome.error.contains(QStringLiteral("secret")));
            QVERIFY(entriesOf(m_out.path()).isEmpty());
        }
    }

    void missingTextIsPublishedWithoutAndReported()
    {
        QFile::remove(vectorFile(QStringLiteral("services.txt")));
        const QString target = m_out.filePath(QStringLiteral("site"));
        const PublishOutcome outcome = publish(PublicationForm::WebFolder, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.missingContentFiles,
                 QStringList{QStringLiteral("C:\\lumenquill\\vector\\services.txt")});
        QVERIFY(!QFile::exists(target + QStringLiteral("/services.txt")));
        QVERIFY(QFile::exists(target + QStringLiteral("/clients.txt")));
    }

    void unknownTemplateIsRefused()
    {
        const PublishOutcome outcome =
            publish(PublicationForm::WebFolder, m_out.filePath(QStringLiteral("x")),
                    QStringLiteral("vector")); // the list compares with letter case
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.error.contains(QStringLiteral("Vector")), qPrintable(outcome.error));
        QVERIFY(entriesOf(m_out.path()).isEmpty());
    }

    void unwritableTargetIsNamed()
    {
        if (!runsAsRoot())
            QSKIP("needs root to run the publication as another user");
        // The user "nobody" reads the drive and the program's files, and may not write here.
        for (QString path = m_drive->home(); path != QLatin1String("/");
             path = QFileInfo(path).absolutePath())
            QFile::setPermissions(path,
                                  QFile::permissions(path) | QFile::ReadOther | QFile::ExeOther);
        const QString folder = m_out.filePath(QStringLiteral("locked"));
        QDir().mkpath(folder);
        QFile::setPermissions(m_out.path(), QFile::permissions(m_out.path()) | QFile::ExeOther);
        QFile::setPermissions(folder, QFile::ReadOther | QFile::ExeOther | QFile::ReadOwner |
                                          QFile::WriteOwner | QFile::ExeOwner);
        const QString target = folder + QStringLiteral("/site");
        const int result = runUnprivileged([&] {
            const PublishOutcome outcome = publish(PublicationForm::WebFolder, target);
            return !outcome.ok && outcome.error.contains(folder) &&
                           outcome.error.contains(QStringLiteral("permission"))
                       ? 0
                       : 1;
        });
        QCOMPARE(result, 0);
        QVERIFY(entriesOf(folder).isEmpty());
    }

    void fullDiskLeavesNothing()
    {
        if (!m_canMount)
            QSKIP("needs root and permission to mount a tmpfs");
        const QString disk = m_out.filePath(QStringLiteral("small"));
        QDir().mkpath(disk);
        QVERIFY(mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=2m") == 0);
        const auto unmount = qScopeGuard([&] { umount2(QFile::encodeName(disk), MNT_DETACH); });
        for (const PublicationForm form :
             {PublicationForm::WebFolder, PublicationForm::SinglePage}) {
            const PublishOutcome outcome = publish(form, disk + QStringLiteral("/site"));
            QVERIFY(!outcome.ok);
            QVERIFY2(outcome.error.contains(QStringLiteral("the disk is full")),
                     qPrintable(outcome.error));
            // Named as the user named it, not by the hidden name it was written under first.
            QVERIFY2(outcome.error.contains(disk + QStringLiteral("/site")),
                     qPrintable(outcome.error));
            QVERIFY2(!outcome.error.contains(QStringLiteral(".publishing")),
                     qPrintable(outcome.error));
            QVERIFY(entriesOf(disk).isEmpty());
        }
    }

    void defaultTargetsAndPublishableEffects()
    {
        QCOMPARE(defaultPublicationTarget(QStringLiteral("3d"), PublicationForm::SinglePage,
                                          QStringLiteral("/home/u/Documents")),
                 QStringLiteral("/home/u/Documents/3d.html"));
        QCOMPARE(defaultPublicationTarget(QStringLiteral("3d"), PublicationForm::WebFolder,
                                          QStringLiteral("/home/u/Documents")),
                 QStringLiteral("/home/u/Documents/3d"));
        QStringList withTemplate;
        for (const Template& entry : templates())
            withTemplate << entry.effectName;
        QCOMPARE(publishableEffects().size(), 8);
        for (const QString& name : publishableEffects())
            QVERIFY(withTemplate.contains(name));
    }

    // Every template publishes from a fresh drive with its stand-in movie, as the command line
    // does on a new machine: exit codes, what is said, and no display needed.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on standard output for 0, standard error otherwise
        QTest::newRow("folder") << QStringList{"--publish", "Vector", "@/site"} << 0
                                << "Published Vector to @/site";
        QTest::newRow("page")
            << QStringList{"--publish-file", "flower", "@/f.html"} << 0
            << "Not there, published without it: C:\\lumenquill\\flowers\\intro.txt";
        QTest::newRow("unknown") << QStringList{"--publish", "Nothing", "@/x"} << 1
                                 << "Cannot publish Nothing: it is not a template";
        QTest::newRow("no target") << QStringList{"--publish-file", "Vector"} << 2
                                   << "Give the template and where to publish it";
        QTest::newRow("both forms") << QStringList{"--publish", "--publish-file", "a", "b"} << 2
                                    << "Give one of --publish, --publish-file or --upload";
        QTest::newRow("upload, not an address")
            << QStringList{"--upload", "Vector", "http://example.org/"} << 2
            << "is not an address to upload to";
        QTest::newRow("upload, plain FTP unconfirmed")
            << QStringList{"--upload", "Vector", "ftp://127.0.0.1/site"} << 2
            << "plain FTP sends your password readable";
        QTest::newRow("upload, nothing listens")
            << QStringList{"--upload", "Vector", "sftp://127.0.0.1:1/site"} << 1
            << "refused the connection on port 1";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "lumenquill 1.0.0";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const TestDrive fresh;
        arguments.replaceInStrings(QStringLiteral("@"), m_out.path());
        said.replace(QStringLiteral("@"), m_out.path());
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(LQ_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2((exitCode == 0 ? out : err).contains(said), qPrintable(out + err));
        if (exitCode != 0)
            QCOMPARE(err.count(QLatin1Char('\n')), 1);
        // The first start's folders were laid out on the fresh drive.
        if (exitCode == 0 && arguments.size() == 3)
            QVERIFY(QFileInfo(fresh.driveC() + QStringLiteral("/lumenquill/vector")).isDir());
    }

    void cleanup()
    {
        m_drive.reset();
        for (const QString& name : entriesOf(m_out.path())) {
            QFile::remove(m_out.filePath(name));
            QDir(m_out.filePath(name)).removeRecursively();
        }
    }
};

QTEST_GUILESS_MAIN(PublishingTest)
#include "tst_publishing.moc"

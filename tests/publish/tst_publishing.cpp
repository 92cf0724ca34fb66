#include "AnsiCodec.h"
#include "ContentText.h"
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
#include <cstdio>
#include <dlfcn.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace lq;

namespace {

// Done once, right before the next rename that publishing asks for: what the user (or another
// program) does between publishing's decision to replace the target and its swap.
std::function<void()> g_beforeRename;

} // namespace

// Stands in for the C library's renameat2 in this process, the core library's calls included.
extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) noexcept
{
    using Rename = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat2"));
    if (const auto action = std::exchange(g_beforeRename, nullptr))
        action();
    return real(fromFolder, from, toFolder, to, flags);
}

namespace {

const QString kDataFolder = QStringLiteral(LQ_DATA_DIR);
const QString kVectorFolder = QStringLiteral("lumenquill/vector");
const QString kPackedPlayer = kDataFolder + QStringLiteral("/publish/player");

// The binary parts of a one-page publication, as its page script reads them back (base 85, the
// digits in the order the page gives them).
QByteArray fromBase85(const QByteArray& text)
{
    static const QByteArray digits = "!#%()*+,-./0123456789:;=?ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_"
                                     "abcdefghijklmnopqrstuvwxyz{|}~";
    QByteArray bytes;
    for (qsizetype at = 0; at < text.size(); at += 5) {
        quint64 value = 0;
        for (qsizetype i = at; i < at + 5; ++i)
            value = value * 85 + (i < text.size() ? digits.indexOf(text.at(i)) : 84);
        const qsizetype count = std::min<qsizetype>(4, text.size() - at - 1);
        for (qsizetype b = 0; b < count; ++b)
            bytes.append(char(value >> (24 - 8 * b)));
    }
    return bytes;
}

// One side of a content-text case (tests/support/content_text_cases.txt): \r \n \t \\, \xHH as
// `byte` makes it, \R{N:HH} as N characters HH.
QString unescaped(const QString& text, const std::function<QString(char)>& byte)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar e = c == QLatin1Char('\\') ? text.at(++i) : QChar();
        if (e.isNull()) {
            out += c;
        } else if (e == QLatin1Char('x')) {
            out += byte(char(text.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else if (e == QLatin1Char('R')) {
            const qsizetype close = text.indexOf(QLatin1Char('}'), i);
            const QStringList run = text.mid(i + 2, close - i - 2).split(QLatin1Char(':'));
            out += QString(run[0].toInt(), QChar(run[1].toInt(nullptr, 16)));
            i = close;
        } else {
            out += e == QLatin1Char('r')   ? QChar('\r')
                   : e == QLatin1Char('n') ? QChar('\n')
                   : e == QLatin1Char('t') ? QChar('\t')
                                           : e;
        }
    }
    return out;
}

// The text of the element with this id in a page.
QByteArray elementText(const QByteArray& page, const QByteArray& id)
{
    const qsizetype open = page.indexOf('>', page.indexOf("id=\"" + id + "\"")) + 1;
    return page.mid(open, page.indexOf('<', open) - open);
}

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

// The sources of one directive of a policy.
QStringList sourcesOf(const QString& policy, const QString& directive)
{
    return policy.section(directive + QLatin1Char(' '), 1)
        .section(QLatin1Char(';'), 0, 0)
        .split(QLatin1Char(' '));
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
        return publishTemplate(
            {.effectName = effect, .form = form, .target = target, .dataFolder = kDataFolder});
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
        for (const QString& name : entriesOf(kPackedPlayer)) {
            expected << QStringLiteral("ruffle/") + name;
            QCOMPARE(files.value(QStringLiteral("ruffle/") + name),
                     TestDrive::read(kPackedPlayer + QLatin1Char('/') + name));
        }
        expected.sort();
        QCOMPARE(files.keys(), expected);
        QVERIFY(expected.contains(QStringLiteral("ruffle/LICENSE_MIT")));
        // What a visitor fetches of the player is its gzipped code: no plain wasm is carried.
        QVERIFY(expected.contains(QStringLiteral("ruffle/ruffle.js.gz")));
        QVERIFY(expected.filter(QStringLiteral(".wasm")).size() >= 1);
        for (const QString& name : expected)
            QVERIFY2(!name.endsWith(QLatin1String(".wasm")), qPrintable(name));
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
        const QStringList scripts = sourcesOf(policyOf(page), QStringLiteral("script-src"));
        QVERIFY(!scripts.isEmpty());
        QVERIFY(!scripts.contains(QStringLiteral("'unsafe-inline'")));
        QVERIFY(!scripts.contains(QStringLiteral("'unsafe-eval'")));
        QVERIFY(scripts.contains(QStringLiteral("'wasm-unsafe-eval'")));
        QVERIFY(sourcesOf(policyOf(page), QStringLiteral("style-src"))
                    .contains(QStringLiteral("'unsafe-inline'")));
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
        QCOMPARE(fromBase85(elementText(page, "movie-data")), m_movie);
        QCOMPARE(fromBase85(elementText(page, "player-code")).left(2), QByteArray("\x1f\x8b"));
        for (const QString& name : vectorTextNames())
            QVERIFY2(page.contains("\"" + name.toUtf8() + "\":\"data:text/plain;base64," +
                                   TestDrive::read(vectorFile(name)).toBase64() + "\""),
                     qPrintable(name));
        QVERIFY(page.contains("<p>Café &lt;b&gt;co&lt;/b&gt; for 5 €</p>"));
        // Nothing is fetched from elsewhere: no file of the player is named as a source.
        QVERIFY(!page.contains("src=\""));
    }

    // What the page says of a content file is what our movies show of it: the cases the movies
    // are tested with too. "\\xHH" is a byte (in the text, its Windows-1252 character), "\\R{N:HH}"
    // N bytes HH (in the text, N such characters).
    void pageTextIsWhatTheMovieShows_data()
    {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("shown");
        QFile cases(QStringLiteral(LQ_CONTENT_TEXT_CASES));
        QVERIFY(cases.open(QIODevice::ReadOnly));
        const auto asBytes = [](char b) { return QString(QChar(uchar(b))); };
        const auto asText = [](char b) { return decodeWindows1252(QByteArray(1, b)); };
        for (const QByteArray& line : cases.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QList<QByteArray> parts = line.split('\t');
            const QString shown = parts[1] == "<left out>"
                                      ? QString()
                                      : unescaped(QString::fromUtf8(parts[1]), asText);
            QTest::newRow(line.left(40).constData())
                << unescaped(QString::fromLatin1(parts[0]), asBytes).toLatin1() << shown;
        }
    }

    void pageTextIsWhatTheMovieShows()
    {
        QFETCH(QByteArray, saved);
        QFETCH(QString, shown);
        QCOMPARE(contentText(saved), shown);
        // The file a publication carries shows the same, and is never more than 64 KiB and a "…".
        const QByteArray carried = publishedContentFile(saved);
        QCOMPARE(contentText(carried), shown);
        QVERIFY(carried.size() <= kContentReadLimit + 1);
        if (carried != saved)
            QVERIFY(carried.endsWith('\x85'));
    }

    // The page names the site: its title, its summary and its language, never the template.
    void pageNamesTheSite_data()
    {
        QTest::addColumn<QByteArray>("title"); // the template's title text; empty: none
        QTest::addColumn<QByteArray>("first"); // its first section
        QTest::addColumn<QString>("given");    // the page title the user gave
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("description");
        const QByteArray longText = "t=Fresh bread & rolls every morning, from our oven in the "
                                    "old town to your table, baked with flour from the mill.";
        QTest::newRow("title text first")
            << QByteArray("title=Crumb & Co.") << QByteArray("t=Bread") << "Mine"
            << "Crumb & Co."
            << "Bread";
        QTest::newRow("empty title text: the given title")
            << QByteArray("title=\r\n") << QByteArray("t=Bread") << "  Crumb   bakery "
            << "Crumb bakery"
            << "Bread";
        QTest::newRow("no title: first words")
            << QByteArray() << longText << QString()
            << "Fresh bread & rolls every morning, from our…"
            << "Fresh bread & rolls every morning, from our oven in the old town to your table, "
               "baked with flour from the mill.";
        QTest::newRow("nothing at all")
            << QByteArray() << QByteArray("t=") << QString() << QString() << QString();
    }

    void pageNamesTheSite()
    {
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, first);
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QFETCH(QString, description);
        PageContent content{.givenTitle = given,
                            .language = QStringLiteral("de-AT"),
                            .movieName = QStringLiteral("vector.swf"),
                            .movie = m_movie,
                            .texts = {},
                            .dataFolder = kDataFolder};
        content.texts << MovieText{QStringLiteral("aboutus.txt"), first,
                                   QStringLiteral("About us")};
        if (!title.isEmpty())
            content.texts << MovieText{QStringLiteral("title.txt"), title, QStringLiteral("Title"),
                                       true};
        QCOMPARE(pageTitle(content), expected);
        QCOMPARE(pageDescription(content), description);
        const QString texts = textsHtml(content);
        QCOMPARE(texts.contains(QStringLiteral("<h1>")), !title.isEmpty() || !given.isEmpty());
        QCOMPARE(texts.contains(QStringLiteral("<h2>About us</h2>")),
                 !contentText(first).isEmpty());
        QVERIFY(!texts.contains(QStringLiteral("<h2>Title</h2>")));
        for (const auto build : {buildFolderPage, buildSinglePage}) {
            const QString page = QString::fromUtf8(build(content, nullptr));
            QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>\n<html lang=\"de-AT\">")));
            QVERIFY2(page.contains(QStringLiteral("<title>") + expected.toHtmlEscaped() +
                                   QStringLiteral("</title>")),
                     qPrintable(page.left(800)));
            QVERIFY(page.contains(QStringLiteral("<meta name=\"description\" content=\"") +
                                  description.toHtmlEscaped() + QLatin1Char('"')));
            QVERIFY(page.contains(texts));
            QVERIFY(!page.contains(QStringLiteral("Vector")));
        }
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
        QTest::newRow("movie cut short") << "cut short"
                                         << "vector.swf"
                                         << "cannot be played: the file is cut short";
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
        } else if (damage == QLatin1String("cut short")) {
            writeFile(vectorFile(QStringLiteral("vector.swf")), m_movie.left(m_movie.size() / 2));
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

    void aPlaceTakenWhilePublishingIsLeftToItsOwner_data()
    {
        QTest::addColumn<PublicationForm>("form");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("aside"); // where the new publication is kept
        QTest::addColumn<bool>("earlier");  // a publication of ours stood there at first
        for (const bool earlier : {false, true}) {
            const char* when = earlier ? ", over an earlier one" : ", nothing there";
            QTest::addRow("web folder%s", when) << PublicationForm::WebFolder << "site"
                                                << "site (new)" << earlier;
            QTest::addRow("one page%s", when) << PublicationForm::SinglePage << "Vector.html"
                                              << "Vector (new).html" << earlier;
        }
    }

    void aPlaceTakenWhilePublishingIsLeftToItsOwner()
    {
        QFETCH(PublicationForm, form);
        QFETCH(QString, name);
        QFETCH(QString, aside);
        QFETCH(bool, earlier);
        const QString target = m_out.filePath(name);
        const bool folder = form == PublicationForm::WebFolder;
        const QString usersPage = folder ? target + QStringLiteral("/index.html") : target;
        if (earlier)
            QVERIFY(publish(form, target).ok);
        g_beforeRename = [&] {
            QDir(target).removeRecursively();
            QFile::remove(target);
            if (folder)
                QDir().mkpath(target);
            writeFile(usersPage, "<html>my own site</html>");
        };

        const PublishOutcome outcome = publish(form, target);
        QVERIFY(!outcome.ok);
        QCOMPARE(TestDrive::read(usersPage), QByteArray("<html>my own site</html>"));
        if (folder)
            QCOMPARE(entriesOf(target), QStringList{QStringLiteral("index.html")});
        const QString kept = m_out.filePath(aside);
        QVERIFY2(outcome.error.contains(kept), qPrintable(outcome.error));
        QVERIFY(TestDrive::read(folder ? kept + QStringLiteral("/index.html") : kept)
                    .contains(kPublicationMarker.toByteArray()));
        QStringList expected{aside, name};
        expected.sort();
        QCOMPARE(entriesOf(m_out.path()), expected);
    }

    // As cp and mkdir make them: readable by everyone unless the umask says otherwise.
    void publishedFilesFollowTheUmask_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("022") << 022 << 0755 << 0644;
        QTest::newRow("027") << 027 << 0750 << 0640;
    }

    void publishedFilesFollowTheUmask()
    {
        QFETCH(int, umask);
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        const mode_t before = ::umask(mode_t(umask));
        const auto restore = qScopeGuard([&] { ::umask(before); });
        const QString made = m_out.filePath(QStringLiteral("made"));
        QVERIFY(publish(PublicationForm::WebFolder, made + QStringLiteral("/site")).ok);
        QVERIFY(publish(PublicationForm::SinglePage, made + QStringLiteral("/Vector.html")).ok);
        const auto modeOf = [](const QString& path) {
            struct stat info;
            return ::lstat(QFile::encodeName(path).constData(), &info) == 0
                       ? int(info.st_mode & 07777)
                       : -1;
        };
        QCOMPARE(modeOf(made), folderMode);
        QCOMPARE(modeOf(made + QStringLiteral("/Vector.html")), fileMode);
        QDirIterator it(made + QStringLiteral("/site"),
                        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QCOMPARE(modeOf(made + QStringLiteral("/site")), folderMode);
        while (it.hasNext()) {
            const QFileInfo entry = it.nextFileInfo();
            QCOMPARE(modeOf(entry.filePath()), entry.isDir() ? folderMode : fileMode);
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
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: lumenquill [options]";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("Qt's options beside publishing")
            << QStringList{"-platform", "offscreen", "-reverse", "--publish", "Vector", "@/site"}
            << 0 << "Published Vector to @/site";
#ifndef __SANITIZE_ADDRESS__ // the window's player module loads the web engine, which ASan cannot
        // The window opens (on the platform given), shows and quits once idle (see main.cpp).
        QTest::newRow("Qt's options alone")
            << QStringList{"--platform", "offscreen", "-style=Fusion"} << 0 << "idle ";
#endif
        QTest::newRow("title and language")
            << QStringList{"--publish-file", "Vector", "@/t.html", "--title",
                           "Crumb & Co.",    "--lang", "pt-BR"}
            << 0 << "Published Vector";
        QTest::newRow("not a language")
            << QStringList{"--publish", "Vector", "@/x", "--lang", "en\"><script>"} << 2
            << "is not a language tag";
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
        environment.insert(QStringLiteral("LUMENQUILL_REPORT_IDLE"), QStringLiteral("1"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(LQ_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2((exitCode == 0 ? out : err).contains(said), qPrintable(out + err));
        if (exitCode != 0)
            QCOMPARE(err.count(QLatin1Char('\n')), 1);
        if (arguments.contains(QStringLiteral("--title"))) {
            const QByteArray page = TestDrive::read(m_out.filePath(QStringLiteral("t.html")));
            QVERIFY(page.contains("<html lang=\"pt-BR\">"));
            QVERIFY(page.contains("<title>Crumb &amp; Co.</title>"));
        }
        // The first start's folders were laid out on the fresh drive.
        if (exitCode == 0 && arguments.contains(QStringLiteral("Vector")))
            QVERIFY(QFileInfo(fresh.driveC() + QStringLiteral("/lumenquill/vector")).isDir());
    }

    void cleanup()
    {
        g_beforeRename = nullptr;
        m_drive.reset();
        for (const QString& name : entriesOf(m_out.path())) {
            QFile::remove(m_out.filePath(name));
            QDir(m_out.filePath(name)).removeRecursively();
        }
    }
};

QTEST_GUILESS_MAIN(PublishingTest)
#include "tst_publishing.moc"

#include "DrivePaths.h"
#include "Tables.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace lq;

// The tutorial page as the build lays it out, loaded in a real browser (headless chromium): it
// must render without script errors, broken pictures or missing files, and teach with the words
// the program really shows.
class TutorialPageTest : public QObject
{
    Q_OBJECT

private:
    // What one load of a page showed.
    struct Render
    {
        QStringList problems;  // broken pictures, failed loads, script errors, missing files
        QStringList requested; // local files the browser asked for
        QString text;          // the page's visible text
    };

    QString m_chromium;
    Render m_page;

    static QString installedTutorial()
    {
        return QStringLiteral(LQ_INSTALLED_DATA "/drive_c/lumen quill/tutorial");
    }

    // The page's own probe, run inside the browser: every picture decoded, every in-page link
    // leading somewhere, no load or script error; it leaves its findings in the page.
    static QByteArray probe()
    {
        return R"(<script>
(function () {
  var found = [];
  window.addEventListener('error', function (e) {
    var t = e.target;
    found.push(t && t !== window ? 'failed load: ' + (t.src || t.href) : 'script error: ' + e.message);
  }, true);
  window.addEventListener('load', function () {
    for (var img of document.images)
      if (!img.complete || img.naturalWidth === 0) found.push('broken picture: ' + img.src);
    for (var a of document.querySelectorAll('a[href^="#"]'))
      if (!document.getElementById(a.getAttribute('href').slice(1)))
        found.push('link to nowhere: ' + a.getAttribute('href'));
    var verdict = document.createElement('pre');
    verdict.id = 'probe-verdict';
    verdict.textContent = found.join('\n');
    var text = document.createElement('pre');
    text.id = 'probe-text';
    text.textContent = document.body.innerText;
    document.body.append(verdict, text);
  });
})();
</script>)";
    }

    static void copyFolder(const QString& from, const QString& to)
    {
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString target = to + '/' + QDir(from).relativeFilePath(source);
            QDir().mkpath(QFileInfo(target).path());
            QVERIFY(QFile::copy(source, target));
        }
    }

    static QString unescape(QString html)
    {
        return html.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&nbsp;", " ")
            .replace("&amp;", "&");
    }

    static QString element(const QString& dom, const QString& id)
    {
        const QRegularExpression pattern("<pre id=\"" + id + "\">(.*?)</pre>",
                                         QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = pattern.match(dom);
        return match.hasMatch() ? unescape(match.captured(1)) : QString();
    }

    // Loads a copy of the tutorial folder with one file taken away (none when empty).
    Render render(const QString& withoutFile = {}) const
    {
        Render result;
        QTemporaryDir work;
        const QString folder = work.path() + "/tutorial";
        copyFolder(installedTutorial(), folder);
        QFile page(folder + "/TUTORIAL.HTM");
        if (!page.open(QIODevice::ReadOnly)) {
            result.problems << "no page";
            return result;
        }
        QByteArray html = page.readAll();
        page.close();
        html.replace("<head>", "<head>\n" + probe());
        if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            result.problems << "page not writable";
            return result;
        }
        page.write(html);
        page.close();
        if (!withoutFile.isEmpty() && !QFile::remove(folder + '/' + withoutFile))
            result.problems << "nothing to remove";

        QProcess chromium;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", work.path());
        chromium.setProcessEnvironment(env);
        chromium.start(m_chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync", "--no-first-run",
                                    "--user-data-dir=" + work.path() + "/profile",
                                    // Log every file the page asks for, and the console, on stderr.
                                    "--enable-logging=stderr", "--log-level=0",
                                    "--vmodule=file_url_loader_factory=1", "--dump-dom",
                                    QUrl::fromLocalFile(page.fileName()).toString()});
        if (!chromium.waitForFinished(60000)) {
            chromium.kill();
            chromium.waitForFinished();
            result.problems << "chromium did not finish";
            return result;
        }
        if (chromium.exitCode() != 0)
            result.problems << "chromium exited with " + QString::number(chromium.exitCode());

        const QString dom = QString::fromUtf8(chromium.readAllStandardOutput());
        if (!dom.contains("id=\"probe-verdict\""))
            result.problems << "the page's probe did not run";
        for (const QString& line : element(dom, "probe-verdict").split('\n', Qt::SkipEmptyParts))
            result.problems << line;
        result.text = element(dom, "probe-text");

        static const QRegularExpression request("FileURLLoader::Start: (\\S+)");
        static const QRegularExpression console(":CONSOLE[^\\]]*\\] (.*)$");
        for (const QString& line : QString::fromUtf8(chromium.readAllStandardError()).split('\n')) {
            if (const auto m = request.match(line); m.hasMatch()) {
                const QString local = QUrl(m.captured(1)).toLocalFile();
                result.requested << QDir(folder).relativeFilePath(local);
                if (!QFileInfo(local).isFile())
                    result.problems << "missing file: " + QDir(folder).relativeFilePath(local);
            } else if (const auto m = console.match(line); m.hasMatch()) {
                result.problems << "console: " + m.captured(1);
            }
        }
        // Without the request log nothing above would be checked: it must name the page itself.
        if (!result.requested.contains("TUTORIAL.HTM"))
            result.problems << "chromium's request log was not readable";
        return result;
    }

private slots:
    void initTestCase()
    {
        m_chromium = QStandardPaths::findExecutable("chromium");
        if (m_chromium.isEmpty())
            QFAIL("chromium is not installed; scripts/setup.sh installs it");
        QVERIFY2(QFileInfo(installedTutorial() + "/TUTORIAL.HTM").isFile(),
                 "the build did not lay out the tutorial page");
        m_page = render();
    }

    void rendersWithEveryPictureAndNoError()
    {
        QCOMPARE(m_page.problems, QStringList());
        for (const char* used :
             {"tutorial.css", "pictures/main-window.svg", "pictures/name-and-value.svg",
              "pictures/wizard.svg", "pictures/quill.svg", "pictures/effects.png"})
            QVERIFY2(m_page.requested.contains(used), used);
    }

    void aMissingFileIsNoticed_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("problem");
        QTest::newRow("picture in the page") << "pictures/wizard.svg"
                                             << "broken picture: ";
        QTest::newRow("picture of the stylesheet") << "pictures/quill.svg"
                                                   << "missing file: ";
        QTest::newRow("stylesheet") << "tutorial.css"
                                    << "missing file: ";
    }

    void aMissingFileIsNoticed()
    {
        QFETCH(QString, removed);
        QFETCH(QString, problem);
        const Render render = this->render(removed);
        const QStringList found =
            render.problems.filter(problem).filter(QFileInfo(removed).fileName());
        QVERIFY2(!found.isEmpty(), qPrintable(render.problems.join(" | ")));
    }

    void teachesWithTheWordsTheProgramShows()
    {
        QStringList words{"Enter Text",
                          "Launch Effect",
                          "Tutorial1",
                          "Exit",
                          "Publish for the Web\u2026",
                          "About Lumen Quill",
                          "Windows-1252",
                          "XDG_DATA_HOME",
                          "C:\\lumenquill\\vector\\aboutus.txt",
                          "c:\\lumen quill\\preloader.txt"};
        words << effectListEntries().mid(0, templates().size());
        for (const EditorWindow& window : editorWindows()) {
            words << window.caption;
            if (window.wizardStep)
                words << window.wizardStep->caption;
            const QList<ContentFile> files = contentFilesOfWindow(window.name);
            if (window.isWizardPage())
                words << files.first().buttonCaption.trimmed() << files.first().defaultLine;
        }
        words << contentFilesOfWindow("frmvector").first().buttonCaption;

        // The Linux place of a content file, as the program really maps it for a user's home.
        const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", "/home/someone");
        qunsetenv("XDG_DATA_HOME");
        const QString local = *DrivePaths::toLocal("C:\\lumenquill\\vector\\aboutus.txt");
        qputenv("HOME", home);
        if (!dataHome.isEmpty())
            qputenv("XDG_DATA_HOME", dataHome);
        words << QString(local).replace("/home/someone", "~");

        QStringList absent;
        for (const QString& word : words)
            if (!m_page.text.contains(word))
                absent << word;
        QCOMPARE(absent, QStringList());
    }
};

QTEST_GUILESS_MAIN(TutorialPageTest)
#include "tst_tutorialpage.moc"

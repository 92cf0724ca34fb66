#include "Browser.h"
#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PathPreviewPlayer.h"
#include "ProgramEnvironment.h"
#include "TestDrive.h"

#include <QAction>
#include <QtTest>

using namespace lq;

// The desktop's browser as the program really starts it, with a stand-in URL opener on PATH.
class BrowserTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_bin;
    QByteArray m_path;

    // An opener that writes its argument, its parent's process id and two variables of the
    // environment it was given, then lingers a moment as a browser would.
    void installOpener()
    {
        const QString script = m_bin.path() + "/xdg-open";
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n"
                   "printf '%s\\n%s\\n%s\\n%s\\n' \"$1\" \"$PPID\" \"${QT_QUICK_BACKEND-unset}\" "
                   "\"${QTWEBENGINE_CHROMIUM_FLAGS-unset}\" > \"$0.tmp\"\n"
                   "/bin/mv \"$0.tmp\" \"$0.called\"\n"
                   "/bin/sleep 1\n");
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QStringList openerCall() const
    {
        QFile called(m_bin.path() + "/xdg-open.called");
        if (!called.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(called.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        // Only the stand-in can be found: no test ever starts a real browser.
        m_path = qgetenv("PATH");
        qputenv("PATH", m_bin.path().toUtf8());
        QFile::remove(m_bin.path() + "/xdg-open");
        QFile::remove(m_bin.path() + "/xdg-open.called");
    }
    void cleanup() { qputenv("PATH", m_path); }

    void opensTheFileUrlThroughADetachedOpener()
    {
        installOpener();
        TestDrive drive;
        const QString page = drive.driveC() + "/lumen quill/tutorial/TUTORIAL.HTM";
        SystemBrowser browser;
        QVERIFY(browser.open(page));
        QTRY_COMPARE(openerCall().size(), 4);
        QCOMPARE(openerCall().at(0), "file://" + drive.driveC().replace(' ', "%20") +
                                         "/lumen%20quill/tutorial/TUTORIAL.HTM");
        // Not our child: the browser it starts is not ended with the program.
        QVERIFY(openerCall().at(1) != QString::number(QCoreApplication::applicationPid()));
    }

    // The settings the program makes for its own preview stay its own: the browser (perhaps
    // built on Qt or on the same web engine) gets the user's environment.
    void theBrowserGetsTheUsersEnvironmentNotOurs()
    {
        installOpener();
        qunsetenv("QT_QUICK_BACKEND");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--users-own-flag");
        ProgramEnvironment::setDefault("QT_QUICK_BACKEND", "software");
        ProgramEnvironment::set("QTWEBENGINE_CHROMIUM_FLAGS", "--users-own-flag --disable-gpu");
        QCOMPARE(qgetenv("QT_QUICK_BACKEND"), QByteArray("software"));

        SystemBrowser browser;
        QVERIFY(browser.open("/tmp/page.htm"));
        QTRY_COMPARE(openerCall().size(), 4);
        QCOMPARE(openerCall().at(2), QString("unset"));
        QCOMPARE(openerCall().at(3), QString("--users-own-flag"));
    }

    void noOpenerMeansNoBrowser()
    {
        SystemBrowser browser;
        QVERIFY(!browser.open("/tmp/page.htm"));
    }

    void tutorialMenuTellsTheUserWhenNoBrowserStarts()
    {
        TestDrive drive;
        QFile page(drive.makeFolder("lumen quill/tutorial") + "/TUTORIAL.HTM");
        QVERIFY(page.open(QIODevice::WriteOnly));
        MessageRecorder messages;
        MainWindow window(new PathPreviewPlayer);
        window.findChild<QAction*>("mnuTutorialstut1")->trigger();
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY2(messages.last().startsWith("No web browser could be started"),
                 qPrintable(messages.last()));
    }
};

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"

#include "FirstStartRunner.h"
#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PathPreviewPlayer.h"
#include "PublishDialog.h"
#include "RecordingBrowser.h"
#include "Says.h"
#include "TestDrive.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace lq;

// The menu bar and toolbar of the main window: the tutorial page, the about box and the items
// that have no action.
class MenusTest : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        TestDrive drive;
        MessageRecorder messages;
        std::shared_ptr<RecordingBrowser::Record> browser =
            std::make_shared<RecordingBrowser::Record>();
        PathPreviewPlayer* player = new PathPreviewPlayer;
        MainWindow window{player};

        Fixture() { window.setBrowser(RecordingBrowser::make(browser)); }

        QAction* item(const char* name)
        {
            auto* action = window.findChild<QAction*>(QString::fromLatin1(name));
            if (!action)
                qFatal("no menu item %s", name);
            return action;
        }
        QString tutorialOnDisk() const
        {
            return drive.driveC() + QStringLiteral("/lumen quill/tutorial/TUTORIAL.HTM");
        }
        void placeTutorial() const
        {
            QDir().mkpath(QFileInfo(tutorialOnDisk()).path());
            QFile page(tutorialOnDisk());
            if (!page.open(QIODevice::WriteOnly))
                qFatal("cannot place the tutorial page");
        }
    };

    static QWidgetList visibleTopLevels()
    {
        QWidgetList shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                shown << w;
        return shown;
    }

private slots:
    void eachTutorialChoiceOpensTheMappedPageOnceMore()
    {
        Fixture f;
        f.placeTutorial();
        for (int i = 0; i < 3; ++i)
            f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.browser->pages, QStringList(3, f.tutorialOnDisk()));
        QVERIFY(f.messages.texts().isEmpty());
    }

    void aMissingTutorialIsSaidInABoxAndNothingIsHandedOver()
    {
        // The folders of an earlier start are there, the page is not (or a folder has its name).
        Fixture f;
        f.drive.makeTemplateFolders();
        f.item("mnuTutorialstut1")->trigger();
        QDir().mkpath(f.tutorialOnDisk());
        f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.messages.texts().size(), 2);
        for (const QString& text : f.messages.texts())
            QVERIFY2(saysAll(text, {"c:\\lumen quill\\tutorial\\TUTORIAL.HTM",
                                    "not on this computer", f.tutorialOnDisk()}),
                     qPrintable(text));
        QCOMPARE(f.messages.titles(), QStringList(2, "Lumen quill"));
        QVERIFY(f.browser->pages.isEmpty());
    }

    void tutorialFollowsTheLetterCaseFoundOnDisk()
    {
        Fixture f;
        const QString folder = f.drive.makeFolder(QStringLiteral("Lumen Quill/Tutorial"));
        QFile page(folder + QStringLiteral("/Tutorial.htm"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.browser->pages, QStringList{page.fileName()});
    }

    void tutorialWithoutABrowserSaysWhereThePageIs()
    {
        Fixture f;
        f.placeTutorial();
        f.browser->starts = false;
        f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.messages.titles(), QStringList{"Lumen quill"});
        QVERIFY2(saysAll(f.messages.last(), {"No web browser", f.tutorialOnDisk()}),
                 qPrintable(f.messages.last()));
        f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.messages.texts().size(), 2);
    }

    void tutorialFolderLeadingOutOfTheDriveIsNotHandedOver()
    {
        Fixture f;
        QTemporaryDir elsewhere;
        QDir().mkpath(elsewhere.path() + "/tutorial");
        QDir().mkpath(f.drive.driveC());
        QVERIFY(QFile::link(elsewhere.path(), f.drive.driveC() + "/lumen quill"));
        f.item("mnuTutorialstut1")->trigger();
        QVERIFY(f.browser->pages.isEmpty());
        QCOMPARE(f.messages.texts().size(), 1);
        QVERIFY2(f.messages.last().startsWith("The tutorial page \u201Cc:\\lumen quill\\tutorial\\"
                                              "TUTORIAL.HTM\u201D cannot be shown"),
                 qPrintable(f.messages.last()));
    }

    void firstStartLaysOutTheTutorialThatTheMenuOpens()
    {
        // The test runs from build/tests, so the build's own files are found one level up, as
        // under an install prefix.
        Fixture f;
        runFirstStart(QCoreApplication::applicationDirPath());
        QVERIFY(f.messages.texts().isEmpty());
        f.item("mnuTutorialstut1")->trigger();
        QCOMPARE(f.browser->pages, QStringList{f.tutorialOnDisk()});

        const QString source = QStringLiteral(LQ_SOURCE_DATA "/drive_c/lumen quill/tutorial");
        QDirIterator files(source, QDir::Files, QDirIterator::Subdirectories);
        int count = 0;
        while (files.hasNext()) {
            const QString file = files.next();
            const QString laidOut =
                QFileInfo(f.tutorialOnDisk()).path() + '/' + QDir(source).relativeFilePath(file);
            QVERIFY2(TestDrive::read(laidOut) == TestDrive::read(file), qPrintable(laidOut));
            ++count;
        }
        QVERIFY(count >= 2);
    }

    void firstStartWithoutTheProgramsFilesSaysSo()
    {
        Fixture f;
        QTemporaryDir nowhere;
        runFirstStart(nowhere.path());
        QCOMPARE(f.messages.texts().size(), 1);
        QVERIFY2(f.messages.last().startsWith("Lumen Quill could not prepare all of its folders:\n"
                                              "The program's own files were not found"),
                 qPrintable(f.messages.last()));
        QVERIFY(QFileInfo(f.drive.driveC() + "/lumenquill/vector").isDir());
    }

    void aboutBoxShowsOneCapitalLineWithTheVersion()
    {
        Fixture f;
        bool returnedBeforeOk = true;
        f.messages.onShow([&](const QString&) { returnedBeforeOk = false; });
        f.item("mnuAboutFlash")->trigger();
        QVERIFY(!returnedBeforeOk);
        QCOMPARE(f.messages.titles(), QStringList{"Lumen quill"});
        QCOMPARE(
            f.messages.texts(),
            QStringList{"LUMEN QUILL  COPYRIGHT ORVEX SOFTWARE  ALL RIGHTS RESERVED  VERSION 1"});
        QVERIFY(f.browser->pages.isEmpty());
    }

    void publishOpensOneDialogPresetToTheEffectList()
    {
        Fixture f;
        QList<PublishRequest> requests;
        f.window.setPublisher([&](const PublishRequest& request) {
            requests << request;
            return PublishOutcome{true, request.target, {}, {}};
        });
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.findChild<QComboBox*>("Combo1")->setEditText("Matrix");
        f.item("mnuFilePublish")->trigger();
        auto* dialog = f.window.findChild<PublishDialog*>("frmpublish");
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(dialog->findChild<QComboBox*>("cboTemplate")->currentText(), "Matrix");
        f.item("mnuFilePublish")->trigger();
        QCOMPARE(f.window.findChildren<PublishDialog*>().size(), 1);

        // Published, the page goes to the same browser as the tutorial when the user asks.
        QTemporaryDir documents;
        const QString page = documents.path() + "/intro.html";
        auto* target = dialog->findChild<QLineEdit*>("txtTarget");
        target->selectAll();
        QTest::keyClicks(target, page);
        f.messages.takeOffers(true);
        QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().effectName, "Matrix");
        QCOMPARE(f.browser->pages, QStringList{page});
        QCOMPARE(f.messages.titles(), QStringList{"Lumen quill"});
        QTRY_VERIFY(f.window.findChildren<PublishDialog*>().isEmpty());

        // Nothing is remembered: the next dialog proposes the effect list's template again.
        f.window.findChild<QComboBox*>("Combo1")->setEditText("cube");
        f.item("mnuFilePublish")->trigger();
        dialog = f.window.findChild<PublishDialog*>("frmpublish");
        QCOMPARE(dialog->findChild<QComboBox*>("cboTemplate")->currentText(), "cube");
        QVERIFY(dialog->findChild<QLineEdit*>("txtTarget")->text().endsWith("/cube"));
    }

    void publishIsReachedByKeyboardAlone()
    {
        Fixture f;
        f.window.setPublisher([](const PublishRequest&) { return PublishOutcome{}; });
        f.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QVERIFY(f.item("mnuFilePublish")->shortcut().isEmpty());
        // Alt alone puts the keyboard on the menu bar; Down opens File on its first item, and the
        // next one is this.
        QTest::keyClick(&f.window, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyClick(f.window.menuBar(), Qt::Key_Down);
        auto* file = f.window.menuBar()->findChild<QMenu*>("mnuFile");
        QTRY_VERIFY(file->isVisible());
        QCOMPARE(file->activeAction(), f.item("mnuFileFTP"));
        QTest::keyClick(file, Qt::Key_Down);
        QCOMPARE(file->activeAction(), f.item("mnuFilePublish"));
        QTest::keyClick(file, Qt::Key_Return);
        PublishDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = f.window.findChild<PublishDialog*>("frmpublish")) &&
                    dialog->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), dialog->findChild<QWidget*>("cboTemplate"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(f.window.findChildren<PublishDialog*>().isEmpty());
        QVERIFY(f.messages.texts().isEmpty());
    }

    void itemsWithoutAnActionChangeNothing()
    {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        auto* effects = f.window.findChild<QComboBox*>("Combo1");
        auto* kinds = f.window.findChild<QComboBox*>("combo2");
        effects->setEditText("Vector");
        f.window.findChild<QPushButton*>("Cmdeffect")->click();
        kinds->setCurrentIndex(3);
        QSignalSpy editors(&f.window, &MainWindow::editorRequested);
        const QWidgetList shownBefore = visibleTopLevels();
        const int loadsBefore = f.player->loadCount();

        QList<QAction*> inert{f.item("mnuFileFTP"), f.item("mnuTutorialspreview")};
        for (QAction* item : inert) {
            QVERIFY(item->isEnabled());
            QVERIFY(!item->isCheckable());
            QVERIFY(item->shortcut().isEmpty());
            item->trigger();
        }
        auto* toolbar = f.window.findChild<QToolBar*>("Toolbar1");
        QCOMPARE(toolbar->actions().size(), 4);
        for (QAction* button : toolbar->actions()) {
            auto* widget = qobject_cast<QToolButton*>(toolbar->widgetForAction(button));
            QVERIFY(widget);
            QTest::mouseClick(widget, Qt::LeftButton);
        }
        QCoreApplication::processEvents();

        QVERIFY(f.messages.texts().isEmpty());
        QVERIFY(f.browser->pages.isEmpty());
        QCOMPARE(editors.size(), 0);
        QCOMPARE(f.player->loadCount(), loadsBefore);
        QCOMPARE(f.player->movie(), "C:\\lumenquill\\vector\\vector.swf");
        QCOMPARE(effects->currentText(), "Vector");
        QCOMPARE(kinds->currentText(), "fun website");
        QCOMPARE(visibleTopLevels(), shownBefore);
        QVERIFY(f.window.isVisible());
        // Nothing was written into the drive either.
        QVERIFY(!QFileInfo::exists(f.drive.driveC()));
    }
};

QTEST_MAIN(MenusTest)
#include "tst_menus.moc"

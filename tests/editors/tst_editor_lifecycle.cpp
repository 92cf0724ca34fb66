#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PathPreviewPlayer.h"
#include "TestDrive.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace lq;

namespace {

// The objectNames of the program's windows that can be seen, sorted.
QStringList visibleWindows()
{
    QStringList names;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && !widget->objectName().isEmpty())
            names << widget->objectName();
    }
    names.sort();
    return names;
}

int instancesOf(const QString& name)
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->objectName() == name;
    return count;
}

// Lets Qt destroy the windows the user closed.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

QLineEdit* boxOf(QWidget* window)
{
    return static_cast<TextEditorWindow*>(window)->textBoxes().first();
}

// Records the order in which windows are hidden.
class HideRecorder : public QObject
{
public:
    QStringList hidden;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            hidden << watched->objectName();
        return false;
    }
};

} // namespace

class EditorLifecycleTest : public QObject
{
    Q_OBJECT

private:
    struct Program
    {
        WindowRegistry registry;
        MainWindow main{new PathPreviewPlayer};
        QComboBox* effects = main.findChild<QComboBox*>("Combo1");

        Program()
        {
            QObject::connect(&main, &MainWindow::editorRequested, &registry,
                             &WindowRegistry::showWindow);
            main.show();
        }
        void enterText(const QString& effect)
        {
            effects->setEditText(effect);
            main.findChild<QPushButton*>("CMDTEXT")->click();
        }
        void press(const QString& window, const QString& button)
        {
            registry.window(window)->findChild<QPushButton*>(button)->click();
        }
    };

private slots:
    void cleanup()
    {
        settle();
        QCOMPARE(instancesOf("frmvector"), 0);
    }

    void enterTextOpensTheChosenEffectsEditor_data()
    {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("Vector") << "Vector" << QStringList{"FRM1", "frmvector"};
        QTest::newRow("flower") << "flower" << QStringList{"FRM1", "frmFlowers"};
        QTest::newRow("cube") << "cube" << QStringList{"FRM1", "frmcube"};
        QTest::newRow("Preloader") << "Preloader" << QStringList{"FRM1", "frmpre"};
        QTest::newRow("Fireworks") << "Fireworks" << QStringList{"FRM1", "frm2fireworks"};
        QTest::newRow("default text") << "Effects" << QStringList{"FRM1"};
        QTest::newRow("no template") << "smoke" << QStringList{"FRM1"};
        QTest::newRow("lower case") << "vector" << QStringList{"FRM1"};
    }

    void enterTextOpensTheChosenEffectsEditor()
    {
        QFETCH(QString, effect);
        QFETCH(QStringList, shown);
        MessageRecorder messages;
        Program program;
        program.enterText(effect);
        QCOMPARE(visibleWindows(), shown);
        QVERIFY(messages.texts().isEmpty());
    }

    void twoEffectsGiveTwoWindowsSideBySide()
    {
        Program program;
        program.enterText("Vector");
        program.enterText("3d");
        QCOMPARE(visibleWindows(), (QStringList{"FRM1", "frm3d", "frmvector"}));
        // Neither blocks the main window.
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(program.main.isEnabled());
    }

    void aSecondRequestBringsTheSameWindowToTheFrontWithItsText()
    {
        Program program;
        program.enterText("Vector");
        QWidget* vector = program.registry.window("frmvector");
        QVERIFY(QTest::qWaitForWindowActive(vector));
        boxOf(vector)->setText("aboutus=We make things");
        program.enterText("Matrix");
        QVERIFY(QTest::qWaitForWindowActive(program.registry.window("frmmatrix")));

        program.enterText("Vector");
        QVERIFY(QTest::qWaitForWindowActive(vector));
        QCOMPARE(program.registry.window("frmvector"), vector);
        QCOMPARE(instancesOf("frmvector"), 1);
        QCOMPARE(boxOf(vector)->text(), "aboutus=We make things");
    }

    void aMinimisedWindowComesBackOnRequest()
    {
        Program program;
        program.enterText("spirograph");
        QWidget* spiro = program.registry.window("frmspiro");
        spiro->showMinimized();
        program.enterText("spirograph");
        QVERIFY(!spiro->isMinimized());
        QVERIFY(spiro->isVisible());
    }

    void aClosedWindowComesBackWithItsDefaultTexts()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Program program;
        program.enterText("Vector");
        QWidget* vector = program.registry.window("frmvector");
        boxOf(vector)->setText("aboutus=saved text");
        program.press("frmvector", "cmdsavevector");
        QVERIFY(vector->close());
        QCOMPARE(visibleWindows(), QStringList{"FRM1"});
        // Asked for again before Qt has even destroyed the old one: a fresh window all the same.
        program.enterText("Vector");
        QCOMPARE(boxOf(program.registry.window("frmvector"))->text(), "aboutus=enter text here");
        settle();
        QCOMPARE(instancesOf("frmvector"), 1);
        QCOMPARE(visibleWindows(), (QStringList{"FRM1", "frmvector"}));
        // The file keeps what was saved; the window does not read it back.
        QCOMPARE(TestDrive::readWindowsPath("C:\\lumenquill\\vector\\aboutus.txt"),
                 QByteArray("aboutus=saved text\r\n"));
    }

    void forwardButtonsLeadThroughTheWizardInItsOrder()
    {
        Program program;
        program.enterText("Fireworks");
        const QList<QPair<QString, QString>> steps = {{"frm2fireworks", "cmdnext"},
                                                      {"frmvision2", "Command1"},
                                                      {"frmservices1", "cmdnextservice"},
                                                      {"frmclients2", "cmdnextfield"}};
        QStringList open = {"FRM1", "frm2fireworks"};
        const QStringList next = {"frmvision2", "frmservices1", "frmclients2", "frmtitle"};
        for (int i = 0; i < steps.size(); ++i) {
            program.press(steps[i].first, steps[i].second);
            // The page before stays open; the new one is in front of it.
            open << next[i];
            QStringList sorted = open;
            sorted.sort();
            QCOMPARE(visibleWindows(), sorted);
            QVERIFY(QTest::qWaitForWindowActive(program.registry.window(next[i])));
        }
        // Pressing a forward button again makes no second copy.
        program.press("frmvision2", "Command1");
        program.press("frmvision2", "Command1");
        QCOMPARE(instancesOf("frmservices1"), 1);
        QVERIFY(QTest::qWaitForWindowActive(program.registry.window("frmservices1")));
    }

    void endWizardHidesEveryPageAndKeepsTheirTexts()
    {
        MessageRecorder messages;
        TestDrive drive;
        drive.makeTemplateFolders();
        Program program;
        program.enterText("Fireworks");
        program.press("frm2fireworks", "cmdnext");
        program.press("frmvision2", "Command1");
        program.press("frmservices1", "cmdnextservice");
        program.press("frmclients2", "cmdnextfield");
        const QStringList pages = {"frm2fireworks", "frmvision2", "frmservices1", "frmclients2",
                                   "frmtitle"};
        for (const QString& page : pages)
            boxOf(program.registry.window(page))->setText(page + "=typed, not saved");

        HideRecorder hides;
        for (const QString& page : pages)
            program.registry.window(page)->installEventFilter(&hides);
        program.press("frmtitle", "cmdclose");
        QCOMPARE(hides.hidden, (QStringList{"frmservices1", "frmvision2", "frmtitle", "frmclients2",
                                            "frm2fireworks"}));
        QCOMPARE(visibleWindows(), QStringList{"FRM1"});
        QVERIFY(messages.texts().isEmpty());
        for (const ContentFile& row : contentFilesOfWindow("frmtitle"))
            QCOMPARE(TestDrive::readWindowsPath(row.path), QByteArray("<missing>"));

        // "Enter Text" again shows page 1 only, never a later page, with what it held.
        program.enterText("Fireworks");
        QCOMPARE(visibleWindows(), (QStringList{"FRM1", "frm2fireworks"}));
        QCOMPARE(boxOf(program.registry.window("frm2fireworks"))->text(),
                 "frm2fireworks=typed, not saved");
        // Later pages come back through their forward buttons, texts kept.
        program.press("frm2fireworks", "cmdnext");
        QCOMPARE(visibleWindows(), (QStringList{"FRM1", "frm2fireworks", "frmvision2"}));
        QCOMPARE(boxOf(program.registry.window("frmvision2"))->text(),
                 "frmvision2=typed, not saved");
    }

    void endWizardLeavesUnopenedAndClosedPagesAway()
    {
        Program program;
        program.enterText("Vector");
        program.registry.showWindow("frmtitle");
        program.registry.showWindow("frmvision2");
        QVERIFY(program.registry.window("frmvision2")->close());
        program.press("frmtitle", "cmdclose");
        settle();
        QCOMPARE(visibleWindows(), (QStringList{"FRM1", "frmvector"}));
        for (const char* page : {"frm2fireworks", "frmvision2", "frmservices1", "frmclients2"})
            QCOMPARE(instancesOf(page), 0);
        QCOMPARE(instancesOf("frmtitle"), 1);
    }

    void aClosedPageComesBackWithItsDefaultText()
    {
        Program program;
        program.enterText("Fireworks");
        program.press("frm2fireworks", "cmdnext");
        boxOf(program.registry.window("frmvision2"))->setText("ourvision=typed");
        QVERIFY(program.registry.window("frmvision2")->close());
        program.press("frm2fireworks", "cmdnext");
        QCOMPARE(boxOf(program.registry.window("frmvision2"))->text(), "ourvision=enter text here");
    }
};

QTEST_MAIN(EditorLifecycleTest)
#include "tst_editor_lifecycle.moc"

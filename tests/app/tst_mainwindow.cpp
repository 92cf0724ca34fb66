#include "Accessibility.h"
#include "Expectations.h"
#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PathPreviewPlayer.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QWindow>
#include <QtTest>

using namespace lq;

namespace {

// A window the toolkit keeps for itself and never shows, which has an accessible object all the
// same: the web view renders into one, a Qt Quick window titled "Offscreen".
class HelperWindow : public QWindow
{
    class Interface : public QAccessibleObject
    {
    public:
        using QAccessibleObject::QAccessibleObject;
        QAccessibleInterface* parent() const override
        {
            return QAccessible::queryAccessibleInterface(qApp);
        }
        QAccessibleInterface* child(int) const override { return nullptr; }
        int childCount() const override { return 0; }
        int indexOfChild(const QAccessibleInterface*) const override { return -1; }
        QString text(QAccessible::Text) const override
        {
            return static_cast<QWindow*>(object())->title();
        }
        QAccessible::Role role() const override { return QAccessible::Window; }
        QAccessible::State state() const override { return {}; }
    };

public:
    HelperWindow() { QAccessible::registerAccessibleInterface(m_interface); }
    QAccessibleInterface* accessibleRoot() const override { return m_interface; }

private:
    Interface* m_interface = new Interface(this);
};

QString heard(QObject* object, QAccessible::Text text = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(object)->text(text);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        PathPreviewPlayer* player = new PathPreviewPlayer;
        MainWindow window{player};
        QComboBox* effects = window.findChild<QComboBox*>("Combo1");
        QPushButton* launch = window.findChild<QPushButton*>("Cmdeffect");
        QPushButton* enterText = window.findChild<QPushButton*>("CMDTEXT");

        void choose(const QString& text) { effects->setEditText(text); }
    };

    static QAccessibleInterface* window(Fixture& f)
    {
        return QAccessible::queryAccessibleInterface(&f.window);
    }

    static QStringList itemsOf(const QComboBox* box)
    {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

private slots:
    void initTestCase() { Accessibility::install(); }

    void startsWithItsCaptionControlsAndDefaultTexts()
    {
        Fixture f;
        QCOMPARE(f.window.objectName(), "FRM1");
        QCOMPARE(f.window.windowTitle(), "LUMEN QUILL ");
        const Qt::WindowFlags flags = f.window.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!f.window.windowIcon().isNull());

        QCOMPARE(f.effects->currentText(), "Effects");
        QCOMPARE(f.effects->currentIndex(), -1);
        auto* kinds = f.window.findChild<QComboBox*>("combo2");
        QVERIFY(kinds);
        QCOMPARE(kinds->currentText(), "Effects2");
        QCOMPARE(f.enterText->text(), "Enter Text");
        QCOMPARE(f.launch->text(), "Launch Effect");
        auto* preview = f.window.findChild<QGroupBox*>("frme1");
        QVERIFY(preview);
        QCOMPARE(preview->title(), "Preview effect only to see your text inside the flash movie "
                                   "press save and preview");
        QCOMPARE(f.player->parentWidget(), preview);
        QCOMPARE(f.player->objectName(), "ShockwaveFlash1");
        QCOMPARE(f.player->size(), QSize(529, 417));
        QVERIFY(f.player->movie().isEmpty());
        for (const char* name : {"frme2", "frme5", "lbltit4d"})
            QVERIFY2(f.window.findChild<QWidget*>(name), name);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.window.centralWidget()->size(), QSize(718, 533));
    }

    void listsHoldExactlyTheirEntries()
    {
        Fixture f;
        QCOMPARE(itemsOf(f.effects), expected::kEffectEntries);
        QCOMPARE(itemsOf(f.window.findChild<QComboBox*>("combo2")), expected::kWebsiteKinds);
    }

    void typingIntoTheEffectListKeepsTheTextAsTypedAndTheListAsItWas()
    {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QLineEdit* field = f.effects->lineEdit();
        field->selectAll();
        QTest::keyClicks(field, "vector");
        QCOMPARE(f.effects->currentText(), "vector");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(f.effects->currentText(), "vector");
        QCOMPARE(f.effects->count(), 11);
        f.launch->click();
        QVERIFY(f.player->movie().isEmpty());

        field->selectAll();
        QTest::keyClicks(field, "Matrix");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(f.effects->count(), 11);
        f.launch->click();
        QCOMPARE(f.player->movie(), "C:\\lumenquill\\matrix\\matrix.swf");

        field->selectAll();
        QTest::keyClicks(field, "my own effect");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(f.effects->count(), 11);
        QCOMPARE(f.effects->currentText(), "my own effect");
    }

    void launchEffectNamesTheMovieEveryTime()
    {
        Fixture f;
        f.effects->setCurrentIndex(f.effects->findText("Vector"));
        f.launch->click();
        QCOMPARE(f.player->movie(), "C:\\lumenquill\\vector\\vector.swf");
        f.launch->click();
        QCOMPARE(f.player->loadCount(), 2);
        f.choose("flower");
        f.launch->click();
        QCOMPARE(f.player->movie(), "C:\\lumenquill\\flowers\\Flowers.swf");
        f.choose("Preloader");
        f.launch->click();
        QCOMPARE(f.player->movie(), "c:\\lumen quill\\preloader.swf");
    }

    void launchEffectWithoutAMovieLeavesThePlayerAlone_data()
    {
        QTest::addColumn<QString>("effect");
        for (const char* name : {"Effects", "smoke", "circle", "dance", "fireworks", "Vector ", ""})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void launchEffectWithoutAMovieLeavesThePlayerAlone()
    {
        QFETCH(QString, effect);
        MessageRecorder messages;
        Fixture f;
        f.choose("cube");
        f.launch->click();
        f.choose(effect);
        f.launch->click();
        QCOMPARE(f.player->movie(), "C:\\lumenquill\\cube\\cube.swf");
        QCOMPARE(f.player->loadCount(), 1);
        QVERIFY(messages.texts().isEmpty());
    }

    void enterTextAsksForTheEffectsEditor()
    {
        Fixture f;
        QSignalSpy requests(&f.window, &MainWindow::editorRequested);
        for (const char* name : {"flower", "Effects", "smoke", "cube", "CUBE", "Fireworks"}) {
            f.choose(QString::fromLatin1(name));
            f.enterText->click();
        }
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests.at(0).at(0).toString(), "frmFlowers");
        QCOMPARE(requests.at(1).at(0).toString(), "frmcube");
        QCOMPARE(requests.at(2).at(0).toString(), "frm2fireworks");
    }

    void theWebsiteKindChangesNothing()
    {
        Fixture f;
        QSignalSpy requests(&f.window, &MainWindow::editorRequested);
        auto* kinds = f.window.findChild<QComboBox*>("combo2");
        kinds->setCurrentIndex(2);
        kinds->setEditText("Vector");
        f.launch->click();
        f.enterText->click();
        QVERIFY(f.player->movie().isEmpty());
        QCOMPARE(requests.size(), 0);
    }

    void menusAndToolbarCarryTheirItems()
    {
        Fixture f;
        QStringList menus;
        for (QAction* action : f.window.menuBar()->actions()) {
            QStringList items;
            for (QAction* item : action->menu()->actions())
                items << item->objectName() + "=" + item->text();
            menus << action->menu()->objectName() + "=" + action->text() + ": " + items.join(", ");
        }
        QCOMPARE(menus, (QStringList{"mnuFile=File: mnuFileFTP=UPLOAD YOUR SITE, "
                                     "mnuFilePublish=Publish for the Web\u2026, mnuFileExit=Exit",
                                     "mnuTutorials=Tutorials: mnuTutorialstut1=Tutorial1, "
                                     "mnuTutorialspreview=Preview Examples",
                                     "mnuAbout=About: mnuAboutFlash=About Lumen Quill"}));
        auto* toolbar = f.window.findChild<QToolBar*>("Toolbar1");
        QVERIFY(toolbar);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QStringList buttons;
        for (QAction* action : toolbar->actions()) {
            // Every button is on the bar itself, none pushed into an overflow menu.
            QVERIFY(toolbar->widgetForAction(action)->isVisible());
            QCOMPARE(action->icon().availableSizes().contains(QSize(16, 16)), true);
            buttons << action->data().toString() + "|" + action->toolTip();
        }
        QCOMPARE(buttons, (QStringList{"effect|Effects Browser", "Tips |Tips", "web|Orvex Website",
                                       "tutorial|Tutorials"}));
    }

    void tabOrderPutsLaunchBeforeEnterText()
    {
        Fixture f;
        QStringList order;
        QWidget* w = f.window.findChild<QToolBar*>("Toolbar1");
        for (int i = 0; i < 6 && w; ++i, w = w->nextInFocusChain()) {
            // Skip what takes no focus and the parts inside a control (the list's text field).
            while (w && (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() ||
                         w->objectName().startsWith("qt_")))
                w = w->nextInFocusChain();
            if (w)
                order << w->objectName();
        }
        QCOMPARE(order, (QStringList{"Toolbar1", "Combo1", "Cmdeffect", "CMDTEXT", "combo2",
                                     "ShockwaveFlash1"}));
    }

    void readersHearANameForEveryControl()
    {
        Fixture f;
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&f.window);
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), "LUMEN QUILL ");
        QVERIFY(!heard(f.window.findChild<QToolBar*>("Toolbar1")).isEmpty());
        QCOMPARE(heard(f.effects->lineEdit()), "Effect list");
        QCOMPARE(heard(f.window.findChild<QComboBox*>("combo2")->lineEdit()), "Website kind list");
        QCOMPARE(heard(f.player), "Movie preview");
        QCOMPARE(heard(f.player, QAccessible::Description), "No movie");
        // Nothing a sighted user sees changes.
        QCOMPARE(f.effects->currentText(), "Effects");
        QCOMPARE(f.launch->text(), "Launch Effect");
    }

    void thePreviewSaysWhatPlaysAndWhyNot()
    {
        Fixture f;
        f.choose("smoke");
        f.launch->click();
        QCOMPARE(heard(f.player, QAccessible::Description), "No movie");
        f.choose("Vector");
        f.launch->click();
        const QString plays = "Plays the Vector template, C:\\lumenquill\\vector\\vector.swf";
        QCOMPARE(heard(f.player, QAccessible::Description), plays);
        const QString reason = "The movie cannot be played: it is missing.";
        emit f.player->movieFailed(f.player->movie(), reason);
        QCOMPARE(heard(f.player, QAccessible::Description), reason);
        // Launched again, it plays again.
        f.launch->click();
        QCOMPARE(heard(f.player, QAccessible::Description), plays);
    }

    void readersAreOfferedOnlyTheProgramsOwnWindows()
    {
        Fixture f;
        f.window.show();
        HelperWindow helper;
        helper.setTitle("Offscreen");
        helper.create();
        QAccessibleInterface* program = QAccessible::queryAccessibleInterface(qApp);
        QStringList offered;
        for (int i = 0; i < program->childCount(); ++i)
            offered << program->child(i)->text(QAccessible::Name);
        QCOMPARE(offered, QStringList{"LUMEN QUILL "});
        QCOMPARE(program->indexOfChild(window(f)), 0);
    }

    void theFocusInThePreviewIsShown()
    {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* frame = f.window.findChild<QGroupBox*>("frme1");
        // Just left of the player, halfway down: the frame's own background unless it is ringed.
        const QPoint beside = f.player->geometry().topLeft() + QPoint(-2, 200);
        auto colourBeside = [&] { return frame->grab().toImage().pixelColor(beside); };
        const QColor highlight = frame->palette().color(QPalette::Highlight);
        f.launch->setFocus(Qt::TabFocusReason);
        QVERIFY(colourBeside() != highlight);
        f.player->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(colourBeside(), highlight);
        f.launch->setFocus(Qt::BacktabFocusReason);
        QTRY_VERIFY(colourBeside() != highlight);
    }

    void f10OpensTheMenusFromTheKeyboard()
    {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTest::keyClick(f.effects, Qt::Key_F10);
        QMenu* file = f.window.findChild<QMenu*>("mnuFile");
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(file, Qt::Key_Escape);
        QTRY_VERIFY(!file->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"

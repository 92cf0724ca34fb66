#include "Accessibility.h"
#include "Pictures.h"
#include "Tables.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace lq;

namespace {

QStringList allWindows()
{
    QStringList names;
    for (const EditorWindow& window : editorWindows())
        names << window.name;
    return names;
}

QImage pictureOf(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

// What a user reads from top to bottom and left to right: the boxes' texts and the buttons'
// captions.
QStringList columnAsSeen(const TextEditorWindow* window)
{
    QList<QWidget*> controls;
    for (QLineEdit* box : window->findChildren<QLineEdit*>())
        controls << box;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        controls << button;
    std::sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) {
        const QRect ra = a->geometry(), rb = b->geometry();
        return std::pair(ra.top(), ra.left()) < std::pair(rb.top(), rb.left());
    });
    QStringList seen;
    for (QWidget* control : controls) {
        if (auto* box = qobject_cast<QLineEdit*>(control))
            seen << box->objectName() + ": " + box->text();
        else
            seen << static_cast<QPushButton*>(control)->objectName() + ": [" +
                        static_cast<QPushButton*>(control)->text() + "]";
    }
    return seen;
}

} // namespace

class EditorWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Accessibility::install(); }

    void everyWindowIsAPlainOwnerlessTopLevelWindow_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : allWindows())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyWindowIsAPlainOwnerlessTopLevelWindow()
    {
        QFETCH(QString, name);
        WindowRegistry registry;
        TextEditorWindow* window = registry.showWindow(name);
        QVERIFY(window);
        QCOMPARE(window->objectName(), name);
        QVERIFY(window->isWindow());
        QVERIFY(!window->parentWidget());
        QVERIFY(!qobject_cast<QDialog*>(window));
        QCOMPARE(window->windowModality(), Qt::NonModal);
        const Qt::WindowFlags flags = window->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(!(flags & Qt::CustomizeWindowHint)); // minimise, maximise and close all there
        QVERIFY(window->minimumSize().isEmpty() || window->minimumSize() == QSize(0, 0));
        QVERIFY(window->maximumSize().width() > window->width()); // resizable
        QCOMPARE(window->windowTitle(), findEditorWindow(name)->caption);
        // No box stops the user at 32767 characters.
        for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
            QVERIFY(box->maxLength() > 1024 * 1024);
            QVERIFY(!box->isReadOnly());
        }
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault() && !button->autoDefault(),
                     qPrintable(button->objectName()));
        }
    }

    void columnsShowTheirBoxesAndButtonsInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("column");
        QTest::newRow("vector") << "frmvector"
                                << QStringList{
                                       "txt2: aboutus=enter text here",
                                       "cmdsavevector: [save text file]",
                                       "txtclienz: clients=enter text here",
                                       "cmdclienz: [save client information here]",
                                       "txtconzat: contact=enter your information here",
                                       "cmdconti: [save contact information]",
                                       "txtnisiov: ourvision=enter text here",
                                       "cmdvisnoz: [save ourvison information]",
                                       "txtprodec: products1=enter text here",
                                       "cmdprodec: [save product information]",
                                       "txtservik: services=enter text here",
                                       "cmdservik: [save services information]",
                                   };
        QTest::newRow("flowers")
            << "frmFlowers"
            << QStringList{
                   "txtFlower: intro=Enter Text Here",     "CmdFlower: [Save Intro Text]",
                   "txtabut: Aboutus=enter text here",     "cmdabout4: [save about us text]",
                   "txtvido: ourvision=enter text here",   "cmdvisio4: [save our vision text]",
                   "txtclienz: clients=enter text here",   "cmdclients: [save clients text]",
                   "txtsurv: services=enter text here",    "cmdserv: [save services text]",
                   "txtrcontact: contact=enter text here", "cmdcliyents: [save contact text]",
               };
        QTest::newRow("preloader")
            << "frmpre" << QStringList{"txtpre: pre=enter text here", "cmdpre: [Save Intro Text]"};
    }

    void columnsShowTheirBoxesAndButtonsInOrder()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, column);
        WindowRegistry registry;
        QCOMPARE(columnAsSeen(registry.showWindow(name)), column);
    }

    void eachButtonStandsUnderItsBoxFlushRight()
    {
        WindowRegistry registry;
        for (const EditorWindow& descriptor : editorWindows()) {
            if (descriptor.isWizardPage())
                continue;
            TextEditorWindow* window = registry.showWindow(descriptor.name);
            const auto& boxes = window->textBoxes();
            const auto& buttons = window->saveButtons();
            for (int i = 0; i < boxes.size(); ++i) {
                const QRect box = boxes[i]->geometry();
                const QRect button = buttons[i]->geometry();
                const QString where = descriptor.name + "/" + buttons[i]->objectName();
                QVERIFY2(button.top() > box.bottom(), qPrintable(where));
                QCOMPARE(button.right(), box.right());
                QVERIFY2(button.width() < box.width(), qPrintable(where));
                QVERIFY2(button.width() >= buttons[i]->sizeHint().width(), qPrintable(where));
                if (i + 1 < boxes.size())
                    QVERIFY2(boxes[i + 1]->geometry().top() > button.bottom(), qPrintable(where));
                QVERIFY2(window->rect().contains(button), qPrintable(where));
            }
        }
    }

    void labelsSayWhatTheyShould()
    {
        WindowRegistry registry;
        auto* vector = registry.showWindow("frmvector");
        auto* label = vector->findChild<QLabel*>("lblvector");
        QVERIFY(label);
        QCOMPARE(label->text(), "Enter vector text");
        QVERIFY(label->geometry().bottom() < vector->textBoxes().first()->geometry().top());
        QCOMPARE(label->width(), vector->textBoxes().first()->width());

        auto* page1 = registry.showWindow("frm2fireworks");
        auto* top = page1->findChild<QLabel*>("lbl7");
        auto* low = page1->findChild<QLabel*>("lbl3");
        QVERIFY(top && low);
        QCOMPARE(top->text(), "Enter Website Information");
        QCOMPARE(low->text(), "Enter Website Text");
        QVERIFY(top->geometry().bottom() < page1->textBoxes().first()->geometry().top());
        QVERIFY(low->geometry().bottom() < page1->saveButtons().first()->geometry().top());
        QVERIFY(low->geometry().top() > page1->height() / 2);

        // Only these two windows carry labels.
        for (const QString& name : allWindows()) {
            if (name != "frmvector" && name != "frm2fireworks")
                QVERIFY2(registry.showWindow(name)->findChildren<QLabel*>().isEmpty(),
                         qPrintable(name));
        }
    }

    void wizardPagesCarryTheirOwnCaptionsAndButtons()
    {
        WindowRegistry registry;
        const QList<QStringList> pages = {
            {"frm2fireworks", "Enter Text for fireworks effect", "txtfire", "aboutus=entertexthere",
             "cmd4", "Save Text File", "cmdnext", "Proceed to next field"},
            {"frmvision2", "Ourvision text for fireworks", "txtvision", "ourvision=enter text here",
             "cmdvisionsave", "save ourvision info", "Command1", "Proceed to next field"},
            {"frmservices1", "services", "txtservice4", "services= enter text here",
             "cmdservicesave", "save information", "cmdnextservice", "next"},
            {"frmclients2", "Clients", "txtclient", "client1=enter text here", "cmdclientsave",
             "save information ", "cmdnextfield", "next"},
            {"frmtitle", "website title", "txtfiretitle", "title=entercompanyname", "cmdsavefire",
             "save title", "cmdclose", "end wizard"},
        };
        for (const QStringList& page : pages) {
            TextEditorWindow* window = registry.showWindow(page[0]);
            QCOMPARE(window->windowTitle(), page[1]);
            QCOMPARE(window->findChild<QLineEdit*>(page[2])->text(), page[3]);
            auto* save = window->findChild<QPushButton*>(page[4]);
            auto* forward = window->findChild<QPushButton*>(page[6]);
            QVERIFY(save && forward);
            QCOMPARE(save->text(), page[5]);
            QCOMPARE(forward->text(), page[7]);
            // Save bottom left, forward bottom right, the box near the top.
            QVERIFY(save->geometry().right() < forward->geometry().left());
            QCOMPARE(save->geometry().top(), forward->geometry().top());
            QVERIFY(save->geometry().top() > window->height() * 3 / 4);
            QVERIFY(window->textBoxes().first()->geometry().top() < window->height() / 5);
            QVERIFY(window->rect().contains(forward->geometry()));
        }
    }

    void windowIcons()
    {
        WindowRegistry registry;
        auto iconOf = [&](const char* name) { return registry.showWindow(name)->windowIcon(); };
        for (const char* name : {"frmvector", "frmFlowers", "frmspiro", "frmpre", "frm2fireworks"})
            QVERIFY2(!iconOf(name).isNull(), name);
        for (const char* name : {"frm3d", "frmcube", "frmmatrix", "frmvision2", "frmservices1",
                                 "frmclients2", "frmtitle"})
            QVERIFY2(iconOf(name).isNull(), name);
        QCOMPARE(pictureOf(iconOf("frmspiro")), pictureOf(iconOf("frmpre")));
        QVERIFY(pictureOf(iconOf("frmvector")) != pictureOf(iconOf("frmFlowers")));
        QVERIFY(pictureOf(iconOf("frmvector")) != pictureOf(iconOf("frmspiro")));
        QVERIFY(pictureOf(iconOf("frmFlowers")) != pictureOf(iconOf("frmspiro")));
    }

    // A screen reader announces each window as a window and can tell the boxes apart, though their
    // captions (or their lack of one) say nothing of what they hold.
    void readersHearWhatEachBoxHoldsAndWhereItIsSaved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("description");
        QTest::newRow("vector") << "frmvector"
                                << QStringList{"About us text",   "Clients text",  "Contact text",
                                               "Our vision text", "Products text", "Services text"}
                                << QString();
        QTest::newRow("flowers") << "frmFlowers"
                                 << QStringList{"Intro text",   "About us text", "Our vision text",
                                                "Clients text", "Services text", "Contact text"}
                                 << QString();
        QTest::newRow("preloader") << "frmpre" << QStringList{"Intro text"} << QString();
        QTest::newRow("wizard page 1")
            << "frm2fireworks" << QStringList{"About us text"} << "Step 1 of 5";
        QTest::newRow("wizard page 4")
            << "frmclients2" << QStringList{"Clients text"} << "Step 4 of 5";
        QTest::newRow("wizard page 5")
            << "frmtitle" << QStringList{"Website title text"} << "Step 5 of 5";
    }

    void readersHearWhatEachBoxHoldsAndWhereItIsSaved()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, boxes);
        QFETCH(QString, description);
        TextEditorWindow window(*findEditorWindow(name));
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(frame->role(), QAccessible::Window);
        QCOMPARE(frame->text(QAccessible::Name), window.windowTitle());
        QCOMPARE(frame->text(QAccessible::Description), description);
        QStringList heard;
        for (int i = 0; i < window.textBoxes().size(); ++i) {
            heard << QAccessible::queryAccessibleInterface(window.textBoxes()[i])
                         ->text(QAccessible::Name);
            // The button keeps its caption as its name; its description says where it saves.
            QAccessibleInterface* save =
                QAccessible::queryAccessibleInterface(window.saveButtons()[i]);
            QCOMPARE(save->text(QAccessible::Name), window.saveButtons()[i]->text());
            QVERIFY2(save->text(QAccessible::Description)
                         .endsWith(" to " + window.descriptor().contentFiles[i].path),
                     qPrintable(save->text(QAccessible::Description)));
        }
        QCOMPARE(heard, boxes);
    }

    void tabOrderAndFirstFocus_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("matrix") << "frmmatrix"
                                << QStringList{"txtmatrix", "cmdmatrix",  "txttitley",
                                               "cmdtitley", "txtservbob", "cmdservbob",
                                               "txtclent",  "cmdclent",   "txtuscont",
                                               "cmduscont", "txtproone",  "cmdproone"};
        QTest::newRow("preloader") << "frmpre" << QStringList{"txtpre", "cmdpre"};
        QTest::newRow("wizard page 1")
            << "frm2fireworks" << QStringList{"cmd4", "txtfire", "cmdnext"};
        QTest::newRow("wizard page 3")
            << "frmservices1" << QStringList{"txtservice4", "cmdservicesave", "cmdnextservice"};
        QTest::newRow("wizard page 5")
            << "frmtitle" << QStringList{"txtfiretitle", "cmdsavefire", "cmdclose"};
    }

    void tabOrderAndFirstFocus()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, order);
        WindowRegistry registry;
        TextEditorWindow* window = registry.showWindow(name);
        QVERIFY(QTest::qWaitForWindowActive(window));
        // The keyboard focus starts on the first of the order and Tab walks it, round to the start.
        QStringList walked;
        for (int i = 0; i <= order.size(); ++i) {
            walked << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(walked, order + QStringList{order.first()});
    }

    void windowsOpenAtTheirPlaces()
    {
        WindowRegistry registry;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const EditorWindow& descriptor : editorWindows()) {
            TextEditorWindow* window = registry.showWindow(descriptor.name);
            QVERIFY2(screen.contains(window->frameGeometry()), qPrintable(descriptor.name));
            if (descriptor.isWizardPage())
                continue;
            if (window->textBoxes().size() == 6)
                QVERIFY2(window->height() > window->width(), qPrintable(descriptor.name));
        }
        TextEditorWindow* preloader = registry.window("frmpre");
        QVERIFY(preloader->width() > preloader->height());
        QVERIFY((preloader->frameGeometry().center() - screen.center()).manhattanLength() <= 2);

        // Each wizard page covers nearly all of the one before it.
        QPoint previous = registry.window("frm2fireworks")->pos();
        for (const char* name : {"frmvision2", "frmservices1", "frmclients2", "frmtitle"}) {
            const QPoint here = registry.window(name)->pos();
            const QPoint step = here - previous;
            QVERIFY2(step.x() >= 0 && step.x() <= 14, name);
            QVERIFY2(step.y() >= 0 && step.y() <= 28, name);
            QVERIFY2(step != QPoint(), name);
            previous = here;
        }
        // The pages are tall windows of their own size.
        for (const char* name : {"frm2fireworks", "frmtitle"}) {
            const QSize size = registry.window(name)->size();
            QVERIFY2(size.width() >= 372 && size.width() <= 411, name);
            QVERIFY2(size.height() >= 454 && size.height() <= 494, name);
        }
    }

    void resizingMovesNoControl()
    {
        WindowRegistry registry;
        TextEditorWindow* window = registry.showWindow("frmcube");
        QList<QRect> before;
        for (QWidget* child : window->findChildren<QWidget*>())
            before << child->geometry();
        window->resize(window->width() + 200, window->height() - 100);
        QApplication::processEvents();
        QList<QRect> after;
        for (QWidget* child : window->findChildren<QWidget*>())
            after << child->geometry();
        QCOMPARE(after, before);
    }
};

QTEST_MAIN(EditorWindowsTest)
#include "tst_editor_windows.moc"

#include "Expectations.h"
#include "MessageRecorder.h"
#include "SaveContentFile.h"
#include "Tables.h"
#include "TestDrive.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace lq;

namespace {

const QString kVectorMessage = expected::kConfirmation.value("frmvector");
const QString kSpiroMessage = expected::kConfirmation.value("frmspiro");
const QString kWizardMessage = expected::kWizardSaved;

// Every content file the program may write: after one save, all but one must still be missing.
QStringList filesThatExist()
{
    QStringList found;
    for (const ContentFile& row : contentFiles()) {
        const auto local = DrivePaths::toLocal(row.path);
        if (local && QFile::exists(*local))
            found << row.path;
    }
    return found;
}

struct Editor
{
    WindowRegistry registry;
    TextEditorWindow* window = nullptr;

    explicit Editor(const QString& name) { window = registry.showWindow(name); }
    QLineEdit* box(const QString& name) const { return window->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) const { return window->findChild<QPushButton*>(name); }
};

} // namespace

class EditorSavesTest : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the window, the box, the button under it, the file it must write and the message.
    void everySaveButtonWritesItsOwnBoxToItsOwnFile_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        auto row = [](const char* window, const char* box, const char* button, const char* path) {
            QTest::addRow("%s/%s", window, button)
                << QString::fromLatin1(window) << QString::fromLatin1(box)
                << QString::fromLatin1(button) << QString::fromLatin1(path)
                << expected::kConfirmation.value(QString::fromLatin1(window));
        };
        row("frm2fireworks", "txtfire", "cmd4", "C:\\lumenquill\\Fireworks\\aboutus.txt");
        row("frmvision2", "txtvision", "cmdvisionsave", "C:\\lumenquill\\Fireworks\\ourvision.txt");
        row("frmservices1", "txtservice4", "cmdservicesave",
            "C:\\lumenquill\\Fireworks\\services.txt");
        row("frmclients2", "txtclient", "cmdclientsave", "C:\\lumenquill\\Fireworks\\clients.txt");
        row("frmtitle", "txtfiretitle", "cmdsavefire", "C:\\lumenquill\\Fireworks\\title.txt");

        row("frmvector", "txt2", "cmdsavevector", "C:\\lumenquill\\vector\\aboutus.txt");
        row("frmvector", "txtclienz", "cmdclienz", "C:\\lumenquill\\vector\\clients.txt");
        row("frmvector", "txtconzat", "cmdconti", "C:\\lumenquill\\vector\\contact.txt");
        row("frmvector", "txtnisiov", "cmdvisnoz", "C:\\lumenquill\\vector\\ourvision.txt");
        row("frmvector", "txtprodec", "cmdprodec", "C:\\lumenquill\\vector\\products1.txt");
        row("frmvector", "txtservik", "cmdservik", "C:\\lumenquill\\vector\\services.txt");

        row("frm3d", "txt3d", "cmd3dsave", "C:\\lumenquill\\3d\\aboutus.txt");
        row("frm3d", "txtclients12", "cmdclients12", "C:\\lumenquill\\3d\\clients.txt");
        row("frm3d", "txtcontactus1", "cmdcontactus1", "C:\\lumenquill\\3d\\contactus.txt");
        row("frm3d", "txtourvision1", "cmdourvision1", "C:\\lumenquill\\3d\\ourvision.txt");
        row("frm3d", "txtproducts1", "cmdproducts1", "C:\\lumenquill\\3d\\products.txt");
        row("frm3d", "txtservices1", "cmdservices1", "C:\\lumenquill\\3d\\services.txt");

        row("frmFlowers", "txtFlower", "CmdFlower", "C:\\lumenquill\\flowers\\intro.txt");
        row("frmFlowers", "txtabut", "cmdabout4", "C:\\lumenquill\\flowers\\aboutus.txt");
        row("frmFlowers", "txtvido", "cmdvisio4", "C:\\lumenquill\\flowers\\ourvision.txt");
        row("frmFlowers", "txtclienz", "cmdclients", "C:\\lumenquill\\flowers\\clients.txt");
        row("frmFlowers", "txtsurv", "cmdserv", "C:\\lumenquill\\flowers\\services.txt");
        row("frmFlowers", "txtrcontact", "cmdcliyents", "C:\\lumenquill\\flowers\\contact.txt");

        row("frmcube", "txtaboutcube", "cmdcubeaboutus", "C:\\lumenquill\\cube\\aboutus1.txt");
        row("frmcube", "txtClients1", "cmdClients1", "C:\\lumenquill\\cube\\Clients.txt");
        row("frmcube", "txtourvision2", "cmdourvision2", "C:\\lumenquill\\cube\\ourvision.txt");
        row("frmcube", "txtproducts1", "cmdproducts1", "C:\\lumenquill\\cube\\products.txt");
        row("frmcube", "txtservices1", "cmdservices1", "C:\\lumenquill\\cube\\services.txt");
        row("frmcube", "txttitle2", "cmdtitle2", "C:\\lumenquill\\cube\\title.txt");

        row("frmspiro", "txtspiro", "cmdspiro", "C:\\lumenquill\\spirograph\\aboutus.txt");
        row("frmspiro", "txtclientzu", "cmdclientzu", "C:\\lumenquill\\spirograph\\Clients.txt");
        row("frmspiro", "txtContactuszu", "cmdContactuszu",
            "C:\\lumenquill\\spirograph\\Contactus.txt");
        row("frmspiro", "txtintrozu", "cmdintrozu", "C:\\lumenquill\\spirograph\\intro.txt");
        row("frmspiro", "txtProdcuts1", "cmdProdcuts1", "C:\\lumenquill\\spirograph\\Prodcuts.txt");
        row("frmspiro", "txtServiceszu", "cmdServiceszu",
            "C:\\lumenquill\\spirograph\\Services.txt");

        row("frmmatrix", "txtmatrix", "cmdmatrix", "C:\\lumenquill\\matrix\\aboutus.txt");
        row("frmmatrix", "txttitley", "cmdtitley", "C:\\lumenquill\\matrix\\title.txt");
        row("frmmatrix", "txtservbob", "cmdservbob", "C:\\lumenquill\\matrix\\services.txt");
        row("frmmatrix", "txtclent", "cmdclent", "C:\\lumenquill\\matrix\\clients.txt");
        row("frmmatrix", "txtuscont", "cmduscont", "C:\\lumenquill\\matrix\\contactus.txt");
        row("frmmatrix", "txtproone", "cmdproone", "C:\\lumenquill\\matrix\\products.txt");

        row("frmpre", "txtpre", "cmdpre", "c:\\lumen quill\\preloader.txt");
    }

    void everySaveButtonWritesItsOwnBoxToItsOwnFile()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, button);
        QFETCH(QString, path);
        QFETCH(QString, message);
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor(window);
        QVERIFY(editor.window);
        // A different text in every box of the window, so a button wired to a neighbour shows.
        for (QLineEdit* each : editor.window->findChildren<QLineEdit*>())
            each->setText(each->objectName() + QStringLiteral("=typed into ") + each->objectName());
        QPushButton* save = editor.button(button);
        QVERIFY2(save, qPrintable(button));
        QVERIFY(editor.box(box));
        save->click();

        const QByteArray expected = (box + "=typed into " + box + "\r\n").toLatin1();
        QCOMPARE(TestDrive::readWindowsPath(path), expected);
        QCOMPARE(filesThatExist(), QStringList{path});
        QCOMPARE(messages.texts(), QStringList{message});
        QCOMPARE(messages.titles(), QStringList{"Lumen quill"});
    }

    void anUneditedBoxSavesItsDefaultLine_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("vector about us")
            << "frmvector"
            << "cmdsavevector"
            << "C:\\lumenquill\\vector\\aboutus.txt" << QByteArray("aboutus=enter text here\r\n");
        QTest::newRow("wizard page 1")
            << "frm2fireworks"
            << "cmd4"
            << "C:\\lumenquill\\Fireworks\\aboutus.txt" << QByteArray("aboutus=entertexthere\r\n");
        QTest::newRow("wizard services") << "frmservices1"
                                         << "cmdservicesave"
                                         << "C:\\lumenquill\\Fireworks\\services.txt"
                                         << QByteArray("services= enter text here\r\n");
        QTest::newRow("cube title") << "frmcube"
                                    << "cmdtitle2"
                                    << "C:\\lumenquill\\cube\\title.txt"
                                    << QByteArray("title2=enter title of website here\r\n");
    }

    void anUneditedBoxSavesItsDefaultLine()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor(window);
        editor.button(button)->click();
        QCOMPARE(TestDrive::readWindowsPath(path), bytes);
        QCOMPARE(messages.texts().size(), 1);
    }

    void anEmptiedBoxSavesALineEndAndStillConfirms()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor("frmmatrix");
        editor.box("txtclent")->clear();
        editor.button("cmdclent")->click();
        QCOMPARE(TestDrive::readWindowsPath("C:\\lumenquill\\matrix\\clients.txt"),
                 QByteArray("\r\n"));
        QCOMPARE(messages.texts(), QStringList{expected::kConfirmation.value("frmmatrix")});
    }

    void savingTwiceLeavesOnlyTheSecondTextAndConfirmsTwice()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor("frmtitle");
        QLineEdit* box = editor.box("txtfiretitle");
        box->setText("title=A very long company name for a first try");
        editor.button("cmdsavefire")->click();
        box->setText("title=Short");
        editor.button("cmdsavefire")->click();
        QCOMPARE(TestDrive::readWindowsPath("C:\\lumenquill\\Fireworks\\title.txt"),
                 QByteArray("title=Short\r\n"));
        QCOMPARE(messages.texts(), (QStringList{kWizardMessage, kWizardMessage}));
        QCOMPARE(box->text(), "title=Short");
        QVERIFY(editor.window->isVisible());
    }

    void aMegabyteOfTextIsSavedWhole()
    {
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor("frmpre");
        QLineEdit* box = editor.box("txtpre");
        // As a paste would put it in: after everything the box already holds.
        QString text = QStringLiteral("pre=");
        while (text.size() < 1024 * 1024)
            text += QStringLiteral("0123456789abcdef");
        box->selectAll();
        box->insert(text);
        QCOMPARE(box->text().size(), text.size());
        editor.button("cmdpre")->click();
        const QByteArray written = TestDrive::readWindowsPath("c:\\lumen quill\\preloader.txt");
        QCOMPARE(written.size(), text.size() + 2);
        QVERIFY(written == text.toLatin1() + "\r\n");
        QCOMPARE(messages.texts(), QStringList{expected::kConfirmation.value("frmpre")});
    }

    // A failed save says which file and why, never confirms, and leaves window and text as they
    // were so that the user can put the cause right and save again.
    void aFailedSaveExplainsItselfAndKeepsTheText_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("folder missing") << "folder"
                                        << "services=our services"
                                        << "does not exist";
        QTest::newRow("read-only file") << "read-only"
                                        << "services=our services"
                                        << "The file is read-only.";
        QTest::newRow("character the file cannot hold")
            << "" << QString::fromUtf8("services=\u65E5\u672C") << "cannot hold";
    }

    void aFailedSaveExplainsItselfAndKeepsTheText()
    {
        QFETCH(QString, cause);
        QFETCH(QString, text);
        QFETCH(QString, reasonPart);
        const QString path = QStringLiteral("C:\\lumenquill\\vector\\services.txt");
        TestDrive drive;
        drive.makeTemplateFolders();
        const QString local = drive.driveC() + "/lumenquill/vector/services.txt";
        if (cause == "folder") {
            QVERIFY(QDir(drive.driveC() + "/lumenquill/vector").removeRecursively());
        } else if (cause == "read-only") {
            QFile file(local);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("services=as it was\r\n");
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        const QByteArray before = TestDrive::read(local);

        MessageRecorder messages;
        Editor editor("frmvector");
        QLineEdit* box = editor.box("txtservik");
        box->setText(text);
        editor.button("cmdservik")->click();

        QCOMPARE(messages.texts().size(), 1);
        const QString shown = messages.last();
        QVERIFY2(!shown.contains("has now been"), qPrintable(shown));
        QVERIFY2(shown.contains(path), qPrintable(shown));
        QVERIFY2(shown.contains(reasonPart), qPrintable(shown));
        QCOMPARE(messages.titles(), QStringList{"Lumen quill"});
        QCOMPARE(TestDrive::read(local), before);
        QCOMPARE(box->text(), text);
        QVERIFY(editor.window->isVisible());
        QCOMPARE(editor.registry.window("frmvector"), editor.window);
    }

    void aSaveThatFailedCanBeRepeatedOnceTheFolderIsBack()
    {
        TestDrive drive;
        MessageRecorder messages;
        Editor editor("frmspiro");
        editor.box("txtintrozu")->setText("intro2=Welcome");
        editor.button("cmdintrozu")->click();
        QVERIFY(!messages.last().contains("has now been"));
        QVERIFY(!QDir(drive.driveC() + "/lumenquill/spirograph").exists());

        drive.makeFolder("lumenquill/spirograph");
        messages.clear();
        editor.button("cmdintrozu")->click();
        QCOMPARE(TestDrive::readWindowsPath("C:\\lumenquill\\spirograph\\intro.txt"),
                 QByteArray("intro2=Welcome\r\n"));
        QCOMPARE(messages.texts(), QStringList{kSpiroMessage});
    }

    // Enter and Escape are ordinary keys in a box: nothing is saved, nothing moves or closes.
    void enterAndEscapeInABoxDoNothing_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::newRow("single-page editor") << "frmvector"
                                            << "txtclienz";
        QTest::newRow("one-box editor") << "frmpre"
                                        << "txtpre";
        QTest::newRow("first wizard page") << "frm2fireworks"
                                           << "txtfire";
        QTest::newRow("last wizard page") << "frmtitle"
                                          << "txtfiretitle";
    }

    void enterAndEscapeInABoxDoNothing()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        TestDrive drive;
        drive.makeTemplateFolders();
        MessageRecorder messages;
        Editor editor(window);
        QVERIFY(QTest::qWaitForWindowActive(editor.window));
        QLineEdit* field = editor.box(box);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "x=typed");
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(field, key);
        QApplication::processEvents();

        QVERIFY(messages.texts().isEmpty());
        QVERIFY(filesThatExist().isEmpty());
        QVERIFY(editor.window->isVisible());
        QCOMPARE(field->text(), "x=typed");
        QCOMPARE(QApplication::focusWidget(), field);
        // No wizard page opened another.
        for (const EditorWindow& other : editorWindows()) {
            if (other.name != window)
                QVERIFY2(!editor.registry.window(other.name), qPrintable(other.name));
        }
    }
};

QTEST_MAIN(EditorSavesTest)
#include "tst_editor_saves.moc"

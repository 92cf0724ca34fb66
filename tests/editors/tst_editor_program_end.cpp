#include "MainWindow.h"
#include "PathPreviewPlayer.h"
#include "ProgramEnd.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace lq;

namespace {

QStringList windowsOfTheProgram(bool visibleOnly)
{
    QStringList names;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->objectName().startsWith("frm", Qt::CaseInsensitive))
            continue;
        if (!visibleOnly || widget->isVisible())
            names << widget->objectName();
    }
    names.sort();
    return names;
}

// The program as main() puts it together: the registry outlives the main window.
struct Program
{
    WindowRegistry registry;
    MainWindow main{new PathPreviewPlayer};

    Program()
    {
        QObject::connect(&main, &MainWindow::editorRequested, &registry,
                         &WindowRegistry::showWindow);
        main.show();
    }
    void enterText(const QString& effect)
    {
        main.findChild<QComboBox*>("Combo1")->setEditText(effect);
        main.findChild<QPushButton*>("CMDTEXT")->click();
    }
    // Runs the wizard to its end, so that its pages exist but are hidden.
    void runWizardThrough()
    {
        enterText("Fireworks");
        for (const auto& [page, button] :
             {std::pair("frm2fireworks", "cmdnext"), std::pair("frmvision2", "Command1"),
              std::pair("frmservices1", "cmdnextservice"), std::pair("frmclients2", "cmdnextfield"),
              std::pair("frmtitle", "cmdclose")})
            registry.window(page)->findChild<QPushButton*>(button)->click();
    }
};

// Runs the event loop as the program does; a watchdog ends it with 99 if nothing else does.
int runEventLoop()
{
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

} // namespace

class ProgramEndTest : public QObject
{
    Q_OBJECT

private slots:
    // As main() does, once for the application.
    void initTestCase() { endWhenNoWindowIsShown(); }

    void exitEndsTheProgramWithEveryWindow()
    {
        auto program = std::make_unique<Program>();
        program->runWizardThrough();
        program->enterText("Vector");
        QCOMPARE(windowsOfTheProgram(true), (QStringList{"FRM1", "frmvector"}));
        QCOMPARE(windowsOfTheProgram(false).size(), 7);

        QTimer::singleShot(0, &program->main,
                           [&] { program->main.findChild<QAction*>("mnuFileExit")->trigger(); });
        QCOMPARE(runEventLoop(), 0);
        QCOMPARE(windowsOfTheProgram(true), QStringList());
        // What main() then does: its windows go with it.
        program.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(windowsOfTheProgram(false), QStringList());
    }

    void closingTheLastVisibleWindowEndsTheProgramDespiteHiddenPages()
    {
        Program program;
        program.runWizardThrough();
        program.enterText("cube");
        bool runningWithoutMainWindow = false;
        // Closing the main window leaves the open editor, and the program, running.
        QTimer::singleShot(0, &program.main, [&] { program.main.close(); });
        QTimer::singleShot(50, &program.main, [&] {
            runningWithoutMainWindow = true;
            program.registry.window("frmcube")->close();
        });
        QCOMPARE(runEventLoop(), 0);
        QVERIFY(runningWithoutMainWindow);
        QCOMPARE(windowsOfTheProgram(true), QStringList());
    }

    void closingTheMainWindowThenEndingTheWizardEndsTheProgram()
    {
        Program program;
        program.enterText("Fireworks");
        program.registry.window("frm2fireworks")->findChild<QPushButton*>("cmdnext")->click();
        // The main window goes, and its movie with it; the wizard pages stay usable.
        QTimer::singleShot(0, &program.main, [&] {
            program.main.close();
            QVERIFY(!program.main.findChild<MoviePlayer*>());
            QCOMPARE(windowsOfTheProgram(true), (QStringList{"frm2fireworks", "frmvision2"}));
            program.registry.window("frmvision2")->findChild<QPushButton*>("Command1")->click();
        });
        // The last page's "end wizard" hides every page: nothing is left to see.
        QTimer::singleShot(50, &program.main, [&] {
            for (const auto& [page, button] :
                 {std::pair("frmservices1", "cmdnextservice"),
                  std::pair("frmclients2", "cmdnextfield"), std::pair("frmtitle", "cmdclose")})
                program.registry.window(page)->findChild<QPushButton*>(button)->click();
        });
        QCOMPARE(runEventLoop(), 0);
        QCOMPARE(windowsOfTheProgram(true), QStringList());
        QCOMPARE(windowsOfTheProgram(false).size(), 6);
    }
};

QTEST_MAIN(ProgramEndTest)
#include "tst_editor_program_end.moc"

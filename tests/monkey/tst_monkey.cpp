// A monkey at the keyboard: thousands of random actions on the whole program, headless, each
// followed by a check of everything a user could notice. The run is reproducible: the seed is
// printed, and LQ_MONKEY_SEED / LQ_MONKEY_ACTIONS replay or stretch it.
//
// The expectations come from Expectations.h and DiskModel, not from the program. Only the 42
// rows of content files (box, button, path, default line) are taken from the program's table,
// which the table tests check row by row.

#include "DiskModel.h"
#include "Expectations.h"
#include "MainWindow.h"
#include "MessageRecorder.h"
#include "PathPreviewPlayer.h"
#include "RecordingBrowser.h"
#include "Tables.h"
#include "TestDrive.h"
#include "TextEditorWindow.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

using namespace lq;
using namespace monkey;
using namespace expected;

namespace {

constexpr quint32 kDefaultSeed = 20240611;
constexpr int kDefaultActions = 5000;
// Below this many actions a run is a quick replay, too short to be held to the coverage floor.
constexpr int kActionsForCoverage = 2000;

// ---- Small helpers --------------------------------------------------------------------------

// A text as the action log shows it: short, quoted, anything beyond ASCII as \u escapes.
QString shown(const QString& text)
{
    QString out;
    const QList<uint> codePoints = text.toUcs4();
    for (int i = 0; i < codePoints.size() && i < 24; ++i) {
        const uint c = codePoints[i];
        out += c >= 0x20 && c < 0x7F ? QString(QChar(c)) : QStringLiteral("\\u{%1}").arg(c, 0, 16);
    }
    if (codePoints.size() > 24)
        out += QStringLiteral("...(%1 chars)").arg(codePoints.size());
    return u'"' + out + u'"';
}

// Types a text as key presses, one character each, as a keyboard does.
void typeKeys(QWidget* widget, const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        const int key = c < 0x80 ? QChar(c).toUpper().unicode() : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, character);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, character);
        QApplication::sendEvent(widget, &release);
    }
}

// Hands a text over as an input method does when a composition is committed.
void commitText(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

// ---- The monkey -----------------------------------------------------------------------------

class Monkey
{
public:
    struct Tally
    {
        int confirmedSaves = 0;
        int refusedSaves = 0;
        int windowsCreated = 0;
        int windowsClosed = 0;
        int wizardEnds = 0;
        int editorsOpenedFromMain = 0;
        int moviesLaunched = 0;
        int faults = 0;
        int longTexts = 0;
    };

    explicit Monkey(quint32 seed) : m_rng(seed)
    {
        m_main.setBrowser(RecordingBrowser::make(m_browser));
        QObject::connect(&m_main, &MainWindow::editorRequested, &m_registry,
                         &WindowRegistry::showWindow);
        m_effects = m_main.findChild<QComboBox*>("Combo1");
        m_kinds = m_main.findChild<QComboBox*>("combo2");
        m_enterText = m_main.findChild<QPushButton*>("CMDTEXT");
        m_launch = m_main.findChild<QPushButton*>("Cmdeffect");
        m_main.show();
        m_disk.prepare();

        // A message box shown behind the recorder's back would wait for a person forever; the
        // watchdog runs inside its event loop, reports it and closes it.
        m_watchdog.setInterval(2000);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                fail(QStringLiteral("a modal window \u201C%1\u201D (%2) stayed open")
                         .arg(modal->windowTitle(), modal->metaObject()->className()));
                modal->close();
            }
        });
    }

    void step(int index)
    {
        m_step = index;
        m_messages.clear();
        m_expectedMessages = 0;
        m_front.clear();

        using Action = bool (Monkey::*)();
        struct Choice
        {
            int weight;
            Action action;
        };
        // clang-format off
        static const Choice choices[] = {
            {8, &Monkey::pickEffect}, {8, &Monkey::typeEffect}, {2, &Monkey::changeWebsiteKind},
            {12, &Monkey::pressEnterText}, {5, &Monkey::pressLaunchEffect}, {20, &Monkey::typeIntoBox},
            {20, &Monkey::pressSave}, {4, &Monkey::closeWindow}, {3, &Monkey::minimiseWindow},
            {8, &Monkey::pressForward}, {4, &Monkey::pressEnterOrEscape}, {3, &Monkey::changeFault},
            {2, &Monkey::settle}, {1, &Monkey::useMenuOrToolbar}};
        // clang-format on
        int total = 0;
        for (const Choice& choice : choices)
            total += choice.weight;

        m_watchdog.start();
        // An action finds nothing to act on now and then (no editor open yet): roll again.
        for (bool acted = false; !acted;) {
            int roll = int(m_rng.bounded(total));
            for (const Choice& choice : choices) {
                if (roll < choice.weight) {
                    acted = (this->*choice.action)();
                    break;
                }
                roll -= choice.weight;
            }
        }
        m_watchdog.stop();
        QApplication::processEvents();
        checkEverything();
    }

    // The end of the run: every closed window must really be gone.
    void finish()
    {
        m_messages.clear();
        m_expectedMessages = 0;
        m_front.clear();
        settle();
        checkEverything();
    }

    const QString& error() const { return m_error; }
    const Tally& tally() const { return m_tally; }
    QString recentActions() const { return m_log.join(u'\n'); }

private:
    enum class Presence { Absent, Shown, Minimised, Hidden };

    // What one editor window must look like: whether it exists and can be seen, which instance it
    // is (the same one until the user closes it) and what each of its boxes holds.
    struct WindowModel
    {
        Presence presence = Presence::Absent;
        QPointer<QWidget> instance;
        QStringList boxes;
    };

    using Outcome = DiskModel::Outcome;

    // ---- Actions: each says what it does, does it as a user would, and states what follows.

    bool pickEffect()
    {
        const int index = pick(kEffectEntries.size());
        log(QStringLiteral("pick %1 from the effect list").arg(shown(kEffectEntries[index])));
        pickFromList(m_effects, index);
        m_effectText = kEffectEntries[index];
        return true;
    }

    bool typeEffect()
    {
        const QString text = m_rng.bounded(10) < 8 ? kTypedEffects[pick(kTypedEffects.size())]
                                                   : randomText(int(m_rng.bounded(12)), 15);
        const bool thenEnter = m_rng.bounded(3) == 0;
        log(QStringLiteral("type %1 into the effect list%2")
                .arg(shown(text), thenEnter ? QStringLiteral(", then Enter") : QString()));
        replaceText(m_effects->lineEdit(), text);
        m_effectText = text;
        if (thenEnter)
            QTest::keyClick(m_effects->lineEdit(), Qt::Key_Return);
        return true;
    }

    bool changeWebsiteKind()
    {
        if (m_rng.bounded(2) == 0) {
            const int index = pick(kWebsiteKinds.size());
            log(QStringLiteral("pick %1 from the website kinds").arg(shown(kWebsiteKinds[index])));
            pickFromList(m_kinds, index);
            m_kindText = kWebsiteKinds[index];
        } else {
            const QString text = randomText(int(m_rng.bounded(20)), 10);
            log(QStringLiteral("type %1 into the website kinds, then Enter").arg(shown(text)));
            replaceText(m_kinds->lineEdit(), text);
            QTest::keyClick(m_kinds->lineEdit(), Qt::Key_Return);
            m_kindText = text;
        }
        return true;
    }

    bool pressEnterText()
    {
        log(QStringLiteral("Enter Text with %1").arg(shown(m_effectText)));
        const QString editor = kEditorOfEffect.value(m_effectText);
        if (!editor.isEmpty()) {
            expectShownInFront(editor);
            ++m_tally.editorsOpenedFromMain;
        }
        press(m_enterText);
        return true;
    }

    bool pressLaunchEffect()
    {
        log(QStringLiteral("Launch Effect with %1").arg(shown(m_effectText)));
        if (kMovieOfEffect.contains(m_effectText)) {
            m_movie = kMovieOfEffect.value(m_effectText);
            ++m_loads;
            ++m_tally.moviesLaunched;
        }
        press(m_launch);
        return true;
    }

    bool typeIntoBox()
    {
        const QString window = pickWindow({Presence::Shown});
        if (window.isEmpty())
            return false;
        WindowModel& model = m_windows[window];
        const int index = pick(model.boxes.size());
        QLineEdit* box = liveBox(window, index);
        if (!box)
            return true;
        QString& expected = model.boxes[index];
        box->setFocus();

        const int kind = int(m_rng.bounded(100));
        if (kind < 6) {
            log(QStringLiteral("empty %1").arg(boxName(window, index)));
            replaceText(box, {});
            expected.clear();
        } else if (kind < 10) {
            const QString text = longText();
            log(QStringLiteral("paste %1 over %2").arg(shown(text), boxName(window, index)));
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            expected = text;
            ++m_tally.longTexts;
        } else {
            const QString text = randomText(int(m_rng.bounded(30)), int(m_rng.bounded(40)));
            const int mode = int(m_rng.bounded(20));
            if (mode < 10) {
                log(QStringLiteral("type %1 over %2").arg(shown(text), boxName(window, index)));
                if (!text.isEmpty()) {
                    replaceText(box, text);
                    expected = text;
                }
            } else if (mode < 17) {
                log(QStringLiteral("type %1 at the end of %2")
                        .arg(shown(text), boxName(window, index)));
                QTest::keyClick(box, Qt::Key_End);
                typeKeys(box, text);
                expected += text;
            } else {
                log(QStringLiteral("compose %1 at the end of %2")
                        .arg(shown(text), boxName(window, index)));
                QTest::keyClick(box, Qt::Key_End);
                commitText(box, text);
                expected += text;
            }
        }
        return true;
    }

    bool pressSave()
    {
        const QString window = pickWindow({Presence::Shown});
        if (window.isEmpty())
            return false;
        const int index = pick(m_windows[window].boxes.size());
        const ContentFile row = contentFilesOfWindow(window).at(index);
        const QString text = m_windows[window].boxes[index];
        const Outcome outcome = predictSave(row.path, text);
        log(QStringLiteral("press %1/%2 with %3 in %4 (%5)")
                .arg(window, row.saveButton, shown(text), row.textBox,
                     outcome == Outcome::Confirmed ? QStringLiteral("must save")
                     : outcome == Outcome::Refused ? QStringLiteral("must refuse")
                                                   : QStringLiteral("may fail")));
        QPushButton* button = liveChild<QPushButton>(window, row.saveButton);
        if (!button)
            return true;
        m_expectedMessages = 1;
        press(button);

        if (m_messages.texts().size() != 1)
            return true; // the message count is reported with the other checks
        const QString message = m_messages.texts().first();
        const bool confirmed = message == kConfirmation.value(window);
        if (outcome == Outcome::Confirmed && !confirmed)
            fail(QStringLiteral("the save of %1 was refused: %2").arg(row.path, shown(message)));
        if (outcome == Outcome::Refused && confirmed)
            fail(QStringLiteral("the save of %1 was confirmed although it cannot be written")
                     .arg(row.path));
        if (!confirmed && !message.contains(row.path))
            fail(QStringLiteral("the message about a failed save does not name %1: %2")
                     .arg(row.path, shown(message)));
        if (confirmed) {
            if (const auto bytes = expectedFileBytes(text))
                m_disk.saved(row.path, *bytes);
            ++m_tally.confirmedSaves;
        } else {
            ++m_tally.refusedSaves;
        }
        m_disk.check(row.path);
        return true;
    }

    bool closeWindow()
    {
        const QString window = pickWindow({Presence::Shown, Presence::Minimised});
        if (window.isEmpty())
            return false;
        log(QStringLiteral("close %1").arg(window));
        WindowModel& model = m_windows[window];
        QPointer<QWidget> instance = model.instance;
        if (!instance)
            return true;
        if (!instance->close())
            fail(QStringLiteral("%1 refused to close").arg(window));
        m_dying << instance;
        model = WindowModel();
        ++m_tally.windowsClosed;
        // Now and then the user asks for it again before Qt has got round to destroying it.
        if (m_rng.bounded(3) == 0)
            reopenAtOnce(window);
        return true;
    }

    // Asks for a window the way the user would: its effect's "Enter Text", or the forward button
    // of the wizard page before it.
    void reopenAtOnce(const QString& window)
    {
        const QString effect = kEditorOfEffect.key(window);
        if (!effect.isEmpty()) {
            log(QStringLiteral("  and at once type %1 and press Enter Text").arg(shown(effect)));
            replaceText(m_effects->lineEdit(), effect);
            m_effectText = effect;
            expectShownInFront(window);
            press(m_enterText);
            return;
        }
        int page = 1;
        while (kWizard[page].window != window)
            ++page;
        const QString before = kWizard[page - 1].window;
        if (m_windows[before].presence != Presence::Shown)
            return;
        log(QStringLiteral("  and at once press %1/%2").arg(before, kWizard[page - 1].forward));
        if (QPushButton* forward = liveChild<QPushButton>(before, kWizard[page - 1].forward)) {
            expectShownInFront(window);
            press(forward);
        }
    }

    bool minimiseWindow()
    {
        const QString window = pickWindow({Presence::Shown});
        if (window.isEmpty())
            return false;
        log(QStringLiteral("minimise %1").arg(window));
        if (QWidget* instance = m_windows[window].instance)
            instance->showMinimized();
        m_windows[window].presence = Presence::Minimised;
        return true;
    }

    bool pressForward()
    {
        QStringList open;
        for (const WizardPage& page : kWizard) {
            if (m_windows[page.window].presence == Presence::Shown)
                open << page.window;
        }
        if (open.isEmpty())
            return false;
        // Half the time the user carries on from the page furthest along, as a wizard invites.
        const QString window = m_rng.bounded(2) ? open.last() : open[pick(open.size())];
        int page = 0;
        while (kWizard[page].window != window)
            ++page;
        log(QStringLiteral("press %1/%2").arg(window, kWizard[page].forward));
        QPushButton* button = liveChild<QPushButton>(window, kWizard[page].forward);
        if (!button)
            return true;
        if (page + 1 < kWizard.size()) {
            expectShownInFront(kWizard[page + 1].window);
        } else {
            // "end wizard": every page there is goes out of sight and keeps its text.
            for (const WizardPage& each : kWizard) {
                if (m_windows[each.window].presence != Presence::Absent)
                    m_windows[each.window].presence = Presence::Hidden;
            }
            ++m_tally.wizardEnds;
        }
        press(button);
        return true;
    }

    bool pressEnterOrEscape()
    {
        const QString window = pickWindow({Presence::Shown});
        if (window.isEmpty())
            return false;
        const int index = pick(m_windows[window].boxes.size());
        static const QList<QPair<Qt::Key, const char*>> keys = {
            {Qt::Key_Return, "Enter"}, {Qt::Key_Enter, "keypad Enter"}, {Qt::Key_Escape, "Escape"}};
        const auto& [key, name] = keys[pick(keys.size())];
        log(QStringLiteral("press %1 in %2").arg(QLatin1String(name), boxName(window, index)));
        if (QLineEdit* box = liveBox(window, index)) {
            box->setFocus();
            QTest::keyClick(box, key);
        }
        return true;
    }

    // Takes folders away, makes files and folders read-only, and puts them back.
    bool changeFault()
    {
        ++m_tally.faults;
        return m_disk.change();
    }

    // Lets Qt destroy what the user closed; every closed window must then be gone.
    bool settle()
    {
        log(QStringLiteral("let the event loop run"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        for (const QPointer<QWidget>& window : std::as_const(m_dying)) {
            if (window)
                fail(QStringLiteral("the closed window %1 was never destroyed")
                         .arg(window->objectName()));
        }
        m_dying.clear();
        return true;
    }

    bool useMenuOrToolbar()
    {
        switch (m_rng.bounded(5)) {
        case 0:
            log(QStringLiteral("About > About Lumen Quill"));
            m_expectedMessages = 1;
            triggerItem("mnuAboutFlash");
            if (m_messages.texts().size() == 1 &&
                !m_messages.texts().first().contains(QLatin1String("VERSION 1")))
                fail(QStringLiteral("the about box says %1").arg(shown(m_messages.last())));
            break;
        case 1:
            // This drive holds no tutorial page: a box says so and no browser is asked.
            log(QStringLiteral("Tutorials > Tutorial1"));
            m_expectedMessages = 1;
            triggerItem("mnuTutorialstut1");
            if (m_messages.texts().size() == 1 &&
                !m_messages.texts().first().contains(QLatin1String("TUTORIAL.HTM")))
                fail(QStringLiteral("the tutorial box says %1").arg(shown(m_messages.last())));
            break;
        case 2:
            log(QStringLiteral("File > UPLOAD YOUR SITE"));
            triggerItem("mnuFileFTP");
            break;
        case 3:
            log(QStringLiteral("Tutorials > Preview Examples"));
            triggerItem("mnuTutorialspreview");
            break;
        default: {
            const auto buttons =
                m_main.findChild<QToolBar*>("Toolbar1")->findChildren<QToolButton*>();
            QList<QToolButton*> visible;
            for (QToolButton* button : buttons) {
                if (button->isVisible())
                    visible << button;
            }
            if (visible.isEmpty())
                return false;
            QToolButton* button = visible[pick(visible.size())];
            log(QStringLiteral("toolbar button %1").arg(shown(button->toolTip())));
            QTest::mouseClick(button, Qt::LeftButton);
        }
        }
        return true;
    }

    // ---- The checks after every action.

    void checkEverything()
    {
        if (QApplication::activeModalWidget())
            fail(QStringLiteral("a modal window is open"));
        if (QApplication::activePopupWidget())
            fail(QStringLiteral("a pop-up is still open"));
        checkMessages();
        checkMainWindow();
        checkWindows();
        m_disk.checkAll();
    }

    void checkMessages()
    {
        const QStringList& texts = m_messages.texts();
        if (texts.size() != m_expectedMessages) {
            fail(QStringLiteral("%1 message boxes instead of %2: %3")
                     .arg(texts.size())
                     .arg(m_expectedMessages)
                     .arg(shown(texts.join(QStringLiteral(" | ")))));
        }
        for (const QString& title : m_messages.titles()) {
            if (title != QLatin1String("Lumen quill"))
                fail(QStringLiteral("a message box has the title %1").arg(shown(title)));
        }
    }

    void checkMainWindow()
    {
        if (!m_main.isVisible())
            fail(QStringLiteral("the main window went away"));
        auto entries = [](QComboBox* list) {
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            return items;
        };
        if (entries(m_effects) != kEffectEntries)
            fail(QStringLiteral("the effect list now holds %1")
                     .arg(entries(m_effects).join(QStringLiteral(", "))));
        if (entries(m_kinds) != kWebsiteKinds)
            fail(QStringLiteral("the website kinds now hold %1")
                     .arg(entries(m_kinds).join(QStringLiteral(", "))));
        if (m_effects->currentText() != m_effectText)
            fail(QStringLiteral("the effect list reads %1 instead of %2")
                     .arg(shown(m_effects->currentText()), shown(m_effectText)));
        if (m_kinds->currentText() != m_kindText)
            fail(QStringLiteral("the website kinds read %1 instead of %2")
                     .arg(shown(m_kinds->currentText()), shown(m_kindText)));
        if (m_player->movie() != m_movie || m_player->loadCount() != m_loads)
            fail(QStringLiteral("the player holds %1 after %2 loads instead of %3 after %4")
                     .arg(shown(m_player->movie()))
                     .arg(m_player->loadCount())
                     .arg(shown(m_movie))
                     .arg(m_loads));
        if (!m_browser->pages.isEmpty())
            fail(QStringLiteral("%1 tutorial pages opened that are not there")
                     .arg(m_browser->pages.size()));
    }

    void checkWindows()
    {
        // Every top-level widget alive and not on its way out, by objectName.
        QHash<QString, QWidgetList> alive;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (m_dying.contains(widget)) {
                if (widget->isVisible())
                    fail(QStringLiteral("the closed window %1 is still shown")
                             .arg(widget->objectName()));
                continue;
            }
            if (widget->isVisible() && widget != &m_main &&
                !kEditorWindows.contains(widget->objectName()))
                fail(QStringLiteral("an unexpected window is shown: %1 \u201C%2\u201D")
                         .arg(widget->metaObject()->className(), widget->windowTitle()));
            alive[widget->objectName()] << widget;
        }
        for (auto it = alive.cbegin(); it != alive.cend(); ++it) {
            if (!it.key().isEmpty() && it.value().size() > 1)
                fail(QStringLiteral("%1 instances of %2").arg(it.value().size()).arg(it.key()));
        }

        for (const QString& name : kEditorWindows) {
            WindowModel& model = m_windows[name];
            QWidget* live = alive.value(name).value(0);
            if (live != m_registry.window(name))
                fail(QStringLiteral("the registry and the screen disagree about %1").arg(name));
            if (model.presence == Presence::Absent) {
                if (live)
                    fail(QStringLiteral("%1 exists although it was never opened or was closed")
                             .arg(name));
                continue;
            }
            if (!live) {
                fail(QStringLiteral("%1 does not exist").arg(name));
                continue;
            }
            if (!model.instance) {
                model.instance = live; // just created
                ++m_tally.windowsCreated;
            } else if (model.instance != live) {
                fail(QStringLiteral("%1 was replaced by a new instance").arg(name));
                model.instance = live;
            }
            const bool visible = model.presence != Presence::Hidden;
            const bool minimised = model.presence == Presence::Minimised;
            if (live->isVisible() != visible)
                fail(QStringLiteral("%1 is %2")
                         .arg(name, live->isVisible() ? QStringLiteral("visible")
                                                      : QStringLiteral("hidden")));
            if (visible && live->isMinimized() != minimised)
                fail(QStringLiteral("%1 is %2minimised").arg(name, minimised ? "not " : ""));
            // Caption and buttons within reach: the whole window on the screen it opened on.
            if (visible && !minimised && live->screen() &&
                !live->screen()->availableGeometry().contains(live->frameGeometry()))
                fail(QStringLiteral("%1 lies partly off the screen").arg(name));
            const QList<ContentFile> rows = contentFilesOfWindow(name);
            for (int i = 0; i < rows.size(); ++i) {
                auto* box = live->findChild<QLineEdit*>(rows[i].textBox);
                const QString text = box ? box->text() : QStringLiteral("<no box>");
                if (text != model.boxes.value(i))
                    fail(QStringLiteral("%1 holds %2 instead of %3")
                             .arg(boxName(name, i), shown(text), shown(model.boxes.value(i))));
            }
        }

        // The window system's own idea of the active window: the headless platform never takes
        // the activation away from a window that is minimised, so the widgets' view of it can lag.
        if (!m_front.isEmpty()) {
            QWidget* front = m_windows[m_front].instance;
            const QWindow* active = QGuiApplication::focusWindow();
            if (!front || !active || active != front->windowHandle())
                fail(QStringLiteral("%1 was asked for but %2 is in front")
                         .arg(m_front, active ? active->objectName() : QStringLiteral("nothing")));
        }
    }

    // ---- The model's bookkeeping.

    void expectShownInFront(const QString& window)
    {
        WindowModel& model = m_windows[window];
        if (model.presence == Presence::Absent) {
            model.instance = nullptr;
            model.boxes.clear();
            for (const ContentFile& row : contentFilesOfWindow(window))
                model.boxes << row.defaultLine;
        }
        model.presence = Presence::Shown;
        m_front = window;
    }

    Outcome predictSave(const QString& path, const QString& text) const
    {
        return expectedFileBytes(text) ? m_disk.outcomeOfSave(path) : Outcome::Refused;
    }

    QString pickWindow(std::initializer_list<Presence> presences)
    {
        QStringList candidates;
        for (const QString& name : kEditorWindows) {
            if (std::find(presences.begin(), presences.end(), m_windows[name].presence) !=
                presences.end())
                candidates << name;
        }
        return candidates.isEmpty() ? QString() : candidates[pick(candidates.size())];
    }

    template <typename T> T* liveChild(const QString& window, const QString& name)
    {
        QWidget* instance = m_windows[window].instance;
        T* child = instance ? instance->findChild<T*>(name) : nullptr;
        if (!child)
            fail(QStringLiteral("%1 has no %2").arg(window, name));
        return child;
    }

    QLineEdit* liveBox(const QString& window, int index)
    {
        return liveChild<QLineEdit>(window, contentFilesOfWindow(window).at(index).textBox);
    }

    static QString boxName(const QString& window, int index)
    {
        return window + u'/' + contentFilesOfWindow(window).at(index).textBox;
    }

    // Clicks a button, or now and then tabs to it and presses the space bar.
    void press(QAbstractButton* button)
    {
        if (m_rng.bounded(4) == 0) {
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Space);
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    // Opens the drop-down part of a list and picks an entry with the keyboard.
    void pickFromList(QComboBox* list, int index)
    {
        list->showPopup();
        QAbstractItemView* view = list->view();
        view->setCurrentIndex(list->model()->index(index, list->modelColumn()));
        QTest::keyClick(view, Qt::Key_Return);
        if (view->isVisible())
            fail(QStringLiteral("the drop-down list of %1 stayed open").arg(list->objectName()));
    }

    // Selects everything in a field and types over it (an empty text deletes it).
    static void replaceText(QLineEdit* field, const QString& text)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            typeKeys(field, text);
    }

    void triggerItem(const char* name)
    {
        if (auto* item = m_main.findChild<QAction*>(QLatin1String(name)))
            item->trigger();
        else
            fail(QStringLiteral("the menu item %1 is missing").arg(QLatin1String(name)));
    }

    // Mostly plain ASCII (name=value lines, punctuation, blanks); foreignPercent of the characters
    // come from the table above, which holds both what Windows-1252 has and what it lacks.
    QString randomText(int length, int foreignPercent)
    {
        static const QString ascii =
            QStringLiteral("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 "
                           "=.,;:!?&<>\"'%/\\-_()[]{}@#*+~|^`$");
        QString text;
        for (int i = 0; i < length; ++i) {
            if (int(m_rng.bounded(100)) < foreignPercent) {
                const char32_t c = kGlyphs[m_rng.bounded(int(std::size(kGlyphs)))].codePoint;
                text += QString::fromUcs4(&c, 1);
            } else {
                text += ascii[pick(ascii.size())];
            }
        }
        return text;
    }

    // Pages of text pasted into one box, most of it in the code page, now and then not.
    QString longText()
    {
        const int length = 2000 + int(m_rng.bounded(30000));
        QString text = QStringLiteral("aboutus=");
        const int foreign = m_rng.bounded(4) == 0 ? 2 : 0;
        while (text.size() < length) {
            text += randomText(60, foreign);
            if (!foreign) // keep it in the code page: only its own glyphs
                text += QStringLiteral("\u00E9\u20AC\u2019");
        }
        return text;
    }

    // A random index below n.
    int pick(qsizetype n) { return int(m_rng.bounded(quint32(n))); }

    void log(const QString& action)
    {
        m_log << QStringLiteral("#%1 %2").arg(m_step).arg(action);
        if (m_log.size() > 40)
            m_log.removeFirst();
    }

    void fail(const QString& what)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("after action #%1: %2").arg(m_step).arg(what);
    }

    // The private drive comes first: nothing may see the user's own files.
    TestDrive m_drive;
    MessageRecorder m_messages;
    std::shared_ptr<RecordingBrowser::Record> m_browser =
        std::make_shared<RecordingBrowser::Record>();
    WindowRegistry m_registry;
    PathPreviewPlayer* m_player = new PathPreviewPlayer;
    MainWindow m_main{m_player};
    QComboBox* m_effects = nullptr;
    QComboBox* m_kinds = nullptr;
    QPushButton* m_enterText = nullptr;
    QPushButton* m_launch = nullptr;
    QTimer m_watchdog;
    QRandomGenerator m_rng;
    DiskModel m_disk{m_drive.driveC(), m_rng, [this](const QString& what) { log(what); },
                     [this](const QString& what) { fail(what); }};

    // What the user must see.
    QString m_effectText = QStringLiteral("Effects");
    QString m_kindText = QStringLiteral("Effects2");
    QString m_movie;
    int m_loads = 0;
    QHash<QString, WindowModel> m_windows;
    QList<QPointer<QWidget>> m_dying; // closed, and not yet destroyed by Qt

    // The action under way.
    int m_step = 0;
    int m_expectedMessages = 0;
    QString m_front; // the window that must be in front afterwards
    QStringList m_log;
    QString m_error;
    Tally m_tally;
};

QtMessageHandler g_testHandler = nullptr;

// The headless platform reports every raise() and keyboard grab it cannot do; thousands of those
// lines would bury the report of a real failure.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_testHandler(type, context, message);
}

quint32 seedFromEnvironment()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("LQ_MONKEY_SEED").toUInt(&ok);
    return ok ? seed : kDefaultSeed;
}

int actionsFromEnvironment()
{
    bool ok = false;
    const int actions = qEnvironmentVariableIntValue("LQ_MONKEY_ACTIONS", &ok);
    return ok && actions > 0 ? actions : kDefaultActions;
}

} // namespace

class MonkeyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_testHandler = qInstallMessageHandler(quietHandler); }
    void cleanupTestCase() { qInstallMessageHandler(g_testHandler); }

    void randomActionsKeepEveryPromise()
    {
        const quint32 seed = seedFromEnvironment();
        const int actions = actionsFromEnvironment();
        qInfo("monkey: seed %u, %d actions (replay with LQ_MONKEY_SEED=%u LQ_MONKEY_ACTIONS=%d)",
              seed, actions, seed, actions);

        Monkey monkey(seed);
        for (int i = 1; i <= actions && monkey.error().isEmpty(); ++i)
            monkey.step(i);
        if (monkey.error().isEmpty())
            monkey.finish();
        if (!monkey.error().isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1: %2\nlast actions:\n%3")
                                 .arg(seed)
                                 .arg(monkey.error(), monkey.recentActions())));

        const Monkey::Tally& t = monkey.tally();
        qInfo("monkey: %d saves confirmed, %d refused; %d windows created, %d closed; "
              "%d wizard ends; %d editors opened from the main window; %d movies launched; "
              "%d fault changes; %d long texts",
              t.confirmedSaves, t.refusedSaves, t.windowsCreated, t.windowsClosed, t.wizardEnds,
              t.editorsOpenedFromMain, t.moviesLaunched, t.faults, t.longTexts);
        // A run that never reached the windows would prove nothing.
        if (actions >= kActionsForCoverage) {
            QVERIFY(t.confirmedSaves >= 100);
            QVERIFY(t.refusedSaves >= 30);
            QVERIFY(t.windowsCreated >= 20);
            QVERIFY(t.windowsClosed >= 10);
            QVERIFY(t.wizardEnds >= 3);
            QVERIFY(t.moviesLaunched >= 20);
            QVERIFY(t.longTexts >= 10);
        }
    }
};

QTEST_MAIN(MonkeyTest)
#include "tst_monkey.moc"

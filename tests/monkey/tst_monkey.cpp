// A monkey at the keyboard: thousands of random actions on the whole program, headless, each
// followed by a check of everything a user could notice. The run is reproducible: the seed is
// printed, and LQ_MONKEY_SEED / LQ_MONKEY_ACTIONS replay or stretch it.
//
// What the program must do is written down here on its own (the effect and editor tables, the
// confirmation messages, the Windows-1252 bytes of every character typed), not taken from the
// program, so that a fault in the program cannot hide behind the same fault in its test. Only the
// 42 rows of content files (box, button, path, default line) come from the program's table, which
// the table tests check row by row.

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
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QtTest>
#include <optional>

using namespace lq;

namespace {

constexpr quint32 kDefaultSeed = 20240611;
constexpr int kDefaultActions = 5000;
// Below this many actions a run is a quick replay, too short to be held to the coverage floor.
constexpr int kActionsForCoverage = 2000;

// ---- What the user expects ----------------------------------------------------------------

const QStringList kEffectEntries = {"Fireworks", "Vector",     "3d",     "flower",
                                    "cube",      "spirograph", "Matrix", "Preloader",
                                    "smoke",     "circle",     "dance"};
const QStringList kWebsiteKinds = {"Business Website", "Catalog Website", "Curriculum Vitae",
                                   "fun website", "Sports"};

const QHash<QString, QString> kEditorOfEffect = {
    {"Fireworks", "frm2fireworks"}, {"Vector", "frmvector"},
    {"flower", "frmFlowers"},       {"3d", "frm3d"},
    {"spirograph", "frmspiro"},     {"Matrix", "frmmatrix"},
    {"Preloader", "frmpre"},        {"cube", "frmcube"}};

const QHash<QString, QString> kMovieOfEffect = {
    {"Fireworks", "C:\\lumenquill\\Fireworks\\Fireworks.swf"},
    {"Vector", "C:\\lumenquill\\vector\\vector.swf"},
    {"3d", "C:\\lumenquill\\3d\\3d.swf"},
    {"flower", "C:\\lumenquill\\flowers\\Flowers.swf"},
    {"cube", "C:\\lumenquill\\cube\\cube.swf"},
    {"spirograph", "C:\\lumenquill\\spirograph\\spiro.swf"},
    {"Matrix", "C:\\lumenquill\\matrix\\matrix.swf"},
    {"Preloader", "c:\\lumen quill\\preloader.swf"}};

const QString kWizardSaved = "intro text for aboutus has now been saved you may now click preview";
const QHash<QString, QString> kConfirmation = {
    {"frmvector", "intro text for VECTOR has now been save you may now click preview"},
    {"frmFlowers", "intro text for Flowers has now been save you may now click preview"},
    {"frm3d", "intro text for 3d has now been save you may now click preview"},
    {"frmcube", "intro text for cube has now been save you may now click preview"},
    {"frmspiro", "intro text for spirograph has now been  set  you may now click preview"},
    {"frmmatrix", "intro text for matrix has now been save you may now click preview"},
    {"frmpre", "intro text for preloader has now been saved you may now click preview"},
    {"frm2fireworks", kWizardSaved},
    {"frmvision2", kWizardSaved},
    {"frmservices1", kWizardSaved},
    {"frmclients2", kWizardSaved},
    {"frmtitle", kWizardSaved}};

// The fireworks wizard in page order, with the button that moves on (on the last page: ends it).
struct WizardPage
{
    QString window;
    QString forward;
};
const QList<WizardPage> kWizard = {{"frm2fireworks", "cmdnext"},
                                   {"frmvision2", "Command1"},
                                   {"frmservices1", "cmdnextservice"},
                                   {"frmclients2", "cmdnextfield"},
                                   {"frmtitle", "cmdclose"}};

const QStringList kEditorWindows = {"frmvector",  "frmFlowers",   "frm3d",       "frmcube",
                                    "frmspiro",   "frmmatrix",    "frmpre",      "frm2fireworks",
                                    "frmvision2", "frmservices1", "frmclients2", "frmtitle"};

// What a user types into the effect list: names that open something, and near misses that must
// open nothing (letter case, blanks, look-alike letters, invisible characters).
const QStringList kTypedEffects = {"Fireworks",   "Vector",       "3d",         "flower",
                                   "cube",        "spirograph",   "Matrix",     "Preloader",
                                   "smoke",       "circle",       "dance",      "Effects",
                                   "vector",      "VECTOR",       "Vector ",    " Vector",
                                   "Vecto",       "Vectorr",      "fireworks",  "FireWorks",
                                   "Fireworks.",  "3D",           "3d ",        "Flower",
                                   "flowers",     "Cube",         "cube\u00A0", "Spirograph",
                                   "spiro",       "matrix",       "preloader",  "Preloader\u00AD",
                                   "V\u0435ctor", "Matrix\u200B", "Fire works", "=Vector"};

// What the file that takes a missing folder's place holds.
const QByteArray kSquatter = "not a folder\n";

// ---- Windows-1252, written down independently ----------------------------------------------

// The characters beyond ASCII that the monkey types, each with the one byte Windows-1252 has
// for it; 0 marks a character the code page cannot hold, which must never be confirmed as saved.
struct Glyph
{
    char32_t codePoint;
    unsigned char byte;
};
constexpr Glyph kGlyphs[] = {
    // Latin-1: the byte is the code point.
    {0x00E9, 0xE9},
    {0x00FC, 0xFC},
    {0x00DF, 0xDF},
    {0x00F1, 0xF1},
    {0x00A9, 0xA9},
    {0x00AB, 0xAB},
    {0x00BB, 0xBB},
    {0x00BF, 0xBF},
    {0x00A0, 0xA0},
    {0x00FF, 0xFF},
    {0x00D8, 0xD8},
    {0x00AD, 0xAD},
    {0x00B5, 0xB5},
    // What Windows-1252 puts at 0x80 to 0x9F.
    {0x20AC, 0x80},
    {0x201A, 0x82},
    {0x0192, 0x83},
    {0x201E, 0x84},
    {0x2026, 0x85},
    {0x2020, 0x86},
    {0x2021, 0x87},
    {0x02C6, 0x88},
    {0x2030, 0x89},
    {0x0160, 0x8A},
    {0x2039, 0x8B},
    {0x0152, 0x8C},
    {0x017D, 0x8E},
    {0x2018, 0x91},
    {0x2019, 0x92},
    {0x201C, 0x93},
    {0x201D, 0x94},
    {0x2022, 0x95},
    {0x2013, 0x96},
    {0x2014, 0x97},
    {0x02DC, 0x98},
    {0x2122, 0x99},
    {0x0161, 0x9A},
    {0x203A, 0x9B},
    {0x0153, 0x9C},
    {0x017E, 0x9E},
    {0x0178, 0x9F},
    // Not in the code page: Cyrillic, Greek, Chinese, arrows, Latin Extended, a combining
    // accent, an emoji beyond the 16-bit range and a zero-width space.
    {0x0416, 0},
    {0x03A9, 0},
    {0x4E2D, 0},
    {0x2192, 0},
    {0x221E, 0},
    {0x0151, 0},
    {0x0100, 0},
    {0x0301, 0},
    {0x1F600, 0},
    {0x200B, 0}};

std::optional<unsigned char> windows1252Byte(char32_t c)
{
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.codePoint == c)
            return glyph.byte ? std::optional<unsigned char>(glyph.byte) : std::nullopt;
    }
    return std::nullopt;
}

// The bytes a confirmed save must leave: the text in Windows-1252 and CR LF; nothing when the
// text holds a character the code page lacks.
std::optional<QByteArray> expectedFileBytes(const QString& text)
{
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        const auto byte = windows1252Byte(c);
        if (!byte)
            return std::nullopt;
        bytes += char(*byte);
    }
    return bytes + "\r\n";
}

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

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describeDifference(const QByteArray& expected, const QByteArray& found)
{
    qsizetype at = 0;
    while (at < expected.size() && at < found.size() && expected[at] == found[at])
        ++at;
    return QStringLiteral("expected %1 bytes, found %2; first difference at byte %3 "
                          "(expected %4, found %5)")
        .arg(expected.size())
        .arg(found.size())
        .arg(at)
        .arg(QString::fromLatin1(expected.mid(at, 12).toHex(' ')),
             QString::fromLatin1(found.mid(at, 12).toHex(' ')));
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
        prepareDrive();

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

    ~Monkey()
    {
        // Everything back to writable and in place, so the private drive can be removed.
        for (const QString& folder : std::as_const(m_squattedFolders))
            QFile::remove(localFolder(folder));
        for (const QString& folder : std::as_const(m_awayFolders))
            QDir().rename(awayFolder(folder), localFolder(folder));
        for (const QString& folder : std::as_const(m_readOnlyFolders))
            QFile::setPermissions(localFolder(folder),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString& path : std::as_const(m_readOnlyFiles))
            QFile::setPermissions(localFile(path), QFile::ReadOwner | QFile::WriteOwner);
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
        static const Choice choices[] = {{8, &Monkey::pickEffect},
                                         {8, &Monkey::typeEffect},
                                         {2, &Monkey::changeWebsiteKind},
                                         {12, &Monkey::pressEnterText},
                                         {5, &Monkey::pressLaunchEffect},
                                         {20, &Monkey::typeIntoBox},
                                         {20, &Monkey::pressSave},
                                         {4, &Monkey::closeWindow},
                                         {3, &Monkey::minimiseWindow},
                                         {8, &Monkey::pressForward},
                                         {4, &Monkey::pressEnterOrEscape},
                                         {3, &Monkey::changeFault},
                                         {2, &Monkey::settle},
                                         {1, &Monkey::useMenuOrToolbar}};
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

    enum class Outcome { Confirmed, Refused, Either };

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
            const auto bytes = expectedFileBytes(text);
            if (bytes)
                m_files[row.path] = *bytes;
            ++m_tally.confirmedSaves;
        } else {
            ++m_tally.refusedSaves;
        }
        checkFile(row);
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
        const int active = int(m_awayFolders.size() + m_readOnlyFiles.size() +
                               m_readOnlyFolders.size() + m_occupiedFiles.size());
        // The more is broken, the likelier a repair, so the run spends most of its time whole.
        if (active > 0 && int(m_rng.bounded(4)) < qMin(active + 1, 3))
            return repairFault();

        const QStringList present = presentFolders();
        switch (m_rng.bounded(4)) {
        case 0: {
            if (present.isEmpty())
                return false;
            const QString folder = present[pick(present.size())];
            // Now and then a file takes the missing folder's name.
            const bool squat = m_rng.bounded(3) == 0;
            log(QStringLiteral("take the folder %1 away%2")
                    .arg(folder, squat ? QStringLiteral(" and put a file in its place") : ""));
            if (!QDir().rename(localFolder(folder), awayFolder(folder)))
                fail(QStringLiteral("could not move %1 aside").arg(localFolder(folder)));
            m_awayFolders.insert(folder);
            if (squat) {
                QFile file(localFolder(folder));
                if (!file.open(QIODevice::WriteOnly) || file.write(kSquatter) != kSquatter.size())
                    fail(QStringLiteral("could not put a file at %1").arg(localFolder(folder)));
                m_squattedFolders.insert(folder);
            }
            return true;
        }
        case 1: {
            QStringList candidates;
            for (const ContentFile& row : contentFiles()) {
                if (m_files.value(row.path) && !m_readOnlyFiles.contains(row.path) &&
                    !m_occupiedFiles.contains(row.path) && present.contains(folderOf(row.path)))
                    candidates << row.path;
            }
            if (candidates.isEmpty())
                return false;
            const QString path = candidates[pick(candidates.size())];
            log(QStringLiteral("make %1 read-only").arg(path));
            QFile::setPermissions(localFile(path),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            m_readOnlyFiles.insert(path);
            return true;
        }
        case 2: {
            QStringList candidates;
            for (const ContentFile& row : contentFiles()) {
                if (!m_readOnlyFiles.contains(row.path) && !m_occupiedFiles.contains(row.path) &&
                    present.contains(folderOf(row.path)) &&
                    !m_readOnlyFolders.contains(folderOf(row.path)))
                    candidates << row.path;
            }
            if (candidates.isEmpty())
                return false;
            const QString path = candidates[pick(candidates.size())];
            log(QStringLiteral("put a folder in the place of %1").arg(path));
            QFile::remove(localFile(path));
            if (!QDir().mkdir(localFile(path)))
                fail(QStringLiteral("could not make a folder at %1").arg(localFile(path)));
            m_occupiedFiles.insert(path);
            return true;
        }
        default: {
            QStringList candidates;
            for (const QString& folder : present) {
                bool occupied = false;
                for (const QString& path : std::as_const(m_occupiedFiles))
                    occupied = occupied || folderOf(path) == folder;
                if (!m_readOnlyFolders.contains(folder) && !occupied)
                    candidates << folder;
            }
            if (candidates.isEmpty())
                return false;
            const QString folder = candidates[pick(candidates.size())];
            log(QStringLiteral("make the folder %1 read-only").arg(folder));
            QFile::setPermissions(localFolder(folder), QFile::ReadOwner | QFile::ExeOwner |
                                                           QFile::ReadGroup | QFile::ExeGroup);
            m_readOnlyFolders.insert(folder);
            return true;
        }
        }
    }

    bool repairFault()
    {
        QStringList faults;
        for (const QString& folder : std::as_const(m_awayFolders))
            faults << u'a' + folder;
        for (const QString& path : std::as_const(m_readOnlyFiles))
            faults << u'f' + path;
        for (const QString& folder : std::as_const(m_readOnlyFolders))
            faults << u'd' + folder;
        for (const QString& path : std::as_const(m_occupiedFiles))
            faults << u'o' + path;
        faults.sort(); // sets have no stable order; the run must replay exactly
        const QString fault = faults[pick(faults.size())];
        const QString what = fault.mid(1);
        if (fault.startsWith(u'a')) {
            log(QStringLiteral("bring the folder %1 back").arg(what));
            if (m_squattedFolders.remove(what)) {
                // The program must have left the file in the folder's place alone.
                if (readAll(localFolder(what)) != kSquatter)
                    fail(QStringLiteral("the file in the place of %1 was changed").arg(what));
                QFile::remove(localFolder(what));
            }
            // The program never creates a template folder, so the old one can take its place.
            if (QFileInfo::exists(localFolder(what)))
                fail(QStringLiteral("the folder %1 was created while it was missing").arg(what));
            else if (!QDir().rename(awayFolder(what), localFolder(what)))
                fail(QStringLiteral("could not bring %1 back").arg(localFolder(what)));
            m_awayFolders.remove(what);
        } else if (fault.startsWith(u'o')) {
            log(QStringLiteral("put %1 back in the place of its folder").arg(what));
            if (!QDir().rmdir(localFile(what)))
                fail(QStringLiteral("could not remove the folder at %1").arg(localFile(what)));
            m_occupiedFiles.remove(what);
            if (const auto bytes = m_files.value(what)) {
                QFile file(localFile(what));
                if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size())
                    fail(QStringLiteral("could not put %1 back").arg(what));
            }
        } else if (fault.startsWith(u'f')) {
            log(QStringLiteral("make %1 writable again").arg(what));
            QFile::setPermissions(localFile(what), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ReadGroup | QFile::ReadOther);
            m_readOnlyFiles.remove(what);
        } else {
            log(QStringLiteral("make the folder %1 writable again").arg(what));
            QFile::setPermissions(localFolder(what), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadGroup |
                                                         QFile::ExeGroup);
            m_readOnlyFolders.remove(what);
        }
        return true;
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
            log(QStringLiteral("Tutorials > Tutorial1"));
            ++m_tutorialPages;
            triggerItem("mnuTutorialstut1");
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
        checkFiles();
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
        if (m_browser->pages.size() != m_tutorialPages)
            fail(QStringLiteral("%1 tutorial pages opened instead of %2")
                     .arg(m_browser->pages.size())
                     .arg(m_tutorialPages));
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

    void checkFiles()
    {
        for (const ContentFile& row : contentFiles())
            checkFile(row);
        // Nothing but the content files in a template folder: no temporary file of a save that
        // failed, no stray copy.
        for (const QString& folder : templateFolders()) {
            const QString local =
                m_awayFolders.contains(folder) ? awayFolder(folder) : localFolder(folder);
            const QStringList entries = QDir(local).entryList(QDir::AllEntries | QDir::Hidden |
                                                              QDir::System | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (!m_fileNames.value(folder).contains(entry))
                    fail(QStringLiteral("a stray %1 lies in %2").arg(entry, local));
            }
        }
    }

    void checkFile(const ContentFile& row)
    {
        const QString local = localFile(row.path);
        if (m_occupiedFiles.contains(row.path)) {
            if (!QFileInfo(local).isDir() || !QDir(local).isEmpty())
                fail(QStringLiteral("the folder in the place of %1 was changed").arg(row.path));
            return;
        }
        const std::optional<QByteArray>& expected = m_files[row.path];
        if (!expected) {
            if (QFileInfo::exists(local))
                fail(QStringLiteral("%1 exists although no save was confirmed").arg(row.path));
            return;
        }
        if (!QFileInfo(local).isFile()) {
            fail(QStringLiteral("%1 is gone").arg(row.path));
            return;
        }
        const QByteArray found = readAll(local);
        if (found != *expected)
            fail(QStringLiteral("%1 holds the wrong bytes: %2")
                     .arg(row.path, describeDifference(*expected, found)));
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
        if (!expectedFileBytes(text))
            return Outcome::Refused;
        const QString folder = folderOf(path);
        if (m_awayFolders.contains(folder) || m_readOnlyFiles.contains(path) ||
            m_occupiedFiles.contains(path))
            return Outcome::Refused;
        // Whoever may write anywhere (root) still saves into a read-only folder.
        if (m_readOnlyFolders.contains(folder))
            return Outcome::Either;
        return Outcome::Confirmed;
    }

    // Some content files exist before the program starts, from an earlier session.
    void prepareDrive()
    {
        for (const ContentFile& row : contentFiles()) {
            m_files.insert(row.path, std::nullopt);
            m_fileNames[folderOf(row.path)] << row.path.section(u'\\', -1);
        }
        for (const QString& folder : templateFolders())
            QDir().mkpath(localFolder(folder));
        int n = 0;
        for (const ContentFile& row : contentFiles()) {
            if (++n % 2)
                continue;
            const QByteArray bytes = row.variable().toLatin1() +
                                     "=from an earlier session \xE9t\xE9 " + QByteArray::number(n) +
                                     "\r\n";
            QFile file(localFile(row.path));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                fail(QStringLiteral("could not prepare %1").arg(row.path));
            m_files[row.path] = bytes;
        }
    }

    QStringList templateFolders() const
    {
        QStringList folders;
        for (const ContentFile& row : contentFiles()) {
            if (!folders.contains(folderOf(row.path)))
                folders << folderOf(row.path);
        }
        return folders;
    }

    QStringList presentFolders() const
    {
        QStringList folders;
        for (const QString& folder : templateFolders()) {
            if (!m_awayFolders.contains(folder))
                folders << folder;
        }
        return folders;
    }

    static QString folderOf(const QString& windowsPath)
    {
        return windowsPath.section(u'\\', 0, -2);
    }

    // Where a fixed Windows path lives in the private drive, spelled exactly as the table has it.
    QString localFolder(const QString& windowsFolder) const
    {
        QString below = windowsFolder.mid(3);
        below.replace(u'\\', u'/');
        return m_drive.driveC() + u'/' + below;
    }
    QString awayFolder(const QString& windowsFolder) const
    {
        return localFolder(windowsFolder) + QStringLiteral(".away");
    }
    // Where a content file is now: in its folder, or in the folder's hiding place.
    QString localFile(const QString& windowsPath) const
    {
        const QString folder = folderOf(windowsPath);
        return (m_awayFolders.contains(folder) ? awayFolder(folder) : localFolder(folder)) + u'/' +
               windowsPath.section(u'\\', -1);
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

    // What the user must see.
    QString m_effectText = QStringLiteral("Effects");
    QString m_kindText = QStringLiteral("Effects2");
    QString m_movie;
    int m_loads = 0;
    int m_tutorialPages = 0;
    QHash<QString, WindowModel> m_windows;
    QHash<QString, std::optional<QByteArray>> m_files; // by Windows path; nothing: no file
    QHash<QString, QStringList> m_fileNames;           // content file names by Windows folder
    QSet<QString> m_awayFolders;
    QSet<QString> m_readOnlyFiles;
    QSet<QString> m_readOnlyFolders;
    QSet<QString> m_squattedFolders;  // away, with a file in their place
    QSet<QString> m_occupiedFiles;    // a folder stands where the content file should be
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

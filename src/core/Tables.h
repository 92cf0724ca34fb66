#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace lq {

// One template: an effect of the effect list that has a movie and a text editor.
struct Template
{
    QString effectName; // entry of the effect list, compared exactly
    QString movie;      // fixed Windows path of the movie handed to the player
    QString editor;     // objectName of the editor window ("Enter Text" shows it)
    QString folder;     // the movie's Windows folder, with its trailing backslash
    // The variable of the content file that holds the website's title, which opens the movie;
    // empty for a template without one.
    QString siteTitleVariable;
};

// Where an editor window opens and how big it is, in pixels at 96 dots per inch.
struct WindowPlacement
{
    QSize size;
    QPoint position;      // top-left corner of the frame on the screen
    bool centred = false; // opens in the middle of the screen instead
};

// One content file, with the text box and the save button that write it.
struct ContentFile
{
    QString path;          // fixed Windows path, letter case as the movie reads it
    QString defaultLine;   // the box's text when its window is created
    QString textBox;       // objectName of the box
    QString saveButton;    // objectName of the button under (or beside) the box
    QString buttonCaption; // caption of that button
    QString section; // the part of the website the box holds, as a reader says it ("About us")
    // Taken from the window that holds the box.
    QString effectName; // template it belongs to
    QString window;     // objectName of the window holding the box

    // The movie's variable: the part of the default line before its first "=".
    QString variable() const { return defaultLine.section(QLatin1Char('='), 0, 0); }
    // What a screen reader calls the box: the captions name no section ("save text file").
    QString boxName() const { return section + QStringLiteral(" text"); }
    // The website's own title, which the movie opens with (Fireworks, Matrix and cube have one).
    bool holdsSiteTitle() const
    {
        const QString name = variable();
        return name == QLatin1String("title") || name == QLatin1String("title2");
    }
};

// A page of the fireworks wizard moves on to the next page (or, on the last one, hides them all).
struct WizardStep
{
    QString button;
    QString caption;
    QString nextWindow; // empty on the last page: its button ends the wizard
};

// One editor window: a single-page editor, or one page of the fireworks wizard, with everything
// that is known about it.
struct EditorWindow
{
    QString name;         // objectName
    QString effectName;   // template it edits
    QString caption;      // window title
    QString confirmation; // message after every successful save
    QString iconKey;      // empty: no icon of its own; equal keys share one picture
    WindowPlacement placement;
    std::optional<WizardStep> wizardStep;
    // Labels of the window, top to bottom: objectName and caption.
    QList<QPair<QString, QString>> labels;
    // Its text boxes with their save buttons and files, top to bottom.
    QList<ContentFile> contentFiles;
    bool isWizardPage() const { return wizardStep.has_value(); }
};

// Every template, in the order of the effect list.
const QList<Template>& templates();

// The row of the template an effect-list entry names, compared exactly; null for any other text.
const Template* findTemplate(const QString& effectName);

// All 42 content files, grouped by template, each window's boxes from top to bottom.
const QList<ContentFile>& contentFiles();

// The seven single-page editors followed by the five wizard pages in wizard order.
const QList<EditorWindow>& editorWindows();
// The row of the window with this objectName; null for any other name.
const EditorWindow* findEditorWindow(const QString& name);
// Its content files, top to bottom; none for a name that is no editor window.
QList<ContentFile> contentFilesOfWindow(const QString& window);

// The order in which "end wizard" hides the pages.
QStringList wizardHideOrder();

// What the main window's two lists hold after loading, in order.
QStringList effectListEntries();
QStringList websiteKinds();

// "Launch Effect": the movie for an effect name, comparing whole texts exactly, with letter case.
std::optional<QString> movieForEffect(const QString& effectName);

// "Enter Text": the editor window for an effect name, compared in the same way.
std::optional<QString> editorForEffect(const QString& effectName);

inline constexpr auto applicationTitle = "Lumen quill";
inline constexpr auto templateRoot = "C:\\lumenquill\\";
inline constexpr auto installRoot = "c:\\lumen quill\\";
inline constexpr auto tutorialPage = "c:\\lumen quill\\tutorial\\TUTORIAL.HTM";

} // namespace lq

#pragma once

#include "Browser.h"
#include "Publishing.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolBar;
class QFrame;

namespace lq {

class MoviePlayer;
class PublishDialog;

// FRM1: the effect list, the website-kind list, "Enter Text", "Launch Effect" and the preview.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The window takes the player and places it in the preview frame.
    explicit MainWindow(MoviePlayer* player, QWidget* parent = nullptr);
    ~MainWindow() override;

    MoviePlayer* player() const { return m_player; }

    // The browser that shows the tutorial page; the desktop's own browser unless replaced.
    void setBrowser(std::unique_ptr<Browser> browser);
    // What the publishing dialog calls to publish; the program's own publishing unless replaced.
    void setPublisher(std::function<PublishOutcome(const PublishRequest&)> publisher);

public slots:
    // "Launch Effect": plays the movie of the effect named in the effect list, if it has one.
    void launchEffect();
    // "Enter Text": asks for the editor window of the effect named in the effect list.
    void openEditorForEffect();
    // File > "Publish for the Web…": opens the publishing dialog, preset to the effect list's
    // template, or brings back the one already open.
    void showPublishDialog();
    // File > Exit: ends the program at once, every window of it gone, nothing asked.
    void exitProgram();
    // Tutorials > Tutorial1: opens the tutorial page in a browser.
    void showTutorial();
    // About > About Lumen Quill.
    void showAbout();

protected:
    // A closed main window cannot come back: its movie stops and the player, with its web
    // engine's processes, goes at once; open editors stay.
    void closeEvent(QCloseEvent* event) override;

signals:
    // "Enter Text" asks for the editor window with this objectName.
    void editorRequested(const QString& window);

private:
    void initWindow();
    void initWidgets();
    void initControlPanel(QWidget* client);
    void initLayout();
    void createActions();
    void createMenus();
    void initToolbar();
    void initTabOrder();
    void initKeyboard();
    void fillLists();
    void describeForReaders();

    QFrame* m_toolbarFrame = nullptr;
    QToolBar* m_toolbar = nullptr;
    QFrame* m_controlPanel = nullptr;
    QComboBox* m_effectList = nullptr;
    QComboBox* m_websiteKindList = nullptr;
    QPushButton* m_enterTextButton = nullptr;
    QPushButton* m_launchButton = nullptr;
    QGroupBox* m_previewFrame = nullptr;
    MoviePlayer* m_player = nullptr;
    QLabel* m_credit = nullptr;
    // The menus' items; "UPLOAD YOUR SITE" and "Preview Examples" do nothing.
    QAction* m_uploadAction = nullptr;
    QAction* m_publishAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_tutorialAction = nullptr;
    QAction* m_previewExamplesAction = nullptr;
    QAction* m_aboutAction = nullptr;
    std::unique_ptr<Browser> m_browser;
    std::function<PublishOutcome(const PublishRequest&)> m_publisher = publishTemplate;
    QPointer<PublishDialog> m_publishDialog;
    // Focus changes are watched for the preview's focus ring; they go on while the window's base
    // classes are being destroyed, so the watch ends with the window itself.
    QMetaObject::Connection m_focusWatch;
};

} // namespace lq

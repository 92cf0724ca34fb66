#pragma once

#include "Browser.h"

#include <QMainWindow>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolBar;
class QFrame;

namespace lq {

class MoviePlayer;

// FRM1: the effect list, the website-kind list, "Enter Text", "Launch Effect" and the preview.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The window takes the player and places it in the preview frame.
    explicit MainWindow(MoviePlayer* player, QWidget* parent = nullptr);

    MoviePlayer* player() const { return m_player; }

    // The browser that shows the tutorial page; the desktop's own browser unless replaced.
    void setBrowser(std::unique_ptr<Browser> browser);

public slots:
    void Form_Load();
    void Cmdeffect_Click();
    void CMDTEXT_Click();
    // File > Exit: ends the program at once, every window of it gone, nothing asked.
    void mnuFileExit_Click();
    void mnuTutorialstut1_Click();
    void mnuAboutFlash_Click();

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
    void initLayout();
    void initMenus();
    void initToolbar();
    void initTabOrder();
    void connectMenus();

    QFrame* m_frme2 = nullptr;
    QToolBar* m_toolbar = nullptr;
    QFrame* m_frme5 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QPushButton* m_cmdText = nullptr;
    QPushButton* m_cmdEffect = nullptr;
    QGroupBox* m_frme1 = nullptr;
    MoviePlayer* m_player = nullptr;
    QLabel* m_credit = nullptr;
    std::unique_ptr<Browser> m_browser;
    // The last request made of the browser (the local page handed to it); nothing reads it back.
    QString m_explorer;
};

} // namespace lq

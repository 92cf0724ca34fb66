#include "MainWindow.h"

#include "DrivePaths.h"
#include "Messages.h"
#include "MoviePlayer.h"
#include "Pictures.h"
#include "Tables.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

namespace lq {

namespace {

// The window is laid out in pixels at 96 dots per inch, as its controls were placed.
constexpr QSize kClientArea(718, 533);
constexpr QSize kPlayerSize(529, 417);

constexpr auto kAboutText = "LUMEN QUILL  COPYRIGHT ORVEX SOFTWARE  ALL RIGHTS RESERVED  VERSION 1";

QFont dialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::SansSerif);
    // Spelled out so the controls do not take the window's bold.
    font.setWeight(QFont::Normal);
    return font;
}

QComboBox* makeEffectList(const QString& name, const QString& defaultText, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    // The field's text is read as it stands: Enter must not add what was typed to the list,
    // nor swap it for an entry that differs only in letter case, and no completer may change it.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setDuplicatesEnabled(true);
    box->setCompleter(nullptr);
    box->setEditText(defaultText);
    return box;
}

} // namespace

MainWindow::MainWindow(MoviePlayer* player, QWidget* parent)
    : QMainWindow(parent), m_player(player), m_browser(std::make_unique<SystemBrowser>())
{
    initWindow();
    initWidgets();
    initMenus();
    connectMenus();
    initToolbar();
    initLayout();
    initTabOrder();
    Form_Load();
}

void MainWindow::initWindow()
{
    setObjectName(QStringLiteral("FRM1"));
    setWindowTitle(QStringLiteral("LUMEN QUILL "));
    setWindowIcon(Pictures::icon(QStringLiteral("main")));
    // A close box and no minimise or maximise button; the frame stays resizable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Arial"), 9, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
}

void MainWindow::initWidgets()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    const QFont controls = dialogFont();

    m_frme2 = new QFrame(client);
    m_frme2->setObjectName(QStringLiteral("frme2"));
    m_frme2->setFrameShape(QFrame::StyledPanel);
    m_toolbar = new QToolBar(m_frme2);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setMovable(false);
    m_toolbar->setFocusPolicy(Qt::TabFocus);

    m_frme5 = new QFrame(client);
    m_frme5->setObjectName(QStringLiteral("frme5"));
    m_frme5->setFrameShape(QFrame::StyledPanel);
    m_frme5->setFont(controls);
    m_combo1 = makeEffectList(QStringLiteral("Combo1"), QStringLiteral("Effects"), m_frme5);
    m_combo2 = makeEffectList(QStringLiteral("combo2"), QStringLiteral("Effects2"), m_frme5);
    m_cmdText = new QPushButton(QStringLiteral("Enter Text"), m_frme5);
    m_cmdText->setObjectName(QStringLiteral("CMDTEXT"));
    m_cmdText->setAutoDefault(false);
    m_cmdEffect = new QPushButton(QStringLiteral("Launch Effect"), m_frme5);
    m_cmdEffect->setObjectName(QStringLiteral("Cmdeffect"));
    m_cmdEffect->setAutoDefault(false);
    connect(m_cmdText, &QPushButton::clicked, this, &MainWindow::CMDTEXT_Click);
    connect(m_cmdEffect, &QPushButton::clicked, this, &MainWindow::Cmdeffect_Click);

    m_frme1 = new QGroupBox(QStringLiteral("Preview effect only to see your text inside the flash "
                                           "movie press save and preview"),
                            client);
    m_frme1->setObjectName(QStringLiteral("frme1"));
    m_frme1->setFont(controls);
    m_player->setParent(m_frme1);
    m_player->setObjectName(QStringLiteral("ShockwaveFlash1"));
    m_player->setFocusPolicy(Qt::StrongFocus);

    m_credit = new QLabel(QStringLiteral("Lumen Quill is made by Orvex Software. More effects and "
                                         "help at www.orvex.example"),
                          client);
    m_credit->setObjectName(QStringLiteral("lbltit4d"));
    m_credit->setFont(controls);
    m_credit->setWordWrap(true);
}

void MainWindow::initLayout()
{
    // Fixed places, as the window was drawn: resizing the window moves no control.
    m_frme2->setGeometry(0, 0, kClientArea.width(), 34);
    m_toolbar->setGeometry(QRect(QPoint(2, 2), m_toolbar->sizeHint()));

    m_frme5->setGeometry(4, 40, 170, 484);
    m_combo1->setGeometry(8, 14, 154, 24);
    m_combo2->setGeometry(8, 48, 154, 24);
    m_cmdText->setGeometry(8, 396, 154, 30);
    m_cmdEffect->setGeometry(8, 434, 154, 30);

    const int titleHeight = 18;
    m_frme1->setGeometry(180, 40, kPlayerSize.width() + 6, kPlayerSize.height() + titleHeight + 4);
    m_player->setGeometry(3, titleHeight, kPlayerSize.width(), kPlayerSize.height());
    m_credit->setGeometry(180, m_frme1->geometry().bottom() + 6, m_frme1->width(), 40);

    menuBar()->ensurePolished();
    resize(kClientArea.width(),
           kClientArea.height() + menuBar()->heightForWidth(kClientArea.width()));
}

void MainWindow::initMenus()
{
    struct Item
    {
        const char* name;
        const char* caption;
    };
    auto addMenu = [this](const char* name, const char* caption,
                          std::initializer_list<Item> items) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        for (const Item& item : items) {
            QAction* action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
        }
    };
    addMenu("mnuFile", "File", {{"mnuFileFTP", "UPLOAD YOUR SITE"}, {"mnuFileExit", "Exit"}});
    addMenu("mnuTutorials", "Tutorials",
            {{"mnuTutorialstut1", "Tutorial1"}, {"mnuTutorialspreview", "Preview Examples"}});
    addMenu("mnuAbout", "About", {{"mnuAboutFlash", "About Lumen Quill"}});
    connect(findChild<QAction*>(QStringLiteral("mnuFileExit")), &QAction::triggered, this,
            &MainWindow::mnuFileExit_Click);
}

void MainWindow::connectMenus()
{
    // "UPLOAD YOUR SITE" and "Preview Examples" stay without an action, as do the toolbar buttons.
    auto item = [this](const char* name) {
        return findChild<QAction*>(QString::fromLatin1(name), Qt::FindChildrenRecursively);
    };
    connect(item("mnuTutorialstut1"), &QAction::triggered, this,
            &MainWindow::mnuTutorialstut1_Click);
    connect(item("mnuAboutFlash"), &QAction::triggered, this, &MainWindow::mnuAboutFlash_Click);
}

void MainWindow::initToolbar()
{
    // ImageList1's pictures; no button has an action.
    struct Button
    {
        const char* key;
        const char* tooltip;
        const char* picture;
    };
    for (const Button& button :
         {Button{"effect", "Effects Browser", "effect"}, Button{"Tips ", "Tips", "tips"},
          Button{"web", "Orvex Website", "web"}, Button{"tutorial", "Tutorials", "tutorial"}}) {
        QAction* action = m_toolbar->addAction(Pictures::icon(QString::fromLatin1(button.picture)),
                                               QString::fromLatin1(button.tooltip));
        action->setData(QString::fromLatin1(button.key));
        action->setToolTip(QString::fromLatin1(button.tooltip));
    }
}

void MainWindow::initTabOrder()
{
    // "Launch Effect" comes before "Enter Text" although it sits below it.
    setTabOrder(m_toolbar, m_combo1);
    setTabOrder(m_combo1, m_cmdEffect);
    setTabOrder(m_cmdEffect, m_cmdText);
    setTabOrder(m_cmdText, m_combo2);
    setTabOrder(m_combo2, m_player);
}

void MainWindow::Form_Load()
{
    m_combo1->addItems(effectListEntries());
    m_combo2->addItems(websiteKinds());
    // Select nothing: adding to an empty list picks its first entry, so undo that.
    m_combo1->setCurrentIndex(-1);
    m_combo1->setEditText(QStringLiteral("Effects"));
    m_combo2->setCurrentIndex(-1);
    m_combo2->setEditText(QStringLiteral("Effects2"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    delete m_player;
    m_player = nullptr;
    QMainWindow::closeEvent(event);
}

void MainWindow::Cmdeffect_Click()
{
    if (!m_player)
        return;
    if (const auto movie = movieForEffect(m_combo1->currentText()))
        m_player->setMovie(*movie);
}

void MainWindow::CMDTEXT_Click()
{
    if (const auto window = editorForEffect(m_combo1->currentText()))
        emit editorRequested(*window);
}

void MainWindow::mnuFileExit_Click()
{
    // Every window of the program goes, shown or hidden, without its closing being asked about;
    // whoever owns them destroys them once the event loop has ended.
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

void MainWindow::setBrowser(std::unique_ptr<Browser> browser)
{
    m_browser = std::move(browser);
}

void MainWindow::mnuTutorialstut1_Click()
{
    // Every choice opens one more browser window. A missing page is said here: the desktop's
    // opener, started detached, would refuse it with nobody to hear.
    const QString page = QString::fromLatin1(tutorialPage);
    const std::optional<QString> local = DrivePaths::toLocal(page);
    if (!local) {
        Messages::show(
            QStringLiteral("The tutorial page \u201C%1\u201D cannot be shown: its folder "
                           "leads outside \u201C%2\u201D.")
                .arg(page, QDir::toNativeSeparators(DrivePaths::dataFolder())));
        return;
    }
    if (!QFileInfo(*local).isFile()) {
        Messages::show(QStringLiteral("The tutorial page \u201C%1\u201D cannot be shown: it is not "
                                      "on this computer, where it belongs at \u201C%2\u201D.")
                           .arg(page, QDir::toNativeSeparators(*local)));
        return;
    }
    m_explorer = *local;
    if (!m_browser->open(*local))
        Messages::show(QStringLiteral("No web browser could be started to show the tutorial. You "
                                      "can open the page in your web browser yourself: %1")
                           .arg(QDir::toNativeSeparators(*local)));
}

void MainWindow::mnuAboutFlash_Click()
{
    Messages::show(QString::fromLatin1(kAboutText));
}

} // namespace lq

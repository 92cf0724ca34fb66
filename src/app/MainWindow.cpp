#include "MainWindow.h"

#include "Accessibility.h"
#include "DrivePaths.h"
#include "Messages.h"
#include "MoviePlayer.h"
#include "Pictures.h"
#include "PublishDialog.h"
#include "Tables.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolBar>

namespace lq {

namespace {

// The window is laid out in pixels at 96 dots per inch, as its controls were placed.
constexpr QSize kClientArea(718, 533);
constexpr QSize kPlayerSize(529, 417);

constexpr auto kNoMovie = "No movie";

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

QComboBox* makeEditableList(const QString& name, const QString& defaultText, QWidget* parent)
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

// The toolbar is a stop of its own in the tab order, though its buttons take no focus: it shows
// that it holds the focus, as every other stop does.
class FocusShowingToolBar : public QToolBar
{
public:
    using QToolBar::QToolBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QToolBar::paintEvent(event);
        if (!hasFocus())
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
};

// The preview's frame rings the player while the focus is in it: the movie draws no focus of its
// own, and keys typed then go to the movie.
class PreviewFrame : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

    void showFocusAround(QWidget* area)
    {
        if (m_focusedArea == area)
            return;
        m_focusedArea = area;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QGroupBox::paintEvent(event);
        if (!m_focusedArea)
            return;
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(m_focusedArea->geometry().adjusted(-2, -2, 1, 1));
    }

private:
    QPointer<QWidget> m_focusedArea;
};

} // namespace

MainWindow::MainWindow(MoviePlayer* player, QWidget* parent)
    : QMainWindow(parent), m_player(player), m_browser(std::make_unique<SystemBrowser>())
{
    initWindow();
    initWidgets();
    createActions();
    createMenus();
    initToolbar();
    initLayout();
    initTabOrder();
    initKeyboard();
    fillLists();
    describeForReaders();
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

    m_toolbarFrame = new QFrame(client);
    m_toolbarFrame->setObjectName(QStringLiteral("frme2"));
    m_toolbarFrame->setFrameShape(QFrame::StyledPanel);
    m_toolbar = new FocusShowingToolBar(m_toolbarFrame);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setMovable(false);
    m_toolbar->setFocusPolicy(Qt::TabFocus);

    initControlPanel(client);

    m_previewFrame =
        new PreviewFrame(QStringLiteral("Preview effect only to see your text inside the flash "
                                        "movie press save and preview"),
                         client);
    m_previewFrame->setObjectName(QStringLiteral("frme1"));
    m_previewFrame->setFont(controls);
    m_player->setParent(m_previewFrame);
    m_player->setObjectName(QStringLiteral("ShockwaveFlash1"));
    m_player->setFocusPolicy(Qt::StrongFocus);

    m_credit = new QLabel(QStringLiteral("Lumen Quill is made by Orvex Software. More effects and "
                                         "help at www.orvex.example"),
                          client);
    m_credit->setObjectName(QStringLiteral("lbltit4d"));
    m_credit->setFont(controls);
    m_credit->setWordWrap(true);
}

// The effect list, the website-kind list, "Enter Text" and "Launch Effect", in their frame.
void MainWindow::initControlPanel(QWidget* client)
{
    m_controlPanel = new QFrame(client);
    m_controlPanel->setObjectName(QStringLiteral("frme5"));
    m_controlPanel->setFrameShape(QFrame::StyledPanel);
    m_controlPanel->setFont(dialogFont());
    m_effectList =
        makeEditableList(QStringLiteral("Combo1"), QStringLiteral("Effects"), m_controlPanel);
    m_websiteKindList =
        makeEditableList(QStringLiteral("combo2"), QStringLiteral("Effects2"), m_controlPanel);
    m_enterTextButton = new QPushButton(QStringLiteral("Enter Text"), m_controlPanel);
    m_enterTextButton->setObjectName(QStringLiteral("CMDTEXT"));
    m_enterTextButton->setAutoDefault(false);
    m_launchButton = new QPushButton(QStringLiteral("Launch Effect"), m_controlPanel);
    m_launchButton->setObjectName(QStringLiteral("Cmdeffect"));
    m_launchButton->setAutoDefault(false);
    connect(m_enterTextButton, &QPushButton::clicked, this, &MainWindow::openEditorForEffect);
    connect(m_launchButton, &QPushButton::clicked, this, &MainWindow::launchEffect);
}

void MainWindow::initLayout()
{
    // Fixed places, as the window was drawn: resizing the window moves no control.
    m_toolbarFrame->setGeometry(0, 0, kClientArea.width(), 34);
    m_toolbar->setGeometry(QRect(QPoint(2, 2), m_toolbar->sizeHint()));

    m_controlPanel->setGeometry(4, 40, 170, 484);
    m_effectList->setGeometry(8, 14, 154, 24);
    m_websiteKindList->setGeometry(8, 48, 154, 24);
    m_enterTextButton->setGeometry(8, 396, 154, 30);
    m_launchButton->setGeometry(8, 434, 154, 30);

    const int titleHeight = 18;
    m_previewFrame->setGeometry(180, 40, kPlayerSize.width() + 6,
                                kPlayerSize.height() + titleHeight + 4);
    m_player->setGeometry(3, titleHeight, kPlayerSize.width(), kPlayerSize.height());
    m_credit->setGeometry(180, m_previewFrame->geometry().bottom() + 6, m_previewFrame->width(),
                          40);

    menuBar()->ensurePolished();
    resize(kClientArea.width(),
           kClientArea.height() + menuBar()->heightForWidth(kClientArea.width()));
}

void MainWindow::createActions()
{
    auto makeAction = [this](const char* name, const char* caption) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    m_uploadAction = makeAction("mnuFileFTP", "UPLOAD YOUR SITE");
    m_publishAction = new QAction(QStringLiteral("Publish for the Web\u2026"), this);
    m_publishAction->setObjectName(QStringLiteral("mnuFilePublish"));
    connect(m_publishAction, &QAction::triggered, this, &MainWindow::showPublishDialog);
    m_exitAction = makeAction("mnuFileExit", "Exit");
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::exitProgram);
    m_tutorialAction = makeAction("mnuTutorialstut1", "Tutorial1");
    connect(m_tutorialAction, &QAction::triggered, this, &MainWindow::showTutorial);
    m_previewExamplesAction = makeAction("mnuTutorialspreview", "Preview Examples");
    m_aboutAction = makeAction("mnuAboutFlash", "About Lumen Quill");
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::createMenus()
{
    auto addMenu = [this](const char* name, const char* caption, QList<QAction*> actions) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        menu->addActions(actions);
    };
    addMenu("mnuFile", "File", {m_uploadAction, m_publishAction, m_exitAction});
    addMenu("mnuTutorials", "Tutorials", {m_tutorialAction, m_previewExamplesAction});
    addMenu("mnuAbout", "About", {m_aboutAction});
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
    setTabOrder(m_toolbar, m_effectList);
    setTabOrder(m_effectList, m_launchButton);
    setTabOrder(m_launchButton, m_enterTextButton);
    setTabOrder(m_enterTextButton, m_websiteKindList);
    setTabOrder(m_websiteKindList, m_player);
}

MainWindow::~MainWindow()
{
    disconnect(m_focusWatch);
}

void MainWindow::initKeyboard()
{
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        const bool inPlayer = m_player && now && (now == m_player || m_player->isAncestorOf(now));
        static_cast<PreviewFrame*>(m_previewFrame)->showFocusAround(inPlayer ? m_player : nullptr);
    });
    // The menus have no mnemonics to reach them by; F10 opens the first, as on other desktops.
    auto* openMenus = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenus, &QShortcut::activated, this, [this] {
        const QList<QAction*> menus = menuBar()->actions();
        if (!menus.isEmpty())
            menuBar()->setActiveAction(menus.first());
    });
}

// What a screen reader says of the controls whose captions, or lack of one, tell too little.
void MainWindow::describeForReaders()
{
    m_toolbar->setAccessibleName(QStringLiteral("Main toolbar"));
    auto nameList = [](QComboBox* list, const QString& name, const QString& description) {
        list->setAccessibleName(name);
        Accessibility::labelUnseen(list, name);
        list->setAccessibleDescription(description);
        list->lineEdit()->setAccessibleName(name);
        list->lineEdit()->setAccessibleDescription(description);
    };
    nameList(m_effectList, QStringLiteral("Effect list"),
             QStringLiteral("The effect that Enter Text and Launch Effect work on"));
    nameList(m_websiteKindList, QStringLiteral("Website kind list"),
             QStringLiteral("The kind of your website"));
    m_enterTextButton->setAccessibleDescription(
        QStringLiteral("Opens the text editor of the effect in the effect list"));
    m_launchButton->setAccessibleDescription(
        QStringLiteral("Plays the movie of the effect in the effect list in the movie preview"));
    m_player->setAccessibleName(QStringLiteral("Movie preview"));
    m_player->setAccessibleDescription(QString::fromLatin1(kNoMovie));
    // The area shows why a movie cannot be played only as pixels; the reader hears it too.
    connect(m_player, &MoviePlayer::movieFailed, this,
            [this](const QString&, const QString& reason) {
                Accessibility::setDescription(m_player, reason);
            });
}

void MainWindow::fillLists()
{
    m_effectList->addItems(effectListEntries());
    m_websiteKindList->addItems(websiteKinds());
    // Select nothing: adding to an empty list picks its first entry, so undo that.
    m_effectList->setCurrentIndex(-1);
    m_effectList->setEditText(QStringLiteral("Effects"));
    m_websiteKindList->setCurrentIndex(-1);
    m_websiteKindList->setEditText(QStringLiteral("Effects2"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    delete m_player;
    m_player = nullptr;
    QMainWindow::closeEvent(event);
}

void MainWindow::launchEffect()
{
    if (!m_player)
        return;
    const QString effect = m_effectList->currentText();
    const auto movie = movieForEffect(effect);
    if (!movie)
        return;
    Accessibility::setDescription(m_player,
                                  QStringLiteral("Plays the %1 template, %2").arg(effect, *movie));
    m_player->setMovie(*movie);
}

void MainWindow::openEditorForEffect()
{
    if (const auto window = editorForEffect(m_effectList->currentText()))
        emit editorRequested(*window);
}

void MainWindow::exitProgram()
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

void MainWindow::setPublisher(std::function<PublishOutcome(const PublishRequest&)> publisher)
{
    m_publisher = std::move(publisher);
}

void MainWindow::showTutorial()
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
    if (!m_browser->open(*local))
        Messages::show(QStringLiteral("No web browser could be started to show the tutorial. You "
                                      "can open the page in your web browser yourself: %1")
                           .arg(QDir::toNativeSeparators(*local)));
}

void MainWindow::showPublishDialog()
{
    if (!m_publishDialog) {
        PublishDialog::Services services;
        services.publish = m_publisher;
        services.open = [this](const QString& path) { return m_browser->open(path); };
        m_publishDialog = new PublishDialog(m_effectList->currentText(), std::move(services), this);
        m_publishDialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Window-modal and without a loop of its own: the main window waits, the program does not.
    m_publishDialog->open();
    m_publishDialog->raise();
    m_publishDialog->activateWindow();
}

void MainWindow::showAbout()
{
    Messages::show(QString::fromLatin1(kAboutText));
}

} // namespace lq

#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QHash>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace lq {

namespace {

// Six boxes with a button under each: a tall column.
constexpr QSize kColumnWindow(360, 460);
// The preloader's single box: a wide, low window.
constexpr QSize kSingleBoxWindow(420, 170);
// A wizard page: 6000 by 7200 twips.
constexpr QSize kWizardPage(400, 480);

// Each wizard page opens a little right of and below the one before it, so that it covers nearly
// all of it and the pages read as one stack.
constexpr QPoint kFirstWizardPage(140, 50);
constexpr QPoint kWizardStep(14, 28);

// The single-page editors stand to the right of the main window, staggered so that their
// captions stay readable when several are open.
constexpr QPoint kFirstEditor(600, 40);
constexpr QPoint kEditorStep(28, 16);

// The title bar and borders, for as long as the window system has not told us their size.
constexpr QMargins kFrameAllowance(8, 31, 8, 8);

QMargins frameMarginsOf(QWidget* window)
{
    if (const QWindow* handle = window->windowHandle()) {
        const QMargins margins = handle->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    return kFrameAllowance;
}

QPoint editorPosition(int index)
{
    return kFirstEditor + kEditorStep * index;
}

QPoint wizardPosition(int page)
{
    return kFirstWizardPage + kWizardStep * page;
}

} // namespace

WindowPlacement placementOf(const QString& window)
{
    static const QHash<QString, WindowPlacement> table = {
        {QStringLiteral("frmvector"), {kColumnWindow, editorPosition(0)}},
        {QStringLiteral("frmFlowers"), {kColumnWindow, editorPosition(1)}},
        {QStringLiteral("frm3d"), {kColumnWindow, editorPosition(2)}},
        {QStringLiteral("frmcube"), {kColumnWindow, editorPosition(3)}},
        {QStringLiteral("frmspiro"), {kColumnWindow, editorPosition(4)}},
        {QStringLiteral("frmmatrix"), {kColumnWindow, editorPosition(5)}},
        {QStringLiteral("frmpre"), {kSingleBoxWindow, {}, true}},
        {QStringLiteral("frm2fireworks"), {kWizardPage, wizardPosition(0)}},
        {QStringLiteral("frmvision2"), {kWizardPage, wizardPosition(1)}},
        {QStringLiteral("frmservices1"), {kWizardPage, wizardPosition(2)}},
        {QStringLiteral("frmclients2"), {kWizardPage, wizardPosition(3)}},
        {QStringLiteral("frmtitle"), {kWizardPage, wizardPosition(4)}},
    };
    return table.value(window, WindowPlacement{kColumnWindow, {}, true});
}

void applyPlacement(QWidget* window, const WindowPlacement& placement)
{
    window->resize(placement.size);
    // The window system knows the frame best once the window exists.
    window->winId();
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window->move(placement.position);
        return;
    }
    const QRect area = screen->availableGeometry();
    const QMargins margins = frameMarginsOf(window);
    const QSize frame = placement.size.grownBy(margins);
    // move() places the frame, title bar included.
    if (placement.centred) {
        window->move(area.center() - QPoint(frame.width(), frame.height()) / 2);
        return;
    }
    // Keep the whole window on the screen; where it cannot fit, its top-left corner wins.
    const int x =
        qMax(area.left(), qMin(placement.position.x(), area.left() + area.width() - frame.width()));
    const int y =
        qMax(area.top(), qMin(placement.position.y(), area.top() + area.height() - frame.height()));
    window->move(x, y);
}

} // namespace lq

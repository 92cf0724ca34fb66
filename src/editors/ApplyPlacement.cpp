#include "ApplyPlacement.h"

#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace lq {

namespace {

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

} // namespace

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

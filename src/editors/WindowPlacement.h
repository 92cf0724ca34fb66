#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

class QWidget;

namespace lq {

// Where an editor window opens and how big it is, in pixels at 96 dots per inch.
struct WindowPlacement
{
    QSize size;
    QPoint position;      // top-left corner of the frame on the screen
    bool centred = false; // opens in the middle of the screen instead
};

// The fixed placement of an editor window or wizard page, by objectName. Unknown names get a
// placement in the middle of the screen.
WindowPlacement placementOf(const QString& window);

// Sizes the window and moves it to its place, kept inside the screen it opens on, so that a
// small screen never hides a window's caption or its lowest button.
void applyPlacement(QWidget* window, const WindowPlacement& placement);

} // namespace lq

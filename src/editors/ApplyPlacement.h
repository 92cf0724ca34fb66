#pragma once

#include "Tables.h"

class QWidget;

namespace lq {

// Sizes the window and moves it to its place, kept inside the screen it opens on, so that a
// small screen never hides a window's caption or its lowest button.
void applyPlacement(QWidget* window, const WindowPlacement& placement);

} // namespace lq

#pragma once

#include "ProgramEnvironment.h"

namespace lq {

// Call before the application object exists. The preview's web view draws through Qt Quick; left
// to itself that asks for OpenGL, which loads the system's GL driver into the program, and the
// window that holds the view is given a new native window (unmapped, then mapped again) so that
// it can show GL content. Drawn in software the view needs neither: the main window keeps the
// native window it was shown with, on X11 and Wayland alike, and the web engine leaves the GPU
// alone. A user who sets any of these variables keeps their choice.
inline void drawPreviewInSoftware()
{
    ProgramEnvironment::setDefault("QT_QUICK_BACKEND", "software");
    // Asked what GL it offers, the windowing system's plugin loads the GL driver (some 40 MiB with
    // a software one) for nothing: the program never draws with GL. On X11 the web engine's start
    // asks; on Wayland the plugin loads it for the first window (and says once, harmlessly, that it
    // found no buffer integration of that name).
    ProgramEnvironment::setDefault("QT_XCB_GL_INTEGRATION", "none");
    ProgramEnvironment::setDefault("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION", "none");
}

} // namespace lq

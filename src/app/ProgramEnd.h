#pragma once

namespace lq {

// Ends the program once none of its windows is visible any more, however that came about: the
// last window closed, or hidden (the wizard's "end wizard" hides its pages, and the main window may
// have been closed before). Without this a program with only hidden windows would run on with no
// way to reach it. Call once, after the application object exists.
void endWhenNoWindowIsShown();

} // namespace lq

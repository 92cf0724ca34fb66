#pragma once

namespace lq {

// True when the arguments ask for something the command line does without a window: publishing,
// --help, --version, or anything it must refuse (an unknown option). A start with no argument
// but Qt's own options (-platform, -style, ...) opens the main window.
bool isCommandLineRequest(int argc, char* argv[]);

// Does what the command line asks, with a core application only (no display, no web engine), and
// returns the exit code: 0 on success, with what was written on standard output; otherwise one
// line on standard error.
int runCommandLine(int argc, char* argv[]);

} // namespace lq

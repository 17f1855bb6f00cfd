// The monitor without a window: connect, back up, restore, compare or send
// commands, say goodbye, and end with a status a script can test.
#pragma once

#include "app/commandline.h"

namespace app {

// Runs the command line's task to its end; the process's exit status.
// Creates the application object itself (no display is needed).
int runHeadless(const CommandLine &commandLine, int &argc, char **argv);

} // namespace app

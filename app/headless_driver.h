// The headless program: the terminal without a window, driven from a
// console or a test harness. Everything appended to the terminal display is
// written to standard output; operator dialogs print what they show on
// standard error and take their answers line by line from the answers file
// or standard input; SIGINT is the ESC key, a second one ends the program.
//
//   --list-devices  the device list, one entry a line
//   --exec LINE     LINE runs on the selected device as the Enter key runs
//                   the command entry; exit 3 when no device is selected or
//                   it could not be opened, 1 when a check failed
//   /A<n>           a start-up script runs until it ends or closes the
//                   program; exit 1 when its fail count is above 0
//   otherwise       a line terminal: every input line runs as Enter would,
//                   until the end of the input
#pragma once

#include "app/application.h"
#include "app/command_options.h"
#include "app/gui/headless_gui.h"
#include "app/program.h"

namespace app {

// Runs `application` (not started yet) on `gui` and returns the exit code.
int RunHeadless(gui::HeadlessGui& gui, Application& application, const CommandOptions& options,
                ProgramIo& io);

}  // namespace app

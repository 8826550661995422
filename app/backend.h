// The backend the program runs on, made in one place at start-up: the
// window when this build has one, a display exists and the options ask for
// no headless run (none of --headless, --exec, --program, --list-devices); the
// headless backend on real time otherwise.
#pragma once

#include <memory>
#include <string>

#include "app/command_options.h"
#include "platform/result.h"
#include "ui/contract/gui.h"
#include "ui/headless/headless_gui.h"

namespace app {

struct Backend {
  std::unique_ptr<ui::Gui> gui;
  ui::headless::HeadlessGui* headless = nullptr;  // the same object when it is the headless backend
  // How opening the window went: a failure that says why when the options
  // asked for the window and the run is headless instead; success otherwise.
  platform::Result<> window;
};

// True when the options leave the choice to the build and the display.
bool WantsWindow(const CommandOptions& options);

// Never fails: without a window the run is headless (Backend::window).
Backend MakeBackend(const CommandOptions& options, const std::string& programName);

}  // namespace app

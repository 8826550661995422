#include "app/backend.h"

#include "ui/contract/window.h"

namespace app {

bool WantsWindow(const CommandOptions& options) {
  // An answers file stands in for the operator: nobody sits at a window.
  return !options.headless && !options.execLine && !options.RunsProgram() && !options.listDevices &&
         options.answersFile.empty();
}

Backend MakeBackend(const CommandOptions& options, const std::string& programName) {
  Backend backend;
  if (WantsWindow(options)) {
    platform::Result<std::unique_ptr<ui::Gui>> window = ui::OpenWindowBackend(programName);
    if (window) {
      backend.gui = std::move(window).value();
      return backend;
    }
    backend.window = window.Failure();
  }
  auto headless =
      std::make_unique<ui::headless::HeadlessGui>(ui::headless::HeadlessGui::Time::Real);
  backend.headless = headless.get();
  backend.gui = std::move(headless);
  return backend;
}

}  // namespace app

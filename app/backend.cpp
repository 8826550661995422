#include "app/backend.h"

#include "ui/contract/window.h"

namespace app {

bool WantsWindow(const CommandOptions& options) {
  return !options.headless && !options.execLine && !options.RunsProgram() && !options.listDevices;
}

Backend MakeBackend(const CommandOptions& options, const std::string& programName) {
  Backend backend;
  if (WantsWindow(options)) {
    backend.gui = ui::OpenWindowBackend(programName, backend.why);
    if (backend.gui) return backend;
  }
  auto headless =
      std::make_unique<ui::headless::HeadlessGui>(ui::headless::HeadlessGui::Time::Real);
  backend.headless = headless.get();
  backend.gui = std::move(headless);
  return backend;
}

}  // namespace app

#include "app/program.h"

#include <ostream>

#include "app/application.h"
#include "app/backend.h"
#include "app/command_options.h"
#include "app/headless_driver.h"
#include "app/main_form.h"

namespace app {
namespace {

// A run in the window: the operator ends it by closing the main window, or
// a script does.
int RunWindow(gui::Gui& gui, Application& application, const CommandOptions& options) {
  application.onScriptEnded = [&gui](int result) {
    if (result == autocontrol::kStepCloseApplication) gui.Quit(0);
  };
  application.Start(options);
  if (options.device) gui.SelectItem(kMainForm, tmain::kDeviceSelector, *options.device);
  gui.Run();
  return application.PlainCapture().FailCount == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments, ProgramIo io,
               const LinkSetup& setupLinks) {
  CommandOptions options = ParseCommandOptions(arguments);
  if (!options.error.empty()) {
    io.err << "halvorn-terminal: " << options.error << "\n" << kUsage;
    return kExitUsage;
  }
  Backend backend = MakeBackend(options, io.programName);
  if (!backend.why.empty()) io.err << "halvorn-terminal: no window (" << backend.why << ")\n";

  platform::DataFolders folders(options.dataRoot);
  devices::DeviceRegistry registry;
  if (setupLinks) setupLinks(registry, folders);
  Application application(*backend.gui, folders, registry);
  application.onError = [&io](const std::string& text) {
    io.err << "halvorn-terminal: " << text << "\n";
    io.err.flush();
  };
  if (backend.headless) return RunHeadless(*backend.headless, application, options, io);
  return RunWindow(*backend.gui, application, options);
}

}  // namespace app

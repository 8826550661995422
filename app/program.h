// The program's start-up, apart from main() so that tests can run the very
// code path of `halvorn-terminal --headless --exec "..."` with links of
// their own: the options, the backend (app/backend.h), the links and the
// application, then the window's event loop or the headless driver
// (console/headless_driver.h).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "console/console_io.h"
#include "devices/device_registry.h"
#include "platform/data_folders.h"

namespace app {

// Installs the transports of the link kinds this program can reach.
using LinkSetup = std::function<void(devices::DeviceRegistry&, const platform::DataFolders&)>;

// Runs the program with `arguments` (without the program name).
int RunProgram(const std::vector<std::string>& arguments, ProgramIo io,
               const LinkSetup& setupLinks);

}  // namespace app

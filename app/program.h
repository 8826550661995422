// The program's start-up, apart from main() so that tests can run the very
// code path of `halvorn-terminal --headless --exec "..."` with links of
// their own: the options, the backend (app/backend.h), the links and the
// application, then the window's event loop or the headless driver
// (app/headless_driver.h).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "devices/device_registry.h"
#include "platform/data_folders.h"

namespace app {

struct ProgramIo {
  std::istream& in;   // operator input: command lines, dialog answers
  std::ostream& out;  // everything appended to the terminal display
  std::ostream& err;  // messages of dialogs and message boxes, usage errors
  int inputFd = -1;   // when >= 0, `in` is this descriptor and is polled
  int outputFd = -1;  // when >= 0, `out` is this descriptor (a terminal gets line editing)
  std::string programName = "halvorn-terminal";  // argv[0]
};

// Installs the transports of the link kinds this program can reach.
using LinkSetup = std::function<void(devices::DeviceRegistry&, const platform::DataFolders&)>;

// Exit statuses (docs/command-line.md); where several apply, the first of
// 2, 3, 4, 5, 1 wins, and a run ended by a signal ends with 128 + its number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the fail count is above 0
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeviceNotAvailable = 3;
inline constexpr int kExitRecordLost = 4;  // a result, CSV or report file was not written
inline constexpr int kExitNoReply = 5;     // --exec, --program: a command got no reply
inline constexpr int kExitSignal = 128;

// Runs the program with `arguments` (without the program name).
int RunProgram(const std::vector<std::string>& arguments, ProgramIo io,
               const LinkSetup& setupLinks);

}  // namespace app

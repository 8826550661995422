// What a run without a window reads and writes: the operator's input, the
// display's output and the messages, and the exit statuses it ends with.
#pragma once

#include <iosfwd>
#include <string>

namespace app {

struct ProgramIo {
  std::istream& in;   // operator input: command lines, dialog answers
  std::ostream& out;  // everything appended to the terminal display
  std::ostream& err;  // messages of dialogs and message boxes, usage errors
  int inputFd = -1;   // when >= 0, `in` is this descriptor and is polled
  int outputFd = -1;  // when >= 0, `out` is this descriptor (a terminal gets line editing)
  std::string programName = "halvorn-terminal";  // argv[0]
};

// Exit statuses (docs/command-line.md); where several apply, the first of
// 2, 3, 4, 5, 1 wins, and a run ended by a signal ends with 128 + its number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the fail count is above 0
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeviceNotAvailable = 3;
inline constexpr int kExitRecordLost = 4;  // a result, CSV or report file was not written
inline constexpr int kExitNoReply = 5;     // --exec, --program: a command got no reply
inline constexpr int kExitSignal = 128;

}  // namespace app

// The headless program: the terminal without a window, driven from a
// console, a test harness or a build server. Everything appended to the
// terminal display is written to standard output; operator dialogs print
// what they show on standard error and take their answers line by line from
// the answers file or standard input.
//
//   --list-devices  the device list, one entry a line
//   --exec LINE     LINE runs on the selected device as the Enter key runs
//                   the command entry
//   --program N|F   program N (1..10) or file F runs as a program key runs it
//   /A<n>           a start-up script runs until it ends or closes the program
//   otherwise       a line terminal: every input line runs as Enter would,
//                   until the end of the input
//
// Signals (console/stop_signals.h): SIGINT is the ESC key; a second SIGINT
// before the first was acted on, SIGTERM, SIGHUP or SIGQUIT act as ESC (the
// running line sends "ABORT", or "ABORT" is sent to the selected device; a
// script saves what its ESC path saves) and end the run with 128 + the
// signal's number. With --report FILE the JUnit report of the run
// (records/run_report.h) is written at the end, also after ESC or a signal,
// and so is the plot of the replies that are numbers with --plot FILE (a
// PNG picture or a CSV table with one row a sample, by the name's end).
//
// The exit status is the first that applies: 3 the selected device was not
// available or not in the list (or no device was selected for a line), 4 a
// record was lost (a result or CSV file, the report or the plot), 5 a command got no
// reply in --exec or --program, 1 the fail count is above 0, else 0; 2 for
// a usage error found at start-up (an unreadable answers file, a missing
// program file, --report without a run that has verdicts).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_io.h"
#include "station/application.h"
#include "ui/headless/headless_gui.h"

namespace app {

// What a run without a window does (the command line's words for it).
struct HeadlessOptions {
  int scriptNumber = 0;  // /A<n>; 0: no switch
  std::string answersFile;
  std::optional<int> device;
  std::optional<std::string> execLine;
  // --program: a stored program number (1..10) or a file ("3" is program 3;
  // a file named 3 is given as "./3").
  int programNumber = 0;
  std::string programFile;
  std::string reportFile;
  std::string plotFile;  // --plot: .png or .csv
  bool listDevices = false;
  bool sessionLog = false;  // --session-log: the display also goes to a session log

  bool RunsProgram() const { return programNumber != 0 || !programFile.empty(); }
  // --exec, --program and --list-devices are runs of their own: a start-up
  // script is not loaded for them.
  bool RunsStartupScript() const { return !execLine && !RunsProgram() && !listDevices; }
  // What start-up loads for this run.
  StartUp Start() const {
    return {scriptNumber, RunsStartupScript(), sessionLog, !plotFile.empty()};
  }
};

// Reads operator lines either from a stream or, for a terminal or pipe on a
// descriptor, with a bounded wait so that signals are noticed while idle. A
// line is read in time proportional to its length (the search for its end
// goes on where the last one stopped). A line longer than kLineLimit is cut
// to its first kLineLimit bytes, the rest read and dropped, and standard
// error says so: a pipe can carry lines of any length, and memory must stay
// bounded whatever comes through it.
class LineReader {
 public:
  // As large as a whole answers file may be.
  static constexpr std::size_t kLineLimit = 16u << 20;

  explicit LineReader(ProgramIo& io) : io_(io) {}
  // Waits up to `seconds` for a complete line (without its CR LF or LF).
  // True with `line` set; false on time-out or at the end of the input.
  bool Next(std::string& line, double seconds);
  bool AtEnd() const { return end_ && long_.empty() && start_ == buffer_.size() && !dropping_; }

 private:
  // Moves the part set aside and `keep` bytes at start_ into `line` and goes
  // on `skip` bytes after start_.
  void TakeLine(std::string& line, std::size_t keep, std::size_t skip);
  void SetAside(std::size_t length);
  void SayCut();
  static void Strip(std::string& line);
  ProgramIo& io_;
  // The start of a long line, searched. It grows as the line does (at most
  // kLineLimit, in one piece of memory that goes back to the system when
  // freed) and becomes the line without a copy.
  std::string long_;
  std::string buffer_;  // read data; what lies before start_ is taken
  std::size_t start_ = 0;
  std::size_t searched_ = 0;  // no line end in this much after start_
  bool dropping_ = false;     // the line has reached the limit: dropped up to its end
  bool end_ = false;
};

// `text` as the display's output shows it on a terminal: CR, LF, TAB and
// printable bytes as they are, other control bytes in caret notation (^[ for
// ESC, ^? for DEL) and the 8-bit controls 0x80 to 0x9F as \xNN, so that no
// byte a controller sends is taken by the terminal as a command. Pipes and
// files get the bytes as they are.
std::string ShownOnATerminal(std::string_view text);

// Runs `application` (not started yet) on `gui` and returns the exit status.
int RunHeadless(ui::headless::HeadlessGui& gui, Application& application,
                const HeadlessOptions& run, ProgramIo& io);

}  // namespace app

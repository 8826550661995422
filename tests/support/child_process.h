// Runs the project's own programs from tests: driven like an operator at a console, or to
// completion with its output captured; and the simulator on a pseudo-terminal.
#pragma once

#include <string>
#include <vector>

#include "support/test_folder.h"

namespace testing_support {

// The folder of the built programs (HALVORN_BIN_DIR, set by CTest).
std::string BinDir();

// halvorn-terminal --headless on the data folder `root`, with `args`.
std::vector<std::string> Terminal(const std::string& root, std::vector<std::string> args = {});

// Script `n` (autocontrol_n.txt, the /An switch) in the data folder `root`, its folders made first.
void WriteScript(const TestFolder& root, int n, const std::string& text);

// A program driven like an operator at a console: lines written to its standard input, its
// output read as it comes, signals sent to it. Killed when the test ends, unless it ended first.
class InteractiveProcess {
 public:
  // `blockedSignals` reach the program held (blocked) from its start, as a parent can hand them
  // on; a program that takes them unblocks them.
  InteractiveProcess(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extraEnvironment = {},
                     const std::vector<int>& blockedSignals = {});
  ~InteractiveProcess();
  InteractiveProcess(const InteractiveProcess&) = delete;
  InteractiveProcess& operator=(const InteractiveProcess&) = delete;

  void WriteLine(const std::string& line) { Write(line + "\n"); }
  void Write(const std::string& text);
  void CloseInput();
  // Reads output until standard error has shown `text` `count` times in all (or `seconds` pass);
  // true when it has.
  bool WaitForError(const std::string& text, int count, double seconds) {
    return WaitFor(err_, text, count, seconds);
  }
  // The same for standard output.
  bool WaitForOutput(const std::string& text, int count, double seconds) {
    return WaitFor(out_, text, count, seconds);
  }
  // Sends `signal` and waits until the program has taken it.
  void Signal(int signal);
  // Waits until the program has a handler for `signal` (up to `seconds`); true when it has.
  bool WaitForHandler(int signal, double seconds);
  // The process id; -1 when it did not start or has been waited for.
  int Pid() const { return pid_; }
  // Waits for the end (up to `seconds`, then kills it) and returns the exit code, or 128 + the
  // signal that ended it.
  int Wait(double seconds);
  // After Wait(): a signal ended the program (its default action, or the kill of a time-out),
  // rather than the program itself.
  bool KilledBySignal() const { return killedBySignal_; }

  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  void Pump(int milliseconds);
  bool WaitFor(const std::string& stream, const std::string& text, int count, double seconds);
  int pid_ = -1;
  bool killedBySignal_ = false;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
};

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end with `input` on its standard input.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         const std::vector<std::string>& extraEnvironment = {});

// What Debian's sqlite3 shell prints for `sql` on `db` ("|" between columns), read-only.
std::string Sqlite(const std::string& db, const std::string& sql);

// halvorn-sim with `options`, its port also reached through `link` inside `folder`; `port` is
// the pseudo-terminal it serves ("" when it did not start).
struct Simulator {
  explicit Simulator(std::vector<std::string> options);
  TestFolder folder;
  const std::string link = folder / "ttySIM";
  InteractiveProcess process;
  std::string port;
};

// A socket bound to a free loopback port, which becomes `port`.
int BoundLoopbackSocket(int& port);

}  // namespace testing_support

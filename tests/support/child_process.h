// Runs the project's own programs from tests: one in the background until the
// test ends (a simulator), or one to completion with its output captured.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The folder of the built programs (HALVORN_BIN_DIR, set by CTest).
std::string BinDir();

class BackgroundProcess {
 public:
  explicit BackgroundProcess(const std::vector<std::string>& argv,
                             const std::vector<std::string>& extraEnvironment = {});
  ~BackgroundProcess();  // SIGTERM, then waits
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  bool Started() const { return pid_ > 0; }
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
};

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end with `input` on its standard input.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         const std::vector<std::string>& extraEnvironment = {});

// A program driven like an operator at a console: lines written to its
// standard input, its output read as it comes, signals sent to it.
class InteractiveProcess {
 public:
  InteractiveProcess(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extraEnvironment = {});
  ~InteractiveProcess();
  InteractiveProcess(const InteractiveProcess&) = delete;
  InteractiveProcess& operator=(const InteractiveProcess&) = delete;

  void WriteLine(const std::string& line);
  void Write(const std::string& text);
  void CloseInput();
  // Reads output until standard error has shown `text` `count` times in all
  // (or `seconds` pass); true when it has.
  bool WaitForError(const std::string& text, int count, double seconds);
  // The same for standard output.
  bool WaitForOutput(const std::string& text, int count, double seconds);
  void Signal(int signal);
  // Waits for the end (up to `seconds`, then kills it) and returns the exit code.
  int Wait(double seconds);
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  void Pump(int milliseconds);
  bool WaitFor(const std::string& stream, const std::string& text, int count, double seconds);
  int pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
};

// Waits (up to `seconds`) until `path` exists.
bool WaitForPath(const std::string& path, double seconds);

}  // namespace testing_support

// What the station tells the front end and the records of a run, and what it
// takes from the world around it. Both are interfaces with named calls, so a
// new consumer (a report, a log) is one more listener and the application
// itself does not change.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "autocontrol/script.h"
#include "records/result_files.h"

namespace app {

class StationListener {
 public:
  virtual ~StationListener() = default;
  // A device entry that could not be opened (and why, when the link tells),
  // or a line that found no device selected (`entry` empty).
  virtual void OnDeviceNotAvailable(const std::string& /*entry*/, const std::string& /*reason*/) {}
  // The application has started: its script (if any) is loaded, its
  // listeners can be added.
  virtual void OnStarted() {}
  // An answer the operator gave a script's dialog (`passFail`: the pass/fail
  // question's).
  virtual void OnOperatorAnswer(const std::string& /*prompt*/, const std::string& /*answer*/,
                                bool /*passFail*/) {}
  // A result file of the script was written, or could not be.
  virtual void OnResultFile(const records::ResultFile& /*file*/) {}
  // The script ended (EndScript) or closed the application (CloseApplication).
  virtual void OnScriptEnded(autocontrol::StepResult /*result*/) {}
  // What the operator must learn even without the display (a record that
  // could not be written, a settings line a link could not use).
  virtual void OnError(const std::string& /*text*/) {}
};

// The clock and the other programs of the machine. The program uses the
// system's; tests bring their own clock and their own program starter.
class Surroundings {
 public:
  virtual ~Surroundings() = default;
  virtual std::tm LocalTime() = 0;
  // Starts a program (argv[0] is its path) and waits for it when `wait`;
  // false when it could not be started.
  virtual bool StartProgram(const std::vector<std::string>& argv, bool wait) = 0;
};

class SystemSurroundings final : public Surroundings {
 public:
  std::tm LocalTime() override;
  bool StartProgram(const std::vector<std::string>& argv, bool wait) override;
};

}  // namespace app

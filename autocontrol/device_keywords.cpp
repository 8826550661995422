#include "autocontrol/device_keywords.h"

#include <algorithm>

#include "autocontrol/script.h"
#include "platform/text.h"

namespace autocontrol {

using platform::RemoveChars;

StepResult DeviceKeywords::RunProgram(int digit, const std::string& argument) {
  int number = digit;
  std::string name;
  if (number == 0) {
    if (argument.empty()) {
      number = 11;
    } else {
      number = 1;
      name = argument;
    }
  }
  engine::EngineState& engine = script_.engine_.State();
  if (engine.EngineRunning) return StepResult::Idle;
  if (const platform::Result<> loaded = script_.host_.LoadProgram(number, name); !loaded) {
    // A program the script asked for and did not get is a failed test, not
    // a pass. A file that could not be read has said so already; nothing
    // asked for (a cancelled dialog, ESC, no commands) is no fault.
    if (loaded.Kind() == platform::ResultKind::NotFound) script_.MessageLine(loaded.Text());
    if (loaded.Kind() != platform::ResultKind::Cancelled) ++script_.capture_.FailCount;
    return StepResult::Idle;
  }
  script_.state_.RunningProgram = true;
  engine.PumpSuppressed = false;
  engine.SerialTimeoutFlag = false;
  script_.host_.ExecuteOnSelectedDevice(script_.host_.ProgramCommandLine());
  engine.SerialTimeoutFlag = false;
  script_.state_.RunningProgram = false;
  return StepResult::GoOn;
}

StepResult DeviceKeywords::ShellApp(const std::string& argument) {
  std::string text = platform::TrimBlanks(argument);
  bool wait = true;
  if (platform::ToUpper(text.substr(0, 3)) == "{A}") {
    wait = false;
    text = platform::TrimBlanks(text.substr(3));
  }
  std::vector<std::string> argv = SplitCommandLine(text);
  // No program named (nothing, or "" first): nothing to start, not even the
  // AutoControl folder itself.
  if (argv.empty() || argv[0].empty()) return StepResult::GoOn;
  if (text.find('/') == std::string::npos && text.find('\\') == std::string::npos) {
    argv[0] = script_.folders_.DataPath("AppPrograms\\AutoControl\\" + argv[0]);
  }
  script_.host_.StartProgram(argv, wait);  // a program that cannot start is passed over
  return StepResult::GoOn;
}

StepResult DeviceKeywords::CmdReply(int n, const std::string& argument) {
  engine::EngineState& engine = script_.engine_.State();
  if (engine.EngineRunning) return StepResult::Idle;
  script_.capture_.ReplyCaptureSlot = n;
  engine.PumpSuppressed = false;
  std::string line = argument;
  std::replace(line.begin(), line.end(), '|', ',');
  engine.SerialTimeoutFlag = false;
  script_.host_.ExecuteOnSelectedDevice(line);
  engine.SerialTimeoutFlag = false;
  script_.capture_.ReplyCaptureSlot = 0;
  return StepResult::GoOn;
}

StepResult DeviceKeywords::CmdVerify(const std::string& argument) {
  engine::EngineState& engine = script_.engine_.State();
  if (engine.EngineRunning) return StepResult::Idle;
  const std::string device = script_.host_.SelectedDevice();
  script_.capture_.ReplyCaptureSlot = engine::kCaptureVerify;
  script_.capture_.VerifyExpected.clear();
  std::string line = argument;
  std::size_t brace = argument.find('{');
  if (brace != std::string::npos) {
    script_.capture_.VerifyExpected = RemoveChars(std::string_view(argument).substr(brace), "{}");
    line = argument.substr(0, brace);
  }
  std::replace(line.begin(), line.end(), '|', ',');
  const bool expected = !script_.capture_.VerifyExpected.empty();
  int attempt = 0;
  do {
    const double start = script_.engine_.GetHost().Now();
    ++attempt;
    script_.capture_.VerifyIndex = 0;
    script_.capture_.VerifyMismatch = false;
    script_.state_.VerifyRetry = false;
    script_.capture_.VerifyLog.clear();
    engine.PumpSuppressed = false;
    engine.SerialTimeoutFlag = false;
    script_.host_.ExecuteOnSelectedDevice(line);
    if (engine.SerialTimeoutFlag) {
      script_.capture_.VerifyLog = "Warning: Serial Timeout!\r\n" + script_.capture_.VerifyLog;
      engine.SerialTimeoutFlag = false;
      script_.capture_.VerifyMismatch = true;
    }
    // The verdict as the operator sees it, before the dialog's header.
    const std::string log = script_.capture_.VerifyLog;
    const bool mismatch = script_.capture_.VerifyMismatch;
    if (!script_.capture_.VerifyLog.empty()) {
      if (!expected || script_.capture_.VerifyMismatch) {
        script_.capture_.VerifyLog = "Verifying Device: " + device + "\r\n" +
                                     std::string(device.size() + 15, '=') + "\r\n" +
                                     script_.capture_.VerifyLog;
        script_.operator_.ShowPassFail();
      } else {
        script_.state_.VerifyRetry = false;
      }
    }
    script_.Report({"[CMDVERIFY]", line,
                    mismatch ? ScriptVerdict::Outcome::Failed : ScriptVerdict::Outcome::Passed,
                    script_.capture_.VerifyExpected, log, attempt,
                    script_.engine_.GetHost().Now() - start});
  } while (script_.state_.VerifyRetry);
  script_.capture_.VerifyLog.clear();
  script_.capture_.ReplyCaptureSlot = 0;
  script_.capture_.VerifyMismatch = false;
  script_.capture_.VerifyIndex = 0;
  script_.capture_.VerifyExpected.clear();
  return StepResult::GoOn;
}

}  // namespace autocontrol

// The record of a headless run's verdicts and its JUnit XML report
// (docs/reports.md describes the mapping).
//
// The verdicts arrive as they happen: every device exchange from the engine
// (engine::ExchangeListener), every verdict of the script
// (autocontrol::ScriptListener), and from the application each device that
// could not be opened and each answer the operator gave. A test case is
//   - an exchange whose reply was judged against an expected value, or that
//     got no reply; in --exec and --program runs every device exchange,
//     because those runs judge every reply;
//   - a [USERCHECK] answer, a [CMDVERIFY] attempt, the verdict shown by
//     [PASSFAILMSG], [PASSFAILMSG1] .. [PASSFAILMSG9] and [LOOPONFAIL];
//   - a device that was not available.
// Each pass of a script's loop (one unit of a production script) is a test
// suite of its own, with the script's variables and the operator's answers
// of that pass as its properties.
//
// Text is the program's 8-bit text, read as Latin-1 and written as UTF-8;
// control characters XML cannot hold are written as \xNN.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "autocontrol/script.h"
#include "engine/command_engine.h"

namespace app {

class RunReport : public engine::ExchangeListener, public autocontrol::ScriptListener {
 public:
  struct Case {
    enum class Kind { Passed, Failed, Error, Skipped };
    std::string classname;  // where it comes from: the script, a program file, "exec"
    std::string name;
    Kind kind = Kind::Passed;
    std::string type;     // what kind of verdict failed: "expected value", "no reply" ...
    std::string message;  // one line: command, expected and actual reply
    std::string body;     // the details (a verification's exchanges)
    double seconds = 0;
  };
  using Properties = std::vector<std::pair<std::string, std::string>>;
  struct Suite {
    std::string name;
    std::string timestamp;  // local time of its start
    double start = 0;
    double seconds = 0;
    Properties properties;  // the operator's answers; the variables added when it ends
    std::vector<Case> cases;
  };

  // `name`: the run's (the script file's, the program file's, "exec").
  // `everyExchange`: every device exchange is a case. `keepCases`: false
  // when no report is written (only exchanges without a reply are counted,
  // so a line of a million commands keeps nothing). `clock`: seconds of a
  // monotonic clock, for the suites' times.
  RunReport(std::string name, bool everyExchange, bool keepCases, std::function<double()> clock);

  void OnExchange(const engine::ExchangeVerdict& exchange) override;
  void OnVerdict(const autocontrol::ScriptVerdict& verdict) override;
  void OnLoopRestart() override;
  // `entry` could not be opened (`reason`: why, may be empty), or no device
  // was selected (`entry` empty).
  void DeviceNotAvailable(const std::string& entry, const std::string& reason);
  void OperatorAnswer(const std::string& prompt, const std::string& answer);

  // What the report asks of the run it records.
  class Run {
   public:
    virtual ~Run() = default;
    // Where the exchanges of the line running now come from (a program file
    // while one runs); "" for the run's name.
    virtual std::string ExchangeSource() const = 0;
    // The script's variables to keep with a suite when it ends.
    virtual Properties Variables() const = 0;
  };
  // Without one (the default) every exchange is the run's and no variables
  // are kept.
  void SetRun(const Run* run) { run_ = run; }

  // Exchanges that got no reply (time-out, link error).
  int NoReplyCount() const { return noReply_; }

  // Ends the suite running now (its time, its variables); call once, at the
  // end of the run. Suites without a case are dropped unless none has one.
  void Finish();
  // The report, as a JUnit XML document.
  std::string JUnitXml() const;

 private:
  void BeginSuite();
  void EndSuite();
  Case& Add(std::string classname, std::string name, Case::Kind kind, double seconds);

  std::string name_;
  bool everyExchange_;
  bool keepCases_;
  std::function<double()> clock_;
  const Run* run_ = nullptr;
  std::vector<Suite> suites_;
  int answers_ = 0;  // answers in the suite running now
  int noReply_ = 0;
};

}  // namespace app

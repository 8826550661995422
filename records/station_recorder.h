// What a run leaves in the station database, from the same events the other
// records hear: every device exchange (engine), the script's verdicts and
// loop restarts, and from the station the operator's answers and the
// devices that could not be opened. It hands records to the writer and
// never waits for the disk, except at the end of a unit (see EndUnit).
//
// A unit is one pass of a script's loop (a script without a loop is one
// unit); it starts with its first exchange, answer or verdict, so the pass
// that only meets the operator's ESC at the serial number's prompt leaves
// no empty unit. Its verdict at its end: "aborted" when ESC came in it (at
// any dialog, the pass/fail question too, or the run was stopped) and no
// verdict was shown, else "fail" when the fail count is above 0, else
// "pass". A unit is committed with its verdict as the verdict goes on the
// screen, and again at its end with what came after. (The script itself
// may go on after an ESC at the pass/fail question and write the unit's CSV
// row as passed; the database keeps what happened.) Runs of a command line
// or a program file have no units.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "autocontrol/script.h"
#include "engine/command_engine.h"
#include "records/record_writer.h"
#include "records/result_files.h"

namespace records {

class StationRecorder : public engine::ExchangeListener, public autocontrol::ScriptListener {
 public:
  // The longest text a record keeps whole; a longer one keeps its first
  // kTextLimit bytes and says how long it was.
  static constexpr std::size_t kTextLimit = 1u << 20;

  // What the recorder asks of the run it records.
  class Run {
   public:
    virtual ~Run() = default;
    // The device entry the line running now was sent to.
    virtual std::string DeviceEntry() const = 0;
    virtual int FailCount() const = 0;
    // ESC came during the script (or the run was stopped).
    virtual bool Escaped() const = 0;
    // The open unit got its verdict before any ESC: the script's rule, which
    // also decides the table its CSV row goes to.
    virtual bool UnitJudged() const = 0;
    // The script's values that are set: "V1" .. "V9", "R1" .. "R9", "C1" .. "C9".
    virtual std::vector<std::pair<std::string, std::string>> Values() const = 0;
    // Now, in UTC as ISO 8601 with milliseconds.
    virtual std::string UtcNow() const = 0;
  };

  // `units`: the run is a script's, whose events make units.
  StationRecorder(RecordWriter& writer, const Run& run, bool units);

  void Begin(RunStart start);
  void OnExchange(const engine::ExchangeVerdict& exchange) override;
  void OnVerdict(const autocontrol::ScriptVerdict& verdict) override;
  // The unit is committed as judged before its verdict reaches the screen.
  void OnVerdictShowing(std::string_view keyword, std::int32_t failCount) override;
  void OnLoopRestart() override;
  // `escaped`: the operator answered with ESC.
  void OperatorAnswer(const std::string& prompt, const std::string& answer, bool passFail,
                      bool escaped);
  void DeviceNotAvailable(const std::string& entry, const std::string& reason);
  // A result file written (its size and SHA-256 kept) or lost (why).
  void ResultFile(const records::ResultFile& file);
  // Ends the unit still open and the run.
  void End(RunEnd end);

 private:
  void EnsureUnit();
  // The unit's end is committed before the run goes on: a unit whose
  // verdict the operator saw is in the database even if the program is
  // killed the next moment.
  void EndUnit();
  // The open unit as it stands, with `verdict` ("" for the one its state
  // gives), written and committed before the run goes on.
  void CommitUnit(const char* verdict);
  int UnitNow() const { return unitOpen_ ? unit_ : 0; }

  RecordWriter& writer_;
  const Run& run_;
  bool units_;
  int unit_ = 0;
  bool unitOpen_ = false;
  bool escaped_ = false;  // ESC came in the open unit
  std::string unitStarted_;
  std::int64_t sequence_ = 0;
  bool ended_ = false;
};

}  // namespace records

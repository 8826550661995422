// The keywords of a script that decide what the run's records keep: the
// results text ([STORERESULTS], [RESETRESULTS]), numbered and automatic
// saves, the fail count, the verdict message, and the CSV tables (their
// columns and rows). The interpreter (autocontrol::Script) owns the state;
// the records are written by its listeners (records/result_files.h).
#pragma once

#include <optional>
#include <string>

#include "autocontrol/script_file.h"

namespace autocontrol {

class Script;
enum class StepResult;
struct CsvUpdate;

class RecordKeywords {
 public:
  explicit RecordKeywords(Script& script) : script_(script) {}

  StepResult Run(const Keyword& keyword, const std::string& argument);
  // The automatic save under the name [SAVERESULTSAUTO] or
  // [SAVERESULTSAUTOESC] gave, its variables put in; returns `result`.
  StepResult SaveAuto(StepResult result);
  // [UPDATECSV] while CSV tracking is on: the row, from the definition of
  // [DEFINECSV] and the values now, to every listener.
  // `judged`: the unit got its verdict before any ESC (see
  // ScriptState::UnitJudged); the row of one that did not is never a pass.
  void UpdateCsv(bool judged);

 private:
  // `cut`: the unit was cut short by ESC before it was judged.
  CsvUpdate CsvRow(bool cut) const;
  std::optional<std::string> CsvValue(const std::string& tag, bool cut) const;

  Script& script_;
};

}  // namespace autocontrol

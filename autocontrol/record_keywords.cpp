#include "autocontrol/record_keywords.h"

#include "autocontrol/script.h"
#include "platform/text.h"

namespace autocontrol {

using platform::RemoveChars;

// Verdicts, fail counts, result texts and files, CSV tables.
StepResult RecordKeywords::Run(const Keyword& keyword, const std::string& argument) {
  ScriptState& s = script_.state_;
  engine::PlainReplyCapture& capture = script_.capture_;
  const int n = keyword.digit;
  // The variable V1..V9 at the numbered keyword's digit.
  auto variable = [&s, n]() -> std::string& {
    return s.ScriptVariables[static_cast<std::size_t>(n - 1)];
  };
  switch (keyword.id) {
    case KeywordId::StoreResults:
      s.ResultsText += script_.engine_.Display().Text();
      break;
    case KeywordId::StoreResultsClear:
      s.ResultsText += script_.engine_.Display().Text();
      script_.engine_.Display().Clear();
      if (s.DebugTrace) script_.MessageLine(script_.TraceLine(keyword.text));
      break;
    case KeywordId::ResetResults:
      s.ResultsText.clear();
      break;
    case KeywordId::SaveResults:
      if (n >= 1 && n <= 9)
        script_.Tell(&ScriptListener::OnNumberedSave, n, std::string_view(s.ResultsText));
      break;
    case KeywordId::SaveResultsAuto:
      s.AutoResultName = argument;
      SaveAuto(StepResult::GoOn);
      break;
    case KeywordId::SaveResultsAutoEsc:
      s.AutoResultName = argument;
      break;
    case KeywordId::FailClear:
      capture.FailCount = 0;
      break;
    case KeywordId::ShowFailCount:
      if (capture.FailCount > 0)
        script_.MessageLine("Fail Count: " + std::to_string(capture.FailCount));
      break;
    case KeywordId::PassFailMessage:
      s.PassFailMessage.clear();
      if (n >= 1 && !variable().empty()) s.PassFailMessage = variable();
      script_.operator_.Verdict(keyword.text);
      break;
    case KeywordId::ResetCsvResults:
      script_.Tell(&ScriptListener::OnCsvReset);
      break;
    case KeywordId::TrackCsvResults:
      s.CsvTracking = true;
      break;
    case KeywordId::DefineCsv:
      s.CsvDefinition = RemoveChars(argument, ",{}[];:'");
      break;
    case KeywordId::UpdateCsv:
      UpdateCsv(s.UnitJudged);
      break;
    default:
      break;
  }
  return StepResult::GoOn;
}

StepResult RecordKeywords::SaveAuto(StepResult result) {
  const ScriptState& s = script_.state_;
  const std::string name = script_.SubstituteVariables(s.AutoResultName);
  script_.Tell(&ScriptListener::OnAutoSave, AutoSave{name, s.ResultsText, s.CsvTracking});
  return result;
}

// The value of a column whose tag ("(V1)", "(PF)" ...; any letter case) the
// script knows; nothing for another tag.
std::optional<std::string> RecordKeywords::CsvValue(const std::string& tag, bool cut) const {
  const engine::PlainReplyCapture& capture = script_.capture_;
  if (tag.size() == 4 && tag[0] == '(' && tag[3] == ')' && tag[2] >= '1' && tag[2] <= '9' &&
      (tag[1] == 'V' || tag[1] == 'C' || tag[1] == 'R')) {
    const auto n = static_cast<std::size_t>(tag[2] - '0');
    if (tag[1] == 'V') return RemoveChars(script_.VariableValue(static_cast<int>(n)), ",;");
    if (tag[1] == 'C') return script_.state_.ScriptConstants[n - 1];
    return capture.ScriptReplies[n - 1];
  }
  if (tag == "(PF)") return cut ? "ESC" : capture.FailCount == 0 ? "Pass" : "Fail";
  if (tag == "(FC)") return std::to_string(capture.FailCount);
  if (tag == "(MT)") return script_.TimeText(1);
  if (tag == "(TM)") return script_.TimeText(2);
  if (tag == "(MDY)") return script_.DateText(1);
  if (tag == "(DT)") return script_.DateText(2);
  return std::nullopt;
}

CsvUpdate RecordKeywords::CsvRow(bool cut) const {
  CsvUpdate row{script_.capture_.FailCount == 0 && !cut, {}, {}};
  // "Title(tag)|Title(tag)|...|": a blank field at the end is no column.
  const std::vector<std::string> fields = platform::SplitFields(script_.state_.CsvDefinition, '|');
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    const std::size_t paren = field.find('(');
    if (i + 1 < fields.size() || !platform::TrimBlanks(field).empty())
      row.titles.push_back(paren == std::string::npos ? std::string() : field.substr(0, paren));
    const std::string tag =
        paren == std::string::npos ? "()" : platform::ToUpper(field.substr(paren));
    if (std::optional<std::string> value = CsvValue(tag, cut))
      row.values.push_back(std::move(*value));
  }
  return row;
}

void RecordKeywords::UpdateCsv(bool judged) {
  if (!script_.state_.CsvTracking) return;
  script_.Tell(&ScriptListener::OnCsvUpdate, CsvRow(script_.state_.EscFlag && !judged));
}

}  // namespace autocontrol

#include "autocontrol/operator_keywords.h"

#include "autocontrol/script.h"
#include "platform/text.h"

namespace autocontrol {

using platform::ReplaceAll;

StepResult OperatorKeywords::VarInput(int n, const std::string& prompt) {
  if (prompt.empty()) return StepResult::Idle;
  const std::string answer = script_.host_.AskOperator(prompt, false, false);
  const std::string_view trimmed = platform::TrimmedView(answer);
  std::string label =
      platform::TrimBlanks(ReplaceAll(ReplaceAll(prompt, "Enter:", ""), "Enter", ""));
  // Built in one piece: an answer may be megabytes long.
  std::string value;
  value.reserve(label.size() + 3 + trimmed.size());
  value.append("{").append(label).append("} ").append(trimmed);
  script_.state_.ScriptVariables[static_cast<std::size_t>(n - 1)] = std::move(value);
  return StepResult::GoOn;
}

StepResult OperatorKeywords::UserInput(const std::string& prompt) {
  if (prompt.empty()) return StepResult::Idle;
  std::string answer = script_.host_.AskOperator(prompt, true, false);
  if (!answer.empty()) script_.MessageLine("{" + prompt + "}  " + platform::TrimBlanks(answer));
  return StepResult::GoOn;
}

StepResult OperatorKeywords::UserCheck(const std::string& question) {
  if (question.empty()) return StepResult::GoOn;
  const double start = script_.engine_.GetHost().Now();
  std::string answer = platform::ToUpper(script_.host_.AskOperator(question, false, true));
  using Outcome = ScriptVerdict::Outcome;
  Outcome outcome = Outcome::Escaped;
  if (answer.empty()) {
    script_.MessageLine("{ESC Pressed}  ");
  } else if (answer == "PASS") {
    script_.MessageLine("{Check State = PASS}  ");
    outcome = Outcome::Passed;
  } else if (answer == "FAIL") {
    script_.MessageLine("{Check State = FAIL}  ");
    ++script_.capture_.FailCount;
    outcome = Outcome::Failed;
  } else {
    return StepResult::GoOn;
  }
  if (outcome != Outcome::Escaped && !script_.state_.EscFlag) script_.state_.UnitJudged = true;
  script_.Report(
      {"[USERCHECK]", question, outcome, "", "", 1, script_.engine_.GetHost().Now() - start});
  return StepResult::GoOn;
}

void OperatorKeywords::ShowPassFail() {
  ScriptState& s = script_.state_;
  const engine::PlainReplyCapture& capture = script_.capture_;
  s.VerifyRetry =
      script_.host_.ShowPassFail(s.PassFailMessage, capture.VerifyLog, capture.FailCount);
}

void OperatorKeywords::Verdict(std::string_view keyword) {
  const double start = script_.engine_.GetHost().Now();
  const std::int32_t failCount = script_.capture_.FailCount;
  script_.Tell(&ScriptListener::OnVerdictShowing, keyword, failCount);
  if (!script_.state_.EscFlag) script_.state_.UnitJudged = true;
  ShowPassFail();
  const std::string count = "Fail Count: " + std::to_string(failCount);
  script_.Report({keyword, script_.state_.PassFailMessage,
                  failCount == 0 ? ScriptVerdict::Outcome::Passed : ScriptVerdict::Outcome::Failed,
                  "", count, 1, script_.engine_.GetHost().Now() - start});
}

}  // namespace autocontrol

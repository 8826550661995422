#include "autocontrol/script.h"

#include <algorithm>

#include "autocontrol/script_file.h"
#include "engine/reply_format.h"
#include "platform/text.h"

namespace autocontrol {
namespace {

using platform::RemoveChars;
using platform::ReplaceAll;

std::string TwoDigits(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

// Keywords that send to a device, start a program or wait.
bool ReachesOut(KeywordId id) {
  switch (id) {
    case KeywordId::CmdReply:
    case KeywordId::CmdVerify:
    case KeywordId::RunProgram:
    case KeywordId::ShellApp:
    case KeywordId::Wait:
    case KeywordId::Refresh:
      return true;
    default:
      return false;
  }
}

}  // namespace

Script::Script(ScriptHost& host, engine::CommandEngine& engine, engine::PlainReplyCapture& capture,
               std::string dataRoot, int scriptNumber)
    : host_(host),
      engine_(engine),
      capture_(capture),
      dataRoot_(std::move(dataRoot)),
      folders_(dataRoot_),
      scriptNumber_(scriptNumber) {}

bool Script::LoadScript() {
  std::string text;
  if (platform::Result read = ReadScriptFile(dataRoot_, scriptNumber_, text); !read) {
    const std::string message = "Script file not read: " + read.Text();
    MessageLine(message);
    host_.ReportError(message);
  }
  return LoadScriptText(std::move(text));
}

bool Script::LoadScriptText(std::string scriptText) {
  for (auto& v : state_.ScriptVariables) v.clear();
  for (auto& c : state_.ScriptConstants) c.clear();
  for (auto& r : capture_.ScriptReplies) r.clear();
  capture_.ReplyCaptureSlot = 0;
  state_.ResultsText.clear();
  state_.ScriptText = std::move(scriptText);
  state_.StepBusy = false;
  if (state_.ScriptText.empty()) return false;
  state_.LineCount = -1;
  return true;
}

void Script::OnEscape() {
  state_.LoopActive = false;
  state_.EscFlag = true;
}

void Script::EndByEscape() {
  if (state_.LineCount == -1 || state_.StepBusy) return;  // not started, or inside a step
  OnEscape();
  ending_ = true;
  // After ESC no loop repeats: every line runs at most twice (once more in
  // a loop opened afterwards, whose [LOOPEND] then ends the script).
  for (long long steps = 2LL * state_.LineCount + 2; steps > 0; --steps) {
    const StepResult result = ScriptStep();
    if (result == StepResult::EndScript || result == StepResult::CloseApplication) break;
  }
  ending_ = false;
}

void Script::OnDeviceNotAvailable() {
  if (state_.RunningProgram) ++capture_.FailCount;
}

void Script::MessageLine(const std::string& text) {
  engine_.DisplayExchange(text, "", "", engine::kMessageLine, 0);
}

std::string Script::TraceLine(std::string_view keyword) const {
  return std::string(keyword) + " (" + std::to_string(state_.LineCounter) +
         ") Loop Start = " + std::to_string(state_.LoopStartLine);
}

StepResult Script::ScriptStep() {
  ScriptState& s = state_;
  if (s.LineCount == -1) {
    s.LineCount = static_cast<int>(ScriptReader::CountLines(s.ScriptText));
    s.ReadPosition = 0;
    s.LineCounter = 0;
    s.LoopReadPosition = s.ReadPosition;
    s.LoopStartLine = 1;
    s.DebugTrace = false;
    s.LoopActive = false;
    s.EscFlag = false;
    s.UnitJudged = false;
    s.AutoResultName.clear();
    capture_.FailCount = 0;
    s.CsvTracking = false;
    s.CsvDefinition.clear();
    host_.ResetDeviceSlot();
    Tell(&ScriptListener::OnScriptStart);
  }
  if (s.StepBusy) return StepResult::Idle;
  if (s.LineCounter >= s.LineCount) return StepResult::EndScript;
  ++s.LineCounter;
  ScriptReader reader(s.ScriptText);
  reader.SetPosition(s.ReadPosition);
  std::string line(reader.NextLine());
  s.ReadPosition = reader.Position();
  KeywordLineParts parts = SplitKeywordLine(line);
  const Keyword* keyword = FindKeyword(parts.keyword);
  std::string argument(parts.argument);
  s.StepBusy = true;
  if (s.DebugTrace) MessageLine(TraceLine(parts.keyword));
  // While the run ends, nothing more reaches a device or another program.
  const bool passedOver = keyword == nullptr || (ending_ && ReachesOut(keyword->id));
  StepResult result = passedOver ? StepResult::Idle : RunKeyword(*keyword, argument);
  s.StepBusy = false;
  return result;
}

void Script::JumpToLoopStart() {
  state_.LineCounter = state_.LoopStartLine;
  state_.ReadPosition = state_.LoopReadPosition;
  // The listeners close the unit that ends here, judged or not, before the
  // next one starts unjudged.
  Tell(&ScriptListener::OnLoopRestart);
  state_.UnitJudged = false;
}

void Script::AddListener(ScriptListener& listener) {
  if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
    listeners_.push_back(&listener);
}

void Script::RemoveListener(ScriptListener& listener) {
  std::erase(listeners_, &listener);
}

StepResult Script::RunKeyword(const Keyword& keyword, const std::string& argument) {
  switch (keyword.id) {
    case KeywordId::Language:
    case KeywordId::Exit:
    case KeywordId::EscStop:
    case KeywordId::EscExit:
    case KeywordId::Wait:
    case KeywordId::Device:
    case KeywordId::Erase:
    case KeywordId::ShowMode:
    case KeywordId::RunProgram:
    case KeywordId::LoopStart:
    case KeywordId::LoopEnd:
    case KeywordId::LoopOnFail:
    case KeywordId::DebugOn:
    case KeywordId::DebugOff:
    case KeywordId::Refresh:
    case KeywordId::ResizeApp:
    case KeywordId::ShellApp:
      return RunFlowKeyword(keyword, argument);
    case KeywordId::VarSet:
    case KeywordId::VarInput:
    case KeywordId::UserInput:
    case KeywordId::ShowVar:
    case KeywordId::Const:
    case KeywordId::ShowConst:
    case KeywordId::CmdReply:
    case KeywordId::CmdVerify:
    case KeywordId::UserCheck:
      return RunValuesKeyword(keyword, argument);
    case KeywordId::Clear:
    case KeywordId::Show:
    case KeywordId::ShowDate:
    case KeywordId::ShowMdy:
    case KeywordId::ShowTime:
    case KeywordId::ShowMTime:
      return RunShownKeyword(keyword, argument);
    case KeywordId::StoreResults:
    case KeywordId::StoreResultsClear:
    case KeywordId::ResetResults:
    case KeywordId::SaveResults:
    case KeywordId::SaveResultsAuto:
    case KeywordId::SaveResultsAutoEsc:
    case KeywordId::FailClear:
    case KeywordId::ShowFailCount:
    case KeywordId::PassFailMessage:
    case KeywordId::ResetCsvResults:
    case KeywordId::TrackCsvResults:
    case KeywordId::DefineCsv:
    case KeywordId::UpdateCsv:
      return records_.Run(keyword, argument);
  }
  return StepResult::GoOn;
}

// Where the script goes and what it asks of the station: languages, exits,
// loops, waits, devices, programs, the window, external programs.
StepResult Script::RunFlowKeyword(const Keyword& keyword, const std::string& argument) {
  ScriptState& s = state_;
  const int n = keyword.digit;
  switch (keyword.id) {
    case KeywordId::Language:
      host_.SelectLanguage(n - 1);
      break;
    case KeywordId::Exit:
      return StepResult::CloseApplication;
    case KeywordId::EscStop:
      return s.EscFlag ? records_.SaveAuto(StepResult::EndScript) : StepResult::Idle;
    case KeywordId::EscExit:
      return s.EscFlag ? records_.SaveAuto(StepResult::CloseApplication) : StepResult::Idle;
    case KeywordId::Wait:
      host_.Wait(2.0);
      break;
    case KeywordId::Device:
      host_.SelectDeviceSlot(n);
      break;
    case KeywordId::Erase:
      EraseScriptFile(dataRoot_, scriptNumber_);
      break;
    case KeywordId::ShowMode:
      host_.SetShowMode(n);
      break;
    case KeywordId::RunProgram:
      return devices_.RunProgram(n, argument);
    case KeywordId::LoopStart:
      if (s.LoopActive) return StepResult::Idle;
      s.LoopStartLine = s.LineCounter;
      s.LoopReadPosition = s.ReadPosition;
      s.LoopActive = true;
      break;
    case KeywordId::LoopEnd:
      if (!s.LoopActive) return StepResult::Idle;
      JumpToLoopStart();
      if (s.EscFlag) return records_.SaveAuto(StepResult::EndScript);
      break;
    case KeywordId::LoopOnFail:
      if (capture_.FailCount < 1 || !s.LoopActive) return StepResult::Idle;
      s.PassFailMessage.clear();
      operator_.Verdict(keyword.text);
      {
        // The row is the unit's that was just judged, not the next one's.
        const bool judged = s.UnitJudged;
        JumpToLoopStart();
        if (argument == "UPDATE") records_.UpdateCsv(judged);
      }
      capture_.FailCount = 0;
      break;
    case KeywordId::DebugOn:
      s.DebugTrace = true;
      break;
    case KeywordId::DebugOff:
      s.DebugTrace = false;
      break;
    case KeywordId::Refresh:
      host_.RefreshDevices();
      break;
    case KeywordId::ResizeApp:
      host_.PlaceMainWindow(argument);
      break;
    case KeywordId::ShellApp:
      return devices_.ShellApp(argument);
    default:
      break;
  }
  return StepResult::GoOn;
}

// Variables, constants, operator input and the replies of commands.
StepResult Script::RunValuesKeyword(const Keyword& keyword, const std::string& argument) {
  const int n = keyword.digit;
  // The bank V1..V9 or C1..C9 at the numbered keyword's digit.
  auto variable = [this, n]() -> std::string& {
    return state_.ScriptVariables[static_cast<std::size_t>(n - 1)];
  };
  auto constant = [this, n]() -> std::string& {
    return state_.ScriptConstants[static_cast<std::size_t>(n - 1)];
  };
  switch (keyword.id) {
    case KeywordId::VarSet:
      if (!argument.empty()) variable() = argument;
      break;
    case KeywordId::VarInput:
      return operator_.VarInput(n, argument);
    case KeywordId::UserInput:
      return operator_.UserInput(argument);
    case KeywordId::ShowVar:
      if (!variable().empty()) MessageLine(variable());
      break;
    case KeywordId::Const:
      constant() = argument;
      break;
    case KeywordId::ShowConst:
      MessageLine(constant());
      break;
    case KeywordId::CmdReply:
      return devices_.CmdReply(n, argument);
    case KeywordId::CmdVerify:
      return devices_.CmdVerify(argument);
    case KeywordId::UserCheck:
      return operator_.UserCheck(argument);
    default:
      break;
  }
  return StepResult::GoOn;
}

// What goes to the display: texts, dates and times, a cleared display.
StepResult Script::RunShownKeyword(const Keyword& keyword, const std::string& argument) {
  ScriptState& s = state_;
  switch (keyword.id) {
    case KeywordId::Clear:
      engine_.Display().Clear();
      if (s.DebugTrace) MessageLine(TraceLine(keyword.text));
      break;
    case KeywordId::Show:
      if (!argument.empty()) MessageLine(argument);
      break;
    case KeywordId::ShowDate:
      MessageLine(DateText(2));
      break;
    case KeywordId::ShowMdy:
      MessageLine(DateText(1));
      break;
    case KeywordId::ShowTime:
      MessageLine(TimeText(2));
      break;
    case KeywordId::ShowMTime:
      MessageLine(TimeText(1));
      break;
    default:
      break;
  }
  return StepResult::GoOn;
}

std::string Script::VariableValue(int n) const {
  if (n < 1 || n > 9) return {};
  const std::string& text = state_.ScriptVariables[static_cast<std::size_t>(n - 1)];
  std::size_t brace = text.find('}');
  return platform::TrimBlanks(brace == std::string::npos
                                  ? std::string_view(text)
                                  : std::string_view(text).substr(brace + 1));
}

std::string Script::SubstituteVariables(std::string_view text) const {
  std::string out = RemoveChars(text, " ");
  for (int n = 1; n <= 9; ++n) {
    std::string reference = "{V" + std::to_string(n) + "}";
    if (out.find(reference) != std::string::npos) {
      out = ReplaceAll(out, reference, RemoveChars(VariableValue(n), " "));
    }
  }
  return out;
}

std::string Script::DateText(int mode) const {
  static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
  std::tm t = host_.LocalTime();
  int month = std::clamp(t.tm_mon, 0, 11);
  std::string year = std::to_string(t.tm_year + 1900);
  if (mode == 1) return TwoDigits(month + 1) + "/" + TwoDigits(t.tm_mday) + "/" + year;
  return std::string(kMonths[month]) + " " + std::to_string(t.tm_mday) + " " + year;
}

std::string Script::TimeText(int mode) const {
  std::tm t = host_.LocalTime();
  if (mode == 1)
    return TwoDigits(t.tm_hour) + ":" + TwoDigits(t.tm_min) + ":" + TwoDigits(t.tm_sec);
  int hour = t.tm_hour % 12;
  if (hour == 0) hour = 12;
  return std::to_string(hour) + ":" + TwoDigits(t.tm_min) + (t.tm_hour < 12 ? " AM" : " PM");
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
      current += '"';
      inArgument = true;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

}  // namespace autocontrol

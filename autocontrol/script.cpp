#include "autocontrol/script.h"

#include <algorithm>

#include "autocontrol/script_file.h"
#include "engine/reply_format.h"
#include "platform/files.h"
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

constexpr const char* kResultNameRemoved = " !@#$%^&*()+-={}[]:;'<,>.?/\"";
constexpr const char* kDefaultResultName = "MyTestData";

// A result name as it becomes part of a file name: without the characters
// the name rule removes, and without "\\" and control characters either, so
// it never names a folder or ends early (a NUL byte), and stays inside the
// results folder.
std::string CleanResultName(std::string_view name) {
  std::string base;
  for (char c : RemoveChars(name, kResultNameRemoved)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c != '\\' && byte >= 0x20 && byte != 0x7F) base += c;
  }
  return base.empty() ? kDefaultResultName : base;
}

// A value as one CSV field: as it is, unless it holds a CR, an LF, a comma
// or a double quote; then in double quotes, each double quote doubled
// (RFC 4180). A value that never needed quotes is written as it always was.
std::string CsvField(const std::string& value) {
  if (value.find_first_of("\r\n,\"") == std::string::npos) return value;
  return '"' + ReplaceAll(value, "\"", "\"\"") + '"';
}

// One file of an automatic save.
struct AutoResultFile {
  const char* suffix;
  const char* extension;
  const std::string* content;
};

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
    const int result = ScriptStep();
    if (result == kStepEndScript || result == kStepCloseApplication) break;
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

int Script::ScriptStep() {
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
    s.AutoResultName.clear();
    capture_.FailCount = 0;
    s.CsvTracking = false;
    s.PassCsvText.clear();
    s.FailCsvText.clear();
    s.CsvDefinition.clear();
    host_.ResetDeviceSlot();
  }
  if (s.StepBusy) return kStepIdle;
  if (s.LineCounter >= s.LineCount) return kStepEndScript;
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
  int result = passedOver ? kStepIdle : RunKeyword(*keyword, argument);
  s.StepBusy = false;
  return result;
}

void Script::JumpToLoopStart() {
  state_.LineCounter = state_.LoopStartLine;
  state_.ReadPosition = state_.LoopReadPosition;
  for (ScriptListener* listener : listeners_) listener->OnLoopRestart();
}

void Script::AddListener(ScriptListener& listener) {
  if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
    listeners_.push_back(&listener);
}

void Script::RemoveListener(ScriptListener& listener) {
  std::erase(listeners_, &listener);
}

int Script::EscSave(int result) {
  SaveAutoResults(state_.AutoResultName);
  return result;
}

void Script::ShowPassFailDialog() {
  state_.VerifyRetry =
      host_.ShowPassFail(state_.PassFailMessage, capture_.VerifyLog, capture_.FailCount) ? 1 : 0;
}

void Script::ShowPassFailDialog(std::string_view keyword) {
  const double start = engine_.GetHost().Now();
  const std::int32_t failCount = capture_.FailCount;
  ShowPassFailDialog();
  const std::string count = "Fail Count: " + std::to_string(failCount);
  Report({keyword, state_.PassFailMessage,
          failCount == 0 ? ScriptVerdict::Outcome::Passed : ScriptVerdict::Outcome::Failed, "",
          count, 1, engine_.GetHost().Now() - start});
}

int Script::RunKeyword(const Keyword& keyword, const std::string& argument) {
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
      return RunResultsKeyword(keyword, argument);
  }
  return kStepGoOn;
}

// Where the script goes and what it asks of the station: languages, exits,
// loops, waits, devices, programs, the window, external programs.
int Script::RunFlowKeyword(const Keyword& keyword, const std::string& argument) {
  ScriptState& s = state_;
  const int n = keyword.digit;
  switch (keyword.id) {
    case KeywordId::Language:
      host_.SelectLanguage(n - 1);
      break;
    case KeywordId::Exit:
      return kStepCloseApplication;
    case KeywordId::EscStop:
      return s.EscFlag ? EscSave(kStepEndScript) : kStepIdle;
    case KeywordId::EscExit:
      return s.EscFlag ? EscSave(kStepCloseApplication) : kStepIdle;
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
      return RunProgram(n, argument);
    case KeywordId::LoopStart:
      if (s.LoopActive) return kStepIdle;
      s.LoopStartLine = s.LineCounter;
      s.LoopReadPosition = s.ReadPosition;
      s.LoopActive = true;
      break;
    case KeywordId::LoopEnd:
      if (!s.LoopActive) return kStepIdle;
      JumpToLoopStart();
      if (s.EscFlag) return EscSave(kStepEndScript);
      break;
    case KeywordId::LoopOnFail:
      if (capture_.FailCount < 1 || !s.LoopActive) return kStepIdle;
      s.PassFailMessage.clear();
      ShowPassFailDialog(keyword.text);
      JumpToLoopStart();
      if (argument == "UPDATE") UpdateCsv();
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
      return RunShellApp(argument);
    default:
      break;
  }
  return kStepGoOn;
}

// Variables, constants, operator input and the replies of commands.
int Script::RunValuesKeyword(const Keyword& keyword, const std::string& argument) {
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
      return VarInput(n, argument);
    case KeywordId::UserInput:
      return UserInput(argument);
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
      return CmdReply(n, argument);
    case KeywordId::CmdVerify:
      return CmdVerify(argument);
    case KeywordId::UserCheck:
      return UserCheck(argument);
    default:
      break;
  }
  return kStepGoOn;
}

// What goes to the display: texts, dates and times, a cleared display.
int Script::RunShownKeyword(const Keyword& keyword, const std::string& argument) {
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
  return kStepGoOn;
}

// Verdicts, fail counts, result texts and files, CSV tables.
int Script::RunResultsKeyword(const Keyword& keyword, const std::string& argument) {
  ScriptState& s = state_;
  const int n = keyword.digit;
  // The bank V1..V9 or C1..C9 at the numbered keyword's digit.
  auto variable = [this, n]() -> std::string& {
    return state_.ScriptVariables[static_cast<std::size_t>(n - 1)];
  };
  switch (keyword.id) {
    case KeywordId::StoreResults:
      s.ResultsText += engine_.Display().Text();
      break;
    case KeywordId::StoreResultsClear:
      s.ResultsText += engine_.Display().Text();
      engine_.Display().Clear();
      if (s.DebugTrace) MessageLine(TraceLine(keyword.text));
      break;
    case KeywordId::ResetResults:
      s.ResultsText.clear();
      break;
    case KeywordId::SaveResults:
      SaveNumberedResults(n);
      break;
    case KeywordId::SaveResultsAuto:
      s.AutoResultName = argument;
      EscSave(kStepGoOn);
      break;
    case KeywordId::SaveResultsAutoEsc:
      s.AutoResultName = argument;
      break;
    case KeywordId::FailClear:
      capture_.FailCount = 0;
      break;
    case KeywordId::ShowFailCount:
      if (capture_.FailCount > 0) MessageLine("Fail Count: " + std::to_string(capture_.FailCount));
      break;
    case KeywordId::PassFailMessage:
      s.PassFailMessage.clear();
      if (n >= 1 && !variable().empty()) s.PassFailMessage = variable();
      ShowPassFailDialog(keyword.text);
      break;
    case KeywordId::ResetCsvResults:
      s.PassCsvText.clear();
      s.FailCsvText.clear();
      break;
    case KeywordId::TrackCsvResults:
      s.CsvTracking = true;
      break;
    case KeywordId::DefineCsv:
      s.CsvDefinition = RemoveChars(argument, ",{}[];:'");
      break;
    case KeywordId::UpdateCsv:
      UpdateCsv();
      break;
    default:
      break;
  }
  return kStepGoOn;
}

int Script::RunProgram(int digit, const std::string& argument) {
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
  engine::EngineState& engine = engine_.State();
  if (engine.EngineRunning) return kStepIdle;
  if (const platform::Result<> loaded = host_.LoadProgram(number, name); !loaded) {
    // A program the script asked for and did not get is a failed test, not
    // a pass. A file that could not be read has said so already; nothing
    // asked for (a cancelled dialog, ESC, no commands) is no fault.
    if (loaded.Kind() == platform::ResultKind::NotFound) MessageLine(loaded.Text());
    if (loaded.Kind() != platform::ResultKind::Cancelled) ++capture_.FailCount;
    return kStepIdle;
  }
  state_.RunningProgram = true;
  engine.PumpSuppressed = false;
  engine.SerialTimeoutFlag = false;
  host_.ExecuteOnSelectedDevice(host_.ProgramCommandLine());
  engine.SerialTimeoutFlag = false;
  state_.RunningProgram = false;
  return kStepGoOn;
}

int Script::RunShellApp(const std::string& argument) {
  std::string text = platform::TrimBlanks(argument);
  bool wait = true;
  if (platform::ToUpper(text.substr(0, 3)) == "{A}") {
    wait = false;
    text = platform::TrimBlanks(text.substr(3));
  }
  std::vector<std::string> argv = SplitCommandLine(text);
  // No program named (nothing, or "" first): nothing to start, not even the
  // AutoControl folder itself.
  if (argv.empty() || argv[0].empty()) return kStepGoOn;
  if (text.find('/') == std::string::npos && text.find('\\') == std::string::npos) {
    argv[0] = folders_.DataPath("AppPrograms\\AutoControl\\" + argv[0]);
  }
  host_.StartProgram(argv, wait);  // a program that cannot start is passed over
  return kStepGoOn;
}

int Script::VarInput(int n, const std::string& prompt) {
  if (prompt.empty()) return kStepIdle;
  const std::string answer = host_.AskOperator(prompt, false, false);
  const std::string_view trimmed = platform::TrimmedView(answer);
  std::string label =
      platform::TrimBlanks(ReplaceAll(ReplaceAll(prompt, "Enter:", ""), "Enter", ""));
  // Built in one piece: an answer may be megabytes long.
  std::string value;
  value.reserve(label.size() + 3 + trimmed.size());
  value.append("{").append(label).append("} ").append(trimmed);
  state_.ScriptVariables[static_cast<std::size_t>(n - 1)] = std::move(value);
  return kStepGoOn;
}

int Script::UserInput(const std::string& prompt) {
  if (prompt.empty()) return kStepIdle;
  std::string answer = host_.AskOperator(prompt, true, false);
  if (!answer.empty()) MessageLine("{" + prompt + "}  " + platform::TrimBlanks(answer));
  return kStepGoOn;
}

int Script::UserCheck(const std::string& question) {
  if (question.empty()) return kStepGoOn;
  const double start = engine_.GetHost().Now();
  std::string answer = platform::ToUpper(host_.AskOperator(question, false, true));
  using Outcome = ScriptVerdict::Outcome;
  Outcome outcome = Outcome::Escaped;
  if (answer.empty()) {
    MessageLine("{ESC Pressed}  ");
  } else if (answer == "PASS") {
    MessageLine("{Check State = PASS}  ");
    outcome = Outcome::Passed;
  } else if (answer == "FAIL") {
    MessageLine("{Check State = FAIL}  ");
    ++capture_.FailCount;
    outcome = Outcome::Failed;
  } else {
    return kStepGoOn;
  }
  Report({"[USERCHECK]", question, outcome, "", "", 1, engine_.GetHost().Now() - start});
  return kStepGoOn;
}

int Script::CmdReply(int n, const std::string& argument) {
  engine::EngineState& engine = engine_.State();
  if (engine.EngineRunning) return kStepIdle;
  capture_.ReplyCaptureSlot = n;
  engine.PumpSuppressed = false;
  std::string line = argument;
  std::replace(line.begin(), line.end(), '|', ',');
  engine.SerialTimeoutFlag = false;
  host_.ExecuteOnSelectedDevice(line);
  engine.SerialTimeoutFlag = false;
  capture_.ReplyCaptureSlot = 0;
  return kStepGoOn;
}

int Script::CmdVerify(const std::string& argument) {
  engine::EngineState& engine = engine_.State();
  if (engine.EngineRunning) return kStepIdle;
  const std::string device = host_.SelectedDevice();
  capture_.ReplyCaptureSlot = engine::kCaptureVerify;
  capture_.VerifyExpected.clear();
  std::string line = argument;
  std::size_t brace = argument.find('{');
  if (brace != std::string::npos) {
    capture_.VerifyExpected = RemoveChars(std::string_view(argument).substr(brace), "{}");
    line = argument.substr(0, brace);
  }
  std::replace(line.begin(), line.end(), '|', ',');
  const bool expected = !capture_.VerifyExpected.empty();
  int attempt = 0;
  do {
    const double start = engine_.GetHost().Now();
    ++attempt;
    capture_.VerifyIndex = 0;
    capture_.VerifyMismatch = false;
    state_.VerifyRetry = false;
    capture_.VerifyLog.clear();
    engine.PumpSuppressed = false;
    engine.SerialTimeoutFlag = false;
    host_.ExecuteOnSelectedDevice(line);
    if (engine.SerialTimeoutFlag) {
      capture_.VerifyLog = "Warning: Serial Timeout!\r\n" + capture_.VerifyLog;
      engine.SerialTimeoutFlag = false;
      capture_.VerifyMismatch = true;
    }
    // The verdict as the operator sees it, before the dialog's header.
    const std::string log = capture_.VerifyLog;
    const bool mismatch = capture_.VerifyMismatch;
    if (!capture_.VerifyLog.empty()) {
      if (!expected || capture_.VerifyMismatch) {
        capture_.VerifyLog = "Verifying Device: " + device + "\r\n" +
                             std::string(device.size() + 15, '=') + "\r\n" + capture_.VerifyLog;
        ShowPassFailDialog();
      } else {
        state_.VerifyRetry = false;
      }
    }
    Report({"[CMDVERIFY]", line,
            mismatch ? ScriptVerdict::Outcome::Failed : ScriptVerdict::Outcome::Passed,
            capture_.VerifyExpected, log, attempt, engine_.GetHost().Now() - start});
  } while (state_.VerifyRetry);
  capture_.VerifyLog.clear();
  capture_.ReplyCaptureSlot = 0;
  capture_.VerifyMismatch = false;
  capture_.VerifyIndex = 0;
  capture_.VerifyExpected.clear();
  return kStepGoOn;
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

void Script::ReportLostRecord(const std::string& text) {
  MessageLine(text);
  host_.ReportError(text);
  ++state_.RecordsLost;
}

void Script::SaveNumberedResults(int slot) {
  if (slot < 1 || slot > 9) return;
  const std::string path =
      folders_.DataPath("AppPrograms\\AutoControl\\testresults" + std::to_string(slot) + ".txt");
  if (platform::Result written = platform::WriteFileAtomic(path, state_.ResultsText); !written) {
    ReportLostRecord("Result file not written: " + path + " (" + written.Text() + ")");
  }
}

void Script::SaveAutoResults(const std::string& name) {
  const std::string base = CleanResultName(SubstituteVariables(name));
  std::vector<AutoResultFile> files = {{"", ".txt", &state_.ResultsText}};
  if (state_.CsvTracking) {
    files.push_back({"_Pass", ".csv", &state_.PassCsvText});
    files.push_back({"_Fail", ".csv", &state_.FailCsvText});
  }
  const std::string folder = folders_.DataPath("AppPrograms\\AutoControl\\AutoResults");
  std::size_t next = 0;  // the first file not written yet
  for (int number = 1; number <= 9999 && next < files.size(); ++number) {
    std::string digits = std::to_string(number);
    digits.insert(0, 4 - digits.size(), '0');
    auto pathOf = [&](const AutoResultFile& f) {
      return platform::JoinPath(folder, base + digits + f.suffix + f.extension);
    };
    // A number any of whose names is taken (a file, a folder, a link leading
    // nowhere) is passed over whole.
    if (std::any_of(files.begin() + static_cast<std::ptrdiff_t>(next), files.end(),
                    [&](const AutoResultFile& f) { return platform::NameTaken(pathOf(f)); })) {
      continue;
    }
    for (; next < files.size(); ++next) {
      const std::string path = pathOf(files[next]);
      const platform::Result written = platform::WriteFileExclusive(path, *files[next].content);
      // Another station took the name first: the rest go to the next number.
      if (written.Kind() == platform::ResultKind::CallerMistake) break;
      if (!written)
        ReportLostRecord("Result file not written: " + path + " (" + written.Text() + ")");
    }
  }
  for (; next < files.size(); ++next) {
    ReportLostRecord("Result file not written: every number of " + base + files[next].suffix +
                     " is taken");
  }
}

std::string Script::CsvHeaderLine() const {
  std::vector<std::string> fields = platform::SplitFields(state_.CsvDefinition, '|');
  if (!fields.empty() && platform::TrimBlanks(fields.back()).empty()) fields.pop_back();
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t paren = fields[i].find('(');
    std::string title = paren == std::string::npos ? std::string() : fields[i].substr(0, paren);
    if (title.empty()) title = " ";
    if (i) line += ',';
    line += CsvField(title);
  }
  return line + "\r\n";
}

std::string Script::CsvDataLine() const {
  std::string line;
  bool first = true;
  for (const std::string& field : platform::SplitFields(state_.CsvDefinition, '|')) {
    std::size_t paren = field.find('(');
    std::string tag = paren == std::string::npos ? "()" : platform::ToUpper(field.substr(paren));
    bool known = true;
    std::string value;
    if (tag.size() == 4 && tag[0] == '(' && tag[3] == ')' && tag[2] >= '1' && tag[2] <= '9' &&
        (tag[1] == 'V' || tag[1] == 'C' || tag[1] == 'R')) {
      int n = tag[2] - '0';
      if (tag[1] == 'V') value = RemoveChars(VariableValue(n), ",;");
      if (tag[1] == 'C') value = state_.ScriptConstants[static_cast<std::size_t>(n - 1)];
      if (tag[1] == 'R') value = capture_.ScriptReplies[static_cast<std::size_t>(n - 1)];
    } else if (tag == "(PF)") {
      value = capture_.FailCount == 0 ? "Pass" : "Fail";
    } else if (tag == "(FC)") {
      value = std::to_string(capture_.FailCount);
    } else if (tag == "(MT)") {
      value = TimeText(1);
    } else if (tag == "(TM)") {
      value = TimeText(2);
    } else if (tag == "(MDY)") {
      value = DateText(1);
    } else if (tag == "(DT)") {
      value = DateText(2);
    } else {
      known = false;
    }
    if (known) {
      if (!first) line += ',';
      line += CsvField(value);
      first = false;
    }
  }
  return line + "\r\n";
}

void Script::UpdateCsv() {
  if (!state_.CsvTracking) return;
  std::string& target = capture_.FailCount == 0 ? state_.PassCsvText : state_.FailCsvText;
  if (target.empty()) target = CsvHeaderLine();
  target += CsvDataLine();
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

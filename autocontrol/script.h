// The AutoControl interpreter: runs the ScriptText of the start-up script one
// keyword line per tick of the script timer, keeps the script's variables,
// constants and saved replies, judges pass and fail, and decides what the
// run's records keep and when: it publishes its saves and CSV rows to its
// listeners, which write them (records/result_files.h).
//
// The window, the device list, program files and the operator dialogs are
// reached through ScriptHost, which the application implements; tests use a
// fake. Replies of device exchanges reach the script through the engine's
// PlainReplyCapture, whose FailCount, R1..R9 and verification state are the
// script's own.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "autocontrol/device_keywords.h"
#include "autocontrol/operator_keywords.h"
#include "autocontrol/record_keywords.h"
#include "autocontrol/script_file.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "platform/data_folders.h"
#include "programs/program_loader.h"

namespace autocontrol {

// What one step of the script did, and so what its caller does next.
enum class StepResult {
  GoOn,              // a line ran; the next tick runs the next one
  Idle,              // nothing ran (a step was running, or a line found nothing to do)
  EndScript,         // the script is done: the terminal is the operator's again
  CloseApplication,  // [EXIT], or [ESCEXIT] after ESC: the application closes
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  virtual void ExecuteOnSelectedDevice(const std::string& line) = 0;
  virtual void SelectDeviceSlot(int slot) = 0;  // 1..8
  virtual void RefreshDevices() = 0;
  virtual void ResetDeviceSlot() = 0;  // the current slot back to 0
  virtual std::string SelectedDevice() = 0;
  // Show mode n and the display-mode button's caption.
  virtual void SetShowMode(int mode) = 0;
  // Loads program n (1..10 stored or named, 11 the file dialog); success
  // when a command line was produced (ProgramCommandLine()), else why not
  // (programs::ProgramLoader::LoadProgram).
  virtual platform::Result<> LoadProgram(int number, const std::string& name) = 0;
  virtual std::string ProgramCommandLine() = 0;
  // The input dialog: returns the answer ("" after ESC, which also reaches
  // the script through OnEscape()). passFail: "PASS" or "FAIL".
  virtual std::string AskOperator(const std::string& prompt, bool enterPrefix, bool passFail) = 0;
  // The pass/fail dialog on the current FailCount, PassFailMessage and
  // VerifyLog; true when the operator chose "Try Again".
  virtual bool ShowPassFail(const std::string& message, const std::string& verifyLog,
                            int failCount) = 0;
  virtual void SelectLanguage(int index) = 0;  // 0 = built-in captions
  virtual void PlaceMainWindow(const std::string& words) = 0;
  // Blocks the GUI thread without pumping events.
  virtual void Wait(double seconds) = 0;
  // The local date and time.
  virtual std::tm LocalTime() = 0;
  // Starts a program (argv[0] is its path); waits for it when `wait`.
  // False when it could not be started.
  virtual bool StartProgram(const std::vector<std::string>& argv, bool wait) = 0;
  // What an operator must learn even when nobody watches the display (a
  // record that could not be written, a script that could not be read); the
  // application writes it to standard error.
  virtual void ReportError(const std::string& text) = 0;
};

// A verdict the script reached, as a report of the run sees it.
struct ScriptVerdict {
  enum class Outcome { Passed, Failed, Escaped };
  std::string_view keyword;  // "[USERCHECK]", "[CMDVERIFY]", "[PASSFAILMSG3]", "[LOOPONFAIL]"
  std::string_view subject;  // the question, the command line, the verdict's message
  Outcome outcome;
  // [CMDVERIFY]: the expected replies ("|"-separated, may be empty) and the
  // exchanges ("command = reply" lines, a time-out warning first);
  // [PASSFAILMSG] and [LOOPONFAIL]: the fail count in `log`.
  std::string_view expected;
  std::string_view log;
  int attempt;     // [CMDVERIFY]: 1 for the first attempt; else 1
  double seconds;  // from the question (or the first command) to the verdict
};

// An automatic save ([SAVERESULTSAUTO], and the ESC saves of [ESCSTOP],
// [ESCEXIT] and [LOOPEND] after ESC).
struct AutoSave {
  std::string_view name;         // as the script gives it, its variables put in
  std::string_view resultsText;  // what [STORERESULTS] collected
  bool csvTables;                // CSV tracking is on: the tables go with the text
};

// A row for the CSV tables ([UPDATECSV], [LOOPONFAIL]UPDATE), while CSV
// tracking is on.
struct CsvUpdate {
  // The fail count was 0 and the unit was not cut short by ESC before it
  // was judged: the row goes to the pass table.
  bool passed;
  // Every column's title as [DEFINECSV] names it ("" for none), and the
  // values of the columns whose tag the script knows, at the update.
  std::vector<std::string> titles;
  std::vector<std::string> values;
};

// Hears of what the script does that a record keeps: its verdicts as they
// are reached ([USERCHECK] answers, each [CMDVERIFY] attempt, and the
// verdict shown by [PASSFAILMSG], [PASSFAILMSG1] .. [PASSFAILMSG9] and
// [LOOPONFAIL]); every jump back to the start of the loop (a production
// script's next unit); its start; and what it asks to be saved. A listener
// hears, it never calls back into the run; each event it does not need is
// passed over.
class ScriptListener {
 public:
  virtual ~ScriptListener() = default;
  virtual void OnVerdict(const ScriptVerdict& /*verdict*/) {}
  // The verdict of [PASSFAILMSG..] or [LOOPONFAIL] goes on the screen now,
  // with `failCount`; its OnVerdict follows when the operator has read it.
  virtual void OnVerdictShowing(std::string_view /*keyword*/, std::int32_t /*failCount*/) {}
  virtual void OnLoopRestart() {}
  // The script starts at its first line: its CSV tables start empty.
  virtual void OnScriptStart() {}
  // [SAVERESULTS1] .. [SAVERESULTS9]: `resultsText` kept under `slot`.
  virtual void OnNumberedSave(int /*slot*/, std::string_view /*resultsText*/) {}
  virtual void OnAutoSave(const AutoSave& /*save*/) {}
  virtual void OnCsvUpdate(const CsvUpdate& /*update*/) {}
  // [RESETCSVRESULTS]: both tables start again empty.
  virtual void OnCsvReset() {}
};

// The script's process-wide values.
struct ScriptState {
  std::string ScriptText;
  int LineCount = -1;  // -1: not started
  std::size_t ReadPosition = 0;
  int LineCounter = 0;
  bool StepBusy = false;
  bool LoopActive = false;
  int LoopStartLine = 1;
  std::size_t LoopReadPosition = 0;
  bool EscFlag = false;
  // The unit of this pass of the loop (the script, when it has no loop) got
  // a verdict before any ESC: an operator's PASS or FAIL, or a pass/fail
  // dialog shown. A unit cut short by ESC without one is never a pass.
  bool UnitJudged = false;
  bool DebugTrace = false;
  std::array<std::string, 9> ScriptVariables;  // V1..V9
  std::array<std::string, 9> ScriptConstants;  // C1..C9
  std::string ResultsText;
  std::string PassFailMessage;
  std::string AutoResultName;
  bool CsvTracking = false;
  std::string CsvDefinition;
  bool VerifyRetry = false;
  bool RunningProgram = false;  // a [RUNPROGn] line is running its program
};

class Script {
 public:
  Script(ScriptHost& host, engine::CommandEngine& engine, engine::PlainReplyCapture& capture,
         std::string dataRoot, int scriptNumber);

  // Reads the start-up script; true when it holds at least one keyword line
  // (the system then runs in AutoControl mode). A script file that is there
  // but cannot be read (not a file, too large, no permission) is reported in
  // the display and to the host, and gives false.
  bool LoadScript();
  // Uses an already built ScriptText instead of the file (tests, tools).
  bool LoadScriptText(std::string scriptText);

  // Runs at most one keyword line.
  StepResult ScriptStep();

  // ESC from the main window or a dialog: the loop ends at its next
  // [LOOPEND] and the ESC keywords act.
  void OnEscape();
  // The run ends before the script does (the program was told to stop): ESC,
  // then the rest of the script runs at once as it runs after ESC, up to its
  // end, so [ESCSTOP], [ESCEXIT] or a later [LOOPEND] save what they save
  // after ESC. Lines that send to a device, start a program or wait
  // ([CMDREPLYn], [CMDVERIFY], [RUNPROGn], [SHELLAPP], [WAIT], [REFRESH])
  // are passed over; dialogs are shown, and the caller answers them ESC.
  // Does nothing before the first step or inside a step.
  void EndByEscape();

  // Who hears of the script's events (ScriptListener); nobody by default.
  // Every listener added hears every event, in the order they were added;
  // one is removed before it goes away. Adding one twice adds it once.
  void AddListener(ScriptListener& listener);
  void RemoveListener(ScriptListener& listener);

  ScriptState& State() { return state_; }
  const ScriptState& State() const { return state_; }
  engine::PlainReplyCapture& Capture() { return capture_; }

  // Variable n's value: the text after the first "}" (or all), trimmed.
  std::string VariableValue(int n) const;
  // Blanks removed and every "{Vn}" replaced by the value of variable n.
  std::string SubstituteVariables(std::string_view text) const;
  std::string DateText(int mode) const;
  std::string TimeText(int mode) const;

  // A device that cannot be opened while a script's program runs counts as
  // a failure.
  void OnDeviceNotAvailable();

 private:
  friend class DeviceKeywords;
  friend class OperatorKeywords;
  friend class RecordKeywords;
  // One keyword line; each family of keywords has a runner of its own.
  StepResult RunKeyword(const Keyword& keyword, const std::string& argument);
  StepResult RunFlowKeyword(const Keyword& keyword, const std::string& argument);
  StepResult RunValuesKeyword(const Keyword& keyword, const std::string& argument);
  StepResult RunShownKeyword(const Keyword& keyword, const std::string& argument);
  void JumpToLoopStart();
  // Tells every listener: Tell(&ScriptListener::OnVerdict, verdict).
  template <typename Event, typename... Args>
  void Tell(Event event, const Args&... args) {
    for (ScriptListener* listener : listeners_) (listener->*event)(args...);
  }
  void Report(const ScriptVerdict& verdict) { Tell(&ScriptListener::OnVerdict, verdict); }
  void MessageLine(const std::string& text);
  std::string TraceLine(std::string_view keyword) const;

  ScriptHost& host_;
  engine::CommandEngine& engine_;
  engine::PlainReplyCapture& capture_;
  std::string dataRoot_;
  platform::DataFolders folders_;
  int scriptNumber_;
  ScriptState state_;
  std::vector<ScriptListener*> listeners_;
  DeviceKeywords devices_{*this};
  OperatorKeywords operator_{*this};
  RecordKeywords records_{*this};
  bool ending_ = false;  // EndByEscape runs the rest of the script
};

// Splits a command text into program arguments the way a command line is
// split: blanks separate arguments, double quotes group, a backslash before
// a double quote escapes it. No shell is involved, so no character is special
// beyond these.
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace autocontrol

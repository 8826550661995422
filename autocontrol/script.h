// The AutoControl interpreter: runs the ScriptText of the start-up script one
// keyword line per tick of the script timer, keeps the script's variables,
// constants and saved replies, judges pass and fail, and writes result text
// files and CSV tables.
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
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "autocontrol/script_file.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "platform/data_folders.h"
#include "programs/program_loader.h"

namespace autocontrol {

// Results of ScriptStep.
inline constexpr int kStepGoOn = 1;
inline constexpr int kStepIdle = 0;
inline constexpr int kStepEndScript = -1;
inline constexpr int kStepCloseApplication = -2;

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

// Hears of the script's verdicts as they are reached: [USERCHECK] answers,
// each [CMDVERIFY] attempt, and the verdict shown by [PASSFAILMSG],
// [PASSFAILMSG1] .. [PASSFAILMSG9] and [LOOPONFAIL]; and of every jump back
// to the start of the loop (a production script's next unit). The
// application implements it for the run's report.
class ScriptListener {
 public:
  virtual ~ScriptListener() = default;
  virtual void OnVerdict(const ScriptVerdict& verdict) = 0;
  virtual void OnLoopRestart() = 0;
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
  bool DebugTrace = false;
  std::array<std::string, 9> ScriptVariables;  // V1..V9
  std::array<std::string, 9> ScriptConstants;  // C1..C9
  std::string ResultsText;
  std::string PassFailMessage;
  std::string AutoResultName;
  bool CsvTracking = false;
  std::string CsvDefinition;
  std::string PassCsvText;
  std::string FailCsvText;
  bool VerifyRetry = false;
  bool RunningProgram = false;  // a [RUNPROGn] line is running its program
  // Result and CSV files that could not be written in this run, one per
  // file; a run that lost one must not end as if it had saved everything.
  std::int32_t RecordsLost = 0;
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

  // Runs at most one keyword line: 0 or 1 go on, -1 ends the script, -2
  // closes the application.
  int ScriptStep();

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

  // Who hears of verdicts and loop restarts; null (the default) for nobody.
  // Every listener added hears every verdict and loop restart, in the order
  // they were added; one is removed before it goes away. Adding one twice
  // adds it once.
  void AddListener(ScriptListener& listener);
  void RemoveListener(ScriptListener& listener);

  ScriptState& State() { return state_; }
  const ScriptState& State() const { return state_; }
  engine::PlainReplyCapture& Capture() { return capture_; }

  // Variable n's value: the text after the first "}" (or all), trimmed.
  std::string VariableValue(int n) const;
  // Blanks removed and every "{Vn}" replaced by the value of variable n.
  std::string SubstituteVariables(std::string_view text) const;
  // Results. A file that cannot be written is a lost record: reported in the
  // display and to the host, and counted in RecordsLost; the script goes on.
  void SaveNumberedResults(int slot);
  // The automatic result files of one save: the text file and, while CSV
  // tracking is on, the pass and fail tables, all under the first number
  // whose names are all free, so the files of one unit always share it.
  void SaveAutoResults(const std::string& name);
  // CSV.
  std::string CsvHeaderLine() const;
  std::string CsvDataLine() const;
  void UpdateCsv();
  std::string DateText(int mode) const;
  std::string TimeText(int mode) const;

  // A device that cannot be opened while a script's program runs counts as
  // a failure.
  void OnDeviceNotAvailable();

 private:
  // One keyword line; each family of keywords has a runner of its own.
  int RunKeyword(const Keyword& keyword, const std::string& argument);
  int RunFlowKeyword(const Keyword& keyword, const std::string& argument);
  int RunValuesKeyword(const Keyword& keyword, const std::string& argument);
  int RunShownKeyword(const Keyword& keyword, const std::string& argument);
  int RunResultsKeyword(const Keyword& keyword, const std::string& argument);
  int RunProgram(int digit, const std::string& argument);
  int RunShellApp(const std::string& argument);
  int VarInput(int n, const std::string& prompt);
  int UserInput(const std::string& prompt);
  int CmdReply(int n, const std::string& argument);
  int CmdVerify(const std::string& argument);
  int UserCheck(const std::string& question);
  int EscSave(int result);
  void JumpToLoopStart();
  void ShowPassFailDialog();
  // The verdict dialog of [PASSFAILMSG..] and [LOOPONFAIL], reported.
  void ShowPassFailDialog(std::string_view keyword);
  void Report(const ScriptVerdict& verdict) {
    for (ScriptListener* listener : listeners_) listener->OnVerdict(verdict);
  }
  void MessageLine(const std::string& text);
  std::string TraceLine(std::string_view keyword) const;
  void ReportLostRecord(const std::string& text);

  ScriptHost& host_;
  engine::CommandEngine& engine_;
  engine::PlainReplyCapture& capture_;
  std::string dataRoot_;
  platform::DataFolders folders_;
  int scriptNumber_;
  ScriptState state_;
  std::vector<ScriptListener*> listeners_;
  bool ending_ = false;  // EndByEscape runs the rest of the script
};

// Splits a command text into program arguments the way a command line is
// split: blanks separate arguments, double quotes group, a backslash before
// a double quote escapes it. No shell is involved, so no character is special
// beyond these.
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace autocontrol

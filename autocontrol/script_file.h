// AutoControl script files: where the start-up script lies, the 138 keywords
// of the script language, and the load-time pass that turns the file into
// ScriptText, the only form of the script the interpreter ever reads.
//
// A script file holds one keyword line per line, such as
//
//   [VARSET1]  Serial 12    ' the board under test
//   [CMDVERIFY] PX,{0}
//
// Loading keeps only lines whose keyword is in the table, upper-cases the
// keyword, normalises the argument by the keyword's rule and joins the kept
// lines with CR LF:
//
//   "[VARSET1]Serial 12\r\n[CMDVERIFY]PX|{0}"
//
// No line of ScriptText contains CR, LF, TAB or ESC, and the first "]" of a
// line always ends its keyword.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace autocontrol {

// What a keyword line does. The numbered families ("[DEVICE1]" to
// "[DEVICE8]") share one id and tell their members apart by digit.
enum class KeywordId : std::uint8_t {
  Language,
  Exit,
  EscStop,
  EscExit,
  Clear,
  Show,
  Device,
  Wait,
  Erase,
  ShowMode,
  RunProgram,  // [RUNPROG1]..[RUNPROG9], and [RUNPROG?] with digit 0
  StoreResults,
  StoreResultsClear,
  ResetResults,
  SaveResults,
  SaveResultsAuto,
  SaveResultsAutoEsc,
  UserInput,
  VarInput,
  VarSet,
  UserCheck,
  LoopStart,
  LoopEnd,
  LoopOnFail,
  ShowVar,
  FailClear,
  ShowFailCount,
  PassFailMessage,  // [PASSFAILMSG] with digit 0, [PASSFAILMSG1]..[PASSFAILMSG9]
  ResetCsvResults,
  TrackCsvResults,
  DefineCsv,
  UpdateCsv,
  Const,
  ShowDate,
  ShowTime,
  ShowMTime,
  ShowMdy,
  ShowConst,
  CmdReply,
  CmdVerify,
  DebugOn,
  DebugOff,
  Refresh,
  ResizeApp,
  ShellApp,
};

struct Keyword {
  std::string text;  // brackets included, upper case: "[DEVICE3]"
  KeywordId id;
  int digit;  // the digit of a numbered keyword, else 0
};

// The keyword that `upperKeyword` is exactly (no prefix, no longer word, no
// case folding: "[DEVICE9]" and "[exit]" are none); nullptr when none.
const Keyword* FindKeyword(std::string_view upperKeyword);

// The bytes of a script file -> ScriptText (empty when no line is kept).
// Linear in the size of the file.
std::string BuildScriptText(std::string_view fileBytes);

// The script file of `scriptNumber`: DataRoot + "AppPrograms\AutoControl\"
// + "autocontrol.txt" for 0 (or less), "autocontrol_<n>.txt" otherwise,
// matched on disk without regard to letter case. There is no fallback from
// a numbered script to autocontrol.txt.
std::string ScriptFilePath(const std::string& dataRoot, int scriptNumber);

// Reads the script file into `scriptText` (empty when the file is missing or
// holds no keyword line). Fails, with an empty text, only when a file is there
// but cannot be read (platform::ReadFile: not a regular file, too large, no
// permission).
platform::Result<> ReadScriptFile(const std::string& dataRoot, int scriptNumber,
                                  std::string& scriptText);

// Deletes the script file if there is one. True when a file was deleted.
bool EraseScriptFile(const std::string& dataRoot, int scriptNumber);

// A KeywordLine split at its first "]" when at least one character follows
// it; otherwise the whole line is the keyword and the argument is empty.
// The argument is returned unchanged.
struct KeywordLineParts {
  std::string_view keyword;
  std::string_view argument;
};
KeywordLineParts SplitKeywordLine(std::string_view line);

// The sequential reader over ScriptText. Each call of NextLine() returns the
// text up to the next CR LF and moves behind it; at the last line it returns
// the rest and moves past the end. The cost of a call is the length of its
// own line, never the distance from the start, and a position can be saved
// and restored to replay lines (loops).
class ScriptReader {
 public:
  ScriptReader();  // over an empty text
  // The reader keeps a pointer to `text`, which must outlive it.
  explicit ScriptReader(const std::string& text) : text_(&text) {}
  explicit ScriptReader(std::string&&) = delete;

  // Plain 0-based offset of the next unread line; Size() + 1 once the last
  // line has been read.
  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t position);
  bool AtEnd() const { return position_ > text_->size(); }
  // The returned view points into the text given to the constructor.
  std::string_view NextLine();

  // The number of CR LF separated pieces of `text` (1 for an empty text).
  static std::size_t CountLines(const std::string& text);

 private:
  const std::string* text_;
  std::size_t position_ = 0;
};

}  // namespace autocontrol

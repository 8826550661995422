#include "autocontrol/script_file.h"

#include <string>
#include <unordered_map>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "platform/text.h"
#include "programs/program_file.h"

namespace autocontrol {
namespace {

// How a keyword's argument is normalised when the script is loaded.
enum class ArgumentRule {
  Discard,      // the keyword takes no argument
  Keep,         // [SHOW], [VARSETn], [RESIZEAPP], [SHELLAPP], [RUNPROG?]
  ResultName,   // [SAVERESULTSAUTO], [SAVERESULTSAUTOESC]
  UserInput,    // [USERINPUT]
  VarInput,     // [VARINPUTn]
  UserCheck,    // [USERCHECK]
  LoopOnFail,   // [LOOPONFAIL]
  DefineCsv,    // [DEFINECSV]
  Constant,     // [CONSTn]
  CommandLine,  // [CMDREPLYn], [CMDVERIFY]
};

// A keyword family: "[" + name + "]", or with `last` above 0 the numbered
// keywords "[" + name + 1..last + "]".
struct Family {
  const char* name;
  KeywordId id;
  int last;
  ArgumentRule rule;
};

using K = KeywordId;
using R = ArgumentRule;

// The one keyword table: every keyword with its id and argument rule.
constexpr Family kFamilies[] = {
    {"LANGUAGE", K::Language, 9, R::Discard},
    {"EXIT", K::Exit, 0, R::Discard},
    {"ESCSTOP", K::EscStop, 0, R::Discard},
    {"ESCEXIT", K::EscExit, 0, R::Discard},
    {"CLEAR", K::Clear, 0, R::Discard},
    {"SHOW", K::Show, 0, R::Keep},
    {"DEVICE", K::Device, 8, R::Discard},
    {"WAIT", K::Wait, 0, R::Discard},
    {"ERASE", K::Erase, 0, R::Discard},
    {"SHOWMODE", K::ShowMode, 5, R::Discard},
    {"RUNPROG", K::RunProgram, 9, R::Discard},
    {"RUNPROG?", K::RunProgram, 0, R::Keep},
    {"STORERESULTS", K::StoreResults, 0, R::Discard},
    {"STORERESULTSCLR", K::StoreResultsClear, 0, R::Discard},
    {"RESETRESULTS", K::ResetResults, 0, R::Discard},
    {"SAVERESULTS", K::SaveResults, 9, R::Discard},
    {"SAVERESULTSAUTO", K::SaveResultsAuto, 0, R::ResultName},
    {"SAVERESULTSAUTOESC", K::SaveResultsAutoEsc, 0, R::ResultName},
    {"USERINPUT", K::UserInput, 0, R::UserInput},
    {"VARINPUT", K::VarInput, 9, R::VarInput},
    {"VARSET", K::VarSet, 9, R::Keep},
    {"USERCHECK", K::UserCheck, 0, R::UserCheck},
    {"LOOPSTART", K::LoopStart, 0, R::Discard},
    {"LOOPEND", K::LoopEnd, 0, R::Discard},
    {"LOOPONFAIL", K::LoopOnFail, 0, R::LoopOnFail},
    {"SHOWVAR", K::ShowVar, 9, R::Discard},
    {"FAILCLEAR", K::FailClear, 0, R::Discard},
    {"SHOWFAILCT", K::ShowFailCount, 0, R::Discard},
    {"PASSFAILMSG", K::PassFailMessage, 0, R::Discard},
    {"PASSFAILMSG", K::PassFailMessage, 9, R::Discard},
    {"RESETCSVRESULTS", K::ResetCsvResults, 0, R::Discard},
    {"TRACKCSVRESULTS", K::TrackCsvResults, 0, R::Discard},
    {"DEFINECSV", K::DefineCsv, 0, R::DefineCsv},
    {"UPDATECSV", K::UpdateCsv, 0, R::Discard},
    {"CONST", K::Const, 9, R::Constant},
    {"SHOWDATE", K::ShowDate, 0, R::Discard},
    {"SHOWTIME", K::ShowTime, 0, R::Discard},
    {"SHOWMTIME", K::ShowMTime, 0, R::Discard},
    {"SHOWMDY", K::ShowMdy, 0, R::Discard},
    {"SHOWC", K::ShowConst, 9, R::Discard},
    {"CMDREPLY", K::CmdReply, 9, R::CommandLine},
    {"CMDVERIFY", K::CmdVerify, 0, R::CommandLine},
    {"DEBUGON", K::DebugOn, 0, R::Discard},
    {"DEBUGOFF", K::DebugOff, 0, R::Discard},
    {"REFRESH", K::Refresh, 0, R::Discard},
    {"RESIZEAPP", K::ResizeApp, 0, R::Keep},
    {"SHELLAPP", K::ShellApp, 0, R::Keep},
};

struct Keywords {
  std::vector<Keyword> table;
  std::vector<ArgumentRule> rules;  // rules[i] belongs to table[i]
  std::unordered_map<std::string_view, std::size_t> index;

  Keywords() {
    for (const Family& f : kFamilies) {
      if (f.last == 0) Add(std::string("[") + f.name + "]", f, 0);
      for (int d = 1; d <= f.last; ++d) Add("[" + (f.name + std::to_string(d)) + "]", f, d);
    }
    // The views point into the table's texts, which no longer move.
    for (std::size_t i = 0; i < table.size(); ++i) index.emplace(table[i].text, i);
  }
  void Add(std::string text, const Family& family, int digit) {
    table.push_back({std::move(text), family.id, digit});
    rules.push_back(family.rule);
  }
};

const Keywords& AllKeywords() {
  static const Keywords keywords;
  return keywords;
}

// "[SAVERESULTSAUTOESC]": anything longer cannot be a keyword and is not
// worth hashing (a line can be a megabyte long).
constexpr std::size_t kLongestKeyword = 20;

// The position of `keyword` in the table, or the table's size when it is none.
std::size_t IndexOf(std::string_view keyword) {
  const Keywords& all = AllKeywords();
  if (keyword.size() > kLongestKeyword) return all.table.size();
  auto it = all.index.find(keyword);
  return it == all.index.end() ? all.table.size() : it->second;
}

constexpr const char* kDefaultCsvDefinition =
    "Variable1(V1)Variable2(V2)Variable3(V3)Pass/Fail(PF)Fail Count(FC)";

std::string NormaliseArgument(ArgumentRule rule, int digit, std::string_view argument) {
  switch (rule) {
    case ArgumentRule::Discard:
      return {};
    case ArgumentRule::Keep:
      return std::string(argument);
    case ArgumentRule::ResultName:
      return argument.empty() ? "MyTestData" : std::string(argument);
    case ArgumentRule::UserInput:
      return argument.empty() ? "Text" : std::string(argument);
    case ArgumentRule::VarInput:
      return argument.empty() ? "Enter Variable #" + std::to_string(digit) : std::string(argument);
    case ArgumentRule::UserCheck:
      return argument.empty() ? "Does Visual Inspection Pass" : std::string(argument);
    case ArgumentRule::LoopOnFail:
      return platform::ToUpper(platform::TrimmedView(argument)) == "UPDATE" ? "UPDATE" : "";
    case ArgumentRule::DefineCsv: {
      // Each ")" closes one column; the "|" after it makes the definition a
      // list the CSV writer can split.
      std::string columns = platform::RemoveChars(
          argument.empty() ? std::string_view(kDefaultCsvDefinition) : argument, ",|");
      std::string out;
      out.reserve(columns.size() + 8);
      for (char c : columns) {
        out += c;
        if (c == ')') out += '|';
      }
      return out;
    }
    case ArgumentRule::Constant: {
      std::string value = platform::RemoveChars(argument, ",';\t");
      return value.empty() ? "Constant" : value;
    }
    case ArgumentRule::CommandLine: {
      // Commas would be taken for line separators by the interpreter's
      // reader; "|" stands in for them until the line is sent.
      std::string line(argument);
      for (char& c : line) {
        if (c == ',') c = '|';
      }
      return line;
    }
  }
  return {};
}

// Appends the KeywordLine of one file line (line end already cut off) to
// `out` and returns true, or leaves `out` alone when the line is dropped.
// `work` is scratch space reused from line to line.
bool AppendKeywordLine(std::string_view fileLine, std::string& work, std::string& out) {
  work.clear();
  for (char c : fileLine) {
    if (c != '\t' && c != '\x1b' && c != '\r' && c != '\n') work += c;
  }
  std::string_view text = platform::TrimmedView(work);
  std::size_t comment = text.find('\'');
  if (comment != std::string_view::npos) text = platform::TrimmedView(text.substr(0, comment));
  if (text.empty()) return false;

  std::string_view keywordPart = text;
  std::string_view argument;
  std::size_t close = text.find(']');
  if (close != std::string_view::npos && close + 1 < text.size()) {
    keywordPart = text.substr(0, close + 1);
    argument = platform::TrimmedView(text.substr(close + 1));
  }
  if (keywordPart.size() > kLongestKeyword) return false;
  const std::size_t i = IndexOf(platform::ToUpper(keywordPart));
  const Keywords& all = AllKeywords();
  if (i == all.table.size()) return false;
  out += all.table[i].text;
  out += NormaliseArgument(all.rules[i], all.table[i].digit, argument);
  return true;
}

}  // namespace

const Keyword* FindKeyword(std::string_view upperKeyword) {
  const std::size_t i = IndexOf(upperKeyword);
  const std::vector<Keyword>& table = AllKeywords().table;
  return i == table.size() ? nullptr : &table[i];
}

std::string BuildScriptText(std::string_view fileBytes) {
  programs::NormalisedLines lines(fileBytes);
  std::string script;
  std::string raw, work;
  while (lines.Next(raw)) {
    const std::size_t before = script.size();
    if (before > 0) script += "\r\n";
    if (!AppendKeywordLine(raw, work, script)) script.resize(before);
  }
  return script;
}

std::string ScriptFilePath(const std::string& dataRoot, int scriptNumber) {
  std::string name = scriptNumber <= 0 ? std::string("autocontrol.txt")
                                       : "autocontrol_" + std::to_string(scriptNumber) + ".txt";
  return platform::DataFolders(dataRoot).DataPath("AppPrograms\\AutoControl\\" + name);
}

platform::Result<> ReadScriptFile(const std::string& dataRoot, int scriptNumber,
                                  std::string& scriptText) {
  scriptText.clear();
  const std::string path = ScriptFilePath(dataRoot, scriptNumber);
  if (!platform::NameTaken(path)) return platform::Result<>::Success();
  std::string bytes;
  platform::Result<> read = platform::ReadFile(path, bytes);
  scriptText = BuildScriptText(bytes);
  return read;
}

bool EraseScriptFile(const std::string& dataRoot, int scriptNumber) {
  const std::string path = ScriptFilePath(dataRoot, scriptNumber);
  return platform::FileExists(path) && platform::RemoveFile(path);
}

KeywordLineParts SplitKeywordLine(std::string_view line) {
  std::size_t close = line.find(']');
  if (close != std::string_view::npos && close + 1 < line.size()) {
    return {line.substr(0, close + 1), line.substr(close + 1)};
  }
  return {line, {}};
}

namespace {
const std::string kNoText;
}

ScriptReader::ScriptReader() : text_(&kNoText) {}

void ScriptReader::SetPosition(std::size_t position) {
  position_ = position > text_->size() + 1 ? text_->size() + 1 : position;
}

std::string_view ScriptReader::NextLine() {
  const std::string_view all(*text_);
  if (position_ > all.size()) return {};
  std::size_t end = all.find("\r\n", position_);
  if (end == std::string_view::npos) {
    std::string_view rest = all.substr(position_);
    position_ = all.size() + 1;
    return rest;
  }
  std::string_view line = all.substr(position_, end - position_);
  position_ = end + 2;
  return line;
}

std::size_t ScriptReader::CountLines(const std::string& text) {
  std::size_t count = 1;
  std::size_t at = text.find("\r\n");
  while (at != std::string::npos) {
    ++count;
    at = text.find("\r\n", at + 2);
  }
  return count;
}

}  // namespace autocontrol

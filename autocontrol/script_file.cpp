#include "autocontrol/script_file.h"

#include <string>
#include <unordered_map>

#include "platform/files.h"
#include "platform/text.h"

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

struct KeywordInfo {
  ArgumentRule rule = ArgumentRule::Discard;
  int digit = 0;
};

struct Keywords {
  std::vector<std::string> table;
  std::unordered_map<std::string, KeywordInfo> info;

  void Add(const std::string& keyword, ArgumentRule rule, int digit = 0) {
    table.push_back(keyword);
    info.emplace(keyword, KeywordInfo{rule, digit});
  }
  // "[" + stem + 1..last + "]"
  void AddNumbered(const std::string& stem, int last, ArgumentRule rule = ArgumentRule::Discard) {
    for (int d = 1; d <= last; ++d) Add("[" + stem + std::to_string(d) + "]", rule, d);
  }
  void AddPlain(std::initializer_list<const char*> keywords) {
    for (const char* k : keywords) Add(k, ArgumentRule::Discard);
  }
};

Keywords BuildKeywords() {
  using R = ArgumentRule;
  Keywords k;
  k.AddNumbered("LANGUAGE", 9);
  k.AddPlain({"[EXIT]", "[ESCSTOP]", "[ESCEXIT]", "[CLEAR]"});
  k.Add("[SHOW]", R::Keep);
  k.AddNumbered("DEVICE", 8);
  k.AddPlain({"[WAIT]", "[ERASE]"});
  k.AddNumbered("SHOWMODE", 5);
  k.AddNumbered("RUNPROG", 9);
  k.Add("[RUNPROG?]", R::Keep);
  k.AddPlain({"[STORERESULTS]", "[STORERESULTSCLR]", "[RESETRESULTS]"});
  k.AddNumbered("SAVERESULTS", 9);
  k.Add("[SAVERESULTSAUTO]", R::ResultName);
  k.Add("[SAVERESULTSAUTOESC]", R::ResultName);
  k.Add("[USERINPUT]", R::UserInput);
  k.AddNumbered("VARINPUT", 9, R::VarInput);
  k.AddNumbered("VARSET", 9, R::Keep);
  k.Add("[USERCHECK]", R::UserCheck);
  k.AddPlain({"[LOOPSTART]", "[LOOPEND]"});
  k.Add("[LOOPONFAIL]", R::LoopOnFail);
  k.AddNumbered("SHOWVAR", 9);
  k.AddPlain({"[FAILCLEAR]", "[SHOWFAILCT]", "[PASSFAILMSG]"});
  k.AddNumbered("PASSFAILMSG", 9);
  k.AddPlain({"[RESETCSVRESULTS]", "[TRACKCSVRESULTS]"});
  k.Add("[DEFINECSV]", R::DefineCsv);
  k.AddPlain({"[UPDATECSV]"});
  k.AddNumbered("CONST", 9, R::Constant);
  k.AddPlain({"[SHOWDATE]", "[SHOWTIME]", "[SHOWMTIME]", "[SHOWMDY]"});
  k.AddNumbered("SHOWC", 9);
  k.AddNumbered("CMDREPLY", 9, R::CommandLine);
  k.Add("[CMDVERIFY]", R::CommandLine);
  k.AddPlain({"[DEBUGON]", "[DEBUGOFF]", "[REFRESH]"});
  k.Add("[RESIZEAPP]", R::Keep);
  k.Add("[SHELLAPP]", R::Keep);
  return k;
}

const Keywords& AllKeywords() {
  static const Keywords keywords = BuildKeywords();
  return keywords;
}

// "[SAVERESULTSAUTOESC]": anything longer cannot be a keyword and is not
// worth hashing (a line can be a megabyte long).
constexpr std::size_t kLongestKeyword = 20;

const KeywordInfo* FindKeyword(std::string_view keyword) {
  const auto& info = AllKeywords().info;
  if (keyword.size() > kLongestKeyword) return nullptr;
  auto it = info.find(std::string(keyword));
  return it == info.end() ? nullptr : &it->second;
}

constexpr const char* kDefaultCsvDefinition =
    "Variable1(V1)Variable2(V2)Variable3(V3)Pass/Fail(PF)Fail Count(FC)";

std::string NormaliseArgument(const KeywordInfo& keyword, std::string_view argument) {
  switch (keyword.rule) {
    case ArgumentRule::Discard:
      return {};
    case ArgumentRule::Keep:
      return std::string(argument);
    case ArgumentRule::ResultName:
      return argument.empty() ? "MyTestData" : std::string(argument);
    case ArgumentRule::UserInput:
      return argument.empty() ? "Text" : std::string(argument);
    case ArgumentRule::VarInput:
      return argument.empty() ? "Enter Variable #" + std::to_string(keyword.digit)
                              : std::string(argument);
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
  const std::string keyword = platform::ToUpper(keywordPart);
  const KeywordInfo* info = FindKeyword(keyword);
  if (!info) return false;
  out += keyword;
  out += NormaliseArgument(*info, argument);
  return true;
}

}  // namespace

const std::vector<std::string>& KeywordTable() {
  return AllKeywords().table;
}

bool IsKeyword(std::string_view upperKeyword) {
  return FindKeyword(upperKeyword) != nullptr;
}

int KeywordDigit(std::string_view keyword) {
  const KeywordInfo* info = FindKeyword(keyword);
  return info ? info->digit : 0;
}

std::string BuildKeywordLine(std::string_view fileLine) {
  std::string work, line;
  AppendKeywordLine(fileLine, work, line);
  return line;
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
  return platform::FindPath(platform::JoinPath(dataRoot, "AppPrograms\\AutoControl\\" + name));
}

bool ReadScriptFile(const std::string& dataRoot, int scriptNumber, std::string& scriptText) {
  scriptText.clear();
  const std::string path = ScriptFilePath(dataRoot, scriptNumber);
  if (!platform::FileExists(path)) return false;
  std::string bytes;
  platform::ReadFile(path, bytes);  // an unreadable file counts as empty
  scriptText = BuildScriptText(bytes);
  return !scriptText.empty();
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

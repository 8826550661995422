#include "autocontrol/script_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using autocontrol::BuildScriptText;
using autocontrol::KeywordId;

// Each keyword is found as itself and carries the digit it ends with (the
// ranges of the families are tested through the lines dropped below);
// lookups are exact: no case folding, no prefix, no longer word.
TEST(KeywordTable, Holds138KeywordsEachWithItsIdAndDigit) {
  const auto& table = autocontrol::KeywordTable();
  ASSERT_EQ(table.size(), 138u);
  for (const autocontrol::Keyword& k : table) {
    EXPECT_EQ(autocontrol::FindKeyword(k.text), &k) << k.text;  // each text once
    const char last = k.text[k.text.size() - 2];
    EXPECT_EQ(k.digit, last >= '1' && last <= '9' ? last - '0' : 0) << k.text;
  }
  for (auto [text, id] : {std::pair{"[RUNPROG?]", KeywordId::RunProgram},
                          {"[RUNPROG9]", KeywordId::RunProgram},
                          {"[PASSFAILMSG]", KeywordId::PassFailMessage},
                          {"[SHOWC1]", KeywordId::ShowConst}}) {
    EXPECT_EQ(autocontrol::FindKeyword(text)->id, id) << text;
  }
  for (const char* k : {"[exit]", "[EXIT", "[EXIT] ", " [EXIT]", "[EXITS]", "[EXI]", "[RUNPROG]",
                        "", "[]", "[SAVERESULTSAUTOESC]]"})
    EXPECT_EQ(autocontrol::FindKeyword(k), nullptr) << '"' << k << '"';
}

// Keywords in any case, blanks, TAB, ESC and comments around them; every
// argument rule; arguments of keywords that take none are dropped.
TEST(ScriptLine, KeywordsCommentsBlanksAndArgumentRules) {
  const std::pair<std::string, std::string> lines[] = {
      {"[exit]", "[EXIT]"},
      {"[show] Hello World", "[SHOW]Hello World"},
      {"[VARSET1]  Serial 12  ' the board", "[VARSET1]Serial 12"},
      {"[SHOW] Don't stop", "[SHOW]Don"},
      {" \t [CLEAR]", "[CLEAR]"},
      {"[SHOW]a\tb\x1b"
       "c",
       "[SHOW]abc"},
      {"[EX\x1bIT]", "[EXIT]"},
      {"[VARSET1]]", "[VARSET1]]"},
      {"[VARSET1] ]x] ", "[VARSET1]]x]"},
      {"[runprog?] my-test.1", "[RUNPROG?]my-test.1"},
      {"[SHOW]\xe9t\xe9", "[SHOW]\xe9t\xe9"},
      {std::string("[SHOW]a\0b", 9), std::string("[SHOW]a\0b", 9)},
      {"[SHELLAPP] {a} tool.exe /x", "[SHELLAPP]{a} tool.exe /x"},
      {"[EXIT] now please", "[EXIT]"},
      {"[TRACKCSVRESULTS] yes", "[TRACKCSVRESULTS]"},
      {"[VARINPUT4]", "[VARINPUT4]Enter Variable #4"},
      {"[USERINPUT]", "[USERINPUT]Text"},
      {"[USERCHECK]", "[USERCHECK]Does Visual Inspection Pass"},
      {"[SAVERESULTSAUTOESC]", "[SAVERESULTSAUTOESC]MyTestData"},
      {"[SAVERESULTSAUTO] Board A", "[SAVERESULTSAUTO]Board A"},
      {"[DEFINECSV]",
       "[DEFINECSV]Variable1(V1)|Variable2(V2)|Variable3(V3)|Pass/Fail(PF)|Fail Count(FC)|"},
      {"[DEFINECSV] Serial(V1), Speed|(R2)", "[DEFINECSV]Serial(V1)| Speed(R2)|"},
      {"[CONST2] 1,000;", "[CONST2]1000"},
      {"[CMDREPLY2] PX,PY , PZ", "[CMDREPLY2]PX|PY | PZ"},
      {"[CMDVERIFY] ABS,X1000,{OK,OK}", "[CMDVERIFY]ABS|X1000|{OK|OK}"},
      {"[CONST3] ,;,", "[CONST3]Constant"},
      {"[LOOPONFAIL]   Update  ", "[LOOPONFAIL]UPDATE"},
      {"[LOOPONFAIL] UPDATES", "[LOOPONFAIL]"},
  };
  for (const auto& [line, kept] : lines) EXPECT_EQ(BuildScriptText(line), kept) << line;
  // Lines that are no keyword lines are dropped.
  for (const char* line :
       {"' a comment", "    ' a comment", "   ", "", "x[EXIT]", "[ EXIT ]", "[EXIT ]", "[EXITT]",
        "LSPD=500", "[EXIT", "[DEVICE9]", "[SHOWMODE6]", "[LANGUAGE0]", "[\xc9XIT]"})
    EXPECT_EQ(BuildScriptText(line), "") << line;
}

TEST(ScriptText, KeptLinesJoinedByCrLfWhateverTheFilesLineEnds) {
  const std::vector<std::string> lines = {
      "' Station 3",       "", "[VARSET1]  Serial 12  ' board", "LSPD=500", "\t[loopstart]",
      "[cmdverify] PX,{0}"};
  std::string lf, crlf, cr;
  for (const std::string& l : lines) {
    lf += l + "\n";
    crlf += l + "\r\n";
    cr += l + "\r";
  }
  const std::string expected = "[VARSET1]Serial 12\r\n[LOOPSTART]\r\n[CMDVERIFY]PX|{0}";
  EXPECT_EQ(BuildScriptText(lf), expected);
  EXPECT_EQ(BuildScriptText(crlf), expected);
  EXPECT_EQ(BuildScriptText(cr), expected);
  EXPECT_EQ(BuildScriptText(lf.substr(0, lf.size() - 1)), expected);  // no line end at the end
  EXPECT_EQ(BuildScriptText("' only\r\n' comments\r\nLSPD=500\n\n"), "");
  // A Windows editor's byte order mark belongs to no line; later it is text.
  EXPECT_EQ(BuildScriptText("\xEF\xBB\xBF[SHOW]first\r\n\xEF\xBB\xBF[EXIT]"), "[SHOW]first");
  // A stray LF inside a CR file, NUL, TAB, ESC and 8-bit bytes.
  using namespace std::string_literals;
  EXPECT_EQ(
      BuildScriptText("[SHOW]a\nb\r[VARSET1]\t\x1b x \x1b\r\0[EXIT]\r[CLEAR]\0\r[show]\x80\r"s),
      "[SHOW]ab\r\n[VARSET1]x\r\n[CLEAR]\r\n[SHOW]\x80"s);
  // Megabyte lines are kept or dropped whole.
  const std::string argument(1 << 20, '\xe9'), brackets = "[" + std::string(1 << 20, 'A') + "]";
  EXPECT_EQ(BuildScriptText(brackets + "\n[show] " + argument + "\n" + brackets + "x\n"),
            "[SHOW]" + argument);
  EXPECT_EQ(BuildScriptText("[CMDREPLY1]" + std::string(1 << 20, ',')),
            "[CMDREPLY1]" + std::string(1 << 20, '|'));
}

// A line splits at its first "]" when something follows it. The reader's
// lines end at CR LF only; a saved position replays them (loops).
TEST(ScriptReader, SplitsAndReplaysLinesFromASavedPosition) {
  auto split = [](const char* line) {
    auto parts = autocontrol::SplitKeywordLine(line);
    return std::string(parts.keyword) + "|" + std::string(parts.argument);
  };
  EXPECT_EQ(split("[VARSET1]]") + split("[SHOW] x ") + split("[SHOW]"),
            "[VARSET1]|][SHOW]| x [SHOW]|");
  const std::string text = "[LOOPSTART]\r\n[SHOW]a\rb\nc\r\n\r\n[LOOPEND]";
  ASSERT_EQ(autocontrol::ScriptReader::CountLines(text), 4u);
  autocontrol::ScriptReader reader(text);
  EXPECT_EQ(reader.NextLine(), "[LOOPSTART]");
  const std::size_t loop = reader.Position();
  EXPECT_EQ(reader.NextLine(), "[SHOW]a\rb\nc");
  EXPECT_EQ(reader.NextLine(), "");
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.NextLine(), "[LOOPEND]");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.NextLine(), "");
  reader.SetPosition(loop);
  EXPECT_EQ(reader.NextLine(), "[SHOW]a\rb\nc");
  const std::string oneLine = "a\r\n";
  autocontrol::ScriptReader ended(oneLine);
  ended.NextLine();
  EXPECT_FALSE(ended.AtEnd());  // an empty last line is still to come
}

// There is no fallback from a numbered script to autocontrol.txt; a file of
// comments is no script; a folder is refused as unreadable;
// [ERASE] deletes only what is there.
TEST(ScriptFile, NumberedScriptsHaveNoFallback) {
  testing_support::TestFolder root;
  const std::string data = root.Path() + "/", folder = "AppPrograms/AutoControl/";
  platform::DataFolders(data).EnsureDataFolders();
  auto write = [&](const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / (folder + name), bytes));
  };
  EXPECT_EQ(autocontrol::ScriptFilePath(data, 999), root / (folder + "autocontrol_999.txt"));
  std::string text = "stale";
  write("autocontrol.txt", "[show] hello\n[exit]\n");
  EXPECT_TRUE(autocontrol::ReadScriptFile(data, 0, text));
  EXPECT_EQ(text, "[SHOW]hello\r\n[EXIT]");
  write("autocontrol_2.txt", "' nothing to do\r\n");
  for (int missingOrEmpty : {12, 2}) {
    text = "stale";
    EXPECT_TRUE(autocontrol::ReadScriptFile(data, missingOrEmpty, text));
    EXPECT_EQ(text, "");
  }
  ASSERT_TRUE(platform::CreateDirectory(root / (folder + "autocontrol_5.txt")));
  EXPECT_NE(autocontrol::ReadScriptFile(data, 5, text).Text().find("is not a file"),
            std::string::npos);
  EXPECT_EQ(text, "");
  EXPECT_TRUE(autocontrol::EraseScriptFile(data, 2));
  EXPECT_FALSE(autocontrol::EraseScriptFile(data, 2) || autocontrol::EraseScriptFile(data, 5));
  EXPECT_TRUE(platform::FileExists(root / (folder + "autocontrol.txt")));
}

}  // namespace

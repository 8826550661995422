#include "autocontrol/script_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using autocontrol::BuildKeywordLine;
using autocontrol::BuildScriptText;
using autocontrol::IsKeyword;
using autocontrol::KeywordDigit;

TEST(KeywordTable, Holds138KeywordsWithTheirDigitsOnly) {
  const auto& table = autocontrol::KeywordTable();
  EXPECT_EQ(std::set<std::string>(table.begin(), table.end()).size(), 138u);
  for (const std::string& k : table) {
    EXPECT_TRUE(k.front() == '[' && k.find(']') == k.size() - 1) << k;  // "]" ends it
    EXPECT_TRUE(std::none_of(k.begin(), k.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
    EXPECT_TRUE(IsKeyword(k)) << k;
  }
  for (auto [stem, last] : {std::pair{"LANGUAGE", 9},
                            {"DEVICE", 8},
                            {"SHOWMODE", 5},
                            {"RUNPROG", 9},
                            {"SAVERESULTS", 9},
                            {"VARINPUT", 9},
                            {"VARSET", 9},
                            {"SHOWVAR", 9},
                            {"PASSFAILMSG", 9},
                            {"CONST", 9},
                            {"SHOWC", 9},
                            {"CMDREPLY", 9}}) {
    for (int d = 0; d <= 10; ++d) {
      const std::string keyword = "[" + std::string(stem) + std::to_string(d) + "]";
      EXPECT_EQ(IsKeyword(keyword), d >= 1 && d <= last) << keyword;
      EXPECT_EQ(KeywordDigit(keyword), IsKeyword(keyword) ? d : 0) << keyword;
    }
  }
  for (const char* k : {"[exit]", "[EXIT", "[EXIT] ", " [EXIT]", "[ EXIT]", "[EXITS]", "[EXI]",
                        "[RUNPROG]", "[VARSET]", "", "[]", "[SAVERESULTSAUTOESC]]"})
    EXPECT_FALSE(IsKeyword(k)) << '"' << k << '"';
  EXPECT_EQ(KeywordDigit("[RUNPROG?]") + KeywordDigit("[PASSFAILMSG]") + KeywordDigit("x5]"), 0);
}

TEST(ScriptLine, KeywordsCommentsAndBlanks) {
  EXPECT_EQ(BuildKeywordLine("[exit]"), "[EXIT]");
  EXPECT_EQ(BuildKeywordLine("[VarSet2]abc"), "[VARSET2]abc");
  EXPECT_EQ(BuildKeywordLine("[show] Hello World"), "[SHOW]Hello World");  // argument keeps case
  EXPECT_EQ(BuildKeywordLine("[VARSET1]  Serial 12  ' the board"), "[VARSET1]Serial 12");
  EXPECT_EQ(BuildKeywordLine("[SHOW] Don't stop"), "[SHOW]Don");  // a comment inside an argument
  EXPECT_EQ(BuildKeywordLine(" \t [CLEAR]"), "[CLEAR]");
  EXPECT_EQ(BuildKeywordLine("[SHOW]a\tb\x1b"
                             "c"),
            "[SHOW]abc");
  EXPECT_EQ(BuildKeywordLine("[EX\x1bIT]"), "[EXIT]");
  EXPECT_EQ(BuildKeywordLine("[VARSET1]]"), "[VARSET1]]");
  EXPECT_EQ(BuildKeywordLine("[VARSET1] ]x] "), "[VARSET1]]x]");
  EXPECT_EQ(BuildKeywordLine("[runprog?] my-test.1"), "[RUNPROG?]my-test.1");
  EXPECT_EQ(BuildKeywordLine("[SHOW]    "), "[SHOW]");
  EXPECT_EQ(BuildKeywordLine("[SHOW]\xe9t\xe9"), "[SHOW]\xe9t\xe9");
  EXPECT_EQ(BuildKeywordLine(std::string("[SHOW]a\0b", 9)), std::string("[SHOW]a\0b", 9));
  EXPECT_EQ(BuildKeywordLine("[SHELLAPP] {a} tool.exe /x"), "[SHELLAPP]{a} tool.exe /x");
  // Arguments of keywords that take none are dropped.
  EXPECT_EQ(BuildKeywordLine("[EXIT] now please"), "[EXIT]");
  EXPECT_EQ(BuildKeywordLine("[RUNPROG3] test01"), "[RUNPROG3]");
  EXPECT_EQ(BuildKeywordLine("[TRACKCSVRESULTS] yes"), "[TRACKCSVRESULTS]");
  // Lines that are no keyword lines are dropped.
  for (const char* line :
       {"' a comment", "    ' a comment", "   ", "", "x[EXIT]", "[ EXIT ]", "[EXIT ]", "[EXITT]",
        "LSPD=500", "[EXIT", "[DEVICE9]", "[SHOWMODE6]", "[LANGUAGE0]", "[\xc9XIT]"})
    EXPECT_EQ(BuildKeywordLine(line), "") << line;
}

TEST(ScriptLine, ArgumentDefaultsAndNormalisation) {
  EXPECT_EQ(BuildKeywordLine("[VARINPUT4]"), "[VARINPUT4]Enter Variable #4");
  EXPECT_EQ(BuildKeywordLine("[VARINPUT9] Serial?"), "[VARINPUT9]Serial?");
  EXPECT_EQ(BuildKeywordLine("[USERINPUT]"), "[USERINPUT]Text");
  EXPECT_EQ(BuildKeywordLine("[USERCHECK]"), "[USERCHECK]Does Visual Inspection Pass");
  EXPECT_EQ(BuildKeywordLine("[USERCHECK] LED green?"), "[USERCHECK]LED green?");
  EXPECT_EQ(BuildKeywordLine("[SAVERESULTSAUTO]"), "[SAVERESULTSAUTO]MyTestData");
  EXPECT_EQ(BuildKeywordLine("[SAVERESULTSAUTOESC]"), "[SAVERESULTSAUTOESC]MyTestData");
  EXPECT_EQ(BuildKeywordLine("[SAVERESULTSAUTO] Board A"), "[SAVERESULTSAUTO]Board A");
  EXPECT_EQ(BuildKeywordLine("[DEFINECSV]"),
            "[DEFINECSV]Variable1(V1)|Variable2(V2)|Variable3(V3)|Pass/Fail(PF)|Fail Count(FC)|");
  EXPECT_EQ(BuildKeywordLine("[DEFINECSV] Serial(V1), Speed|(R2)"),
            "[DEFINECSV]Serial(V1)| Speed(R2)|");
  EXPECT_EQ(BuildKeywordLine("[CONST2] 1,000;"), "[CONST2]1000");
  EXPECT_EQ(BuildKeywordLine("[CONST3] ,;,"), "[CONST3]Constant");
  EXPECT_EQ(BuildKeywordLine("[CONST1]"), "[CONST1]Constant");
  EXPECT_EQ(BuildKeywordLine("[CMDREPLY2] PX,PY , PZ"), "[CMDREPLY2]PX|PY | PZ");
  EXPECT_EQ(BuildKeywordLine("[CMDVERIFY] ABS,X1000,{OK,OK}"), "[CMDVERIFY]ABS|X1000|{OK|OK}");
  EXPECT_EQ(BuildKeywordLine("[LOOPONFAIL] update"), "[LOOPONFAIL]UPDATE");
  EXPECT_EQ(BuildKeywordLine("[LOOPONFAIL]   Update  "), "[LOOPONFAIL]UPDATE");
  for (const char* other : {"[LOOPONFAIL] again", "[LOOPONFAIL] UPDATES", "[LOOPONFAIL]"})
    EXPECT_EQ(BuildKeywordLine(other), "[LOOPONFAIL]") << other;
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
  // Line ends reduce to one CR; TABs go.
  EXPECT_EQ(autocontrol::NormaliseLineEnds("a\nb\tc\n"), "a\rbc\r");
  EXPECT_EQ(autocontrol::NormaliseLineEnds("a\r\n\tb\n\rc\r"), "a\rb\rc\r");
}

TEST(ScriptReader, SplitsAndReplaysLinesFromASavedPosition) {
  auto split = [](const char* line) {
    auto parts = autocontrol::SplitKeywordLine(line);
    return std::string(parts.keyword) + "|" + std::string(parts.argument);
  };
  EXPECT_EQ(split("[VARSET1]Serial 12"), "[VARSET1]|Serial 12");
  EXPECT_EQ(split("[VARSET1]]"), "[VARSET1]|]");
  EXPECT_EQ(split("[SHOW] x "), "[SHOW]| x ");
  EXPECT_EQ(split("[SHOW]") + split("no bracket"), "[SHOW]|no bracket|");

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
  EXPECT_EQ(reader.Position(), text.size() + 1);
  EXPECT_EQ(reader.NextLine(), "");
  reader.SetPosition(loop);
  EXPECT_EQ(reader.NextLine(), "[SHOW]a\rb\nc");
  for (std::string t : {"", "a\r\n"}) {
    autocontrol::ScriptReader last(t);
    EXPECT_EQ(autocontrol::ScriptReader::CountLines(t), t.empty() ? 1u : 2u);
    last.NextLine();
    EXPECT_EQ(last.AtEnd(), t.empty());
  }
  autocontrol::ScriptReader empty;
  EXPECT_FALSE(empty.AtEnd());
  EXPECT_EQ(empty.NextLine(), "");
  EXPECT_TRUE(empty.AtEnd());
}

TEST(ScriptFile, NumberedScriptsHaveNoFallback) {
  testing_support::TestFolder root;
  const std::string data = root.Path() + "/", folder = "AppPrograms/AutoControl/";
  ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms"));
  ASSERT_TRUE(platform::CreateDirectory(root / folder));
  auto write = [&](const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / (folder + name), bytes));
  };
  EXPECT_EQ(autocontrol::ScriptFilePath(data, 0), root / (folder + "autocontrol.txt"));
  EXPECT_EQ(autocontrol::ScriptFilePath(data, 999), root / (folder + "autocontrol_999.txt"));
  std::string text = "stale";
  EXPECT_FALSE(autocontrol::ReadScriptFile(data, 0, text));  // missing
  EXPECT_EQ(text, "");
  write("autocontrol.txt", "[show] hello\n[exit]\n");
  EXPECT_TRUE(autocontrol::ReadScriptFile(data, 0, text));
  EXPECT_EQ(text, "[SHOW]hello\r\n[EXIT]");
  EXPECT_FALSE(autocontrol::ReadScriptFile(data, 12, text));
  EXPECT_EQ(text, "");
  write("AutoControl_12.TXT", "[CLEAR]\n");  // found in any letter case
  EXPECT_TRUE(autocontrol::ReadScriptFile(data, 12, text));
  EXPECT_EQ(text, "[CLEAR]");
  write("autocontrol_2.txt", "' nothing to do\r\n");
  EXPECT_FALSE(autocontrol::ReadScriptFile(data, 2, text));
  ASSERT_TRUE(platform::CreateDirectory(root / (folder + "autocontrol_5.txt")));
  EXPECT_FALSE(autocontrol::ReadScriptFile(data, 5, text));  // a folder is no script
  EXPECT_TRUE(autocontrol::EraseScriptFile(data, 2));
  EXPECT_FALSE(autocontrol::EraseScriptFile(data, 2));  // nothing left to delete
  EXPECT_TRUE(platform::FileExists(root / (folder + "autocontrol.txt")));
}

}  // namespace

#include "autocontrol/script_file.h"

#include <gtest/gtest.h>

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
using autocontrol::KeywordTable;

TEST(KeywordTable, Holds138DistinctBracketedUpperCaseKeywords) {
  const auto& table = KeywordTable();
  ASSERT_EQ(table.size(), autocontrol::kKeywordCount);
  std::set<std::string> distinct(table.begin(), table.end());
  EXPECT_EQ(distinct.size(), 138u);
  for (const std::string& k : table) {
    EXPECT_EQ(k.front(), '[') << k;
    EXPECT_EQ(k.back(), ']') << k;
    EXPECT_EQ(k.find(']'), k.size() - 1) << k;  // the first "]" ends the keyword
    for (char c : k) EXPECT_FALSE(c >= 'a' && c <= 'z') << k;
    EXPECT_TRUE(IsKeyword(k)) << k;
  }
}

TEST(KeywordTable, NumberedFamiliesCoverTheirDigitsAndNoOthers) {
  struct Family {
    const char* stem;
    int last;
  };
  const Family families[] = {{"LANGUAGE", 9},    {"DEVICE", 8},   {"SHOWMODE", 5}, {"RUNPROG", 9},
                             {"SAVERESULTS", 9}, {"VARINPUT", 9}, {"VARSET", 9},   {"SHOWVAR", 9},
                             {"PASSFAILMSG", 9}, {"CONST", 9},    {"SHOWC", 9},    {"CMDREPLY", 9}};
  for (const Family& f : families) {
    for (int d = 0; d <= 9; ++d) {
      const std::string keyword = "[" + std::string(f.stem) + std::to_string(d) + "]";
      EXPECT_EQ(IsKeyword(keyword), d >= 1 && d <= f.last) << keyword;
    }
  }
}

TEST(KeywordTable, MatchesWholeUpperCaseKeywordsOnly) {
  const char* notKeywords[] = {"[exit]",
                               "[Exit]",
                               "[EXIT",
                               "EXIT]",
                               "[EXIT] ",
                               " [EXIT]",
                               "[ EXIT]",
                               "[EXIT]X",
                               "[EXITS]",
                               "[EXI]",
                               "[RUNPROG]",
                               "[RUNPROG10]",
                               "[RUNPROG?] ",
                               "[VARSET]",
                               "[SHOWMODE]",
                               "[DEVICE9]",
                               "[SHOWMODE6]",
                               "[LANGUAGE0]",
                               "",
                               "[]",
                               "[SAVERESULTSAUTOESC]]"};
  for (const char* k : notKeywords) EXPECT_FALSE(IsKeyword(k)) << '"' << k << '"';
  const char* keywords[] = {"[EXIT]",      "[RUNPROG?]", "[PASSFAILMSG]", "[SAVERESULTSAUTOESC]",
                            "[SHOWMODE5]", "[DEVICE8]",  "[LANGUAGE1]",   "[SHELLAPP]"};
  for (const char* k : keywords) EXPECT_TRUE(IsKeyword(k)) << k;
}

TEST(KeywordTable, DigitOfANumberedKeyword) {
  const struct {
    const char* keyword;
    int digit;
  } rows[] = {
      {"[DEVICE3]", 3},   {"[LANGUAGE9]", 9},   {"[CMDREPLY1]", 1}, {"[PASSFAILMSG7]", 7},
      {"[RUNPROG?]", 0},  {"[PASSFAILMSG]", 0}, {"[SHOW]", 0},      {"[DEVICE9]", 0},
      {"[CMDVERIFY]", 0}, {"nonsense5]", 0},
  };
  for (const auto& row : rows) EXPECT_EQ(KeywordDigit(row.keyword), row.digit) << row.keyword;
}

// One file line and the KeywordLine it becomes ("" = dropped).
struct LineCase {
  const char* name;
  std::string fileLine;
  std::string keywordLine;
};

TEST(ScriptLine, KeywordsCommentsAndBlanks) {
  const LineCase rows[] = {
      {"lower case keyword", "[exit]", "[EXIT]"},
      {"mixed case keyword", "[VarSet2]abc", "[VARSET2]abc"},
      {"argument keeps its case", "[show] Hello World", "[SHOW]Hello World"},
      {"blanks around argument and comment", "[VARSET1]  Serial 12  ' the board",
       "[VARSET1]Serial 12"},
      {"apostrophe inside an argument", "[SHOW] Don't stop", "[SHOW]Don"},
      {"comment line", "' a comment", ""},
      {"indented comment", "    ' a comment", ""},
      {"blank line", "   ", ""},
      {"empty line", "", ""},
      {"text before the bracket", "x[EXIT]", ""},
      {"blanks inside the brackets", "[ EXIT ]", ""},
      {"blank before the closing bracket", "[EXIT ]", ""},
      {"misspelt", "[EXITT]", ""},
      {"bare controller command", "LSPD=500", ""},
      {"unclosed bracket", "[EXIT", ""},
      {"leading blanks and tabs", " \t [CLEAR]", "[CLEAR]"},
      {"tab and escape inside the argument",
       "[SHOW]a\tb\x1b"
       "c",
       "[SHOW]abc"},
      {"escape inside the keyword", "[EX\x1bIT]", "[EXIT]"},
      {"a single ] as argument", "[VARSET1]]", "[VARSET1]]"},
      {"argument starting with ]", "[VARSET1] ]x] ", "[VARSET1]]x]"},
      {"argument of an argument-less keyword", "[EXIT] now please", "[EXIT]"},
      {"argument of a stored program key", "[RUNPROG3] test01", "[RUNPROG3]"},
      {"argument of tracking", "[TRACKCSVRESULTS] yes", "[TRACKCSVRESULTS]"},
      {"named program", "[runprog?] my-test.1", "[RUNPROG?]my-test.1"},
      {"dialog program", "[RUNPROG?]", "[RUNPROG?]"},
      {"show without argument", "[SHOW]", "[SHOW]"},
      {"show with blank argument", "[SHOW]    ", "[SHOW]"},
      {"device digit out of range", "[DEVICE9]", ""},
      {"display mode out of range", "[SHOWMODE6]", ""},
      {"language zero", "[LANGUAGE0]", ""},
      {"keyword of 8-bit letters", "[\xc9XIT]", ""},
      {"8-bit bytes in the argument", "[SHOW]\xe9t\xe9", "[SHOW]\xe9t\xe9"},
      {"NUL in the argument", std::string("[SHOW]a\0b", 9), std::string("[SHOW]a\0b", 9)},
      {"shell program kept as written", "[SHELLAPP] {a} tool.exe /x", "[SHELLAPP]{a} tool.exe /x"},
      {"window placement kept", "[RESIZEAPP] left max", "[RESIZEAPP]left max"},
  };
  for (const LineCase& row : rows) {
    EXPECT_EQ(BuildKeywordLine(row.fileLine), row.keywordLine) << row.name;
  }
}

TEST(ScriptLine, ArgumentDefaultsAndNormalisation) {
  const LineCase rows[] = {
      {"variable prompt default", "[VARINPUT4]", "[VARINPUT4]Enter Variable #4"},
      {"variable prompt given", "[VARINPUT9] Serial?", "[VARINPUT9]Serial?"},
      {"input prompt default", "[USERINPUT]", "[USERINPUT]Text"},
      {"visual check default", "[USERCHECK]", "[USERCHECK]Does Visual Inspection Pass"},
      {"visual check given", "[USERCHECK] LED green?", "[USERCHECK]LED green?"},
      {"result name default", "[SAVERESULTSAUTO]", "[SAVERESULTSAUTO]MyTestData"},
      {"result name default on ESC", "[SAVERESULTSAUTOESC]", "[SAVERESULTSAUTOESC]MyTestData"},
      {"result name given", "[SAVERESULTSAUTO] Board A", "[SAVERESULTSAUTO]Board A"},
      {"csv default columns", "[DEFINECSV]",
       "[DEFINECSV]Variable1(V1)|Variable2(V2)|Variable3(V3)|Pass/Fail(PF)|Fail Count(FC)|"},
      {"csv columns lose commas and bars", "[DEFINECSV] Serial(V1), Speed|(R2)",
       "[DEFINECSV]Serial(V1)| Speed(R2)|"},
      {"constant loses separators", "[CONST2] 1,000;", "[CONST2]1000"},
      {"constant of separators only", "[CONST3] ,;,", "[CONST3]Constant"},
      {"constant empty", "[CONST1]", "[CONST1]Constant"},
      {"saved replies: commas become bars", "[CMDREPLY2] PX,PY , PZ", "[CMDREPLY2]PX|PY | PZ"},
      {"verification with expected replies", "[CMDVERIFY] ABS,X1000,{OK,OK}",
       "[CMDVERIFY]ABS|X1000|{OK|OK}"},
      {"loop on fail update", "[LOOPONFAIL] update", "[LOOPONFAIL]UPDATE"},
      {"loop on fail Update", "[LOOPONFAIL]   Update  ", "[LOOPONFAIL]UPDATE"},
      {"loop on fail other word", "[LOOPONFAIL] again", "[LOOPONFAIL]"},
      {"loop on fail longer word", "[LOOPONFAIL] UPDATES", "[LOOPONFAIL]"},
      {"loop on fail none", "[LOOPONFAIL]", "[LOOPONFAIL]"},
  };
  for (const LineCase& row : rows) {
    EXPECT_EQ(BuildKeywordLine(row.fileLine), row.keywordLine) << row.name;
  }
}

TEST(ScriptText, KeptLinesJoinedByCrLfWithoutTrailingSeparator) {
  const std::string file =
      "' Test station 3\r\n"
      "\r\n"
      "[VARSET1]  Serial 12  ' the board\r\n"
      "LSPD=500\r\n"
      "[loopstart]\r\n"
      "[cmdverify] PX,{0}\r\n"
      "[LOOPEND]\r\n";
  EXPECT_EQ(BuildScriptText(file),
            "[VARSET1]Serial 12\r\n[LOOPSTART]\r\n[CMDVERIFY]PX|{0}\r\n[LOOPEND]");
}

TEST(ScriptText, TheThreeLineEndStylesGiveTheSameText) {
  const std::vector<std::string> lines = {"' header", "[show] one", "", "[DEVICE2]", "\t[exit]"};
  std::string lf, crlf, cr;
  for (const std::string& l : lines) {
    lf += l + "\n";
    crlf += l + "\r\n";
    cr += l + "\r";
  }
  const std::string expected = "[SHOW]one\r\n[DEVICE2]\r\n[EXIT]";
  EXPECT_EQ(BuildScriptText(lf), expected);
  EXPECT_EQ(BuildScriptText(crlf), expected);
  EXPECT_EQ(BuildScriptText(cr), expected);
  // And without a line end after the last line.
  EXPECT_EQ(BuildScriptText(lf.substr(0, lf.size() - 1)), expected);
}

TEST(ScriptText, EmptyWhenNoLineIsAKeyword) {
  EXPECT_EQ(BuildScriptText(""), "");
  EXPECT_EQ(BuildScriptText("' only\r\n' comments\r\n"), "");
  EXPECT_EQ(BuildScriptText("LSPD=500\nABS\n[EXIT\n"), "");
  EXPECT_EQ(BuildScriptText("\r\n\r\n\n\n"), "");
}

TEST(ScriptText, NoLineHoldsControlCharactersOfTheFile) {
  using namespace std::string_literals;
  // A stray LF inside a CR file, and NUL, TAB, ESC and 8-bit bytes.
  const std::string file =
      "[SHOW]a\nb\r[VARSET1]\t\x1b x \x1b\r\0[EXIT]\r[CLEAR]\0\r[show]\x80\xff\r"s;
  const std::string text = BuildScriptText(file);
  EXPECT_EQ(text, "[SHOW]ab\r\n[VARSET1]x\r\n[CLEAR]\r\n[SHOW]\x80\xff"s);
  for (char c : text) EXPECT_TRUE(c != '\t' && c != '\x1b');
}

TEST(ScriptText, MegabyteLinesAreKeptOrDroppedWhole) {
  const std::string argument(1 << 20, '\xe9');
  const std::string brackets = "[" + std::string(1 << 20, 'A') + "]";
  EXPECT_EQ(BuildScriptText(brackets + "\n[show] " + argument + "\n" + brackets + "x\n"),
            "[SHOW]" + argument);
  EXPECT_EQ(BuildScriptText("[CMDREPLY1]" + std::string(1 << 20, ',')),
            "[CMDREPLY1]" + std::string(1 << 20, '|'));
}

TEST(NormaliseLineEnds, ReducesEveryLineEndToOneCr) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"a\nb\n", "a\rb\r"}, {"a\r\nb\r\n", "a\rb\r"}, {"a\rb\r", "a\rb\r"},
      {"a\tb\nc", "ab\rc"}, {"a\r\tb\nc", "a\rbc"},   {"", ""},
      {"\n\n", "\r\r"},     {"a\n\rb", "a\rb"},
  };
  for (const auto& row : rows) EXPECT_EQ(autocontrol::NormaliseLineEnds(row.in), row.out);
}

TEST(SplitKeywordLine, SplitsAtTheFirstClosingBracket) {
  const struct {
    const char* line;
    const char* keyword;
    const char* argument;
  } rows[] = {
      {"[VARSET1]Serial 12", "[VARSET1]", "Serial 12"},
      {"[VARSET1]]", "[VARSET1]", "]"},
      {"[SHOW]", "[SHOW]", ""},
      {"[SHOW] x ", "[SHOW]", " x "},
      {"no bracket", "no bracket", ""},
      {"", "", ""},
  };
  for (const auto& row : rows) {
    auto parts = autocontrol::SplitKeywordLine(row.line);
    EXPECT_EQ(parts.keyword, row.keyword) << row.line;
    EXPECT_EQ(parts.argument, row.argument) << row.line;
  }
}

TEST(ScriptReader, ReadsLinesInOrderAndReplaysFromASavedPosition) {
  const std::string text = "[LOOPSTART]\r\n[SHOW]a\r\n[LOOPEND]";
  ASSERT_EQ(autocontrol::ScriptReader::CountLines(text), 3u);
  autocontrol::ScriptReader reader(text);
  EXPECT_EQ(reader.NextLine(), "[LOOPSTART]");
  const std::size_t loop = reader.Position();
  EXPECT_EQ(reader.NextLine(), "[SHOW]a");
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.NextLine(), "[LOOPEND]");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.NextLine(), "");
  reader.SetPosition(loop);
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.NextLine(), "[SHOW]a");
}

TEST(ScriptReader, CountsPiecesTheWayItReadsThem) {
  const struct {
    std::string text;
    std::vector<std::string> pieces;
  } rows[] = {
      {"", {""}},
      {"[EXIT]", {"[EXIT]"}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n", {"a", ""}},
      {"a\rb\nc\r\nd", {"a\rb\nc", "d"}},
      {"\r\n\r\n", {"", "", ""}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(autocontrol::ScriptReader::CountLines(row.text), row.pieces.size());
    autocontrol::ScriptReader reader(row.text);
    std::vector<std::string> read;
    while (!reader.AtEnd()) read.emplace_back(reader.NextLine());
    EXPECT_EQ(read, row.pieces);
  }
  autocontrol::ScriptReader empty;
  EXPECT_FALSE(empty.AtEnd());
  EXPECT_EQ(empty.NextLine(), "");
  EXPECT_TRUE(empty.AtEnd());
}

class ScriptFileTest : public ::testing::Test {
 protected:
  testing_support::TestFolder root;
  std::string dataRoot = root.Path() + "/";

  void SetUp() override {
    ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms"));
    ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms/AutoControl"));
  }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / ("AppPrograms/AutoControl/" + name), bytes));
  }
};

TEST_F(ScriptFileTest, PathFollowsTheScriptNumber) {
  EXPECT_EQ(autocontrol::ScriptFilePath(dataRoot, 0),
            root / "AppPrograms/AutoControl/autocontrol.txt");
  EXPECT_EQ(autocontrol::ScriptFilePath(dataRoot, 7),
            root / "AppPrograms/AutoControl/autocontrol_7.txt");
  EXPECT_EQ(autocontrol::ScriptFilePath(dataRoot, 999),
            root / "AppPrograms/AutoControl/autocontrol_999.txt");
}

TEST_F(ScriptFileTest, ReadsTheDefaultScript) {
  Write("autocontrol.txt", "[show] hello\n[exit]\n");
  std::string text = "stale";
  EXPECT_TRUE(autocontrol::ReadScriptFile(dataRoot, 0, text));
  EXPECT_EQ(text, "[SHOW]hello\r\n[EXIT]");
}

TEST_F(ScriptFileTest, NumberedScriptDoesNotFallBackToTheDefault) {
  Write("autocontrol.txt", "[EXIT]\n");
  std::string text = "stale";
  EXPECT_FALSE(autocontrol::ReadScriptFile(dataRoot, 12, text));
  EXPECT_EQ(text, "");
  Write("autocontrol_12.txt", "[CLEAR]\n");
  EXPECT_TRUE(autocontrol::ReadScriptFile(dataRoot, 12, text));
  EXPECT_EQ(text, "[CLEAR]");
}

TEST_F(ScriptFileTest, FindsAFileWhoseNameDiffersInCase) {
  Write("AutoControl_3.TXT", "[WAIT]");
  std::string text;
  EXPECT_TRUE(autocontrol::ReadScriptFile(dataRoot, 3, text));
  EXPECT_EQ(text, "[WAIT]");
}

TEST_F(ScriptFileTest, MissingEmptyOrCommentOnlyFilesGiveNoScript) {
  std::string text = "stale";
  EXPECT_FALSE(autocontrol::ReadScriptFile(dataRoot, 0, text));
  EXPECT_EQ(text, "");
  Write("autocontrol.txt", "");
  EXPECT_FALSE(autocontrol::ReadScriptFile(dataRoot, 0, text));
  Write("autocontrol.txt", "' nothing to do\r\n'\r\n");
  EXPECT_FALSE(autocontrol::ReadScriptFile(dataRoot, 0, text));
  EXPECT_EQ(text, "");
  // A folder of that name is not a script file.
  ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms/AutoControl/autocontrol_5.txt"));
  EXPECT_FALSE(autocontrol::ReadScriptFile(dataRoot, 5, text));
}

TEST_F(ScriptFileTest, EraseDeletesOnlyTheNumberedFile) {
  Write("autocontrol.txt", "[EXIT]");
  Write("autocontrol_2.txt", "[EXIT]");
  EXPECT_TRUE(autocontrol::EraseScriptFile(dataRoot, 2));
  EXPECT_FALSE(platform::FileExists(root / "AppPrograms/AutoControl/autocontrol_2.txt"));
  EXPECT_TRUE(platform::FileExists(root / "AppPrograms/AutoControl/autocontrol.txt"));
  EXPECT_FALSE(autocontrol::EraseScriptFile(dataRoot, 2));  // nothing left to delete
}

}  // namespace

#include "autocontrol/script_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using autocontrol::BuildScriptText;

// Keywords in any case among blanks, TAB, ESC and comments; every argument rule.
TEST(ScriptLine, KeywordsCommentsBlanksAndArgumentRules) {
  const std::pair<std::string, std::string> lines[] = {
      {"[show] Hello World", "[SHOW]Hello World"},
      {"[VARSET1]  Serial 12  ' the board", "[VARSET1]Serial 12"},
      {"[SHOW] Don't stop", "[SHOW]Don"},
      {" \t [CLEAR]", "[CLEAR]"},
      {"[SHOW]a\tb\033c", "[SHOW]abc"},
      {"[EX\x1bIT]", "[EXIT]"},
      {"[VARSET1]]", "[VARSET1]]"},
      {"[VARSET1] ]x] ", "[VARSET1]]x]"},
      {"[runprog?] my-test.1", "[RUNPROG?]my-test.1"},
      {"[SHOW]\xe9t\xe9", "[SHOW]\xe9t\xe9"},
      {std::string("[SHOW]a\0b", 9), std::string("[SHOW]a\0b", 9)},
      {"[SHELLAPP] {a} tool.exe /x", "[SHELLAPP]{a} tool.exe /x"},
      {"[EXIT] now please", "[EXIT]"},
      {"[VARINPUT4]", "[VARINPUT4]Enter Variable #4"},
      {"[SAVERESULTSAUTO] Board A", "[SAVERESULTSAUTO]Board A"},
      {"[DEFINECSV] Serial(V1), Speed|(R2)", "[DEFINECSV]Serial(V1)| Speed(R2)|"},
      {"[CONST2] 1,000;", "[CONST2]1000"},
      {"[CMDREPLY2] PX,PY , PZ", "[CMDREPLY2]PX|PY | PZ"},
      {"[CMDVERIFY] ABS,X1000,{OK,OK}", "[CMDVERIFY]ABS|X1000|{OK|OK}"},
      {"[CONST3] ,;,", "[CONST3]Constant"},
      {"[LOOPONFAIL]   Update  ", "[LOOPONFAIL]UPDATE"},
      {"[LOOPONFAIL] UPDATES", "[LOOPONFAIL]"}};
  for (const auto& [line, kept] : lines) EXPECT_EQ(BuildScriptText(line), kept) << line;
  for (const char* line : {"' a comment", "    ' a comment", "   ", "", "x[EXIT]", "[ EXIT ]",
                           "[EXIT ]", "[EXITT]", "LSPD=500", "[EXIT", "[EXI]", "[RUNPROG]", "[]",
                           "[DEVICE9]", "[SHOWMODE6]", "[LANGUAGE0]", "[\xc9XIT]"})
    EXPECT_EQ(BuildScriptText(line), "") << line;
}

TEST(ScriptText, KeptLinesJoinedByCrLfWhateverTheFilesLineEnds) {
  const char* lines[] = {
      "' Station 3",       "", "[VARSET1]  Serial 12  ' board", "LSPD=500", "\t[loopstart]",
      "[cmdverify] PX,{0}"};
  for (const char* end : {"\n", "\r\n", "\r", ""}) {  // "": no line end after the last line
    std::string file;
    for (const char* l : lines) file += l + std::string(*end ? end : "\n");
    if (!*end) file.pop_back();
    EXPECT_EQ(BuildScriptText(file), "[VARSET1]Serial 12\r\n[LOOPSTART]\r\n[CMDVERIFY]PX|{0}");
  }
  EXPECT_EQ(BuildScriptText("' only\r\n' comments\r\nLSPD=500\n\n"), "");
  // A Windows editor's byte order mark belongs to no line; later it is text.
  EXPECT_EQ(BuildScriptText("\xEF\xBB\xBF[SHOW]first\r\n\xEF\xBB\xBF[EXIT]"), "[SHOW]first");
  // A stray LF inside a CR file, NUL, TAB, ESC and 8-bit bytes.
  using namespace std::string_literals;
  EXPECT_EQ(
      BuildScriptText("[SHOW]a\nb\r[VARSET1]\t\x1b x \x1b\r\0[EXIT]\r[CLEAR]\0\r[show]\x80\r"s),
      "[SHOW]ab\r\n[VARSET1]x\r\n[CLEAR]\r\n[SHOW]\x80"s);
  const std::string argument(1 << 20, '\xe9');
  EXPECT_EQ(BuildScriptText("[show] " + argument), "[SHOW]" + argument);
}

// The reader's lines end at CR LF only; a saved position replays them (loops).
TEST(ScriptReader, ReplaysLinesFromASavedPosition) {
  // An empty line in the middle and at the end is still a line to read.
  const std::string text = "[LOOPSTART]\r\n[SHOW]a\rb\nc\r\n\r\n[LOOPEND]\r\n";
  ASSERT_EQ(autocontrol::ScriptReader::CountLines(text), 5u);
  autocontrol::ScriptReader reader(text);
  std::string read = std::string(reader.NextLine()) + "|";
  const std::size_t loop = reader.Position();
  while (!reader.AtEnd()) read += std::string(reader.NextLine()) + "|";
  reader.SetPosition(loop);
  EXPECT_EQ(read + std::string(reader.NextLine()),
            "[LOOPSTART]|[SHOW]a\rb\nc||[LOOPEND]||[SHOW]a\rb\nc");
}

// No fallback from a numbered script; a folder is refused; [ERASE] deletes what is there.
TEST(ScriptFile, NumberedScriptsHaveNoFallback) {
  testing_support::TestFolder root;
  const std::string data = root.Path() + "/", folder = root / "AppPrograms/AutoControl/";
  platform::DataFolders(data).EnsureDataFolders();
  ASSERT_TRUE(platform::WriteFileAtomic(folder + "autocontrol.txt", "[show] hello\n[exit]\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder + "autocontrol_2.txt", "' nothing to do\r\n"));
  ASSERT_TRUE(platform::CreateDirectory(folder + "autocontrol_5.txt"));
  for (int n : {0, 12, 2, 5}) {
    std::string text = "stale";
    const platform::Result<> read = autocontrol::ReadScriptFile(data, n, text);
    EXPECT_EQ(text, n == 0 ? "[SHOW]hello\r\n[EXIT]" : "") << n;
    const std::string got = read.Text().ends_with(" is not a file") ? "folder" : read.Text();
    EXPECT_EQ(read ? "read" : got, n == 5 ? "folder" : "read");
  }
  EXPECT_TRUE(autocontrol::EraseScriptFile(data, 2));
  EXPECT_FALSE(autocontrol::EraseScriptFile(data, 2) || autocontrol::EraseScriptFile(data, 5));
  EXPECT_TRUE(platform::FileExists(folder + "autocontrol.txt"));
}

// Each of the language's 138 keywords, as the script guide lists them, loads as itself.
TEST(KeywordTable, EveryKeywordSurvivesLoading) {
  // A digit at the end: the numbered keywords from 1 to it.
  const std::string words =
      "LANGUAGE9 EXIT ESCSTOP ESCEXIT CLEAR SHOW DEVICE8 WAIT ERASE SHOWMODE5 RUNPROG9 RUNPROG? "
      "STORERESULTS STORERESULTSCLR RESETRESULTS SAVERESULTS9 SAVERESULTSAUTO SAVERESULTSAUTOESC "
      "USERINPUT VARINPUT9 VARSET9 USERCHECK LOOPSTART LOOPEND LOOPONFAIL SHOWVAR9 FAILCLEAR "
      "SHOWFAILCT PASSFAILMSG PASSFAILMSG9 RESETCSVRESULTS TRACKCSVRESULTS DEFINECSV UPDATECSV "
      "CONST9 SHOWDATE SHOWTIME SHOWMTIME SHOWMDY SHOWC9 CMDREPLY9 CMDVERIFY DEBUGON DEBUGOFF "
      "REFRESH RESIZEAPP SHELLAPP";
  std::vector<std::string> keywords;
  std::istringstream list(words);
  for (std::string word; list >> word;) {
    const char last = word.back();
    if (last < '1' || last > '9') keywords.push_back("[" + word + "]");
    word.pop_back();
    for (char n = '1'; n <= last && last <= '9'; ++n) keywords.push_back("[" + word + n + "]");
  }
  ASSERT_EQ(keywords.size(), 138u);
  std::string file;
  for (const std::string& k : keywords) file += k + "\r\n";
  std::istringstream loaded(BuildScriptText(file));
  for (const std::string& k : keywords) {
    std::string line;
    ASSERT_TRUE(std::getline(loaded, line)) << k;
    EXPECT_EQ(autocontrol::SplitKeywordLine(line).keyword, k);
    const autocontrol::Keyword* found = autocontrol::FindKeyword(k);
    EXPECT_TRUE(found && found->text == k) << k;
  }
}

}  // namespace

#include "programs/program_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using programs::ClassifyProgramLine;
using programs::ParseProgram;
using programs::ProgressPercent;

programs::ParsedProgram Parse(std::string_view text) {
  return ParseProgram(text, nullptr, nullptr);
}

TEST(ProgramNames, StoredNamedAndCleaned) {
  const struct {
    int n;
    const char* name;
  } stored[] = {{1, "test01.prg"}, {9, "test09.prg"}, {10, "test10.prg"},
                {0, ""},           {11, ""},          {-1, ""}};
  for (const auto& row : stored) EXPECT_EQ(programs::StoredProgramFileName(row.n), row.name);

  const struct {
    const char* raw;
    const char* clean;
  } names[] = {
      {"my-test.1", "mytest1"},
      {"Board A", "BoardA"},
      {"/\\<>,.:;'{}[]|+=-_!@#$%^&*() ", ""},
      {"x~y?z\"", "x~y?z\""},  // only the listed characters go
      {"", ""},
  };
  for (const auto& row : names) EXPECT_EQ(programs::CleanProgramName(row.raw), row.clean);
  EXPECT_EQ(programs::NamedProgramFileName("my-test.1"), "test99mytest1.prg");
  EXPECT_EQ(programs::NamedProgramFileName("(*)"), "test99.prg");
}

TEST(ProgramLine, ClassifiesEachLineForm) {
  const struct {
    const char* name;
    std::string line;
    bool empty;
    std::string command;
    std::string expected;
  } rows[] = {
      {"empty", "", true, "", ""},
      {"blanks", "    ", true, "", ""},
      {"command", "  LSPD=500 ", false, "LSPD=500", " "},
      {"command with reply", "HSPD=5000,OK", false, "HSPD=5000", "OK"},
      {"blanks around both", " PX , 1000 ", false, "PX", "1000"},
      {"further commas removed", "ABS,1,2,3", false, "ABS", "123"},
      {"empty reply", "ABS,", false, "ABS", " "},
      {"only commas after", "ABS, , ,", false, "ABS", " "},
      {"empty command", ",OK", false, "", "OK"},
      {"remark", "JX+ 'jog", false, "JX+", " "},
      {"remark after the reply", "PX,0  ' at home", false, "PX", "0"},
      {"remark holding a comma", "PX 'a,b", false, "PX", " "},
      {"comment", "'move out", false, "'", "move out"},
      {"comment with commas", "' move, then, stop ", false, "'", "move  then  stop"},
      {"empty comment", "'", false, "'", " "},
      {"comment of commas", "',,", false, "'", " "},
      {"indented comment", "   'x", false, "'", "x"},
      {"8-bit and NUL bytes", std::string("P\xe9\0X,\xff", 6), false, std::string("P\xe9\0X", 4),
       "\xff"},
  };
  for (const auto& row : rows) {
    programs::ProgramLine line = ClassifyProgramLine(row.line);
    EXPECT_EQ(line.empty, row.empty) << row.name;
    EXPECT_EQ(line.command, row.command) << row.name;
    EXPECT_EQ(line.expected, row.expected) << row.name;
  }
}

TEST(ParseProgram, JoinsCommandsAndExpectedRepliesInStep) {
  auto p = Parse("LSPD=500 \r\nHSPD=5000,OK\r\n'move out\r\n");
  EXPECT_EQ(p.commandLine, "LSPD=500,HSPD=5000,'");
  EXPECT_EQ(p.expectedLine, " ,OK,move out");
  EXPECT_FALSE(p.aborted);

  p = Parse("ABS,1,2,3");
  EXPECT_EQ(p.commandLine, "ABS");
  EXPECT_EQ(p.expectedLine, "123");

  // Empty lines leave no gap; a tab inside a command is dropped.
  p = Parse("\n\nJX+ 'jog\n\nSTOP\t\n\n");
  EXPECT_EQ(p.commandLine, "JX+,STOP");
  EXPECT_EQ(p.expectedLine, " , ");
}

TEST(ParseProgram, LineEndStylesGiveTheSameProgram) {
  const std::string lf = "EO=1\nPX,0\n' check\nJX+ 'jog\n";
  std::string crlf, cr;
  for (char c : lf) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    cr += c == '\n' ? '\r' : c;
  }
  const auto a = Parse(lf), b = Parse(crlf), c = Parse(cr);
  EXPECT_EQ(a.commandLine, "EO=1,PX,',JX+");
  EXPECT_EQ(a.expectedLine, " ,0,check, ");
  EXPECT_EQ(b.commandLine, a.commandLine);
  EXPECT_EQ(b.expectedLine, a.expectedLine);
  EXPECT_EQ(c.commandLine, a.commandLine);
  EXPECT_EQ(c.expectedLine, a.expectedLine);
}

TEST(ParseProgram, BothLinesAlwaysHoldTheSameNumberOfPieces) {
  const std::string texts[] = {",,,\n,,\n", "'a,b,c\n'\n", "A,B,C\r\nD\r\n,\r\n",
                               std::string("\0,\0\n\0", 5), "x'y,z\n'y,z\nq,'r,s"};
  for (const std::string& text : texts) {
    auto p = Parse(text);
    EXPECT_EQ(std::count(p.commandLine.begin(), p.commandLine.end(), ','),
              std::count(p.expectedLine.begin(), p.expectedLine.end(), ','))
        << text;
  }
}

TEST(NormalisedLines, WalksTheLinesOfTheNormalisedText) {
  using namespace std::string_literals;
  const std::string texts[] = {"",          "\n",     "a\nb",         "a\r\nb\r\n",
                               "a\rb\nc\r", "\t\n\t", "x\n\r\ny\n\n", "a\0\tb\n\xff"s};
  for (const std::string& text : texts) {
    std::vector<std::string> expected;
    const std::string normalised = programs::NormaliseLineEnds(text);
    std::size_t start = 0;
    for (;;) {
      std::size_t cr = normalised.find('\r', start);
      expected.push_back(normalised.substr(start, cr == std::string::npos ? cr : cr - start));
      if (cr == std::string::npos) break;
      start = cr + 1;
    }
    programs::NormalisedLines lines(text);
    std::vector<std::string> walked;
    std::string line;
    while (lines.Next(line)) walked.push_back(line);
    EXPECT_EQ(walked, expected) << text;
    EXPECT_EQ(lines.Count(), expected.size()) << text;
  }
}

TEST(ParseProgram, MegabyteLinesOfAnyBytes) {
  std::string bytes;
  for (int i = 0; i < (1 << 20); ++i) bytes += static_cast<char>(i % 251 == 13 ? 0 : i % 251);
  std::string filtered;  // what a command keeps: no line ends, TAB, "," or "'"
  for (char c : bytes) {
    if (c != '\r' && c != '\n' && c != '\t' && c != ',' && c != '\'') filtered += c;
  }
  auto p = Parse(std::string("\x01") + filtered + ",\x80" + filtered);
  EXPECT_EQ(p.commandLine, "\x01" + filtered);
  EXPECT_EQ(p.expectedLine.size(), filtered.size() + 1);
}

TEST(ParseProgram, ProgressIsRoundedHalfToEvenAndAtLeastOne) {
  const struct {
    std::size_t i, count;
    int percent;
  } rows[] = {
      {1, 300, 1},    {2, 300, 1},     {3, 300, 1}, {4, 300, 1},    {5, 300, 2},
      {150, 300, 50}, {300, 300, 100}, {1, 8, 12},  {3, 8, 38},     {5, 8, 62},
      {1, 200, 1},    {3, 200, 2},     {1, 1, 100}, {1, 100000, 1}, {99999, 100000, 100},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ProgressPercent(row.i, row.count), row.percent) << row.i << "/" << row.count;
  }
}

TEST(ParseProgram, ReportsProgressAfterEveryLine) {
  std::vector<int> seen;
  auto p = ParseProgram("A\nB\n\nC", nullptr, [&](int percent) { seen.push_back(percent); });
  EXPECT_EQ(seen, (std::vector<int>{25, 50, 75, 100}));  // the empty line counts too
  EXPECT_EQ(p.commandLine, "A,B,C");
}

TEST(ParseProgram, StopsWhenAskedBeforeALine) {
  int asked = 0;
  int reported = 0;
  auto p = ParseProgram(
      "A,1\nB,2\nC,3\nD,4", [&] { return ++asked == 3; }, [&](int) { ++reported; });
  EXPECT_TRUE(p.aborted);
  EXPECT_EQ(p.commandLine, "");
  EXPECT_EQ(p.expectedLine, "");
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(reported, 2);
}

}  // namespace

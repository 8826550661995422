#include "lang/tool/language_tool.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lang/languages.h"
#include "lang/tool/caption_table.h"
#include "language_bytes.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  int code = lang::RunLanguageTool(args, out, err);
  return {code, out.str(), err.str()};
}

// The folder of the shipped caption tables, found from this file's place.
std::string DataFolder() {
  std::string here = __FILE__;
  return here.substr(0, here.rfind("tests/lang/")) + "lang/data/";
}

std::string ReadText(const std::string& path) {
  std::string content;
  EXPECT_TRUE(platform::ReadFile(path, content)) << path;
  return content;
}

TEST(LanguageTool, BuildThenDumpGivesEveryIdentifierAndTextBack) {
  // Texts beyond 8 bits (Greek, CJK, a character outside the BMP), every
  // escape, a control character, a lone surrogate (which only an escape can
  // spell) and each kind of modifier part.
  const std::vector<std::string> samples = {
      "\xCE\xA9 Ende",
      "\xE4\xB8\xAD\xE6\x96\x87//+2B",
      "\xF0\x9F\x98\x80",
      "Tab\\there",
      "Zwei\\r\\nZeilen//-4",
      "C:\\\\temp",
      "Glocke \\u0007",
      "",
      "Gr\xC3\xBC\xC3\x9F"
      "e//B",
      "  Blanks kept  ",
      "\\uD83D alone",
  };
  std::string table;
  for (int id = 1; id <= lang::kMaxCaptionId; ++id)
    table +=
        std::to_string(id) + "\t" + samples[id % samples.size()] + " " + std::to_string(id) + "\n";
  testing_support::TestFolder dir;
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "table.tsv", table));

  ToolRun build = Tool({"build", dir / "table.tsv", dir / "terminal_xx.lng", "--name", "Test",
                        "--font", "Arial Unicode MS", "--charset", "1"});
  ASSERT_EQ(build.code, lang::kToolOk) << build.err;
  ToolRun dump = Tool({"dump", dir / "terminal_xx.lng"});
  EXPECT_EQ(dump.code, lang::kToolOk) << dump.err;
  EXPECT_EQ(dump.out, table);

  ToolRun info = Tool({"info", dir / "terminal_xx.lng"});
  EXPECT_EQ(info.out,
            "name: Test\nfont: Arial Unicode MS\ncharacter set: 1\nrecords: 300 of 300\n");
}

TEST(LanguageTool, LoneSurrogatesAndControlCharactersSurviveAsEscapes) {
  const std::string table = "1\t\\uD83D alone\n2\t\\uDE00\\u001F\\u007F\n3\t\\uD83D\\uDE00\n";
  std::vector<lang::LanguageRecord> records;
  std::string error;
  ASSERT_TRUE(lang::ParseCaptionTable(table, records, error)) << error;
  EXPECT_EQ(records[0].text, std::u16string(1, u'\xD83D') + u" alone");
  // A complete pair is ordinary text and comes back as UTF-8.
  EXPECT_EQ(lang::FormatCaptionTable(records),
            "1\t\\uD83D alone\n2\t\\uDE00\\u001F\\u007F\n3\t\xF0\x9F\x98\x80\n");
}

TEST(LanguageTool, TableReaderAcceptsCommentsByteOrderMarkAndCrLf) {
  const std::string table = "\xEF\xBB\xBF# German captions\r\n\r\n9\tVerlauf//B\r\n20\tOK";
  std::vector<lang::LanguageRecord> records;
  std::string error;
  ASSERT_TRUE(lang::ParseCaptionTable(table, records, error)) << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].captionId, 9);
  EXPECT_EQ(records[0].text, u"Verlauf//B");
  EXPECT_EQ(records[1].text, u"OK");
}

TEST(LanguageTool, TableReaderNamesTheFaultyLine) {
  struct Case {
    std::string table;
    const char* fault;
  };
  const std::vector<Case> cases = {
      {"1\tok\nno tab here\n", "line 2: expected"},
      {"0\tzero\n", "line 1: the identifier"},
      {"301\ttoo big\n", "line 1: the identifier"},
      {" 5\tblank\n", "line 1: the identifier"},
      {"-5\tnegative\n", "line 1: the identifier"},
      {"\tno id\n", "line 1: the identifier"},
      {"7\ta\n# c\n7\tb\n", "line 3: identifier 7 appears twice"},
      {"1\t\xC3\n", "line 1: the text is not valid UTF-8"},
      {"1\t\xED\xA0\xBD\n", "line 1: the text is not valid UTF-8"},  // an encoded surrogate
      {"1\t\xC0\xAF\n", "line 1: the text is not valid UTF-8"},      // overlong
      {"1\tC:\\data\n", "line 1: unknown escape \\d"},
      {"1\tend\\\n", "line 1: the text ends in a lone backslash"},
      {"1\t\\u12G4\n", "line 1: \\u needs four hex digits"},
      {"1\t\\u12\n", "line 1: \\u needs four hex digits"},
  };
  for (const Case& c : cases) {
    std::vector<lang::LanguageRecord> records;
    std::string error;
    EXPECT_FALSE(lang::ParseCaptionTable(c.table, records, error)) << c.table;
    EXPECT_EQ(error.rfind(c.fault, 0), 0u) << c.table << " gave: " << error;
    EXPECT_TRUE(records.empty());
  }
}

TEST(LanguageTool, UnusualModifierPartsAreWarnedAbout) {
  struct Case {
    const char* text;
    bool warned;
  };
  const std::vector<Case> cases = {{"x//+2B", false}, {"x//B-4", false}, {"x// B ", false},
                                   {"x", false},      {"x//", false},    {"x//+7", true},
                                   {"x//+1+2", true}, {"x//bold", true}, {"x//BB", true}};
  for (const Case& c : cases) {
    std::vector<lang::LanguageRecord> records;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(lang::ParseCaptionTable(std::string("1\t") + c.text, records, error, &warnings));
    EXPECT_EQ(!warnings.empty(), c.warned) << c.text;
  }
}

TEST(LanguageTool, BuildRefusesBadArgumentsWithUsage) {
  testing_support::TestFolder dir;
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "t.tsv", "1\tx\n"));
  std::string in = dir / "t.tsv";
  std::string out = dir / "o.lng";
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"translate"},
      {"build", in, out, "--font", "Arial"},
      {"build", in, out, "--name", "Deutsch"},
      {"build", in, "--name", "Deutsch", "--font", "Arial"},
      {"build", in, out, "--name", std::string(33, 'n'), "--font", "Arial"},
      {"build", in, out, "--name", "A|B", "--font", "Arial"},
      {"build", in, out, "--name", " Deutsch", "--font", "Arial"},
      {"build", in, out, "--name", "", "--font", "Arial"},
      {"build", in, out, "--name", "Deutsch", "--font", "Arial", "--charset", "256"},
      {"build", in, out, "--name", "Deutsch", "--font", "Arial", "--charset", "-1"},
      {"build", in, out, "--name", "Deutsch", "--font", "Arial", "--charset"},
      {"build", in, out, "--name", "Deutsch", "--font", "Arial", "--bold"},
      {"dump"},
      {"info", out, out},
  };
  for (const auto& args : cases) {
    ToolRun run = Tool(args);
    EXPECT_EQ(run.code, lang::kToolUsage) << (args.empty() ? "" : args[0]) << " " << args.size();
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(platform::FileExists(out));
}

TEST(LanguageTool, FailedBuildLeavesTheOldFile) {
  testing_support::TestFolder dir;
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "bad.tsv", "1\tx\n1\ty\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "o.lng", "old"));
  ToolRun run = Tool({"build", dir / "bad.tsv", dir / "o.lng", "--name", "N", "--font", "F"});
  EXPECT_EQ(run.code, lang::kToolFailed);
  EXPECT_NE(run.err.find("line 2: identifier 1 appears twice"), std::string::npos);
  EXPECT_EQ(ReadText(dir / "o.lng"), "old");
  run = Tool({"build", dir / "missing.tsv", dir / "o.lng", "--name", "N", "--font", "F"});
  EXPECT_EQ(run.code, lang::kToolFailed);
}

TEST(LanguageTool, DumpOfADamagedFilePrintsTheRecordsBeforeTheDamage) {
  testing_support::TestFolder dir;
  std::string file = lang_test::Header("X", "F", "0", "2") + lang_test::Record(1, u"eins") +
                     lang_test::Record(2, u"zwei");
  file.pop_back();
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "d.lng", file));
  ToolRun run = Tool({"dump", dir / "d.lng"});
  EXPECT_EQ(run.code, lang::kToolFailed);
  EXPECT_EQ(run.out, "1\teins\n");
  EXPECT_NE(run.err.find("record 2 of 2 at byte 102"), std::string::npos) << run.err;

  ASSERT_TRUE(platform::WriteFileAtomic(dir / "short.lng", "too short"));
  run = Tool({"dump", dir / "short.lng"});
  EXPECT_EQ(run.code, lang::kToolFailed);
  EXPECT_NE(run.err.find("shorter than its 78-byte header"), std::string::npos);
}

// The shipped tables: the built-in captions, and the German translation of
// every one of them.
TEST(ShippedTables, BuiltInTableHoldsEveryCaptionOfTheWindows) {
  std::vector<lang::LanguageRecord> english;
  std::string error;
  ASSERT_TRUE(lang::ParseCaptionTable(ReadText(DataFolder() + "captions_en.tsv"), english, error))
      << error;
  std::set<int> ids;
  for (const auto& record : english) ids.insert(record.captionId);
  EXPECT_EQ(ids, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 20, 21, 40}));
  // The tables are kept in canonical form, so dump reproduces them.
  EXPECT_EQ(lang::FormatCaptionTable(english), ReadText(DataFolder() + "captions_en.tsv"));
}

TEST(ShippedTables, GermanTranslatesEveryBuiltInCaption) {
  std::string error;
  std::vector<lang::LanguageRecord> english;
  std::vector<lang::LanguageRecord> german;
  std::vector<std::string> warnings;
  ASSERT_TRUE(lang::ParseCaptionTable(ReadText(DataFolder() + "captions_en.tsv"), english, error));
  std::string germanTable = ReadText(DataFolder() + "captions_de.tsv");
  ASSERT_TRUE(lang::ParseCaptionTable(germanTable, german, error, &warnings)) << error;
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(lang::FormatCaptionTable(german), germanTable);
  ASSERT_EQ(german.size(), english.size());

  // Built the way the demo data is built, and loaded as the program loads it.
  testing_support::TestFolder root;
  ASSERT_TRUE(platform::CreateDirectory(root / "AppLanguages"));
  ToolRun build =
      Tool({"build", DataFolder() + "captions_de.tsv", root / "AppLanguages/terminal_de.lng",
            "--name", "Deutsch", "--font", "Arial"});
  ASSERT_EQ(build.code, lang::kToolOk) << build.err;
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.SelectorItems(), "English|Deutsch");
  ASSERT_TRUE(languages.Select(1));
  for (const auto& record : english) {
    std::string caption = lang::ToUtf8(record.text) + "//" + std::to_string(record.captionId);
    lang::CaptionText c = languages.Caption(caption);
    EXPECT_TRUE(c.translated) << caption;
    EXPECT_FALSE(c.text.empty()) << caption;
  }
}

}  // namespace

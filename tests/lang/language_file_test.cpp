// Language files: reading damaged bytes, writing, and the halvorn-lang tool.
#include "lang/language_file.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "lang/languages.h"
#include "lang/tool/caption_table.h"
#include "lang/tool/language_tool.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

std::string Header(const std::string& count, const std::string& charset = "0") {
  return "Deutsch" + std::string(25, ' ') + "Arial" + std::string(27, ' ') + charset +
         std::string(6 - charset.size(), ' ') + count + std::string(6 - count.size(), ' ') + "  ";
}

// A record head as given (check value computed when `check` is -1) and a payload.
std::string RawRecord(std::int32_t id, std::int32_t bytes, std::int32_t chars,
                      const std::string& payload, std::int64_t check = -1) {
  std::string out;
  auto sum = check < 0 ? lang::RecordCheckValue(id, bytes, chars) : std::uint32_t(check);
  for (std::uint32_t v : {std::uint32_t(id), std::uint32_t(bytes), std::uint32_t(chars), sum})
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out + payload;
}

std::string Record(std::int32_t id, const std::u16string& text) {
  std::string utf16;
  for (char16_t c : text) utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return RawRecord(id, 2 * std::int32_t(text.size()), std::int32_t(text.size()), utf16);
}

lang::LanguageFileContent Read(const std::string& bytes, platform::Result<>* result = nullptr) {
  lang::LanguageFileContent content;
  platform::Result<> read = lang::ReadLanguageFile(bytes, content);
  if (result) *result = read;
  return content;
}

// Each file holds the record "Eins" and then `second`. A damaged second record
// ends the reading, named with its offset, and "Eins" is kept; nothing
// outside the file is read (which the sanitizer build checks).
TEST(LanguageFile, ReadingEndsAtTheFirstDamagedRecord) {
  const std::u16string longText(0x400, u'x');  // 0x800 bytes: its check value is not 0
  std::string cut = Record(9, u"Verlauf");
  cut.pop_back();
  const std::pair<std::string, const char*> cases[] = {
      {Record(9, longText), nullptr},  // the text is exactly the rest of the file
      {cut, "the text runs past the end"},
      {RawRecord(9, 4, 2, std::string("D\0r\0", 4), 1) + Record(4, u"Vier"), "check value"},
      {RawRecord(9, 3, 1, "abcd"), "not twice"},
      {RawRecord(9, 2, 2, "abcd"), "not twice"},
      {RawRecord(9, -8, 4, "abcd"), "negative"},
      {RawRecord(9, 0x7FFFFFFE, 0x3FFFFFFF, "abcd"), "past the end"},
      {RawRecord(9, 0, INT32_MIN, ""), "negative"},
      {std::string("\x09\x00\x00\x00\x04\x00", 6), "head runs past"},
  };
  for (const auto& [second, problem] : cases) {
    platform::Result<> read;
    std::u16string texts;
    for (const auto& r : Read(Header("2") + Record(1, u"Eins") + second, &read).records)
      texts += r.text + u"|";
    EXPECT_EQ(texts, problem ? u"Eins|" : u"Eins|" + longText + u"|") << (problem ? problem : "");
    EXPECT_TRUE(problem ? read.Text().starts_with("record 2 of 2 at byte 102 is damaged") &&
                              read.Text().find(problem) != std::string::npos
                        : read.Text().empty())
        << read.Text();
  }
}

// Numbers in the header may hold blanks and end at the first other
// character; a name may start with blanks and end in NULs. (The fuzz target
// checks the record count against the records the file holds.)
TEST(LanguageFile, HeaderNumbersMayHoldBlanksAndNamesMayStartWithThem) {
  for (auto [field, value] : {std::pair{" 1 2  ", 12}, {"", 0}, {"12ab3", 12}, {"  -5", -5}}) {
    const lang::LanguageFileContent read = Read(Header(field, field));
    EXPECT_EQ(std::pair(read.characterSet, read.recordCount), std::pair(value, value)) << field;
  }
  const std::string blank = "  Deutsch" + std::string(23, '\0') + Header("0").substr(32);
  EXPECT_EQ(Read(blank).name + "|" + Read(blank).fontFace, "Deutsch|Arial");
  EXPECT_EQ(Read(blank.substr(0, 77)).name, "");  // shorter than a header
}

// Identifiers the tool would refuse and header fields at their limits (the
// fuzz target writes and reads back every table the tool accepts).
TEST(LanguageFile, WrittenFileReadsBackAndWhatTheHeaderCannotHoldIsRefused) {
  lang::LanguageFileContent content{std::string(32, 'n'), "", 999999, 0, {{0, u"x"}, {301, u""}}};
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  const auto back = Read(bytes);
  ASSERT_EQ(back.records.size(), 2u);
  EXPECT_EQ(std::tuple(back.name, back.characterSet, back.recordCount, back.records[1].captionId),
            std::tuple(content.name, 999999, 2, 301));
  content.fontFace = std::string(33, 'f');
  EXPECT_EQ(lang::WriteLanguageFile(content, bytes).Kind(), platform::ResultKind::CallerMistake);
  content.fontFace = "";
  content.characterSet = 1000000;
  EXPECT_NE(lang::WriteLanguageFile(content, bytes).Text(), "");
  // The check value keeps only bit 0x400 of the byte length and 0x100 of the characters.
  EXPECT_EQ(lang::RecordCheckValue(0x4000, 0x3FF, 0xFF), 0u);
  EXPECT_EQ(lang::RecordCheckValue(-1, -1, -1), 0x100100u);
}

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = lang::RunLanguageTool(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(LanguageTool, TableReaderSkipsCommentsAndNamesTheFaultyLine) {
  std::vector<lang::LanguageRecord> records;
  std::vector<std::string> warnings;
  ASSERT_TRUE(lang::ParseCaptionTable("\xEF\xBB\xBF# De\r\n\r\n9\tVerlauf//B\r\n20\tOK//+7",
                                      records, &warnings));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(std::tuple(records[0].captionId, records[0].text), std::tuple(9, u"Verlauf//B"));
  EXPECT_EQ(warnings.size(), 1u);  // "+7" is no size marker
  for (auto [table, fault] : {std::pair{"1\tok\nno tab\n", "line 2: expected"},
                              {"301\tbig\n", "line 1: the identifier"},
                              {"7\ta\n# c\n7\tb\n", "line 3: identifier 7 appears twice"},
                              {"1\t\xED\xA0\xBD\n", "line 1: the text is not valid UTF-8"},
                              {"1\t\xC0\xAF\n", "line 1: the text is not valid UTF-8"},
                              {"1\tC:\\data\n", "line 1: unknown escape \\d"},
                              {"1\tend\\\n", "line 1: the text ends in a lone backslash"},
                              {"1\t\\u12G4\n", "line 1: \\u needs four hex digits"}}) {
    const platform::Result<> parsed = lang::ParseCaptionTable(table, records);
    EXPECT_EQ(parsed.Text().rfind(fault, 0), 0u) << table << " gave: " << parsed.Text();
    EXPECT_TRUE(records.empty());
  }
}

TEST(LanguageTool, BadArgumentsFaultyTablesAndDamagedFilesFail) {
  testing_support::TestFolder dir;
  const std::string in = dir / "t.tsv", out = dir / "o.lng";
  ASSERT_TRUE(platform::WriteFileAtomic(in, "1\tx\n1\ty\n"));
  // Each mistake is named, the first that cannot be used, before the usage.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"translate"}, "unknown command translate"},
      {{"build", in, out, "--font", "Arial"}, "build needs --name"},
      {{"build", in, out, "--name", "D", "--font", "A", "--charset", "256"},
       "--charset must be a number from 0 to 255, not \"256\""},
      {{"build", in, out, "--name", "", "--font", "Arial"}, "the language name must not be empty"},
      {{"build", in, out, "--name", " D", "--font", "Arial"},
       "the language name must not start or end with a blank"},
      {{"build", in, out, "--name", "A|B", "--font", "A|B"},
       "the language name must not hold \"|\""},
      {{"build", in, out, "--name", "D", "--font", "A|B"}, "the font face must not hold \"|\""},
      {{"build", in, out, "--name", "D", "--font", std::string(33, 'F')},
       "the font face \"" + std::string(33, 'F') + "\" is longer than 32 bytes"},
  };
  for (const auto& [args, why] : cases) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.code, lang::kToolUsage) << why;
    EXPECT_EQ(run.err.rfind("halvorn-lang: " + why + "\nusage:", 0), 0u) << run.err;
  }
  // A faulty table keeps the old file; a damaged file dumps what lies before the damage.
  ASSERT_TRUE(platform::WriteFileAtomic(out, "old"));
  ToolRun run = Tool({"build", in, out, "--name", "N", "--font", "F"});
  EXPECT_EQ(std::pair(run.code, testing_support::Read(out)),
            std::pair(lang::kToolFailed, std::string("old")));
  std::string file = Header("2") + Record(1, u"eins") + Record(2, u"zwei");
  file.pop_back();
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "d.lng", file));
  run = Tool({"dump", dir / "d.lng"});
  EXPECT_EQ(std::pair(run.code, run.out), std::pair(lang::kToolFailed, std::string("1\teins\n")));
  EXPECT_NE(run.err.find("record 2 of 2 at byte 102"), std::string::npos) << run.err;
  EXPECT_EQ(Tool({"info", dir / "d.lng"}).out,
            "name: Deutsch\nfont: Arial\ncharacter set: 0\nrecords: 1 of 2\n");
}

// The shipped German table translates every built-in caption (the build
// turns it into the demo data's language file).
TEST(ShippedTables, GermanTranslatesEveryBuiltInCaption) {
  const std::string here = __FILE__;
  const std::string data = here.substr(0, here.rfind("tests/lang/")) + "lang/data/";
  std::vector<lang::LanguageRecord> english, german;
  ASSERT_TRUE(lang::ParseCaptionTable(testing_support::Read(data + "captions_en.tsv"), english));
  ASSERT_TRUE(lang::ParseCaptionTable(testing_support::Read(data + "captions_de.tsv"), german));
  std::set<int> translated;
  for (const auto& record : german)
    if (!lang::SplitModifiers(record.text, nullptr).empty()) translated.insert(record.captionId);
  for (const auto& record : english)
    EXPECT_TRUE(translated.contains(record.captionId)) << lang::ToUtf8(record.text);
}

}  // namespace

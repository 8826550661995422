#include "lang/language_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language_bytes.h"

namespace {

using lang::ReadLanguageFile;
using lang_test::Header;
using lang_test::RawRecord;
using lang_test::Record;

TEST(LanguageFile, RecordWhoseTextIsExactlyTheRestOfTheFileIsRead) {
  std::string file = Header("Deutsch", "Arial", "0", "1") + Record(9, u"Verlauf");
  auto content = ReadLanguageFile(file);
  ASSERT_EQ(content.records.size(), 1u);
  EXPECT_EQ(content.records[0].captionId, 9);
  EXPECT_EQ(content.records[0].text, u"Verlauf");
  EXPECT_TRUE(content.problem.empty());
}

TEST(LanguageFile, OneByteLessDropsTheRecordAndEndsTheReading) {
  std::string file =
      Header("Deutsch", "Arial", "0", "3") + Record(1, u"Eins") + Record(9, u"Verlauf");
  file.pop_back();
  auto content = ReadLanguageFile(file);
  ASSERT_EQ(content.records.size(), 1u);
  EXPECT_EQ(content.records[0].text, u"Eins");
  EXPECT_EQ(content.damagedOffset, lang::kHeaderSize + 16 + 8);
  EXPECT_NE(content.problem.find("past the end"), std::string::npos);
}

TEST(LanguageFile, WrongCheckValueEndsTheReadingAndKeepsEarlierTexts) {
  // 0x800 bytes sets bit 0x400 of the byte length, so its check value is not 0.
  std::u16string longText(0x400, u'x');
  std::string file = Header("Deutsch", "Arial", "0", "4") + Record(1, u"Eins") +
                     Record(2, longText) + RawRecord(3, 4, 2, 1, lang_test::Utf16(u"Dr")) +
                     Record(4, u"Vier");
  auto content = ReadLanguageFile(file);
  ASSERT_EQ(content.records.size(), 2u);
  EXPECT_EQ(content.records[1].text, longText);
  EXPECT_NE(content.problem.find("check value"), std::string::npos);
}

// Records that must end the reading without a byte read outside the file:
// the record before them is kept in every case.
TEST(LanguageFile, DamagedRecordHeadsEndTheReadingSafely) {
  struct Case {
    const char* what;
    std::string record;
  };
  auto withCheck = [](std::int32_t id, std::int32_t bytes, std::int32_t chars,
                      const std::string& payload) {
    return RawRecord(id, bytes, chars, lang::RecordCheckValue(id, bytes, chars), payload);
  };
  const std::vector<Case> cases = {
      {"odd byte length", withCheck(2, 3, 1, "abcd")},
      {"byte length not twice the characters", withCheck(2, 2, 2, "abcd")},
      {"characters beyond the byte length", withCheck(2, 4, 8, "abcd")},
      {"negative lengths", withCheck(2, -2, -1, "abcd")},
      {"negative byte length only", withCheck(2, -8, 4, "abcd")},
      {"huge lengths", withCheck(2, 0x7FFFFFFE, 0x3FFFFFFF, "abcd")},
      {"lengths that wrap when doubled",
       withCheck(2, 0, static_cast<std::int32_t>(0x80000000u), "")},
      {"head cut short", std::string("\x02\x00\x00\x00\x04\x00", 6)},
  };
  for (const Case& c : cases) {
    std::string file = Header("X", "Arial", "0", "3") + Record(1, u"Eins") + c.record;
    auto content = ReadLanguageFile(file);
    ASSERT_EQ(content.records.size(), 1u) << c.what;
    EXPECT_EQ(content.records[0].text, u"Eins") << c.what;
    EXPECT_FALSE(content.problem.empty()) << c.what;
    EXPECT_EQ(content.damagedOffset, lang::kHeaderSize + 16 + 8) << c.what;
  }
}

TEST(LanguageFile, CheckValueKeepsOnlyTwoLengthBits) {
  struct Case {
    std::int32_t id, bytes, chars;
    std::uint32_t check;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, 0},
      {0x4000, 0, 0, 0},  // the identifier's bit is shifted out
      {0x7FFFFFFF, 0x3FF, 0xFF, 0},
      {1, 0x400, 0, 0x100000},
      {1, 0, 0x100, 0x100},
      {1, 0x7FF, 0x3FF, 0x100100},
      {-1, -1, -1, 0x100100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lang::RecordCheckValue(c.id, c.bytes, c.chars), c.check)
        << c.id << " " << c.bytes << " " << c.chars;
}

TEST(LanguageFile, HeaderNumbersAllowBlanks) {
  struct Case {
    const char* field;
    std::int32_t value;
  };
  const std::vector<Case> cases = {{"     2", 2}, {"2     ", 2}, {" 1 2  ", 12},
                                   {"", 0},       {"abc", 0},    {"12ab3", 12},
                                   {"   -5", -5}, {"+7", 7},     {"999999", 999999}};
  for (const Case& c : cases) {
    auto content = ReadLanguageFile(Header("X", "F", c.field, c.field));
    EXPECT_EQ(content.characterSet, c.value) << c.field;
    EXPECT_EQ(content.recordCount, c.value) << c.field;
  }
}

TEST(LanguageFile, WalkStopsAtTheHeadersRecordCount) {
  std::string records = Record(1, u"a") + Record(2, u"b") + Record(3, u"c");
  struct Case {
    const char* count;
    std::size_t read;
  };
  for (const Case& c : std::vector<Case>{{"0", 0}, {"-3", 0}, {"2", 2}, {"3", 3}}) {
    auto content = ReadLanguageFile(Header("X", "F", "0", c.count) + records);
    EXPECT_EQ(content.records.size(), c.read) << c.count;
    EXPECT_TRUE(content.problem.empty()) << c.count;
  }
  // More records announced than the file holds: the walk ends at the end.
  auto content = ReadLanguageFile(Header("X", "F", "0", "9") + records);
  EXPECT_EQ(content.records.size(), 3u);
  EXPECT_NE(content.problem.find("head"), std::string::npos);
}

TEST(LanguageFile, FileShorterThanItsHeaderGivesNothing) {
  std::string header = Header("Deutsch", "Arial", "0", "1");
  for (std::size_t size : {0u, 1u, 77u}) {
    auto content = ReadLanguageFile(header.substr(0, size));
    EXPECT_TRUE(content.name.empty()) << size;
    EXPECT_TRUE(content.records.empty()) << size;
  }
  auto content = ReadLanguageFile(header);
  EXPECT_EQ(content.name, "Deutsch");
  EXPECT_TRUE(content.records.empty());
}

TEST(LanguageFile, NameAndFaceAreTrimmedOfBlanksAndNulPadding) {
  std::string file = "   Deutsch" + std::string(22, ' ') + "Courier New" + std::string(21, '\0') +
                     "     0     0  ";
  auto content = ReadLanguageFile(file);
  EXPECT_EQ(content.name, "Deutsch");
  EXPECT_EQ(content.fontFace, "Courier New");
}

TEST(LanguageFile, WrittenFileReadsBackWithEveryRecord) {
  lang::LanguageFileContent content;
  content.name = "Ελληνικά";
  content.fontFace = "Arial";
  content.characterSet = 161;
  for (int id : {0, -5, 301, 1, 300, 1})
    content.records.push_back({id, u"Text " + std::u16string(1, static_cast<char16_t>(0x3A9))});
  content.records.push_back({7, std::u16string(0x500, u'\xD83D')});
  content.records.push_back({8, u""});
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  auto back = ReadLanguageFile(bytes);
  EXPECT_EQ(back.name, content.name);
  EXPECT_EQ(back.fontFace, content.fontFace);
  EXPECT_EQ(back.characterSet, 161);
  EXPECT_EQ(back.recordCount, 8);
  ASSERT_EQ(back.records.size(), content.records.size());
  for (std::size_t i = 0; i < back.records.size(); ++i) {
    EXPECT_EQ(back.records[i].captionId, content.records[i].captionId);
    EXPECT_EQ(back.records[i].text, content.records[i].text);
  }
  EXPECT_TRUE(back.problem.empty());
}

TEST(LanguageFile, WriterRefusesWhatTheHeaderCannotHold) {
  std::string bytes;
  std::string error;
  lang::LanguageFileContent longName;
  longName.name = std::string(33, 'n');
  EXPECT_FALSE(lang::WriteLanguageFile(longName, bytes, &error));
  EXPECT_NE(error.find("name"), std::string::npos);

  lang::LanguageFileContent longFace;
  longFace.fontFace = std::string(33, 'f');
  EXPECT_FALSE(lang::WriteLanguageFile(longFace, bytes, &error));

  lang::LanguageFileContent badCharset;
  badCharset.characterSet = -1;
  EXPECT_FALSE(lang::WriteLanguageFile(badCharset, bytes, &error));
  badCharset.characterSet = 1000000;
  EXPECT_FALSE(lang::WriteLanguageFile(badCharset, bytes, &error));

  lang::LanguageFileContent full;
  full.name = std::string(32, 'n');
  full.fontFace = std::string(32, 'f');
  full.characterSet = 999999;
  EXPECT_TRUE(lang::WriteLanguageFile(full, bytes, &error));
  EXPECT_EQ(bytes.size(), lang::kHeaderSize);
}

}  // namespace

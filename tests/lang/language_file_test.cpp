// Language files, halvorn-lang, captions, fonts, the loaded languages and the choice.
#include "lang/language_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <tuple>

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

// A damaged second record ends the reading, named with its offset; the first is kept.
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
      {std::string("\x09\x00\x00\x00\x04\x00", 6), "head runs past"}};
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

// Header numbers may hold blanks and end at the first other character.
TEST(LanguageFile, HeaderNumbersMayHoldBlanksAndNamesMayStartWithThem) {
  for (auto [field, value] : {std::pair{" 1 2  ", 12}, {"", 0}, {"12ab3", 12}, {"  -5", -5}}) {
    const lang::LanguageFileContent read = Read(Header(field, field));
    EXPECT_EQ(std::pair(read.characterSet, read.recordCount), std::pair(value, value)) << field;
  }
  const std::string blank = "  Deutsch" + std::string(23, '\0') + Header("0").substr(32);
  EXPECT_EQ(Read(blank).name + "|" + Read(blank).fontFace, "Deutsch|Arial");
  EXPECT_EQ(Read(blank.substr(0, 77)).name, "");  // shorter than a header
}

// Identifiers the tool would refuse and header fields at their limits.
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

// The tool's exit code, output and errors.
std::tuple<int, std::string, std::string> Tool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = lang::RunLanguageTool(args, out, err);
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
       "the font face \"" + std::string(33, 'F') + "\" is longer than 32 bytes"}};
  for (const auto& [args, why] : cases) {
    const auto [code, printed, errors] = Tool(args);
    EXPECT_EQ(code, lang::kToolUsage) << why;
    EXPECT_EQ(errors.rfind("halvorn-lang: " + why + "\nusage:", 0), 0u) << errors;
  }
  // A faulty table keeps the old file; a damaged file dumps what lies before the damage.
  ASSERT_TRUE(platform::WriteFileAtomic(out, "old"));
  EXPECT_EQ(std::get<0>(Tool({"build", in, out, "--name", "N", "--font", "F"})), lang::kToolFailed);
  EXPECT_EQ(testing_support::Read(out), "old");
  std::string file = Header("2") + Record(1, u"eins") + Record(2, u"zwei");
  file.pop_back();
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "d.lng", file));
  const auto [code, printed, errors] = Tool({"dump", dir / "d.lng"});
  EXPECT_EQ(std::pair(code, printed), std::pair(lang::kToolFailed, std::string("1\teins\n")));
  EXPECT_NE(errors.find("record 2 of 2 at byte 102"), std::string::npos) << errors;
  EXPECT_EQ(std::get<1>(Tool({"info", dir / "d.lng"})),
            "name: Deutsch\nfont: Arial\ncharacter set: 0\nrecords: 1 of 2\n");
}

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

// A translated text's modifiers hold one size marker and "B", in any order.
TEST(Captions, ModifiersAndUtf8) {
  const std::tuple<std::u16string, int, bool> modified[] = {
      {u"Verlauf//+2B", 13, true},  {u"Verlauf//B+2", 13, true}, {u"Verlauf//b", 11, false},
      {u"Verlauf//-4", 7, false},   {u"Verlauf//+6", 26, false}, {u"Verlauf//+7", 11, false},
      {u"Verlauf// B +3", 14, true}};
  for (const auto& [text, points, bold] : modified) {
    lang::TextModifiers m;
    EXPECT_EQ(lang::SplitModifiers(text, &m), u"Verlauf");
    EXPECT_EQ(std::tuple(lang::SizePoints(m.sizeIndex), m.bold), std::tuple(points, bold));
  }
  EXPECT_EQ(lang::SizePoints(11), 11);  // outside the sizes: normal
  // UTF-16 of every plane to UTF-8; a lone surrogate becomes U+FFFD.
  EXPECT_EQ(lang::ToUtf8(u"\u00fc \u4E2D\U0001F600"), "\xC3\xBC \xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(lang::ToUtf8(std::u16string{u'\xD83D', u'a'}), "\uFFFDa");
}

TEST(DescribeFont, StyleLettersAndHeight) {
  // weight, italic, underline, strike-out, character set, quality, pitch
  auto describe = [](const char* style) {
    lang::FontDescription f = lang::DescribeFont("Arial", 5, 11, style, 96);
    return std::tuple(f.weight, f.italic, f.underline, f.strikeOut, f.characterSet, f.quality,
                      f.pitch);
  };
  EXPECT_EQ(describe("BT"), std::tuple(700, false, false, false, 5, 1, 0));  // "B" after "T"
  EXPECT_EQ(describe("XT+"), std::tuple(1000, false, false, false, 5, 1, 0));
  EXPECT_EQ(describe("u-i"), std::tuple(400, true, true, true, 5, 1, 0));  // any letter case
  EXPECT_EQ(describe("OSD+FAQ"), std::tuple(500, false, false, false, 255, 4, 1));
  // -round(MulDiv(dpi, round(points * 100), 72) / 100): 96 * 1100 / 72 = 1466.7 -> -15.
  EXPECT_EQ(lang::DescribeFont("Arial", 0, 11, "V", 96).height, -15);
  EXPECT_EQ(lang::DescribeFont("Arial", 0, 14.5, "V", 72).height, -14);  // halves to even
}

// Writes a language file at `file` ("folder/name") under `root`.
void AddLanguage(const testing_support::TestFolder& root, const std::string& file,
                 const std::string& name, std::vector<lang::LanguageRecord> records = {},
                 const std::string& face = "Arial", int charset = 0) {
  lang::LanguageFileContent content{name, face, charset, 0, std::move(records)};
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  platform::CreateDirectory(root / file.substr(0, file.find('/')));
  ASSERT_TRUE(platform::WriteFileAtomic(root / file, bytes));
}

// Names in any letter case count; other names, an unreadable file and a 21st do not.
TEST(Languages, LoadsTheFirstTwentyMatchingFilesInDirectoryOrder) {
  testing_support::TestFolder root;
  AddLanguage(root, "applanguages/Terminal_AA.LNG", "AA");
  for (const char* other : {"terminal_d.lng", "terminal_deu.lng", "terminal-fr.lng",
                            "terminal_fr.lng.bak", "xterminal_fr.lng"})
    AddLanguage(root, std::string("applanguages/") + other, other);
  ASSERT_TRUE(platform::CreateDirectory(root / "applanguages/terminal_bb.lng"));
  for (char c = 'c'; c < 'c' + 20; ++c)
    AddLanguage(root, "applanguages/terminal_" + std::string(2, c) + ".lng", std::string(2, c));
  // Named by the file's two characters; the folder takes a place but gives no language.
  std::vector<std::string> expected;
  int matches = 0;
  for (const auto& entry : std::filesystem::directory_iterator(root / "applanguages")) {
    const std::string file = entry.path().filename().string();
    if (file.size() != 15 || file[8] != '_' || ++matches > 20) continue;
    if (file[9] != 'b') expected.push_back(file.substr(9, 2));
  }
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path() + "/");
  ASSERT_EQ(languages.Count(), static_cast<int>(expected.size()));
  for (int n = 1; n <= languages.Count(); ++n) EXPECT_EQ(languages.Name(n), expected[n - 1]);
  EXPECT_FALSE(languages.Select(21) || languages.Select(-1));
  testing_support::TestFolder empty;  // reloading forgets languages and selection
  ASSERT_TRUE(languages.Select(1));
  languages.LoadLanguageFiles(empty.Path());
  EXPECT_EQ(languages.LanguageIndex() + languages.Count(), 0);
  EXPECT_EQ(languages.SelectorItems(), "English");
}

// The records at the edges (the painters' tests cover the rest).
TEST(Languages, TranslatedCaptionsCarryTextSizeAndWeightInTheFilesFonts) {
  testing_support::TestFolder root;
  AddLanguage(root, "AppLanguages/terminal_de.lng", "Deutsch",
              {{4, u"Befehle eingeben:"},
               {9, u"Verlauf//+5B"},
               {14, u"Abbruch mit ESC\r\nbitte//-4"},
               {21, u"//B"},
               {40, u"Ger\u00e4t \U0001F600"},
               {5, u"alt"},  // a later record replaces an earlier one
               {0, u"0"},
               {301, u"301"},
               {5, u"eins"}},
              "Tahoma", 161);
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  auto caption = [&](const char* withId) {
    lang::CaptionText c = languages.Caption(withId);
    EXPECT_EQ(c.points, lang::SizePoints(c.sizeIndex)) << withId;
    return std::tuple(c.text, c.translated, c.points, c.bold);
  };
  ASSERT_TRUE(languages.Select(1));
  EXPECT_EQ(caption("History//9"), std::tuple("Verlauf", true, 20, true));
  EXPECT_EQ(caption("Enter:// 4"), std::tuple("Befehle eingeben:", true, 11, false));
  EXPECT_EQ(caption("Press: ESC//14"), std::tuple("Abbruch mit ESC\r\nbitte", true, 7, false));
  EXPECT_EQ(caption("Values//21"), std::tuple("", true, 11, true));
  EXPECT_EQ(caption("Device//40"), std::tuple("Ger\xC3\xA4t \xF0\x9F\x98\x80", true, 11, false));
  EXPECT_EQ(caption("Beyond//301"), std::tuple("Beyond", false, 11, false));  // not translated
  EXPECT_EQ(caption("Five//5"), std::tuple("eins", true, 11, false));         // the later record
  // Fonts for the sizes used, 0 ("-4"), 4 (no marker, also "//B") and 9 ("+5B"), normal and bold.
  std::string fonts;
  for (const lang::LanguageFont& f : languages.Fonts(1, 96))
    fonts += std::to_string(f.sizeIndex) + (f.bold ? "B" : "") + ":" +
             std::to_string(f.font.weight) + f.font.face + std::to_string(f.font.characterSet) +
             "/" + std::to_string(f.font.height) + " ";
  EXPECT_EQ(fonts,
            "0:400Tahoma161/-9 0B:700Tahoma161/-9 4:400Tahoma161/-15 4B:700Tahoma161/-15 "
            "9:400Tahoma161/-27 9B:700Tahoma161/-27 ");
  EXPECT_TRUE(languages.Fonts(0, 96).empty() && languages.Fonts(2, 96).empty());
}

// Reading matches names in any case; storing keeps a Windows copy's file name.
TEST(Languages, LangIniChoosesAndStoresTheLanguage) {
  testing_support::TestFolder root;
  AddLanguage(root, "AppLanguages/terminal_aa.lng", "Deutsch");
  AddLanguage(root, "AppLanguages/terminal_bb.lng", "A|B");
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  const int de = languages.Name(1) == "Deutsch" ? 1 : 2, ab = 3 - de;
  auto stored = [&](const std::string& name) {
    std::string content;
    return platform::ReadFile(root / name, content) ? content : "<none>";
  };
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), 0);  // no lang.ini
  for (auto [content, deutsch] : {std::pair{"\xEF\xBB\xBF  deutsch\r\n", true},
                                  {"english", false},
                                  {"", false},
                                  {"Deutsch A", false}}) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / "lang.ini", content));
    EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), deutsch ? de : 0) << content;
  }
  EXPECT_EQ(languages.LanguageIndex(), 0);  // reading does not select
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), ab));
  EXPECT_EQ(stored("lang.ini"), "A|B");
  // A "|" in a name is shown as "/" so the selector entries stay aligned.
  EXPECT_EQ(languages.SelectorItems(), de == 1 ? "English|Deutsch|A/B" : "English|A/B|Deutsch");
  EXPECT_EQ(languages.StoreLanguageChoice(root.Path(), 3).Kind(),
            platform::ResultKind::CallerMistake);
  EXPECT_NE(languages.StoreLanguageChoice(root / "missing", de).Text(), "");
  EXPECT_EQ(stored("lang.ini"), "A|B");
  // A copy from Windows names it LANG.INI: that file is replaced, not doubled.
  ASSERT_TRUE(platform::RemoveFile(root / "lang.ini"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "LANG.INI", "Deutsch"));
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), de);
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), ab));
  EXPECT_EQ(stored("LANG.INI") + stored("lang.ini"), "A|B<none>");
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), 0));
  EXPECT_EQ(stored("LANG.INI"), "<none>");
}

}  // namespace

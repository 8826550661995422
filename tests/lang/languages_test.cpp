// Captions, fonts, the loaded languages and the stored choice.
#include "lang/languages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "lang/language_file.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

// A translated text's modifiers hold one size marker and "B", in any order.
TEST(Captions, ModifiersAndUtf8) {
  const std::tuple<std::u16string, int, bool> modified[] = {
      {u"Verlauf//+2B", 13, true},   {u"Verlauf//B+2", 13, true}, {u"Verlauf//b", 11, false},
      {u"Verlauf//-4", 7, false},    {u"Verlauf//+6", 26, false}, {u"Verlauf//+7", 11, false},
      {u"Verlauf// B +3", 14, true},
  };
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

// Writes a language file at `file` ("folder/name") under the data root `root`.
void AddLanguage(const testing_support::TestFolder& root, const std::string& file,
                 const std::string& name, std::vector<lang::LanguageRecord> records = {},
                 const std::string& face = "Arial", int charset = 0) {
  lang::LanguageFileContent content{name, face, charset, 0, std::move(records)};
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  platform::CreateDirectory(root / file.substr(0, file.find('/')));
  ASSERT_TRUE(platform::WriteFileAtomic(root / file, bytes));
}

// Names in any letter case count; other names, a file that cannot be read
// (it leaves no gap) and a 21st file do not.
TEST(Languages, LoadsTheFirstTwentyMatchingFilesInDirectoryOrder) {
  testing_support::TestFolder root;
  AddLanguage(root, "applanguages/Terminal_AA.LNG", "AA");
  for (const char* other : {"terminal_d.lng", "terminal_deu.lng", "terminal-fr.lng",
                            "terminal_fr.lng.bak", "xterminal_fr.lng"})
    AddLanguage(root, std::string("applanguages/") + other, other);
  ASSERT_TRUE(platform::CreateDirectory(root / "applanguages/terminal_bb.lng"));
  for (char c = 'c'; c < 'c' + 20; ++c)
    AddLanguage(root, "applanguages/terminal_" + std::string(2, c) + ".lng", std::string(2, c));
  // Each language is named by its file's two characters; the folder among
  // the first twenty names takes its place but gives no language.
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

// The painters' tests cover the built-in language, empty and untranslated
// texts; these are the records at the edges.
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
  EXPECT_EQ(caption("Five//5"), std::tuple("eins", true, 11, false));
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

// Reading matches names without regard to case (the app's test covers the
// choice reaching the selector and English removing the file).
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
  // An unknown index or a failed write leaves the choice.
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

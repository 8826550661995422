// Captions, fonts, the loaded languages and the stored choice.
#include "lang/languages.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "lang/language_file.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

TEST(Captions, IdentifierModifiersAndUtf8) {
  // The caption is cut at its first "//" (not trimmed); leading digits after it are the identifier.
  auto id = [](std::string caption) {
    int n = lang::SplitCaptionId(caption);
    return std::tuple(caption, n);
  };
  EXPECT_EQ(id("Enter Commands below:// 4"), std::tuple("Enter Commands below:", 4));
  EXPECT_EQ(id("Text // 7 "), std::tuple("Text ", 7));
  EXPECT_EQ(id("No identifier"), std::tuple("No identifier", 0));
  EXPECT_EQ(id("Text//12ab"), std::tuple("Text", 12));
  EXPECT_EQ(id("Text//-3"), std::tuple("Text", 0));
  EXPECT_EQ(id("http://host"), std::tuple("http:", 0));
  EXPECT_EQ(id("Big//99999999999999"), std::tuple("Big", INT_MAX));
  // A translated text's modifiers: one size marker and "B", in any order.
  auto modified = [](std::u16string text) {
    lang::TextModifiers m;
    std::string drawn = lang::ToUtf8(lang::SplitModifiers(text, &m));
    return std::tuple(drawn, lang::SizePoints(m.sizeIndex), m.bold);
  };
  EXPECT_EQ(modified(u"Verlauf//+2B"), std::tuple("Verlauf", 13, true));
  EXPECT_EQ(modified(u"Verlauf//B+2"), std::tuple("Verlauf", 13, true));
  EXPECT_EQ(modified(u"X//b"), std::tuple("X", 11, false));
  EXPECT_EQ(modified(u"X//-4"), std::tuple("X", 7, false));
  EXPECT_EQ(modified(u"X//+5B"), std::tuple("X", 20, true));
  EXPECT_EQ(modified(u"X//+6"), std::tuple("X", 26, false));
  EXPECT_EQ(modified(u"X//+7"), std::tuple("X", 11, false));  // no such size
  EXPECT_EQ(modified(u"X// B +3"), std::tuple("X", 14, true));
  EXPECT_EQ(lang::SizePoints(8), 15);
  EXPECT_EQ(lang::SizePoints(11), 11);  // outside the sizes: normal
  // UTF-16 of every plane to UTF-8; a lone surrogate becomes U+FFFD.
  EXPECT_EQ(lang::ToUtf8(u"\u00fc \u4E2D\U0001F600"), "\xC3\xBC \xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(lang::ToUtf8(std::u16string{u'\xD83D', u'a', u'\xDE00'}),
            "\uFFFD"
            "a\uFFFD");
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
  auto height = [](double points, int dpi) {
    return lang::DescribeFont("Arial", 0, points, "V", dpi).height;
  };
  EXPECT_EQ(height(11, 96), -15);
  EXPECT_EQ(height(14.5, 72), -14);  // halves round to even
}

// Writes a language file at `file` ("folder/name") under the data root `root`.
void AddLanguage(const testing_support::TestFolder& root, const std::string& file,
                 const std::string& name, std::vector<lang::LanguageRecord> records = {},
                 const std::string& face = "Arial", int charset = 0) {
  lang::LanguageFileContent content;
  content.name = name;
  content.fontFace = face;
  content.characterSet = charset;
  content.records = std::move(records);
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  platform::CreateDirectory(root / file.substr(0, file.find('/')));
  ASSERT_TRUE(platform::WriteFileAtomic(root / file, bytes));
}

TEST(Languages, LoadsOnlyMatchingFilesInAnyLetterCase) {
  testing_support::TestFolder root;
  AddLanguage(root, "applanguages/Terminal_De.LNG", "Deutsch", {{9, u"Verlauf"}});
  for (const char* other : {"terminal_d.lng", "terminal_deu.lng", "terminal-fr.lng",
                            "terminal_fr.lng.bak", "xterminal_fr.lng"})
    AddLanguage(root, std::string("applanguages/") + other, other);
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path() + "/");
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.LanguageList(), "Deutsch");
  EXPECT_EQ(languages.SelectorItems(), "English|Deutsch");
  EXPECT_EQ(languages.SelectorNames(), (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(languages.LanguageTable(1, 9), u"Verlauf");
  EXPECT_EQ(languages.FontFace(1), "Arial");
  ASSERT_TRUE(languages.Select(1));
  EXPECT_FALSE(languages.Select(2));
  EXPECT_FALSE(languages.Select(-1));
  EXPECT_EQ(languages.LanguageIndex(), 1);
  testing_support::TestFolder empty;  // reloading forgets languages and selection
  languages.LoadLanguageFiles(empty.Path());
  EXPECT_EQ(languages.Count(), 0);
  EXPECT_EQ(languages.LanguageIndex(), 0);
  EXPECT_EQ(languages.SelectorItems(), "English");
}

TEST(Languages, TwentyOneFilesGiveTheFirstTwentyInDirectoryOrder) {
  testing_support::TestFolder root;
  for (char c = 'a'; c < 'a' + 21; ++c)
    AddLanguage(root, "AppLanguages/terminal_" + std::string(2, c) + ".lng", {c});
  std::vector<std::string> expected;
  for (const auto& entry : std::filesystem::directory_iterator(root / "AppLanguages"))
    if (expected.size() < 20) expected.push_back(entry.path().filename().string().substr(9, 1));
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 20);
  for (int n = 1; n <= 20; ++n) EXPECT_EQ(languages.Name(n), expected[n - 1]) << n;
}

TEST(Languages, UnreadableFileLeavesNoGapAndLaterRecordsReplaceEarlierOnes) {
  testing_support::TestFolder root;
  AddLanguage(root, "AppLanguages/terminal_aa.lng", "One",
              {{5, u"alt"}, {0, u"0"}, {301, u"301"}, {5, u"eins"}});
  ASSERT_TRUE(platform::CreateDirectory(root / "AppLanguages/terminal_bb.lng"));
  AddLanguage(root, "AppLanguages/terminal_cc.lng", "Two", {{5, u"zwei"}, {300, u"x"}});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 2);
  const int one = languages.Name(1) == "One" ? 1 : 2;
  EXPECT_EQ(languages.LanguageTable(one, 5), u"eins");
  EXPECT_EQ(languages.LanguageTable(3 - one, 5), u"zwei");
  EXPECT_EQ(languages.LanguageTable(3 - one, 300), u"x");
  EXPECT_FALSE(languages.HasText(one, 0));
  EXPECT_FALSE(languages.HasText(one, 301));
  EXPECT_EQ(languages.LanguageTable(3, 5), u"");
}

TEST(Languages, TranslatedCaptionsCarryTextSizeAndWeightInTheFilesFonts) {
  testing_support::TestFolder root;
  AddLanguage(root, "AppLanguages/terminal_de.lng", "Deutsch",
              {{4, u"Befehle eingeben:"},
               {9, u"Verlauf//+5B"},
               {14, u"Abbruch mit ESC\r\nbitte//-4"},
               {20, u""},
               {21, u"//B"},
               {40, u"Ger\u00e4t \U0001F600"}},
              "Tahoma", 161);
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  auto caption = [&](const char* withId) {
    lang::CaptionText c = languages.Caption(withId);
    EXPECT_EQ(c.points, lang::SizePoints(c.sizeIndex)) << withId;
    return std::tuple(c.text, c.translated, c.points, c.bold);
  };
  EXPECT_EQ(caption("History//9"), std::tuple("History", false, 11, false));  // built-in language
  ASSERT_TRUE(languages.Select(1));
  EXPECT_EQ(caption("History//9"), std::tuple("Verlauf", true, 20, true));
  EXPECT_EQ(caption("Enter:// 4"), std::tuple("Befehle eingeben:", true, 11, false));
  EXPECT_EQ(caption("Press: ESC//14"), std::tuple("Abbruch mit ESC\r\nbitte", true, 7, false));
  EXPECT_EQ(caption("OK//20"), std::tuple("", true, 11, false));  // an empty text: draw nothing
  EXPECT_EQ(caption("Values//21"), std::tuple("", true, 11, true));
  EXPECT_EQ(caption("Device//40"), std::tuple("Ger\xC3\xA4t \xF0\x9F\x98\x80", true, 11, false));
  // What the language cannot translate keeps its own text.
  EXPECT_EQ(caption("Clear History//10"), std::tuple("Clear History", false, 11, false));
  EXPECT_EQ(caption("Beyond//301"), std::tuple("Beyond", false, 11, false));
  EXPECT_EQ(caption("Plain text"), std::tuple("Plain text", false, 11, false));
  // Fonts for the sizes used, 0 ("-4"), 4 (no marker, also "//B") and 9 ("+5B"), normal and bold.
  std::vector<lang::LanguageFont> fonts = languages.Fonts(1, 96);
  ASSERT_EQ(fonts.size(), 6u);
  const int sizes[] = {0, 0, 4, 4, 9, 9};
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    const lang::FontDescription& f = fonts[i].font;
    EXPECT_EQ(std::tuple(fonts[i].sizeIndex, fonts[i].bold, f.weight),
              std::tuple(sizes[i], i % 2 == 1, i % 2 ? 700 : 400))
        << i;
    EXPECT_EQ(std::tuple(f.face, f.characterSet, f.pitch), std::tuple("Tahoma", 161, 2)) << i;
  }
  EXPECT_EQ(fonts[4].font.height, -27);  // 20 points at 96 dots per inch
  EXPECT_EQ(languages.Font(1, 4, true, 96).height, -15);
  EXPECT_TRUE(languages.Fonts(0, 96).empty());
  EXPECT_TRUE(languages.Fonts(2, 96).empty());
}

TEST(Languages, LangIniChoosesAndStoresTheLanguage) {
  testing_support::TestFolder root;
  AddLanguage(root, "AppLanguages/terminal_aa.lng", "Deutsch");
  AddLanguage(root, "AppLanguages/terminal_bb.lng", "A|B");
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 2);
  const int de = languages.Name(1) == "Deutsch" ? 1 : 2, ab = 3 - de;
  auto stored = [&](const std::string& name) {
    std::string content;
    return platform::ReadFile(root / name, content) ? content : "<none>";
  };
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), 0);  // no lang.ini
  for (auto [content, deutsch] : {std::pair{"Deutsch", true},
                                  {"DEUTSCH", true},
                                  {"  deutsch\r\n", true},
                                  {"english", false},
                                  {"English", false},
                                  {"", false},
                                  {"Klingon", false},
                                  {"Deutsch A", false}}) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / "lang.ini", content));
    EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), deutsch ? de : 0) << content;
  }
  EXPECT_EQ(languages.LanguageIndex(), 0);                          // reading does not select
  EXPECT_EQ(lang::Languages().ReadLanguageChoice(root.Path()), 0);  // no languages loaded

  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), ab));
  EXPECT_EQ(stored("lang.ini"), "A|B");
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), ab);
  // A "|" in a name is shown as "/" so the selector entries stay aligned.
  EXPECT_EQ(languages.SelectorItems(), de == 1 ? "English|Deutsch|A/B" : "English|A/B|Deutsch");
  std::string error;  // an unknown index or a failed write leaves the choice
  EXPECT_FALSE(languages.StoreLanguageChoice(root.Path(), 3, &error));
  EXPECT_FALSE(languages.StoreLanguageChoice(root / "missing", de));
  EXPECT_NE(error, "");
  EXPECT_EQ(stored("lang.ini"), "A|B");
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), 0));  // English: no lang.ini
  EXPECT_EQ(stored("lang.ini"), "<none>");
  EXPECT_TRUE(languages.StoreLanguageChoice(root.Path(), 0));  // nothing to delete
  // A copy from Windows names it LANG.INI: that file is replaced, not doubled.
  ASSERT_TRUE(platform::WriteFileAtomic(root / "LANG.INI", "Deutsch"));
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), de);
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), ab));
  EXPECT_EQ(stored("LANG.INI") + stored("lang.ini"), "A|B<none>");
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), 0));
  EXPECT_EQ(stored("LANG.INI"), "<none>");
}

}  // namespace

#include "lang/languages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "language_bytes.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using lang_test::Header;
using lang_test::Record;

struct Text {
  int id;
  std::u16string text;
};

std::string LanguageBytes(const std::string& name, const std::vector<Text>& texts,
                          const std::string& face = "Arial", const std::string& charset = "0") {
  std::string bytes = Header(name, face, charset, std::to_string(texts.size()));
  for (const Text& t : texts) bytes += Record(t.id, t.text);
  return bytes;
}

// A data root with an "AppLanguages" folder (spelled as given).
class DataRoot {
 public:
  explicit DataRoot(const std::string& folderName = "AppLanguages") : folderName_(folderName) {
    platform::CreateDirectory(folder_ / folderName_);
  }
  const std::string& Path() const { return folder_.Path(); }
  std::string operator/(const std::string& relative) const { return folder_ / relative; }
  void Add(const std::string& fileName, const std::string& bytes) const {
    ASSERT_TRUE(platform::WriteFileAtomic(folder_ / (folderName_ + "/" + fileName), bytes));
  }
  void Add(const std::string& fileName, const std::string& name,
           const std::vector<Text>& texts) const {
    Add(fileName, LanguageBytes(name, texts));
  }
  std::string Choice() const {
    std::string content;
    return platform::ReadFile(folder_ / "lang.ini", content) ? content : "<none>";
  }

 private:
  testing_support::TestFolder folder_;
  std::string folderName_;
};

TEST(Languages, LoadsTheMatchingFilesOfTheLanguageFolder) {
  DataRoot root;
  root.Add("terminal_de.lng", "Deutsch", {{9, u"Verlauf"}});
  root.Add("terminal_d.lng", "Short", {});
  root.Add("terminal_deu.lng", "Long", {});
  root.Add("terminal-fr.lng", "Dash", {});
  root.Add("terminal_fr.lng.bak", "Backup", {});
  root.Add("xterminal_fr.lng", "Prefix", {});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.LanguageList(), "Deutsch");
  EXPECT_EQ(languages.SelectorItems(), "English|Deutsch");
  EXPECT_EQ(languages.SelectorNames(), (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(languages.LanguageTable(1, 9), u"Verlauf");
  EXPECT_EQ(languages.FontFace(1), "Arial");
}

TEST(Languages, FolderAndFileNamesMatchInAnyLetterCase) {
  DataRoot root("applanguages");
  root.Add("TERMINAL_DE.LNG", "Deutsch", {});
  root.Add("Terminal_Fr.Lng", "Francais", {});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path() + "/");
  EXPECT_EQ(languages.Count(), 2);
}

TEST(Languages, WithoutLanguageFolderOnlyTheBuiltInLanguageExists) {
  testing_support::TestFolder empty;
  lang::Languages languages;
  languages.LoadLanguageFiles(empty.Path());
  EXPECT_EQ(languages.Count(), 0);
  EXPECT_EQ(languages.LanguageList(), "");
  EXPECT_EQ(languages.SelectorItems(), "English");
  EXPECT_EQ(languages.LanguageIndex(), 0);
}

TEST(Languages, TwentyOneFilesGiveTheFirstTwentyInDirectoryOrder) {
  DataRoot root;
  for (int i = 0; i < 21; ++i) {
    std::string code = {static_cast<char>('a' + i), static_cast<char>('a' + i)};
    root.Add("terminal_" + code + ".lng", "Lang " + code, {});
  }
  std::vector<std::string> expected;
  for (const auto& entry : std::filesystem::directory_iterator(root / "AppLanguages")) {
    std::string file = entry.path().filename().string();
    if (expected.size() < 20) expected.push_back("Lang " + file.substr(9, 2));
  }
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 20);
  for (int n = 1; n <= 20; ++n) EXPECT_EQ(languages.Name(n), expected[n - 1]) << n;
}

TEST(Languages, UnreadableMatchIsSkippedWithoutShiftingTheTables) {
  DataRoot root;
  root.Add("terminal_aa.lng", "One", {{1, u"eins"}});
  ASSERT_TRUE(platform::CreateDirectory(root / "AppLanguages/terminal_bb.lng"));
  root.Add("terminal_cc.lng", "Two", {{1, u"zwei"}});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 2);
  for (int n = 1; n <= 2; ++n)
    EXPECT_EQ(languages.LanguageTable(n, 1), languages.Name(n) == "One" ? u"eins" : u"zwei");
}

TEST(Languages, DamagedRecordKeepsTheTextsBeforeIt) {
  DataRoot root;
  root.Add("terminal_de.lng", Header("Deutsch", "Arial", "0", "3") + Record(1, u"eins") +
                                  lang_test::RawRecord(2, 4, 2, 7, "zwei") + Record(3, u"drei"));
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.LanguageTable(1, 1), u"eins");
  EXPECT_FALSE(languages.HasText(1, 2));
  EXPECT_FALSE(languages.HasText(1, 3));
}

TEST(Languages, LaterRecordReplacesAndIdentifiersOutsideTheRangeAreSkipped) {
  DataRoot root;
  root.Add(
      "terminal_de.lng", "Deutsch",
      {{5, u"alt"}, {0, u"null"}, {301, u"zu gross"}, {-1, u"negativ"}, {5, u"neu"}, {300, u"x"}});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  EXPECT_EQ(languages.LanguageTable(1, 5), u"neu");
  EXPECT_EQ(languages.LanguageTable(1, 300), u"x");
  EXPECT_FALSE(languages.HasText(1, 0));
  EXPECT_FALSE(languages.HasText(1, 301));
  EXPECT_EQ(languages.LanguageTable(1, 301), u"");
  EXPECT_EQ(languages.LanguageTable(2, 5), u"");
}

TEST(Languages, ReloadingForgetsTheLanguagesAndTheSelection) {
  DataRoot root;
  root.Add("terminal_de.lng", "Deutsch", {});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_TRUE(languages.Select(1));
  testing_support::TestFolder empty;
  languages.LoadLanguageFiles(empty.Path());
  EXPECT_EQ(languages.Count(), 0);
  EXPECT_EQ(languages.LanguageIndex(), 0);
}

TEST(Languages, SelectRefusesLanguagesThatAreNotLoaded) {
  DataRoot root;
  root.Add("terminal_de.lng", "Deutsch", {});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  EXPECT_TRUE(languages.Select(1));
  EXPECT_FALSE(languages.Select(2));
  EXPECT_FALSE(languages.Select(-1));
  EXPECT_EQ(languages.LanguageIndex(), 1);
  EXPECT_TRUE(languages.Select(0));
  EXPECT_EQ(languages.LanguageIndex(), 0);
}

// Two languages whose texts exercise every kind of caption.
class Captions : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.Add("terminal_de.lng", "Deutsch",
              {{4, u"Befehle eingeben:"},
               {9, u"Verlauf//+5B"},
               {14, u"Abbruch mit ESC\r\nbitte//-4"},
               {20, u""},
               {21, u"//B"},
               {40, u"Ger\u00e4t \u4E0D\U0001F600"}});
    languages_.LoadLanguageFiles(root_.Path());
    ASSERT_EQ(languages_.Count(), 1);
  }
  DataRoot root_;
  lang::Languages languages_;
};

TEST_F(Captions, BuiltInLanguageShowsTheTextBeforeTheSlashes) {
  lang::CaptionText c = languages_.Caption("History//9");
  EXPECT_FALSE(c.translated);
  EXPECT_EQ(c.text, "History");
  EXPECT_EQ(c.captionId, 9);
}

TEST_F(Captions, TranslatedCaptionsCarryTextSizeAndWeight) {
  ASSERT_TRUE(languages_.Select(1));
  struct Case {
    const char* caption;
    const char* text;
    int points;
    bool bold;
  };
  const std::vector<Case> cases = {
      {"History//9", "Verlauf", 20, true},
      {"Enter Commands below:// 4", "Befehle eingeben:", 11, false},
      {"Press: ESC to Abort//14", "Abbruch mit ESC\r\nbitte", 7, false},
      {"OK//20", "", 11, false},  // the file holds an empty text: nothing is drawn
      {"Function Key Current Values//21", "", 11, true},
      {"Device Not Available!//40", "Ger\xC3\xA4t \xE4\xB8\x8D\xF0\x9F\x98\x80", 11, false},
  };
  for (const Case& c : cases) {
    lang::CaptionText caption = languages_.Caption(c.caption);
    EXPECT_TRUE(caption.translated) << c.caption;
    EXPECT_EQ(caption.text, c.text) << c.caption;
    EXPECT_EQ(caption.points, c.points) << c.caption;
    EXPECT_EQ(caption.points, lang::SizePoints(caption.sizeIndex)) << c.caption;
    EXPECT_EQ(caption.bold, c.bold) << c.caption;
  }
}

TEST_F(Captions, CaptionsTheLanguageCannotTranslateKeepTheirOwnText) {
  ASSERT_TRUE(languages_.Select(1));
  for (const char* caption : {"Clear History//10", "Beyond//301", "Plain text", "Text//x"}) {
    lang::CaptionText c = languages_.Caption(caption);
    EXPECT_FALSE(c.translated) << caption;
    std::string expected = caption;
    lang::SplitCaptionId(expected);
    EXPECT_EQ(c.text, expected) << caption;
  }
}

TEST_F(Captions, FontsCoverEveryUsedSizeNormalAndBold) {
  // Sizes used: 4 (no marker, also for "//B"), 9 ("+5B") and 0 ("-4").
  std::vector<lang::LanguageFont> fonts = languages_.Fonts(1, 96);
  ASSERT_EQ(fonts.size(), 6u);
  const int sizes[] = {0, 0, 4, 4, 9, 9};
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    EXPECT_EQ(fonts[i].sizeIndex, sizes[i]) << i;
    EXPECT_EQ(fonts[i].bold, i % 2 == 1) << i;
    EXPECT_EQ(fonts[i].font.face, "Arial");
    EXPECT_EQ(fonts[i].font.weight, fonts[i].bold ? 700 : 400);
    EXPECT_EQ(fonts[i].font.pitch, 2);
  }
  EXPECT_EQ(fonts[4].font.height, -27);  // 20 points at 96 dots per inch
  EXPECT_EQ(fonts[4].font.points, 20);
  EXPECT_TRUE(languages_.Fonts(0, 96).empty());
  EXPECT_TRUE(languages_.Fonts(2, 96).empty());
}

TEST(Languages, FontsUseTheFilesFaceAndCharacterSet) {
  DataRoot root;
  root.Add("terminal_gr.lng", LanguageBytes("Greek", {{1, u"x"}}, "Tahoma", "161"));
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  lang::FontDescription font = languages.Font(1, 4, true, 96);
  EXPECT_EQ(font.face, "Tahoma");
  EXPECT_EQ(font.characterSet, 161);
  EXPECT_EQ(font.weight, 700);
  EXPECT_EQ(font.height, -15);
}

class Choice : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.Add("terminal_aa.lng", "Deutsch", {});
    root_.Add("terminal_bb.lng", "Francais", {});
    languages_.LoadLanguageFiles(root_.Path());
    ASSERT_EQ(languages_.Count(), 2);
  }
  int IndexOf(const std::string& name) const {
    for (int n = 1; n <= languages_.Count(); ++n)
      if (languages_.Name(n) == name) return n;
    return -1;
  }
  DataRoot root_;
  lang::Languages languages_;
};

TEST_F(Choice, LangIniNamesTheLanguageInAnyLetterCase) {
  struct Case {
    std::string content;
    std::string language;  // "" for the built-in one
  };
  const std::vector<Case> cases = {
      {"Deutsch", "Deutsch"},
      {"deutsch", "Deutsch"},
      {"FRANCAIS", "Francais"},
      {"  Francais  ", "Francais"},
      {"Deutsch\r\n", "Deutsch"},
      {"english", ""},
      {"English", ""},
      {"", ""},
      {"Klingon", ""},
      {"Deutsch Francais", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::WriteFileAtomic(root_ / "lang.ini", c.content));
    int expected = c.language.empty() ? 0 : IndexOf(c.language);
    EXPECT_EQ(languages_.ReadLanguageChoice(root_.Path()), expected) << c.content;
  }
  EXPECT_EQ(languages_.LanguageIndex(), 0);  // reading does not select
}

TEST_F(Choice, MissingLangIniOrNoLanguagesGiveTheBuiltInLanguage) {
  EXPECT_EQ(languages_.ReadLanguageChoice(root_.Path()), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(root_ / "lang.ini", "Deutsch"));
  lang::Languages none;
  EXPECT_EQ(none.ReadLanguageChoice(root_.Path()), 0);
}

TEST_F(Choice, StoredChoiceIsTheNameWithoutLineEnd) {
  int francais = IndexOf("Francais");
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), francais));
  EXPECT_EQ(root_.Choice(), "Francais");
  EXPECT_EQ(languages_.ReadLanguageChoice(root_.Path()), francais);
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), IndexOf("Deutsch")));
  EXPECT_EQ(root_.Choice(), "Deutsch");
}

TEST_F(Choice, ChoosingEnglishDeletesLangIni) {
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), 1));
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), 0));
  EXPECT_FALSE(platform::FileExists(root_ / "lang.ini"));
  EXPECT_TRUE(languages_.StoreLanguageChoice(root_.Path(), 0));  // nothing to delete
}

TEST_F(Choice, LangIniFromAWindowsCopyIsReplacedNotDoubled) {
  ASSERT_TRUE(platform::WriteFileAtomic(root_ / "LANG.INI", "Deutsch"));
  EXPECT_EQ(languages_.ReadLanguageChoice(root_.Path()), IndexOf("Deutsch"));
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), IndexOf("Francais")));
  std::string content;
  ASSERT_TRUE(platform::ReadFile(root_ / "LANG.INI", content));
  EXPECT_EQ(content, "Francais");
  EXPECT_FALSE(platform::FileExists(root_ / "lang.ini"));
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), 0));
  EXPECT_FALSE(platform::FileExists(root_ / "LANG.INI"));
}

TEST_F(Choice, UnknownIndexOrFailedWriteLeavesTheStoredChoice) {
  ASSERT_TRUE(languages_.StoreLanguageChoice(root_.Path(), 1));
  std::string before = root_.Choice();
  std::string error;
  EXPECT_FALSE(languages_.StoreLanguageChoice(root_.Path(), 3, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(root_.Choice(), before);
  error.clear();
  EXPECT_FALSE(languages_.StoreLanguageChoice(root_ / "missing", 1, &error));
  EXPECT_FALSE(error.empty());
}

TEST(Languages, LanguageWithoutNameStoresNoChoice) {
  DataRoot root;
  root.Add("terminal_xx.lng", std::string(10, 'x'));  // shorter than a header: no name
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.SelectorItems(), "English|");
  ASSERT_TRUE(platform::WriteFileAtomic(root / "lang.ini", "old"));
  EXPECT_TRUE(languages.StoreLanguageChoice(root.Path(), 1));
  EXPECT_FALSE(platform::FileExists(root / "lang.ini"));
}

TEST(Languages, BarInANameDoesNotShiftTheSelectorEntries) {
  DataRoot root;
  root.Add("terminal_aa.lng", "A|B", {});
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  EXPECT_EQ(languages.SelectorItems(), "English|A/B");
  EXPECT_EQ(languages.Name(1), "A|B");
  ASSERT_TRUE(languages.StoreLanguageChoice(root.Path(), 1));
  EXPECT_EQ(languages.ReadLanguageChoice(root.Path()), 1);
}

}  // namespace

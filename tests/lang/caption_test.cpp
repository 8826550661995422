#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "lang/languages.h"

namespace {

TEST(SplitCaptionId, CutsAtTheFirstDoubleSlashAndReadsLeadingDigits) {
  struct Case {
    const char* caption;
    const char* text;
    int id;
  };
  const std::vector<Case> cases = {
      {"History//9", "History", 9},
      {"Clear Terminal Display// 1", "Clear Terminal Display", 1},
      {"Enter Commands below:// 4", "Enter Commands below:", 4},
      {"Text // 7 ", "Text ", 7},  // the text before the slashes is not trimmed
      {"//20", "", 20},
      {"No identifier", "No identifier", 0},
      {"One / slash", "One / slash", 0},
      {"Text//", "Text", 0},
      {"Text//x5", "Text", 0},
      {"Text//12ab", "Text", 12},
      {"Text//1 2", "Text", 1},
      {"Text//-3", "Text", 0},
      {"Text//+3", "Text", 0},
      {"Text//0", "Text", 0},
      {"A//5//6", "A", 5},
      {"http://host", "http:", 0},
      {"Big//99999999999999", "Big", INT_MAX},
  };
  for (const Case& c : cases) {
    std::string caption = c.caption;
    EXPECT_EQ(lang::SplitCaptionId(caption), c.id) << c.caption;
    EXPECT_EQ(caption, c.text) << c.caption;
  }
}

TEST(SplitModifiers, ReadsOneSizeMarkerAndBoldInAnyOrder) {
  struct Case {
    std::u16string text;
    std::u16string drawn;
    int sizeIndex;
    bool bold;
  };
  const std::vector<Case> cases = {
      {u"Verlauf//+2B", u"Verlauf", 6, true},
      {u"Verlauf//B+2", u"Verlauf", 6, true},
      {u"Verlauf", u"Verlauf", 4, false},
      {u"Verlauf//", u"Verlauf", 4, false},
      {u"X//B", u"X", 4, true},
      {u"X//b", u"X", 4, false},
      {u"X//-4", u"X", 0, false},
      {u"X//-3", u"X", 1, false},
      {u"X//-2", u"X", 2, false},
      {u"X//-1", u"X", 3, false},
      {u"X//+1", u"X", 5, false},
      {u"X//+5B", u"X", 9, true},
      {u"X//+6", u"X", 10, false},
      {u"X//+7", u"X", 4, false},
      {u"X//-5", u"X", 4, false},
      {u"X//+0", u"X", 4, false},
      {u"X// B +3", u"X", 7, true},
      {u"A//B//+1", u"A", 5, true},
      {u"//+1", u"", 5, false},
  };
  for (const Case& c : cases) {
    lang::TextModifiers modifiers;
    EXPECT_EQ(lang::SplitModifiers(c.text, &modifiers), c.drawn) << lang::ToUtf8(c.text);
    EXPECT_EQ(modifiers.sizeIndex, c.sizeIndex) << lang::ToUtf8(c.text);
    EXPECT_EQ(modifiers.bold, c.bold) << lang::ToUtf8(c.text);
  }
}

TEST(SizePoints, ElevenSizesAndNormalOutsideThem) {
  const int points[] = {7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 26};
  for (int i = 0; i < lang::kSizeCount; ++i) EXPECT_EQ(lang::SizePoints(i), points[i]) << i;
  EXPECT_EQ(lang::SizePoints(-1), 11);
  EXPECT_EQ(lang::SizePoints(11), 11);
}

TEST(ToUtf8, ConvertsEveryPlaneAndReplacesLoneSurrogates) {
  struct Case {
    std::u16string text;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {u"", ""},
      {u"OK", "OK"},
      {u"Grüße",
       "Gr\xC3\xBC\xC3\x9F"
       "e"},
      {u"\u4E2D", "\xE4\xB8\xAD"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},
      {std::u16string(1, u'\xDE00') + u"a",
       "\xEF\xBF\xBD"
       "a"},
      {std::u16string{u'\xD83D', u'a'},
       "\xEF\xBF\xBD"
       "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(lang::ToUtf8(c.text), c.utf8);
}

TEST(DescribeFont, StyleLettersSetWeightStyleCharsetQualityAndPitch) {
  struct Case {
    const char* style;
    int weight;
    bool italic, underline, strikeOut;
    int charset, quality, pitch;
  };
  const std::vector<Case> cases = {
      {"", 400, false, false, false, 5, 1, 0},
      {"V", 400, false, false, false, 5, 1, 2},
      {"VB", 700, false, false, false, 5, 1, 2},
      {" L+V", 400, false, false, false, 5, 1, 2},
      {"L+OF", 400, false, false, false, 255, 1, 1},
      {"IBV", 700, true, false, false, 5, 1, 2},
      {"XV", 900, false, false, false, 5, 1, 2},
      {"BT", 700, false, false, false, 5, 1, 0},  // "B" is tested after "T"
      {"XT+", 1000, false, false, false, 5, 1, 0},
      {"M", 500, false, false, false, 5, 1, 0},
      {"u-i", 400, true, true, true, 5, 1, 0},  // letter case is ignored
      {"SD", 400, false, false, false, 2, 1, 0},
      {"OSD", 400, false, false, false, 255, 1, 0},
      {"AQ", 400, false, false, false, 5, 4, 0},
      {"Q", 400, false, false, false, 5, 2, 0},
      {"VF", 400, false, false, false, 5, 1, 2},
  };
  for (const Case& c : cases) {
    lang::FontDescription font = lang::DescribeFont("Arial", 5, 11, c.style, 96);
    EXPECT_EQ(font.face, "Arial");
    EXPECT_EQ(font.weight, c.weight) << c.style;
    EXPECT_EQ(font.italic, c.italic) << c.style;
    EXPECT_EQ(font.underline, c.underline) << c.style;
    EXPECT_EQ(font.strikeOut, c.strikeOut) << c.style;
    EXPECT_EQ(font.characterSet, c.charset) << c.style;
    EXPECT_EQ(font.quality, c.quality) << c.style;
    EXPECT_EQ(font.pitch, c.pitch) << c.style;
  }
}

TEST(DescribeFont, HeightFollowsPointsAndDotsPerInch) {
  struct Case {
    double points;
    int dpi;
    int height;
  };
  const std::vector<Case> cases = {
      {11, 96, -15},  // 96 * 1100 / 72 = 1466.7 -> 1467 -> 14.67 -> 15
      {20, 96, -27},   {26, 96, -35},  {7, 96, -9},
      {10, 72, -10},   {13, 120, -22}, {14.5, 72, -14},  // 14.5 rounds to the even 14
      {15.5, 72, -16}, {11, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lang::DescribeFont("Arial", 0, c.points, "V", c.dpi).height, c.height)
        << c.points << " pt at " << c.dpi;
}

}  // namespace

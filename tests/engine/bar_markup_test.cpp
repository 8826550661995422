#include "engine/bar_markup.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

namespace engine {

bool operator==(const BarSegment& a, const BarSegment& b) {
  return a.left == b.left && a.right == b.right && a.firstColour == b.firstColour &&
         a.secondColour == b.secondColour && a.useControlColours == b.useControlColours;
}

void PrintTo(const BarSegment& s, std::ostream* os) {
  *os << "[" << s.left << ".." << s.right << " " << s.firstColour << "->" << s.secondColour
      << (s.useControlColours ? " control" : "") << "]";
}

}  // namespace engine

namespace {

using engine::BarSegment;
using engine::LayoutBar;

BarSegment Seg(int left, int right, int first, int second) {
  return BarSegment{left, right, first, second, false};
}

constexpr int kRed1 = 4, kRed2 = 20, kGreen1 = 2, kGreen2 = 10, kBlue1 = 9, kBlue2 = 17;

TEST(LayoutBar, DrawsSegmentsSideBySide) {
  struct Case {
    const char* name;
    std::string markup;
    int width;
    std::vector<BarSegment> segments;
  } cases[] = {
      {"red and green",
       "60%RED|40%GREEN",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kGreen1, kGreen2)}},
      {"all green", "100%GREEN", 200, {Seg(0, 199, kGreen1, kGreen2)}},
      {"a share past 100 is dropped", "60%RED|60%GREEN", 200, {Seg(0, 119, kRed1, kRed2)}},
      {"a later smaller share still fits",
       "60%RED|60%GREEN|40%BLUE",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kBlue1, kBlue2)}},
      {"skip keeps its space", "50%SKIP|50%BLUE", 200, {Seg(100, 199, kBlue1, kBlue2)}},
      {"unknown names keep their space", "50%MAUVE|50%BLUE", 200, {Seg(100, 199, kBlue1, kBlue2)}},
      {"commas separate",
       "60%RED,40%GREEN",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kGreen1, kGreen2)}},
      {"line breaks separate",
       "60%RED\r\n40%GREEN",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kGreen1, kGreen2)}},
      {"a lone LF is ignored",
       "60%RE\nD|40%GREEN",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kGreen1, kGreen2)}},
      {"blanks and case do not matter",
       " 6 0 % r e d | 40%green ",
       200,
       {Seg(0, 119, kRed1, kRed2), Seg(120, 199, kGreen1, kGreen2)}},
      {"widths round up and the end is capped",
       "33%RED|33%GREEN|34%BLUE",
       10,
       {Seg(0, 3, kRed1, kRed2), Seg(4, 7, kGreen1, kGreen2), Seg(8, 10, kBlue1, kBlue2)}},
      {"fractional shares", "12.5%RED", 80, {Seg(0, 9, kRed1, kRed2)}},
      {"no percent sign", "60RED|40%GREEN", 200, {Seg(0, 79, kGreen1, kGreen2)}},
      {"zero and negative shares", "0%RED|-10%RED|50%GREEN", 100, {Seg(0, 49, kGreen1, kGreen2)}},
      {"no number", "%RED|abc%RED", 100, {}},
      {"empty segments", "||,,60%RED", 100, {Seg(0, 59, kRed1, kRed2)}},
      {"empty markup", "", 100, {}},
      {"zero width", "100%RED", 0, {}},
      {"negative width", "100%RED", -5, {}},
      {"delay bar",
       "37%RED|63%GREEN",
       150,
       {Seg(0, 55, kRed1, kRed2), Seg(56, 150, kGreen1, kGreen2)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LayoutBar(c.markup, c.width), c.segments) << c.name;
  }
}

TEST(LayoutBar, MapsEveryColourName) {
  struct Case {
    const char* name;
    int first;
    int second;
  } cases[] = {
      {"BLACK", 0, 16},      {"BLUE", 9, 17},      {"GREEN", 2, 10},    {"CYAN", 3, 11},
      {"RED", 4, 20},        {"PURPLE", 5, 13},    {"GOLD", 6, 14},     {"GRAY", 8, 31},
      {"LIGHTBLUE", 17, 25}, {"LIGHTRED", 12, 20}, {"DARKBLUE", 1, 17},
  };
  for (const Case& c : cases) {
    std::vector<BarSegment> s = LayoutBar(std::string("100%") + c.name, 10);
    ASSERT_EQ(s.size(), 1U) << c.name;
    EXPECT_EQ(s[0], Seg(0, 9, c.first, c.second)) << c.name;
  }
  std::vector<BarSegment> def = LayoutBar("50%default|50%RED", 10);
  ASSERT_EQ(def.size(), 2U);
  EXPECT_TRUE(def[0].useControlColours);
  EXPECT_EQ(def[0].left, 0);
  EXPECT_EQ(def[0].right, 4);
  EXPECT_FALSE(def[1].useControlColours);
}

TEST(LayoutBar, TinySharesPastTheEdgeDrawNothing) {
  // Each share rounds up to a whole pixel, so a thousand tiny shares would
  // run past the edge: only those that start inside the bar are drawn.
  std::string markup;
  for (int i = 0; i < 1000; ++i) markup += "0.01%RED|";
  std::vector<BarSegment> s = LayoutBar(markup, 20);
  ASSERT_EQ(s.size(), 21U);
  EXPECT_EQ(s.front(), Seg(0, 0, kRed1, kRed2));
  EXPECT_EQ(s.back(), Seg(20, 20, kRed1, kRed2));
}

TEST(LayoutBar, HugeInputsStayBounded) {
  std::string markup(4 << 20, '|');
  markup += "100%GREEN";
  EXPECT_EQ(LayoutBar(markup, 300), std::vector<BarSegment>{Seg(0, 299, kGreen1, kGreen2)});

  std::string noise(4 << 20, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 37 % 256);
  std::vector<BarSegment> s = LayoutBar(noise, INT_MAX);
  for (const BarSegment& seg : s) EXPECT_LE(seg.left, seg.right);

  EXPECT_EQ(LayoutBar("100%RED", INT_MAX),
            std::vector<BarSegment>{Seg(0, INT_MAX - 1, kRed1, kRed2)});
}

}  // namespace

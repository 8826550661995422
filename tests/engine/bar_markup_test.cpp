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
using Bar = std::vector<BarSegment>;

const auto Red = [](int left, int right) { return BarSegment{left, right, 4, 20, false}; };
const auto Green = [](int left, int right) { return BarSegment{left, right, 2, 10, false}; };
const auto Blue = [](int left, int right) { return BarSegment{left, right, 9, 17, false}; };

// A share past what is left of 100 is dropped; SKIP and unknown names keep
// their space; "|", "," and CR separate, LF and blanks are ignored; widths
// round up and the right edge is capped; no "%" or no positive share draws
// nothing; DEFAULT draws in the control's own colours.
TEST(LayoutBar, DrawsSegmentsSideBySide) {
  const Bar redGreen = {Red(0, 119), Green(120, 199)};
  const struct {
    std::string markup;
    int width;
    Bar segments;
  } cases[] = {
      {"60%RED|40%GREEN", 200, redGreen},
      {"60%RED|60%GREEN|40%BLUE", 200, {Red(0, 119), Blue(120, 199)}},
      {"50%MAUVE|50%BLUE", 200, {Blue(100, 199)}},
      {"60%RED,40%GREEN", 200, redGreen},
      {"60%RED\r\n40%GREEN", 200, redGreen},
      {" 6 0 % r e\nd | 40%green ", 200, redGreen},
      {"33%RED|33%GREEN|34%BLUE", 10, {Red(0, 3), Green(4, 7), Blue(8, 10)}},
      {"12.5%RED", 80, {Red(0, 9)}},
      {"60RED|40%GREEN", 200, {Green(0, 79)}},
      {"0%RED|-10%RED|50%GREEN", 100, {Green(0, 49)}},
      {"%RED|abc%RED", 100, {}},
      {"||,,60%RED", 100, {Red(0, 59)}},
      {"100%RED", 0, {}},
      {"100%RED", INT_MAX, {Red(0, INT_MAX - 1)}},
      {"50%default|50%LightBlue", 10, {{0, 4, 0, 0, true}, {5, 9, 17, 25, false}}},
  };
  for (const auto& c : cases) EXPECT_EQ(LayoutBar(c.markup, c.width), c.segments) << c.markup;
}

}  // namespace

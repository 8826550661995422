// The one unit-to-pixel rule of the contract.
#include <gtest/gtest.h>

#include <limits>

#include "ui/contract/gui.h"

namespace ui {
namespace {

TEST(Units, OneUnitIsEightBySixteenPixelsAt96DotsPerInchAndScales) {
  const std::tuple<UnitRect, int, PixelRect> cases[] = {
      {{0, 0, 59, 41.25}, 96, {0, 0, 472, 660}},               // the main window
      {{0, 0, 59, 41.25}, 144, {0, 0, 708, 990}},              // one and a half
      {{1.25, 22.5, 56.75, 18.25}, 0, {10, 360, 454, 292}},    // no density: 96
      {{0.0625, 0.03125, 0.0625, 0.03125}, 96, {1, 1, 0, 0}},  // halves away from zero
      {{-0.0625, 0, 1e308, -5}, 96, {-1, 0, std::numeric_limits<int>::max(), 0}}};
  for (const auto& [units, dpi, pixels] : cases)
    EXPECT_EQ(UnitsToPixels(units, dpi), pixels) << units.x << " " << dpi;
  // Edges are rounded, so neighbours stay neighbours at any density.
  for (int dpi : {96, 120, 144, 157}) {
    const PixelRect left = UnitsToPixels({1.3, 0, 2.3, 1}, dpi);
    EXPECT_EQ(left.x + left.width, UnitsToPixels({3.6, 0, 1, 1}, dpi).x) << dpi;
  }
  EXPECT_EQ(PixelsToUnitsX(UnitsToPixelsX(27.125, 96), 96), 27.125);
  EXPECT_EQ(PixelsToUnitsY(UnitsToPixelsY(41.25, 96), 96), 41.25);
}

}  // namespace
}  // namespace ui

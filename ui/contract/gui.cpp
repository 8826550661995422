#include "ui/contract/gui.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {
namespace {

// A screen that reports no density is taken at the reference density, so a
// broken report never collapses every control to nothing.
double Scale(int dotsPerInch) {
  return dotsPerInch > 0 ? static_cast<double>(dotsPerInch) / kReferenceDotsPerInch : 1.0;
}

// Rounded to the nearest pixel, halves away from zero; values beyond the
// range of int (a place of 1e308 units) stop at its ends instead of wrapping.
int RoundToPixels(double pixels) {
  if (!(pixels == pixels)) return 0;  // NaN
  constexpr double kMax = std::numeric_limits<int>::max();
  constexpr double kMin = std::numeric_limits<int>::min();
  if (pixels >= kMax) return std::numeric_limits<int>::max();
  if (pixels <= kMin) return std::numeric_limits<int>::min();
  return static_cast<int>(std::lround(pixels));
}

}  // namespace

int UnitsToPixelsX(double units, int dotsPerInch) {
  return RoundToPixels(units * kUnitPixelsX * Scale(dotsPerInch));
}

int UnitsToPixelsY(double units, int dotsPerInch) {
  return RoundToPixels(units * kUnitPixelsY * Scale(dotsPerInch));
}

double PixelsToUnitsX(int pixels, int dotsPerInch) {
  return pixels / (kUnitPixelsX * Scale(dotsPerInch));
}

double PixelsToUnitsY(int pixels, int dotsPerInch) {
  return pixels / (kUnitPixelsY * Scale(dotsPerInch));
}

PixelRect UnitsToPixels(const UnitRect& units, int dotsPerInch) {
  // The edges are rounded, not the sizes, so controls that touch in units
  // touch in pixels: no gap and no overlap of one pixel between them.
  PixelRect r;
  r.x = UnitsToPixelsX(units.x, dotsPerInch);
  r.y = UnitsToPixelsY(units.y, dotsPerInch);
  const long long right = UnitsToPixelsX(units.x + units.width, dotsPerInch);
  const long long bottom = UnitsToPixelsY(units.y + units.height, dotsPerInch);
  constexpr long long kMax = std::numeric_limits<int>::max();
  r.width = static_cast<int>(std::clamp(right - r.x, 0LL, kMax));
  r.height = static_cast<int>(std::clamp(bottom - r.y, 0LL, kMax));
  return r;
}

}  // namespace ui

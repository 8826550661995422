// Stand-in for the contract library's unit rule until it lands.
#include <cmath>

#include "app/gui/gui.h"

namespace app::gui {

int UnitsToPixelsX(double units, int dpi) {
  return static_cast<int>(std::lround(units * kUnitPixelsX * dpi / kReferenceDotsPerInch));
}
int UnitsToPixelsY(double units, int dpi) {
  return static_cast<int>(std::lround(units * kUnitPixelsY * dpi / kReferenceDotsPerInch));
}
double PixelsToUnitsX(int pixels, int dpi) {
  return pixels / (kUnitPixelsX * dpi / kReferenceDotsPerInch);
}
double PixelsToUnitsY(int pixels, int dpi) {
  return pixels / (kUnitPixelsY * dpi / kReferenceDotsPerInch);
}
PixelRect UnitsToPixels(const UnitRect& u, int dpi) {
  return {UnitsToPixelsX(u.x, dpi), UnitsToPixelsY(u.y, dpi), UnitsToPixelsX(u.width, dpi),
          UnitsToPixelsY(u.height, dpi)};
}

}  // namespace app::gui

#include "station/display_zoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace app {
namespace {

constexpr std::array<int, 13> kSteps = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

}  // namespace

int DisplayZoom::NearestStep(int percent) {
  return *std::min_element(kSteps.begin(), kSteps.end(), [percent](int a, int b) {
    return std::abs(a - percent) < std::abs(b - percent);
  });
}

bool DisplayZoom::Change(int direction) {
  const int before = percent_;
  const auto at = std::find(kSteps.begin(), kSteps.end(), percent_);
  if (direction == 0) {
    percent_ = 100;
  } else if (direction > 0 && at + 1 < kSteps.end()) {
    percent_ = *(at + 1);
  } else if (direction < 0 && at > kSteps.begin()) {
    percent_ = *(at - 1);
  }
  return percent_ != before;
}

ui::Font DisplayZoom::Zoomed(ui::Font base) const {
  base.pixelHeight =
      std::max(1, static_cast<int>(std::lround(base.pixelHeight * percent_ / 100.0)));
  return base;
}

}  // namespace app

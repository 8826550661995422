#include "station/display_zoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "platform/files.h"
#include "platform/text.h"

namespace app {
namespace {

constexpr std::array<int, 13> kSteps = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

}  // namespace

void DisplayZoom::Load() {
  percent_ = 100;
  std::string text;
  if (!platform::FileExists(path_) || !platform::ReadFile(path_, text)) return;
  for (const platform::SettingLine& line : platform::SettingLines(text)) {
    if (line.name != "ZOOM") continue;
    const std::optional<int> value = platform::ReadWholeNumber(line.value);
    if (!value || *value <= 0) continue;
    percent_ = *std::min_element(kSteps.begin(), kSteps.end(), [&](int a, int b) {
      return std::abs(a - *value) < std::abs(b - *value);
    });
  }
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

platform::Result<> DisplayZoom::Save() const {
  return platform::WriteFileAtomic(
      path_, "# The display's zoom in percent (Ctrl+plus, Ctrl+minus, Ctrl+0)\r\nZOOM=" +
                 std::to_string(percent_) + "\r\n");
}

}  // namespace app

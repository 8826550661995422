// Lays out arbitrary bar markup on widths chosen by the first two bytes and
// checks that every drawn segment lies inside the bar, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/bar_markup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int width = static_cast<int>(data[0]) * 256 + data[1] - 1000;
  const std::string_view markup(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::vector<engine::BarSegment> segments = engine::LayoutBar(markup, width);
  int previous = -1;
  for (const engine::BarSegment& s : segments) {
    if (s.left > s.right || s.left <= previous || s.right > width || s.left < 0) std::abort();
    previous = s.right;
  }
  return 0;
}

// The bar markup: a bar control's text is a list of segments such as
// "60%RED|40%GREEN", each a percentage and a colour name, drawn side by side.
#pragma once

#include <string_view>
#include <vector>

namespace engine {

// What one drawn segment fills: pixels [left, right] of the bar, from the
// first palette colour to the second. `useControlColours` means DEFAULT: the
// control's own two colours in reverse order.
struct BarSegment {
  int left = 0;
  int right = 0;
  int firstColour = 0;
  int secondColour = 0;
  bool useControlColours = false;
};

// Lays out `markup` on a bar `width` pixels wide. Segments are separated by
// "|", "," or CR; LF and blanks are ignored and names are case-insensitive.
// Each takes ceil(width x percentage / 100) pixels from where the previous
// one ended, its right edge capped at `width`. Segments that draw nothing
// (SKIP, unknown names, no "%", percentages that are not positive or do not
// fit in what is left of 100) take no entry, though SKIP and unknown names
// keep their space; nor does a segment that starts past the right edge.
std::vector<BarSegment> LayoutBar(std::string_view markup, int width);

}  // namespace engine

#include "engine/bar_markup.h"

#include <cmath>
#include <cstddef>
#include <string>

#include "platform/text.h"

namespace engine {
namespace {

struct BarColour {
  std::string_view name;
  int first;
  int second;
};

// Palette entries of each colour name, drawn as a gradient from first to
// second. DEFAULT and SKIP are handled apart.
constexpr BarColour kColours[] = {
    {"BLACK", 0, 16},      {"BLUE", 9, 17},      {"GREEN", 2, 10},    {"CYAN", 3, 11},
    {"RED", 4, 20},        {"PURPLE", 5, 13},    {"GOLD", 6, 14},     {"GRAY", 8, 31},
    {"LIGHTBLUE", 17, 25}, {"LIGHTRED", 12, 20}, {"DARKBLUE", 1, 17},
};

// A segment as the bar reads it: upper case, every blank and LF removed
// (which also trims it).
std::string Normalise(std::string_view segment) {
  std::string out;
  out.reserve(segment.size());
  for (char c : segment) {
    if (c != ' ' && c != '\n') out.push_back(platform::ToUpperAscii(c));
  }
  return out;
}

// Fills `segment` with the colours of `name`; false when the name draws
// nothing (SKIP or a name outside the table).
bool ColoursOf(std::string_view name, BarSegment& segment) {
  if (name == "DEFAULT") {
    segment.useControlColours = true;
    return true;
  }
  for (const BarColour& colour : kColours) {
    if (colour.name == name) {
      segment.firstColour = colour.first;
      segment.secondColour = colour.second;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<BarSegment> LayoutBar(std::string_view markup, int width) {
  std::vector<BarSegment> segments;
  long long x = 0;  // wide enough for x + w on a bar of INT_MAX pixels
  float remaining = 100.0f;
  // "|", "," and CR end a segment; LF is ignored wherever it stands.
  platform::FieldWalker pieces(markup, "|,\r");
  while (!pieces.Done()) {
    const std::string_view raw = pieces.Next();
    if (raw.find('%') == std::string_view::npos) continue;  // draws nothing, takes no space

    const std::string segment = Normalise(raw);
    const std::size_t percent = segment.find('%');
    const auto share =
        static_cast<float>(platform::ReadDecimal(std::string_view(segment).substr(0, percent)));
    // Written so that a share that is not a number is skipped too.
    if (!(share > 0.0f) || share > remaining) continue;
    remaining -= share;

    const double pixels = std::ceil(static_cast<double>(width) * share / 100.0);
    if (!(pixels > 0.0)) continue;
    const auto w = static_cast<long long>(pixels);  // at most `width`, since share <= 100
    const long long left = x;
    long long right = x + w - 1;
    if (right > width) right = width;
    x = right + 1;

    // A segment that starts past the right edge has nothing left to draw.
    if (left > right) continue;
    BarSegment drawn;
    drawn.left = static_cast<int>(left);
    drawn.right = static_cast<int>(right);
    if (ColoursOf(std::string_view(segment).substr(percent + 1), drawn)) {
      segments.push_back(drawn);
    }
  }
  return segments;
}

}  // namespace engine

#include "ui/look/palette.h"

#include <algorithm>
#include <cmath>

namespace ui::look {
namespace {

// The bar markup pairs each name with two of these (first at the top of the
// gradient, second at the bottom): BLACK 0/16, BLUE 9/17, GREEN 2/10, CYAN
// 3/11, RED 4/20, PURPLE 5/13, GOLD 6/14, GRAY 8/31, LIGHTBLUE 17/25,
// LIGHTRED 12/20, DARKBLUE 1/17. The second colour of a pair is the lighter
// one, so every bar reads as lit from below.
constexpr ui::Rgb kPalette[kPaletteColours] = {
    {0, 0, 0},        // 0 black
    {0, 0, 128},      // 1 dark blue
    {0, 160, 0},      // 2 green
    {0, 170, 190},    // 3 cyan
    {220, 0, 0},      // 4 red
    {128, 0, 160},    // 5 purple
    {200, 150, 0},    // 6 gold
    {192, 192, 192},  // 7 light grey
    {128, 128, 128},  // 8 grey
    {0, 90, 230},     // 9 blue
    {120, 230, 120},  // 10 light green
    {150, 240, 250},  // 11 light cyan
    {250, 90, 90},    // 12 light red
    {200, 140, 230},  // 13 light purple
    {255, 230, 130},  // 14 light gold
    {255, 255, 255},  // 15 white
    {64, 64, 64},     // 16 dark grey
    {110, 170, 255},  // 17 light blue
    {190, 240, 190},  // 18 pale green
    {200, 225, 255},  // 19 pale blue
    {255, 160, 160},  // 20 rose
    {255, 210, 160},  // 21 light orange
    {205, 235, 245},  // 22 pale cyan
    {190, 205, 225},  // 23 steel
    {255, 250, 205},  // 24 pale yellow
    {165, 190, 255},  // 25 sky
    {215, 245, 215},  // 26 mint
    {255, 220, 230},  // 27 pale pink
    {235, 220, 190},  // 28 sand
    {128, 128, 0},    // 29 olive
    {0, 128, 128},    // 30 teal
    {224, 224, 224},  // 31 silver
};

constexpr int kSystemButtonFace = 15;
constexpr int kSystemWindow = 5;

std::uint8_t Channel(int from, int to, double share) {
  return static_cast<std::uint8_t>(std::lround(from + (to - from) * share));
}

}  // namespace

ui::Rgb PaletteColour(int number) {
  return number >= 0 && number < kPaletteColours ? kPalette[number] : ui::Rgb{};
}

ui::Rgb SystemColour(int systemColour) {
  switch (systemColour) {
    case 4:
      return {240, 240, 240};
    case 15:
      return {225, 225, 225};
    case 24:
      return {255, 255, 225};
    default:
      return {255, 255, 255};
  }
}

ui::Rgb Mix(ui::Rgb from, ui::Rgb to, double share) {
  share = std::clamp(share, 0.0, 1.0);
  return {Channel(from.red, to.red, share), Channel(from.green, to.green, share),
          Channel(from.blue, to.blue, share)};
}

Palette::Palette() {
  for (int n = 0; n < kColourSlots; ++n) slots_[n] = PaletteColour(n);
}

void Palette::Define(int slot, ui::Rgb colour) {
  if (slot >= kPaletteColours && slot < kColourSlots) slots_[slot] = colour;
}

ui::Rgb Palette::Colour(int number, ui::ControlKind kind, ColourRole role) const {
  if (number >= 0 && number < kColourSlots) return slots_[number];
  using Kind = ui::ControlKind;
  if (role == ColourRole::Text) {
    return kind == Kind::SegmentBar ? SystemColour(kSystemWindow) : ui::Rgb{};
  }
  if (kind == Kind::Button || kind == Kind::SegmentBar) return SystemColour(kSystemButtonFace);
  return SystemColour(kSystemWindow);
}

}  // namespace ui::look

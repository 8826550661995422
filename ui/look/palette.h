// The colours of the application's painters: the palette 0..31 (our own
// values, named as the bar markup names them: RED is red, GOLD gold ...),
// the slots 32..43 the application defines at start-up, and what -1 means
// for each control kind.
#pragma once

#include "ui/contract/gui.h"

namespace ui::look {

inline constexpr int kPaletteColours = 32;  // 0..31, fixed
inline constexpr int kColourSlots = 44;     // 0..43: the palette and the defined slots

// Palette colour 0..31; any other number gives black.
ui::Rgb PaletteColour(int number);

// What a desktop usually shows for the system colours the application uses
// (4 menu background, 5 window background, 15 button face, 24 tooltip
// background; others: window background). The painters use these for slots
// that follow the desktop.
ui::Rgb SystemColour(int systemColour);

// `share` (0..1) of `to` mixed into `from`, per channel, rounded.
ui::Rgb Mix(ui::Rgb from, ui::Rgb to, double share);

enum class ColourRole { Text, Back };

// The colour table the painters draw with, as the backend got it.
class Palette {
 public:
  // 0..31 the palette; 32..43 black until defined.
  Palette();
  // Slot 32..43 (other slots are ignored).
  void Define(int slot, ui::Rgb colour);
  void DefineSystem(int slot, int systemColour) { Define(slot, SystemColour(systemColour)); }

  // The colour `number` for a control kind and role. -1 (or any number
  // outside 0..43) is the kind's default:
  //   text of a segment bar (its first)   white
  //   text of every other kind            black
  //   back of a button or segment bar     the button face (system colour 15)
  //   back of a label and everything else the window background (5)
  ui::Rgb Colour(int number, ui::ControlKind kind, ColourRole role) const;

 private:
  ui::Rgb slots_[kColourSlots];
};

}  // namespace ui::look

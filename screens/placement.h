// Where the windows go: a script places or sizes the main window with
// [RESIZEAPP] and a few words; every dialog sits over the lower part of the
// main window. Everything goes through the GUI contract in its character
// units; the screen's work area and frame metrics come from Gui::Screen().
//
// Where a program cannot place its own windows (ScreenInfo::canPlaceWindows
// false, a Wayland session) sizes and maximising still apply; positions are
// left to the desktop.
#pragma once

#include <string>
#include <string_view>

#include "ui/contract/gui.h"

namespace app {

// The words of a placement text, found anywhere in it without regard to
// letter case: at most one side (LEFT wins over CENTER, CENTER over RIGHT)
// and MAX, independent of the side. "left right" is LEFT; "MAXIMUM" holds
// MAX; a text with none of the words (or no letters at all) has none.
struct PlacementWords {
  enum class Side { None, Left, Centre, Right };
  Side side = Side::None;
  bool max = false;
  bool operator==(const PlacementWords&) const = default;
};

PlacementWords ReadPlacementWords(std::string_view text);

// The main window's new place (outer frame position, client size, in units)
// for `words` other than MAX alone, from its `current` place, the reference
// size and the screen:
//   width and height are the reference size;
//   MAX: the window's top at the top of the work area and its height all
//        the work area leaves below the frame;
//   LEFT, CENTER, RIGHT: its outer frame at the work area's left edge, in
//        its middle, or at its right edge;
//   otherwise x and y stay as they are.
// Desktop panels lie outside the work area, so nothing goes under them.
ui::UnitRect MainWindowPlace(const PlacementWords& words, const ui::UnitRect& current,
                             double referenceWidth, double referenceHeight,
                             const ui::ScreenInfo& screen);

class WindowPlacement {
 public:
  // [RESIZEAPP]: places `form` by the words of `text`. The first call of the
  // run takes the window's size then as the reference size for the whole
  // run (so the size the operator gave it before the first call counts).
  // MAX alone maximises the window; any other text gives it the reference
  // size at the place MainWindowPlace computes. Texts of any length are
  // read whole.
  void PlaceMainWindow(ui::Gui& gui, const std::string& form, std::string_view text);

 private:
  bool referenceTaken_ = false;
  double referenceWidth_ = 0, referenceHeight_ = 0;
};

// Moves a dialog that has loaded over the lower part of `mainForm`: its own
// x (the backend centres dialogs over their owner), its outer top a quarter
// unit above the main window's client bottom less its own client height
// (y = main y + main client height - dialog client height - 0.25), so it
// covers the lower part of the main window and ends just above its bottom
// edge, also where the backend drew either smaller to fit the screen.
// Nothing happens when either form is not loaded.
void PlaceDialog(ui::Gui& gui, const std::string& dialog, const std::string& mainForm);

}  // namespace app

// Where controls go: the one rule that moves and sizes a control when its
// form is resized, and the stacking policy of overlapping controls.
#pragma once

#include "ui/contract/gui.h"

namespace ui::look {

// The place of a control created at `creation` (units, relative to the
// client area) on a form whose client size went from `formCreation` to
// `formNow` (only width and height are read). Per axis, Near keeps place and
// size, Far moves by the form's growth, Stretch grows by it; a stretched
// control never gets a negative size.
ui::UnitRect ApplyResize(const ui::UnitRect& creation, const ui::ResizeRule& rule,
                         const ui::UnitRect& formCreation, const ui::UnitRect& formNow);

// The stacking policy, set on a control before its form is created: the
// control created first lies on top; shapes lie below every other control;
// labels, shapes and segment bars take no clicks (they reach what lies under
// them). A segment bar is raised when it is shown (Gui::Raise), which is the
// application's part.
void ApplyStacking(ui::ControlSpec& control);

// How small a form may be drawn to fit its screen, as a share of its size
// on a 96 dots-per-inch screen without scaling: below two thirds the
// form tables' smallest fonts are no longer readable.
inline constexpr double kSmallestFit = 0.66;

// A form's fit to the screen it is on.
struct FormFit {
  int dotsPerInch = ui::kReferenceDotsPerInch;  // the form's units drawn at this density
  int clientWidth = 0, clientHeight = 0;        // its client size, pixels
  bool scrolls = false;                         // drawn at the floor, larger than the screen
};

// The density at which a form of `units` (client size) fits, with its
// frame, into `workArea`, and its client size then. A form that fits at
// `dotsPerInch` keeps it; a larger one is drawn smaller by one factor for
// geometry and fonts, but never below kSmallestFit of its size at 96 dots
// per inch on an unscaled screen (`pixelRatio` is the screen's device
// pixels per pixel); at that floor its client size is what the work area
// leaves and its content scrolls.
FormFit FitForm(const ui::UnitRect& units, int dotsPerInch, double pixelRatio, int frameWidth,
                int frameHeight, const ui::PixelRect& workArea);

}  // namespace ui::look

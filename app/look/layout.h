// Where controls go: the one rule that moves and sizes a control when its
// form is resized, and the stacking policy of overlapping controls.
#pragma once

#include "app/gui/gui.h"

namespace app::look {

// The place of a control created at `creation` (units, relative to the
// client area) on a form whose client size went from `formCreation` to
// `formNow` (only width and height are read). Per axis, Near keeps place and
// size, Far moves by the form's growth, Stretch grows by it; a stretched
// control never gets a negative size.
gui::UnitRect ApplyResize(const gui::UnitRect& creation, const gui::ResizeRule& rule,
                          const gui::UnitRect& formCreation, const gui::UnitRect& formNow);

// The stacking policy, set on a control before its form is created: the
// control created first lies on top; shapes lie below every other control;
// labels, shapes and segment bars take no clicks (they reach what lies under
// them). A segment bar is raised when it is shown (Gui::Raise), which is the
// application's part.
void ApplyStacking(gui::ControlSpec& control);

}  // namespace app::look

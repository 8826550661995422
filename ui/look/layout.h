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

}  // namespace ui::look

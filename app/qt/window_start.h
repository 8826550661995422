// Whether this run can open a window, and the Qt backend when it can. This
// header includes no Qt, so start-up code can use it in any build that
// links the window.
#pragma once

#include <memory>
#include <string>

#include "app/gui/gui.h"

namespace app::qt {

// Why no window can open, in one line for the operator, or "" when one can:
// no display is set ($DISPLAY, $WAYLAND_DISPLAY), the display cannot be
// reached, or Qt's platform plugin for it is not installed. Checked without
// starting Qt, because Qt ends the process when its platform fails.
std::string WhyNoWindow();

// The Qt backend with its own QApplication, or nullptr with `why` set.
std::unique_ptr<gui::Gui> CreateWindowGui(std::string& why);

}  // namespace app::qt

// Whether this run can open a window. The Qt backend itself is made through
// ui::OpenWindowBackend (ui/contract/window.h), which window_start.cpp
// implements for builds with the window.
#pragma once

#include <string>

namespace ui::qt {

// Why no window can open, in one line for the operator, or "" when one can:
// no display is set ($DISPLAY, $WAYLAND_DISPLAY), the display cannot be
// reached, or Qt's platform plugin for it is not installed. Checked without
// starting Qt, because Qt ends the process when its platform fails.
std::string WhyNoWindow();

// The platform Qt is to use: the one $QT_QPA_PLATFORM names, else Wayland
// or X by the display variables ("" when there is none).
std::string ChoosePlatform();

}  // namespace ui::qt

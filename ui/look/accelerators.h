// The accelerator table of a form, as the application writes it: entries
// "KEY,id" joined by "|", e.g. "RETURN,7777|ESC,8888|^F1,9701|F3,8003".
//
// A key is a name with optional prefixes: "^" Ctrl, "+" Shift, "%" Alt.
// Names (any letter case): RETURN or ENTER, ESC or ESCAPE, F1..F12, UP,
// DOWN, LEFT, RIGHT, TAB, SPACE, INSERT, DELETE, HOME, END, PGUP, PGDN,
// BACK, PLUS (the key of "+" and "=", and the keypad's "+"), MINUS (both
// "-" keys), and a single letter or digit. The id is a decimal number. An entry
// with an unknown key, without an id or with an id that is not a number is
// left out; the other entries stay.
#pragma once

#include <string_view>
#include <vector>

#include "ui/contract/gui.h"

namespace ui::look {

// The key codes of PLUS and MINUS (the desktop's virtual key numbers).
inline constexpr int kPlusKey = 187;
inline constexpr int kMinusKey = 189;

std::vector<ui::Accelerator> ParseAccelerators(std::string_view table);

}  // namespace ui::look

// Fonts as the backend creates them, from the descriptions of the language
// layer (face, points, style letters such as " L+V" or "IBV").
#pragma once

#include <string_view>

#include "lang/languages.h"
#include "ui/contract/gui.h"

namespace ui::look {

// The description's height is negative (a character height without
// leading); the backend's font takes it as a positive pixel height, at
// least 1. Fixed pitch is pitch 1.
ui::Font ToGuiFont(const lang::FontDescription& description);

// A font of the program's own, described as the language layer describes
// its fonts, for a screen of `dotsPerInch`.
ui::Font DescribeFont(std::string_view face, double points, std::string_view style,
                      int dotsPerInch);

// The height of a line of text in `font`: the character height and the
// leading a font adds above and below it (a fifth), rounded up. This is
// what the language selector's items are high.
int LineHeight(const ui::Font& font);

}  // namespace ui::look

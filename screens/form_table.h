// Forms written as tables, row by row in the letter codes of their
// descriptions, and turned into the contract's typed forms in one place.
#pragma once

#include <vector>

#include "ui/contract/gui.h"

namespace app {

// A font cell of a table: a numbered slot, or a face with points and style
// letters (" L+V", "IBV").
struct FontCell {
  int slot = -1;
  const char* face = "";
  double points = 0;
  const char* style = "";
};
inline FontCell FontSlot(int slot) {
  return FontCell{slot, "", 0, ""};
}
inline FontCell FontFace(const char* face, double points, const char* style) {
  return FontCell{-1, face, points, style};
}

// One row of a form table: identifier, kind, caption, place (x, y, width,
// height in character units), colours (text, background), font, resize
// codes, style letters, and whether it is owner-drawn or created hidden.
struct ControlRow {
  int id = 0;
  ui::ControlKind kind = ui::ControlKind::Label;
  const char* caption = "";
  double x = 0, y = 0, width = 0, height = 0;
  int textColour = -1, backColour = -1;
  FontCell font;
  const char* resize = "";
  const char* style = "";
  bool ownerDrawn = false;
  bool hidden = false;
};

struct FormRow {
  const char* name = "";
  const char* caption = "";
  double x = 0, y = 0, width = 0, height = 0;
  const char* style = "";
  int textColour = -1, backColour = -1;
  const char* owner = "";
};

// The typed font of a cell for a screen of `dotsPerInch`.
ui::FontRef FontOf(const FontCell& cell, int dotsPerInch);

// The typed form: every code read by ui/look/form_codes.h, fonts described
// for the screen, the stacking policy applied to every control.
ui::FormSpec BuildForm(const FormRow& form, const std::vector<ControlRow>& rows, int dotsPerInch);

// The control of a built form, or nullptr.
const ui::ControlSpec* FindControl(const ui::FormSpec& form, int id);

}  // namespace app

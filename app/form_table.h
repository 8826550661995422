// Helpers for writing forms as tables of controls.
#pragma once

#include <string>

#include "app/gui/gui.h"

namespace app {

inline gui::FontSpec FontSlot(int slot) {
  return gui::FontSpec{slot, {}, 0, {}};
}
inline gui::FontSpec FontFace(const char* face, double points, const char* style) {
  return gui::FontSpec{-1, face, points, style};
}

// One row of a form table: identifier, kind, caption, place (x, y, width,
// height in character units), colours (text, background), font, resize
// rule, style letters, and whether it is owner-drawn or created hidden.
inline gui::ControlSpec ControlRow(int id, gui::ControlKind kind, const char* caption, double x,
                                   double y, double width, double height, int textColour,
                                   int backColour, gui::FontSpec font, const char* resize,
                                   const char* style, bool ownerDrawn = false,
                                   bool hidden = false) {
  gui::ControlSpec c;
  c.id = id;
  c.kind = kind;
  c.caption = caption;
  c.x = x;
  c.y = y;
  c.width = width;
  c.height = height;
  c.textColour = textColour;
  c.backColour = backColour;
  c.font = std::move(font);
  c.resize = resize;
  c.style = style;
  c.ownerDrawn = ownerDrawn;
  c.hidden = hidden;
  return c;
}

}  // namespace app

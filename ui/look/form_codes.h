// The letter codes of the form tables, read once into the contract's types.
// The tables keep their codes as written ("FL,FR,FB,H2", "^CO", "2[");
// this is the only place that knows what the letters mean. Unknown letters
// and codes are ignored, so a table with a code this program does not know
// still builds its form.
#pragma once

#include <string_view>

#include "ui/contract/gui.h"

namespace ui::look {

// Resize codes, comma-separated: "F" + side keeps the control's distance to
// that side of the form (L, R, T, B), "C" + side keeps its coordinate.
// Anything after the two letters ("FB2", "FB-2") and the words "H", "H2",
// "VH", "2", "-2" are ignored. Per axis: the far side kept by distance ("FR",
// "FB") stretches the control when a near-side code is also given ("FL,FR",
// "CL,FR"), and moves it with the far edge when not ("FR" alone); without a
// far-side "F" the control keeps its place and size.
ui::ResizeRule ParseResizeCodes(std::string_view codes);

struct StyleCodes {
  ui::ControlStyle style;
  bool ownerDrawn = false;  // labels "O": painted through OnDraw
  bool hidden = false;      // "H": created invisible
};

// Style letters of a control of `kind`:
//   every kind      H hidden, T takes the keyboard (tab stop)
//   labels          C centred, R right, L left, ^ centred vertically,
//                   I transparent background, O owner-drawn
//   text boxes      B and E a border, M multi-line (such a box only shows
//                   text in this program: read-only, selection and copy
//                   allowed), V vertical scroll bar, S horizontal scrolling
//   buttons         D the default look
//   drop-down lists O owner-drawn items
//   shapes          a number is the border width in pixels and "[" makes
//                   the shape a frame of that width, drawn inside ("I");
//                   without "[" the shape is filled
StyleCodes ParseStyleLetters(ui::ControlKind kind, std::string_view letters);

// Form style letters: Z resizable, _ a minimise box, ^ a maximise box,
// M modal, C a close box (system menu).
ui::FormStyle ParseFormStyle(std::string_view letters);

// Window region codes: -2 and 2 rounded corners, 1 a pill, others square.
ui::Region ParseRegion(int code);

// The depth effects a segment bar can be given: "F" sunken.
enum class Effect { None, Sunken };
Effect ParseEffect(std::string_view letters);

}  // namespace ui::look

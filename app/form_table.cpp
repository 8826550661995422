#include "app/form_table.h"

#include "app/look/fonts.h"
#include "app/look/form_codes.h"
#include "app/look/layout.h"

namespace app {

gui::FontRef FontOf(const FontCell& cell, int dotsPerInch) {
  gui::FontRef font;
  font.slot = cell.slot;
  if (cell.slot < 0)
    font.font = look::DescribeFont(cell.face, cell.points, cell.style, dotsPerInch);
  return font;
}

gui::FormSpec BuildForm(const FormRow& row, const std::vector<ControlRow>& rows, int dotsPerInch) {
  gui::FormSpec form;
  form.name = row.name;
  form.caption = row.caption;
  form.place = {row.x, row.y, row.width, row.height};
  form.style = look::ParseFormStyle(row.style);
  form.textColour = row.textColour;
  form.backColour = row.backColour;
  form.owner = row.owner;
  for (const ControlRow& r : rows) {
    gui::ControlSpec c;
    c.id = r.id;
    c.kind = r.kind;
    c.caption = r.caption;
    c.place = {r.x, r.y, r.width, r.height};
    c.textColour = r.textColour;
    c.backColour = r.backColour;
    c.font = FontOf(r.font, dotsPerInch);
    c.resize = look::ParseResizeCodes(r.resize);
    const look::StyleCodes codes = look::ParseStyleLetters(r.kind, r.style);
    c.style = codes.style;
    c.ownerDrawn = r.ownerDrawn || codes.ownerDrawn;
    c.hidden = r.hidden || codes.hidden;
    look::ApplyStacking(c);
    form.controls.push_back(std::move(c));
  }
  return form;
}

const gui::ControlSpec* FindControl(const gui::FormSpec& form, int id) {
  for (const gui::ControlSpec& c : form.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

}  // namespace app

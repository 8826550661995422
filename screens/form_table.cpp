#include "screens/form_table.h"

#include "ui/look/fonts.h"
#include "ui/look/form_codes.h"
#include "ui/look/layout.h"

namespace app {

ui::FontRef FontOf(const FontCell& cell, int dotsPerInch) {
  ui::FontRef font;
  font.slot = cell.slot;
  if (cell.slot < 0)
    font.font = ui::look::DescribeFont(cell.face, cell.points, cell.style, dotsPerInch);
  return font;
}

ui::FormSpec BuildForm(const FormRow& row, const std::vector<ControlRow>& rows, int dotsPerInch) {
  ui::FormSpec form;
  form.name = row.name;
  form.caption = row.caption;
  form.place = {row.x, row.y, row.width, row.height};
  form.style = ui::look::ParseFormStyle(row.style);
  form.textColour = row.textColour;
  form.backColour = row.backColour;
  form.owner = row.owner;
  for (const ControlRow& r : rows) {
    ui::ControlSpec c;
    c.id = r.id;
    c.kind = r.kind;
    c.caption = r.caption;
    c.place = {r.x, r.y, r.width, r.height};
    c.textColour = r.textColour;
    c.backColour = r.backColour;
    c.font = FontOf(r.font, dotsPerInch);
    c.resize = ui::look::ParseResizeCodes(r.resize);
    const ui::look::StyleCodes codes = ui::look::ParseStyleLetters(r.kind, r.style);
    c.style = codes.style;
    c.ownerDrawn = r.ownerDrawn || codes.ownerDrawn;
    c.hidden = r.hidden || codes.hidden;
    ui::look::ApplyStacking(c);
    form.controls.push_back(std::move(c));
  }
  return form;
}

const ui::ControlSpec* FindControl(const ui::FormSpec& form, int id) {
  for (const ui::ControlSpec& c : form.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

}  // namespace app

#include "station/station_look.h"

#include "screens/main_form.h"
#include "ui/look/fonts.h"
#include "ui/look/painters.h"

namespace app {

namespace {

// The slots every form relies on, defined once before the first form: the
// colours 32..35 follow the desktop, 36..43 are fixed.
struct ColourDefinition {
  int slot;
  int systemColour;  // > 0: follows this desktop colour
  ui::Rgb rgb;
};
constexpr ColourDefinition kDefinedColours[] = {
    {32, 4, {}},
    {33, 5, {}},
    {34, 15, {}},
    {35, 24, {}},
    {36, 0, {249, 249, 249}},
    {37, 0, {0, 131, 193}},
    {38, 0, {255, 251, 232}},
    {39, 0, {255, 128, 0}},
    {40, 0, {252, 75, 75}},
    {41, 0, {13, 176, 255}},
    {42, 0, {174, 255, 186}},
    {43, 0, {254, 236, 165}},
};

struct FontDefinition {
  int slot;
  const char* face;
  double points;
  const char* style;
};
constexpr FontDefinition kGuiFonts[] = {{6, "Arial", 11, " L+V"},
                                        {7, "Arial", 11, " BV"},
                                        {8, "Arial", 13, " L+V"},
                                        {9, "Arial", 13, " BV"}};
constexpr FontDefinition kTerminalFonts[] = {
    {20, "Terminal", 10, "L+OF"}, {21, "Terminal", 12, "L+OF"}, {22, "Terminal", 14, "L+OF"}};

// Defines the font slots in the backend and keeps them for the painters.
template <std::size_t N>
void DefineFonts(ui::Gui& gui, std::map<int, ui::Font>& slots, int dotsPerInch,
                 const FontDefinition (&fonts)[N]) {
  for (const FontDefinition& f : fonts) {
    slots[f.slot] = ui::look::DescribeFont(f.face, f.points, f.style, dotsPerInch);
    gui.DefineFont(f.slot, slots[f.slot]);
  }
}

}  // namespace

void StationLook::DefineDefaults(const std::string& imageFolder, int dotsPerInch) {
  dotsPerInch_ = dotsPerInch;
  gui_.SetImageFolder(imageFolder);
  for (int n = 0; n < ui::look::kPaletteColours; ++n)
    gui_.DefineColour(n, ui::look::PaletteColour(n));
  for (const ColourDefinition& c : kDefinedColours) {
    if (c.systemColour > 0) {
      gui_.DefineSystemColour(c.slot, c.systemColour);
      palette_.DefineSystem(c.slot, c.systemColour);
    } else {
      gui_.DefineColour(c.slot, c.rgb);
      palette_.Define(c.slot, c.rgb);
    }
  }
  DefineFonts(gui_, fontSlots_, dotsPerInch_, kGuiFonts);
}

void StationLook::DefineTerminalFonts() {
  DefineFonts(gui_, fontSlots_, dotsPerInch_, kTerminalFonts);
}

void StationLook::KeepForm(ui::FormSpec form) {
  std::string name = form.name;
  forms_[name] = std::move(form);
}

const ui::FormSpec& StationLook::Form(const std::string& name) const {
  static const ui::FormSpec kNone;
  auto it = forms_.find(name);
  return it != forms_.end() ? it->second : kNone;
}

ui::Font StationLook::FontOf(const ui::FontRef& font) const {
  if (font.slot < 0) return font.font;
  auto it = fontSlots_.find(font.slot);
  return it != fontSlots_.end() ? it->second : ui::look::DescribeFont("", 8, "", dotsPerInch_);
}

void StationLook::Draw(const ui::DrawRequest& r, ui::Canvas& canvas) const {
  using Kind = ui::ControlKind;
  using ui::look::ColourRole;
  auto form = forms_.find(r.form);
  const ui::ControlSpec* c = form == forms_.end() ? nullptr : FindControl(form->second, r.control);
  if (!c) return;
  const ui::Rgb text = palette_.Colour(r.textColour, c->kind, ColourRole::Text);
  const ui::Rgb back = palette_.Colour(r.backColour, c->kind, ColourRole::Back);
  switch (c->kind) {
    case Kind::SegmentBar: {
      auto effect = barEffects_.find(r.form == kMainForm ? r.control : 0);
      ui::look::PaintBar(canvas, r.area, r.text, text, back,
                         effect == barEffects_.end() ? ui::look::Effect::None : effect->second);
      break;
    }
    case Kind::Shape:
      ui::look::PaintShape(canvas, r.area, c->style.borderWidth, text);
      break;
    case Kind::Label: {
      // A label draws the caption its form gives it (the table's), or its
      // own text when that is blank.
      const int colour = ui::look::LabelTextColour(r.textColour, r.backColour);
      const ui::look::Caption caption{c->caption, true, r.text, FontOf(c->font),
                                      palette_.Colour(colour, c->kind, ColourRole::Text)};
      if (c->ownerDrawn)
        ui::look::PaintLabel(canvas, r.area, back, caption, languages_, dotsPerInch_);
      break;
    }
    case Kind::Button: {
      // Captions in colour 0, except the function-key display's shape.
      const bool keys = r.form == kMainForm && r.control == tmain::kShowFunctionKeys;
      const ui::look::Caption caption{r.text,
                                      false,
                                      {},
                                      FontOf(c->font),
                                      palette_.Colour(keys ? 17 : 0, c->kind, ColourRole::Text)};
      const ui::look::ButtonLook button{back, c->region == ui::Region::Pill ? 1 : -2};
      if (c->ownerDrawn) {
        ui::look::PaintButton(canvas, r.area, r.state, button, caption, languages_, dotsPerInch_);
      }
      break;
    }
    case Kind::ComboBox:
      if (c->style.ownerDrawnItems) {
        // The closed box shows the selected look while it has the focus.
        const bool selected = r.item >= 0 ? r.state.selected : r.state.focused;
        ui::look::PaintSelectorItem(canvas, r.area, r.itemText, selected, FontOf(c->font));
      }
      break;
    default:
      break;
  }
}

}  // namespace app

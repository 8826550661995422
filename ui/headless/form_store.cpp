#include "ui/headless/form_store.h"

#include <algorithm>
#include <limits>

#include "platform/text.h"
#include "ui/look/layout.h"
#include "ui/look/palette.h"

namespace ui::headless {
namespace {

ScreenInfo DefaultScreen() {
  ScreenInfo s;
  s.screen = {0, 0, 1920, 1080};
  s.workArea = {0, 0, 1920, 1040};
  s.frameWidth = 8;
  s.frameHeight = 31;
  return s;
}

bool Contains(const PixelRect& r, int x, int y) {
  return x >= r.x && y >= r.y && x - r.x < r.width && y - r.y < r.height;
}

std::vector<std::string> ItemsOf(const std::string& list) {
  return platform::SplitFields(list, '|');  // the empty text is no items
}

const std::vector<Accelerator> kNoAccelerators;

}  // namespace

FormStore::FormStore() : screen(DefaultScreen()) {}

void FormStore::AddForm(const FormSpec& spec) {
  const int dpi = screen.dotsPerInch;
  Form form;
  form.spec = spec;
  form.caption = spec.caption;
  form.textColour = spec.textColour;
  form.backColour = spec.backColour;
  form.frame = UnitsToPixels(spec.place, dpi);
  for (const ControlSpec& c : spec.controls) {
    Control control;
    control.spec = c;
    control.visible = !c.hidden;
    control.textColour = c.textColour;
    control.backColour = c.backColour;
    control.font = c.font;
    if (c.kind == ControlKind::ComboBox) {
      control.items = ItemsOf(c.caption);
      control.selected = control.items.empty() ? -1 : 0;
    } else {
      control.text = c.caption;
    }
    form.controls[c.id] = std::move(control);
    form.stacking.push_back(c.id);
  }
  // Lower stacking values on top; equal values keep creation order.
  std::stable_sort(form.stacking.begin(), form.stacking.end(), [&form](int a, int b) {
    return form.controls[a].spec.stacking < form.controls[b].spec.stacking;
  });
  forms_[spec.name] = std::move(form);
}

void FormStore::RemoveForm(const std::string& form) {
  forms_.erase(form);
  if (focus_.form == form) focus_ = {};
}

// ---------------------------------------------------------------------------
// Forms

void FormStore::DefineSystemColour(int slot, int systemColour) {
  colours_[slot] = ui::look::SystemColour(systemColour);
}

bool FormStore::FormLoaded(const std::string& form) const {
  return forms_.count(form) != 0;
}

FormStore::Form* FormStore::FindForm(const std::string& form) {
  auto f = forms_.find(form);
  return f == forms_.end() ? nullptr : &f->second;
}

const FormStore::Form* FormStore::FindForm(const std::string& form) const {
  return const_cast<FormStore*>(this)->FindForm(form);
}

FormStore::Control* FormStore::Find(const ControlRef& control) {
  Form* f = FindForm(control.form);
  if (!f) return nullptr;
  auto c = f->controls.find(control.number);
  return c == f->controls.end() ? nullptr : &c->second;
}

const FormStore::Control* FormStore::Find(const ControlRef& control) const {
  return const_cast<FormStore*>(this)->Find(control);
}

void FormStore::SetFormLimits(const std::string& form, double minWidth, double minHeight,
                              double maxWidth, double maxHeight) {
  Form* f = FindForm(form);
  if (!f) return;
  f->minWidth = minWidth;
  f->minHeight = minHeight;
  f->maxWidth = std::max(minWidth, maxWidth);
  f->maxHeight = std::max(minHeight, maxHeight);
  ClampToLimits(*f);
}

void FormStore::ClampToLimits(Form& f) {
  const int dpi = screen.dotsPerInch;
  const double width = std::clamp(PixelsToUnitsX(f.frame.width, dpi), f.minWidth, f.maxWidth);
  const double height = std::clamp(PixelsToUnitsY(f.frame.height, dpi), f.minHeight, f.maxHeight);
  f.frame.width = UnitsToPixelsX(width, dpi);
  f.frame.height = UnitsToPixelsY(height, dpi);
}

void FormStore::SetFormIcon(const std::string& form, const std::string& image) {
  if (Form* f = FindForm(form)) f->icon = image;
}

UnitRect FormStore::FormGeometry(const std::string& form) const {
  const Form* f = FindForm(form);
  if (!f) return {};
  const int dpi = screen.dotsPerInch;
  return {PixelsToUnitsX(f->frame.x, dpi), PixelsToUnitsY(f->frame.y, dpi),
          PixelsToUnitsX(f->frame.width, dpi), PixelsToUnitsY(f->frame.height, dpi)};
}

void FormStore::SetFormGeometry(const std::string& form, const UnitRect& geometry) {
  Form* f = FindForm(form);
  if (!f) return;
  const PixelRect wanted = UnitsToPixels(geometry, screen.dotsPerInch);
  if (screen.canPlaceWindows) {
    f->frame.x = wanted.x;
    f->frame.y = wanted.y;
  }
  f->frame.width = wanted.width;
  f->frame.height = wanted.height;
  f->maximised = false;
  ClampToLimits(*f);
}

void FormStore::MoveForm(const std::string& form, double x, double y) {
  Form* f = FindForm(form);
  if (!f || !screen.canPlaceWindows) return;
  f->frame.x = UnitsToPixelsX(x, screen.dotsPerInch);
  f->frame.y = UnitsToPixelsY(y, screen.dotsPerInch);
}

void FormStore::MaximiseForm(const std::string& form) {
  Form* f = FindForm(form);
  if (!f) return;
  const PixelRect& area = screen.workArea;
  f->frame = {area.x, area.y, area.width - screen.frameWidth, area.height - screen.frameHeight};
  ClampToLimits(*f);
  f->maximised = true;
}

bool FormStore::FormMaximised(const std::string& form) const {
  const Form* f = FindForm(form);
  return f && f->maximised;
}

void FormStore::DefineAccelerators(const std::string& form, const std::vector<Accelerator>& table) {
  if (Form* f = FindForm(form)) f->accelerators = table;
}

// ---------------------------------------------------------------------------
// Text and lists

std::string FormStore::Text(const ControlRef& control) const {
  if (control.number == 0) {
    const Form* f = FindForm(control.form);
    return f ? f->caption : std::string();
  }
  const Control* c = Find(control);
  if (!c) return std::string();
  if (c->spec.kind != ControlKind::ComboBox) return c->text;
  return c->selected >= 0 ? c->items[static_cast<std::size_t>(c->selected)] : std::string();
}

void FormStore::SetText(const ControlRef& control, const std::string& text) {
  if (control.number == 0) {
    if (Form* f = FindForm(control.form)) f->caption = text;
    return;
  }
  Control* c = Find(control);
  if (!c) return;
  if (c->spec.kind == ControlKind::ComboBox) {
    // A drop-down list shows only its items: the text selects the item.
    auto it = std::find(c->items.begin(), c->items.end(), text);
    c->selected = it == c->items.end() ? -1 : static_cast<int>(it - c->items.begin());
    return;
  }
  Type(control, text);
}

void FormStore::Type(const ControlRef& control, const std::string& text) {
  if (Control* c = Find(control)) {
    c->text = text;
    c->selection = {static_cast<int>(text.size()), static_cast<int>(text.size())};
  }
}

void FormStore::AppendText(const ControlRef& control, const std::string& text) {
  Control* c = Find(control);
  if (!c) return;
  c->text += text;
  const int end =
      static_cast<int>(std::min<std::size_t>(c->text.size(), std::numeric_limits<int>::max()));
  c->selection = {end, end};
}

void FormStore::SetDisplayOptions(const ControlRef& control, const DisplayOptions& options) {
  Control* c = Find(control);
  if (!c) return;
  c->displayOptions = options;
  c->offersOptions = true;
}

DisplayOptions FormStore::GetDisplayOptions(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->displayOptions : DisplayOptions{};
}

bool FormStore::OffersDisplayOptions(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->offersOptions;
}

TextSelection FormStore::Selection(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->selection : TextSelection{};
}

void FormStore::SetSelection(const ControlRef& control, TextSelection selection) {
  Control* c = Find(control);
  if (!c) return;
  const int length =
      static_cast<int>(std::min<std::size_t>(c->text.size(), std::numeric_limits<int>::max()));
  if (selection.end < 0) selection.end = length;
  selection.start = std::clamp(selection.start, 0, length);
  selection.end = std::clamp(selection.end, 0, length);
  if (selection.end < selection.start) std::swap(selection.start, selection.end);
  c->selection = selection;
}

void FormStore::AddItems(const ControlRef& control, const std::vector<std::string>& items) {
  Control* c = Find(control);
  if (!c) return;
  c->items.insert(c->items.end(), items.begin(), items.end());
}

void FormStore::InsertItem(const ControlRef& control, int position, const std::string& item) {
  Control* c = Find(control);
  if (!c) return;
  const std::size_t at = std::min(static_cast<std::size_t>(std::max(position, 0)), c->items.size());
  c->items.insert(c->items.begin() + static_cast<std::ptrdiff_t>(at), item);
  // The selection stays on its item.
  if (c->selected >= static_cast<int>(at)) ++c->selected;
}

void FormStore::ClearItems(const ControlRef& control) {
  Control* c = Find(control);
  if (!c) return;
  c->items.clear();
  c->selected = -1;
}

std::vector<std::string> FormStore::Items(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->items : std::vector<std::string>{};
}

void FormStore::SelectItem(const ControlRef& control, int index) {
  Control* c = Find(control);
  if (!c) return;
  // Like a drop-down list: a position outside the list selects nothing.
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < c->items.size();
  c->selected = inside ? index : -1;
}

int FormStore::SelectedItem(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->selected : -1;
}

// ---------------------------------------------------------------------------
// State

bool FormStore::Checked(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->checked;
}

void FormStore::SetChecked(const ControlRef& control, bool checked) {
  if (Control* c = Find(control)) c->checked = checked;
}

void FormStore::SetVisible(const ControlRef& control, bool visible) {
  if (Control* c = Find(control)) c->visible = visible;
}

bool FormStore::Visible(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->visible;
}

void FormStore::SetEnabled(const ControlRef& control, bool enabled) {
  if (Control* c = Find(control)) c->enabled = enabled;
}

bool FormStore::Enabled(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->enabled;
}

void FormStore::SetColours(const ControlRef& control, int text, int back) {
  if (control.number == 0) {
    if (Form* f = FindForm(control.form)) {
      f->textColour = text;
      f->backColour = back;
    }
    return;
  }
  if (Control* c = Find(control)) {
    c->textColour = text;
    c->backColour = back;
  }
}

ColourPair FormStore::Colours(const ControlRef& control) const {
  if (control.number == 0) {
    const Form* f = FindForm(control.form);
    return f ? ColourPair{f->textColour, f->backColour} : ColourPair{};
  }
  const Control* c = Find(control);
  return c ? ColourPair{c->textColour, c->backColour} : ColourPair{};
}

void FormStore::SetFont(const ControlRef& control, const FontRef& font) {
  if (Control* c = Find(control)) c->font = font;
}

void FormStore::Raise(const ControlRef& control) {
  Form* f = FindForm(control.form);
  if (!f) return;
  auto it = std::find(f->stacking.begin(), f->stacking.end(), control.number);
  if (it != f->stacking.end()) std::rotate(f->stacking.begin(), it, it + 1);
}

PixelRect FormStore::ControlPixels(const Form& form, const Control& control) const {
  const int dpi = screen.dotsPerInch;
  const UnitRect now{0, 0, PixelsToUnitsX(form.frame.width, dpi),
                     PixelsToUnitsY(form.frame.height, dpi)};
  return UnitsToPixels(
      ui::look::ApplyResize(control.spec.place, control.spec.resize, form.spec.place, now), dpi);
}

UnitRect FormStore::ControlGeometry(const ControlRef& control) const {
  const Form* f = FindForm(control.form);
  const Control* c = Find(control);
  if (!f || !c) return {};
  const int dpi = screen.dotsPerInch;
  const PixelRect p = ControlPixels(*f, *c);
  return {PixelsToUnitsX(p.x, dpi), PixelsToUnitsY(p.y, dpi), PixelsToUnitsX(p.width, dpi),
          PixelsToUnitsY(p.height, dpi)};
}

// Nothing is drawn without a screen: a redraw and its suspension have no
// effect to keep.
void FormStore::Redraw(const ControlRef&) {}

void FormStore::SetRedrawState(const ControlRef&, bool) {}

// ---------------------------------------------------------------------------
// What the application set

int FormStore::ControlAt(const std::string& form, int x, int y) const {
  const Form* f = FindForm(form);
  if (!f) return 0;
  for (int id : f->stacking) {
    const Control& c = f->controls.at(id);
    if (c.visible && !c.spec.clickThrough && Contains(ControlPixels(*f, c), x, y)) return id;
  }
  return 0;
}

const std::vector<Accelerator>& FormStore::Accelerators(const std::string& form) const {
  const Form* f = FindForm(form);
  return f ? f->accelerators : kNoAccelerators;
}

const Rgb* FormStore::ColourSlot(int slot) const {
  auto it = colours_.find(slot);
  return it == colours_.end() ? nullptr : &it->second;
}

FontRef FormStore::ControlFont(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->font : FontRef{};
}

std::string FormStore::FormIcon(const std::string& form) const {
  const Form* f = FindForm(form);
  return f ? f->icon : std::string();
}

}  // namespace ui::headless

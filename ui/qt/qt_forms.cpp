#include "ui/qt/qt_forms.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "ui/qt/find_bar.h"
#include "ui/qt/font_map.h"
#include "ui/qt/images.h"
#include "ui/qt/latin1.h"
#include "ui/qt/painter_canvas.h"

namespace ui::qt {
namespace {

ui::PixelRect ToPixelRect(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

Control* QtForms::ControlOf(QObject* object) {
  for (QObject* o = object; o; o = o->parent()) {
    if (auto* control = dynamic_cast<Control*>(o)) return control;
    if (dynamic_cast<FormWindow*>(o)) return nullptr;
  }
  return nullptr;
}

void QtForms::DeleteForms() {
  for (auto& [name, form] : forms_) delete form.data();
  forms_.clear();
}

// ---------------------------------------------------------------------------
// Definitions

void QtForms::DefineFont(int slot, const ui::Font& font) {
  fonts_[slot] = font;
}

void QtForms::DefineColour(int slot, ui::Rgb colour) {
  colours_[slot] = ToQColor(colour);
}

void QtForms::DefineSystemColour(int slot, int systemColour) {
  const QPalette palette = QApplication::palette();
  QPalette::ColorRole role = QPalette::Base;
  if (systemColour == 4) role = QPalette::Window;
  if (systemColour == 15) role = QPalette::Button;
  if (systemColour == 24) role = QPalette::ToolTipBase;
  colours_[slot] = palette.color(QPalette::Active, role);
}

ui::ScreenInfo QtForms::Screen() const {
  ui::ScreenInfo info;
  info.dotsPerInch = dotsPerInch_;
  QScreen* screen = QGuiApplication::primaryScreen();
  for (const auto& [name, form] : forms_) {
    if (!form || !form->isVisible()) continue;
    screen = form->screen();
    // Frame metrics can only be measured on a window that is shown.
    info.frameWidth = form->frameGeometry().width() - form->width();
    info.frameHeight = form->frameGeometry().height() - form->height();
    break;
  }
  if (screen) {
    info.screen = ToPixelRect(screen->geometry());
    info.workArea = ToPixelRect(screen->availableGeometry());
  }
  info.canPlaceWindows = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  return info;
}

// ---------------------------------------------------------------------------
// Forms

FormWindow* QtForms::FormWidget(const std::string& form) const {
  auto it = forms_.find(form);
  return it == forms_.end() ? nullptr : it->second.data();
}

QWidget* QtForms::ControlWidget(const ControlRef& control) const {
  Control* c = Find(control);
  return c ? c->Widget() : nullptr;
}

Control* QtForms::Find(const ControlRef& control) const {
  FormWindow* f = FormWidget(control.form);
  return f ? f->Find(control.number) : nullptr;
}

bool QtForms::FormLoaded(const std::string& form) const {
  return FormWidget(form) != nullptr;
}

void QtForms::SetFormLimits(const std::string& form, double minWidth, double minHeight,
                            double maxWidth, double maxHeight) {
  if (FormWindow* f = FormWidget(form)) f->SetLimits(minWidth, minHeight, maxWidth, maxHeight);
}

QSize QtForms::FrameSize() const {
  const ui::ScreenInfo info = Screen();
  return {info.frameWidth, info.frameHeight};
}

void QtForms::SetFormIcon(const std::string& form, const std::string& image) {
  if (FormWindow* f = FormWidget(form)) f->setWindowIcon(ImageIcon(image, imageFolder_));
}

ui::UnitRect QtForms::FormGeometry(const std::string& form) const {
  FormWindow* f = FormWidget(form);
  if (!f) return {};
  return {ui::PixelsToUnitsX(f->x(), dotsPerInch_), ui::PixelsToUnitsY(f->y(), dotsPerInch_),
          ui::PixelsToUnitsX(f->width(), dotsPerInch_),
          ui::PixelsToUnitsY(f->height(), dotsPerInch_)};
}

void QtForms::SetFormGeometry(const std::string& form, const ui::UnitRect& geometry) {
  FormWindow* f = FormWidget(form);
  if (!f) return;
  if (f->isMaximized()) f->showNormal();
  MoveForm(form, geometry.x, geometry.y);
  f->resize(ui::UnitsToPixelsX(geometry.width, dotsPerInch_),
            ui::UnitsToPixelsY(geometry.height, dotsPerInch_));
}

void QtForms::MoveForm(const std::string& form, double x, double y) {
  FormWindow* f = FormWidget(form);
  if (!f || !Screen().canPlaceWindows) return;
  f->move(ui::UnitsToPixelsX(x, dotsPerInch_), ui::UnitsToPixelsY(y, dotsPerInch_));
  if (f->isVisible()) f->KeepOnScreen();
}

void QtForms::MaximiseForm(const std::string& form) {
  if (FormWindow* f = FormWidget(form)) f->showMaximized();
}

bool QtForms::FormMaximised(const std::string& form) const {
  FormWindow* f = FormWidget(form);
  return f && f->isMaximized();
}

void QtForms::DefineAccelerators(const std::string& form,
                                 const std::vector<ui::Accelerator>& table) {
  if (FormWindow* f = FormWidget(form)) f->SetAccelerators(table);
}

// ---------------------------------------------------------------------------
// Text and lists

std::string QtForms::Text(const ControlRef& control) const {
  if (control.number == 0) {
    FormWindow* f = FormWidget(control.form);
    return f ? ToBytes(f->windowTitle()) : std::string();
  }
  Control* c = Find(control);
  return c ? c->Text() : std::string();
}

void QtForms::SetText(const ControlRef& control, const std::string& text) {
  if (control.number == 0) {
    if (FormWindow* f = FormWidget(control.form)) f->setWindowTitle(FromBytes(text));
    return;
  }
  if (Control* c = Find(control)) c->SetText(text);
}

void QtForms::AppendText(const ControlRef& control, const std::string& text) {
  Control* c = Find(control);
  if (auto* box = dynamic_cast<TextBoxControl*>(c)) {
    box->AppendText(text);
  } else if (c) {
    c->SetText(c->Text() + text);
  }
}

ui::TextSelection QtForms::Selection(const ControlRef& control) const {
  auto* box = dynamic_cast<TextBoxControl*>(Find(control));
  return box ? box->Selection() : ui::TextSelection{};
}

void QtForms::SetSelection(const ControlRef& control, ui::TextSelection selection) {
  if (auto* box = dynamic_cast<TextBoxControl*>(Find(control))) box->SetSelection(selection);
}

void QtForms::SetDisplayOptions(const ControlRef& control, const ui::DisplayOptions& options) {
  if (auto* box = dynamic_cast<TextBoxControl*>(Find(control))) box->SetDisplayOptions(options);
}

ui::DisplayOptions QtForms::GetDisplayOptions(const ControlRef& control) const {
  auto* box = dynamic_cast<TextBoxControl*>(Find(control));
  return box ? box->GetDisplayOptions() : ui::DisplayOptions{};
}

void QtForms::AddItems(const ControlRef& control, const std::vector<std::string>& items) {
  if (auto* list = dynamic_cast<ComboBoxControl*>(Find(control))) list->AddItems(items);
}

void QtForms::InsertItem(const ControlRef& control, int position, const std::string& item) {
  if (auto* list = dynamic_cast<ComboBoxControl*>(Find(control))) {
    list->InsertAt(position, item);
  }
}

void QtForms::ClearItems(const ControlRef& control) {
  if (auto* list = dynamic_cast<ComboBoxControl*>(Find(control))) list->clear();
}

std::vector<std::string> QtForms::Items(const ControlRef& control) const {
  auto* list = dynamic_cast<ComboBoxControl*>(Find(control));
  return list ? list->ItemTexts() : std::vector<std::string>{};
}

void QtForms::SelectItem(const ControlRef& control, int index) {
  if (auto* list = dynamic_cast<ComboBoxControl*>(Find(control))) list->Select(index);
}

int QtForms::SelectedItem(const ControlRef& control) const {
  auto* list = dynamic_cast<ComboBoxControl*>(Find(control));
  return list ? list->currentIndex() : -1;
}

// ---------------------------------------------------------------------------
// State

bool QtForms::Checked(const ControlRef& control) const {
  auto* box = dynamic_cast<CheckBoxControl*>(Find(control));
  return box && box->isChecked();
}

void QtForms::SetChecked(const ControlRef& control, bool checked) {
  if (auto* box = dynamic_cast<CheckBoxControl*>(Find(control))) box->setChecked(checked);
}

void QtForms::SetVisible(const ControlRef& control, bool visible) {
  if (Control* c = Find(control)) c->Widget()->setVisible(visible);
}

bool QtForms::Visible(const ControlRef& control) const {
  Control* c = Find(control);
  return c && !c->Widget()->isHidden();
}

void QtForms::SetEnabled(const ControlRef& control, bool enabled) {
  if (Control* c = Find(control)) c->Widget()->setEnabled(enabled);
}

bool QtForms::Enabled(const ControlRef& control) const {
  Control* c = Find(control);
  return c && c->Widget()->isEnabledTo(c->Widget()->parentWidget());
}

void QtForms::SetFocus(const ControlRef& control) {
  if (control.number == 0) {
    if (FormWindow* f = FormWidget(control.form)) {
      f->activateWindow();
      f->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
  Control* c = Find(control);
  if (!c) return;
  // The operator's find bar keeps the keyboard: what the program asks for
  // becomes where it goes when the bar closes.
  if (FindBar* bar = FindBar::HoldingKeyboard(c->Widget()->window())) {
    bar->SetReturnTo(c->Widget());
    return;
  }
  c->Widget()->setFocus(Qt::OtherFocusReason);
}

ControlRef QtForms::FocusedControl() const {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) return {"", 0};
  if (Control* c = ControlOf(focus)) return {c->Form(), c->Id()};
  if (auto* form = dynamic_cast<FormWindow*>(focus); form && FormLoaded(form->Name())) {
    return {form->Name(), 0};
  }
  return {"", 0};
}

void QtForms::SetColours(const ControlRef& control, int text, int back) {
  if (control.number == 0) {
    if (FormWindow* f = FormWidget(control.form)) f->ApplyColours(text, back);
    return;
  }
  if (Control* c = Find(control)) c->ApplyColours(text, back);
}

ui::ColourPair QtForms::Colours(const ControlRef& control) const {
  if (control.number == 0) {
    FormWindow* f = FormWidget(control.form);
    return f ? ui::ColourPair{f->TextColour(), f->BackColour()} : ui::ColourPair{};
  }
  Control* c = Find(control);
  return c ? ui::ColourPair{c->TextColour(), c->BackColour()} : ui::ColourPair{};
}

void QtForms::SetFont(const ControlRef& control, const ui::FontRef& font) {
  if (Control* c = Find(control)) c->SetFont(FontOf(font));
}

void QtForms::Raise(const ControlRef& control) {
  if (Control* c = Find(control)) c->Widget()->raise();
}

ui::UnitRect QtForms::ControlGeometry(const ControlRef& control) const {
  Control* c = Find(control);
  if (!c) return {};
  // In the form's own units: a form drawn smaller to fit keeps them.
  const QRect r = c->Placed();
  const int dpi = FormWidget(control.form)->DotsPerInch();
  return {ui::PixelsToUnitsX(r.x(), dpi), ui::PixelsToUnitsY(r.y(), dpi),
          ui::PixelsToUnitsX(r.width(), dpi), ui::PixelsToUnitsY(r.height(), dpi)};
}

namespace {

void UpdateWidget(QWidget* w) {
  w->update();
  if (auto* area = dynamic_cast<QAbstractScrollArea*>(w)) area->viewport()->update();
}

}  // namespace

void QtForms::Redraw(const ControlRef& control) {
  FormWindow* f = FormWidget(control.form);
  if (!f) return;
  if (control.number != 0) {
    if (Control* c = f->Find(control.number)) UpdateWidget(c->Widget());
    return;
  }
  f->update();
  for (Control* c : f->Controls()) UpdateWidget(c->Widget());
}

void QtForms::SetRedrawState(const ControlRef& control, bool redraw) {
  QWidget* w = control.number == 0 ? FormWidget(control.form) : ControlWidget(control);
  if (w) w->setUpdatesEnabled(redraw);
}

// ---------------------------------------------------------------------------
// Colours, fonts and images for the controls

std::optional<QColor> QtForms::Colour(int number) const {
  auto it = colours_.find(number);
  if (number < 0 || it == colours_.end()) return std::nullopt;
  return it->second;
}

QFont QtForms::FontOf(const ui::FontRef& font) const {
  if (font.slot < 0) return ToQFont(font.font);
  auto it = fonts_.find(font.slot);
  return it == fonts_.end() ? QApplication::font() : ToQFont(it->second);
}

QPixmap QtForms::Image(const std::string& name, const QSize& size) const {
  return ImagePixmap(name, imageFolder_, size);
}

}  // namespace ui::qt

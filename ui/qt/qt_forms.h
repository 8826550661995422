// The state half of the Qt backend: the forms (FormWindow widgets) the
// application loaded, and the contract's calls that set and read what they
// and their controls show (text, items, colours, fonts, geometry, focus),
// with the colour and font tables the controls draw with. None of these
// calls raises an event; the events, timers, keys and dialogs are QtGui's,
// which builds on this.
#pragma once

#include <QColor>
#include <QPointer>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/contract/gui.h"
#include "ui/qt/form_window.h"

namespace ui::qt {

class QtForms : public ui::Gui, protected FormHost {
 public:
  // For tests: the widget of a form or a control (nullptr when unknown).
  FormWindow* FormWidget(const std::string& form) const;
  QWidget* ControlWidget(const ControlRef& control) const;

  // ui::Gui
  void DefineFont(int slot, const ui::Font& font) override;
  void DefineColour(int slot, ui::Rgb colour) override;
  void DefineSystemColour(int slot, int systemColour) override;
  void SetImageFolder(const std::string& folder) override { imageFolder_ = folder; }
  ui::ScreenInfo Screen() const override;

  bool FormLoaded(const std::string& form) const override;
  void SetFormLimits(const std::string& form, double minWidth, double minHeight, double maxWidth,
                     double maxHeight) override;
  void SetFormIcon(const std::string& form, const std::string& image) override;
  ui::UnitRect FormGeometry(const std::string& form) const override;
  void SetFormGeometry(const std::string& form, const ui::UnitRect& geometry) override;
  void MoveForm(const std::string& form, double x, double y) override;
  void MaximiseForm(const std::string& form) override;
  bool FormMaximised(const std::string& form) const override;
  void DefineAccelerators(const std::string& form,
                          const std::vector<ui::Accelerator>& table) override;

  std::string Text(const ControlRef& control) const override;
  void SetText(const ControlRef& control, const std::string& text) override;
  void AppendText(const ControlRef& control, const std::string& text) override;
  ui::TextSelection Selection(const ControlRef& control) const override;
  void SetSelection(const ControlRef& control, ui::TextSelection selection) override;
  void SetDisplayOptions(const ControlRef& control, const ui::DisplayOptions& options) override;
  ui::DisplayOptions GetDisplayOptions(const ControlRef& control) const override;

  void AddItems(const ControlRef& control, const std::vector<std::string>& items) override;
  void InsertItem(const ControlRef& control, int position, const std::string& item) override;
  void ClearItems(const ControlRef& control) override;
  std::vector<std::string> Items(const ControlRef& control) const override;
  void SelectItem(const ControlRef& control, int index) override;
  int SelectedItem(const ControlRef& control) const override;

  bool Checked(const ControlRef& control) const override;
  void SetChecked(const ControlRef& control, bool checked) override;
  void SetVisible(const ControlRef& control, bool visible) override;
  bool Visible(const ControlRef& control) const override;
  void SetEnabled(const ControlRef& control, bool enabled) override;
  bool Enabled(const ControlRef& control) const override;
  void SetFocus(const ControlRef& control) override;
  ControlRef FocusedControl() const override;
  void SetColours(const ControlRef& control, int text, int back) override;
  ui::ColourPair Colours(const ControlRef& control) const override;
  void SetFont(const ControlRef& control, const ui::FontRef& font) override;
  void Raise(const ControlRef& control) override;
  ui::UnitRect ControlGeometry(const ControlRef& control) const override;
  void Redraw(const ControlRef& control) override;
  void SetRedrawState(const ControlRef& control, bool redraw) override;

 protected:
  // The control `object` is or lies in; nullptr outside any control.
  static Control* ControlOf(QObject* object);
  Control* Find(const ControlRef& control) const;
  // Deletes every loaded form's widget now; the owner calls it while the
  // QApplication still exists.
  void DeleteForms();

  // FormHost: what the controls draw with.
  std::optional<QColor> Colour(int number) const override;
  QFont FontOf(const ui::FontRef& font) const override;
  QPixmap Image(const std::string& name, const QSize& size) const override;
  QSize FrameSize() const override;

  int dotsPerInch_ = ui::kReferenceDotsPerInch;
  std::map<std::string, QPointer<FormWindow>> forms_;

 private:
  std::map<int, ui::Font> fonts_;
  std::map<int, QColor> colours_;
  std::string imageFolder_;
};

}  // namespace ui::qt

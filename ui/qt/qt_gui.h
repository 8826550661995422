// The Qt 6 Widgets backend of the GUI contract (ui/contract/gui.h is its
// manual). It needs a QApplication that lives longer than it; everything
// runs on that application's thread.
//
// How the contract maps onto Qt
//   - Forms are top-level widgets (FormWindow); a dialog is centred
//     horizontally over its owner when it is created. Controls are the
//     widgets of ui/qt/controls.h.
//   - Operator actions raise events only through the signals that mean an
//     operator did something (clicked, activated) and through key, close and
//     focus events; a call of this interface never raises one.
//   - Accelerators and the keys that reach controls as event 31 are taken by
//     an application-wide key filter before any widget sees them, so Qt's
//     own keys (default buttons, dialog keys) never act on Enter or ESC.
//   - ShowModal runs a nested event loop; DoEvents is one pass of
//     QCoreApplication::processEvents; Delay sleeps without pumping.
//   - The file dialog is Qt's own (the same everywhere, and scriptable in
//     tests); a save dialog replaces an existing file without asking.
#pragma once

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/contract/gui.h"
#include "ui/qt/form_window.h"
#include "ui/qt/standard_dialogs.h"

namespace ui::qt {

class QtGui final : public QObject, public ui::Gui, private FormHost {
 public:
  // Uses the running QApplication; with `application`, owns it and destroys
  // it last.
  explicit QtGui(std::unique_ptr<QApplication> application = nullptr);
  ~QtGui() override;

  // For tests: the widget of a form or a control (nullptr when unknown).
  FormWindow* FormWidget(const std::string& form) const;
  QWidget* ControlWidget(const ControlRef& control) const;

  // ui::Gui
  void SetEventSink(ui::EventSink* sink) override { sink_ = sink; }
  void DefineFont(int slot, const ui::Font& font) override;
  void DefineColour(int slot, ui::Rgb colour) override;
  void DefineSystemColour(int slot, int systemColour) override;
  void SetImageFolder(const std::string& folder) override { imageFolder_ = folder; }
  ui::ScreenInfo Screen() const override;

  void LoadForm(const ui::FormSpec& spec) override;
  void ShowModal(const ui::FormSpec& spec) override;
  void UnloadForm(const std::string& form) override;
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

  void PostEvent(const ControlRef& control, event::Code code, int value) override;
  void StartTimer(const std::string& form, int timer, double seconds) override;
  void StopTimer(const std::string& form, int timer) override;
  void DoEvents() override;
  double Now() override;
  void Delay(double seconds) override;
  int Run() override;
  void Quit(int status) override;

  ui::MessageBoxAnswer MessageBox(const ui::MessageBoxRequest& request) override;
  std::string FileDialog(const ui::FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  bool ShowHelpWindow(const std::string& title, const std::string& index) override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // FormHost
  ui::EventReply Deliver(const ui::Event& event) override;
  void Draw(const ui::DrawRequest& request, QPainter& painter) override;
  std::optional<QColor> Colour(int number) const override;
  QFont FontOf(const ui::FontRef& font) const override;
  QPixmap Image(const std::string& name, const QSize& size) const override;
  void Unload(const std::string& form) override { UnloadForm(form); }
  void Post(const ui::Event& event) override;

  Control* Find(const ControlRef& control) const;
  FormWindow* OwnerOf(QWidget* widget) const;
  bool HandleKey(QWidget* receiver, QKeyEvent& key);
  void PlaceOverOwner(FormWindow& form);
  void AskItemHeights(FormWindow& form);
  void ExitLoops();

  std::unique_ptr<QApplication> application_;  // destroyed after everything else
  ui::EventSink* sink_ = nullptr;
  int dotsPerInch_ = ui::kReferenceDotsPerInch;
  std::map<int, ui::Font> fonts_;
  std::map<int, QColor> colours_;
  std::string imageFolder_;
  std::map<std::string, QPointer<FormWindow>> forms_;
  std::vector<QPointer<FormWindow>> unloaded_;  // waiting for deleteLater
  std::map<std::pair<std::string, int>, QPointer<QTimer>> timers_;
  std::map<std::string, QEventLoop*> modalLoops_;
  QEventLoop* runLoop_ = nullptr;
  bool quit_ = false;
  int status_ = 0;
  HelpWindow help_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace ui::qt

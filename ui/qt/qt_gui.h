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
#include <QTranslator>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/qt/plot_window.h"
#include "ui/qt/qt_forms.h"
#include "ui/qt/standard_dialogs.h"

class QWheelEvent;

namespace ui::qt {

class QtGui final : public QObject, public QtForms {
 public:
  // Uses the running QApplication; with `application`, owns it and destroys
  // it last.
  explicit QtGui(std::unique_ptr<QApplication> application = nullptr);
  ~QtGui() override;

  // ui::Gui: events, forms' lifetime, time and dialogs
  void SetEventSink(ui::EventSink* sink) override { sink_ = sink; }
  void LoadForm(const ui::FormSpec& spec) override;
  void ShowModal(const ui::FormSpec& spec) override;
  void UnloadForm(const std::string& form) override;

  void PostEvent(const ControlRef& control, event::Code code, int value) override;
  void StartTimer(const std::string& form, int timer, double seconds) override;
  void StopTimer(const std::string& form, int timer) override;
  void DoEvents() override;
  double Now() override;
  bool RealTime() const override { return true; }
  void Delay(double seconds) override;
  int Run() override;
  void Quit(int status) override;

  ui::MessageBoxAnswer MessageBox(const ui::MessageBoxRequest& request) override;
  void SetDialogLanguage(const std::string& code) override;
  std::string FileDialog(const ui::FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  bool ShowHelpWindow(const std::string& title, const std::string& index) override;
  void OpenPlotWindow(std::shared_ptr<const ui::PlotData> data) override;
  // The plot window once opened (nullptr before).
  PlotWindow* Plot() { return plot_.get(); }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // FormHost
  ui::EventReply Deliver(const ui::Event& event) override;
  void Draw(const ui::DrawRequest& request, QPainter& painter) override;
  void Unload(const std::string& form) override { UnloadForm(form); }
  void Post(const ui::Event& event) override;

  FormWindow* OwnerOf(QWidget* widget) const;
  bool HandleKey(QWidget* receiver, QKeyEvent& key);
  bool HandleZoomWheel(QWidget* receiver, QWheelEvent& wheel);
  void PlaceOverOwner(FormWindow& form);
  void AskItemHeights(FormWindow& form);
  void ExitLoops();

  // Destroyed after the other members; ~QtGui deletes the forms before it.
  std::unique_ptr<QApplication> application_;
  ui::EventSink* sink_ = nullptr;
  std::vector<QPointer<FormWindow>> unloaded_;  // waiting for deleteLater
  std::map<std::pair<std::string, int>, QPointer<QTimer>> timers_;
  std::map<std::string, QEventLoop*> modalLoops_;
  QEventLoop* runLoop_ = nullptr;
  bool quit_ = false;
  int status_ = 0;
  int zoomWheel_ = 0;  // wheel turns with Ctrl not yet a whole notch
  HelpWindow help_;
  std::unique_ptr<PlotWindow> plot_;
  std::unique_ptr<QTranslator> dialogTranslator_;  // Qt's own texts, installed while set
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace ui::qt

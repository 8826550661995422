// The headless backend of the GUI contract: forms and controls kept in
// memory, an event queue, timers, and a clock that runs either on real time
// or on virtual time.
//
// On virtual time Delay() and idle waits only move the clock forward, so a
// test of a 60-second wait or of a script timer runs in microseconds. Message
// boxes and file dialogs are answered by replaceable responders. Tests (and
// the --headless program) inject operator actions with Inject(), Click(),
// PressKey() and Type().
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/gui/gui.h"

namespace app::gui {

class HeadlessGui : public Gui {
 public:
  enum class Time { Real, Virtual };
  explicit HeadlessGui(Time time = Time::Virtual);

  // Responders. The message box responder returns the button chosen (1 by
  // default); the file dialog responder returns the path ("" = cancelled).
  std::function<int(const MessageBoxRequest&)> messageBoxResponder;
  std::function<std::string(const FileDialogRequest&)> fileDialogResponder;
  // Called with every text appended to a rich-text control.
  std::function<void(const std::string& form, int control, const std::string& text)> onAppend;
  // Called whenever the event loop has nothing to do; returns true when it
  // queued something (e.g. an operator action read from a file). On real
  // time the loop sleeps briefly between calls.
  std::function<bool()> onIdle;

  // Operator actions: queued like the window system's own events.
  void Inject(const Event& event);
  void Click(const std::string& form, int control);
  void PressKey(const std::string& form, int control, int keyCode);
  // Asks to close a form, as the window's close button does (event 0); the
  // form unloads unless the handler refuses.
  void RequestClose(const std::string& form);
  std::size_t PendingEvents() const { return queue_.size(); }
  // Moves the virtual clock forward, firing the timers that fall due.
  void AdvanceTime(double seconds);
  const std::string& Accelerators(const std::string& form) const;

  // Gui
  void SetEventSink(EventSink* sink) override { sink_ = sink; }
  void DefineFont(int slot, const std::string& face, double points,
                  const std::string& style) override;
  void DefineColour(int slot, int red, int green, int blue) override;
  void DefineSystemColour(int slot, int systemColour) override;
  void DefineAccelerators(const std::string& form, const std::string& table) override;
  void SetFormLimits(const std::string& form, double minWidth, double minHeight, double maxWidth,
                     double maxHeight) override;
  void LoadForm(const FormSpec& spec) override;
  void ShowModal(const FormSpec& spec) override;
  void UnloadForm(const std::string& form) override;
  bool FormLoaded(const std::string& form) const override;
  std::string Text(const std::string& form, int control) const override;
  void SetText(const std::string& form, int control, const std::string& text) override;
  void AppendText(const std::string& form, int control, const std::string& text) override;
  std::size_t TextLength(const std::string& form, int control) const override;
  void MakeRichText(const std::string& form, int control, std::size_t limit) override;
  void AddItems(const std::string& form, int control, const std::string& items) override;
  void ClearItems(const std::string& form, int control) override;
  std::vector<std::string> Items(const std::string& form, int control) const override;
  void SelectItem(const std::string& form, int control, int index) override;
  int SelectedItem(const std::string& form, int control) const override;
  bool Checked(const std::string& form, int control) const override;
  void SetChecked(const std::string& form, int control, bool checked) override;
  void SetVisible(const std::string& form, int control, bool visible) override;
  bool Visible(const std::string& form, int control) const override;
  void SetEnabled(const std::string& form, int control, bool enabled) override;
  bool Enabled(const std::string& form, int control) const override;
  void SetFocus(const std::string& form, int control) override;
  void SetColours(const std::string& form, int control, int text, int back) override;
  void Colours(const std::string& form, int control, int& text, int& back) const override;
  void Redraw(const std::string& form, int control) override;
  void SetRedrawState(const std::string& form, int control, bool redraw) override;
  void PostEvent(const std::string& form, int control, int code, int value) override;
  void StartTimer(const std::string& form, int timer, double seconds) override;
  void StopTimer(const std::string& form, int timer) override;
  void DoEvents() override;
  double Now() override;
  void Delay(double seconds) override;
  int Run() override;
  void Quit(int status) override;
  int MessageBox(const MessageBoxRequest& request) override;
  std::string FileDialog(const FileDialogRequest& request) override;

  // For tests: the control that has the focus, and how often one was redrawn.
  std::pair<std::string, int> Focus() const { return focus_; }
  int RedrawCount(const std::string& form, int control) const;
  bool TimerRunning(const std::string& form, int timer) const;

 private:
  struct Control {
    ControlSpec spec;
    std::string text;
    std::vector<std::string> items;
    int selected = -1;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    bool rich = false;
    std::size_t limit = 0;
    int textColour = -1, backColour = -1;
    int redraws = 0;
  };
  struct Form {
    FormSpec spec;
    std::string caption;
    int textColour = -1, backColour = -1;
    std::map<int, Control> controls;
    std::string accelerators;
  };
  struct Timer {
    double interval = 0;
    double due = 0;
  };

  Control* Find(const std::string& form, int control);
  const Control* Find(const std::string& form, int control) const;
  void Dispatch(const Event& event);
  bool ProcessOne();
  bool FireDueTimers();
  // Waits for something to happen; false when nothing ever can.
  bool WaitForWork();
  double NextTimerDue() const;

  Time time_;
  double virtualNow_ = 0;
  double realStart_ = 0;
  EventSink* sink_ = nullptr;
  std::map<std::string, Form> forms_;
  std::deque<Event> queue_;
  std::map<std::pair<std::string, int>, Timer> timers_;
  std::pair<std::string, int> focus_{"", 0};
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace app::gui

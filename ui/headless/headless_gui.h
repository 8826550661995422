// The headless backend of the GUI contract: the forms and controls of a
// FormStore, with an event queue, timers, a clock that runs on real or
// virtual time, and a recording canvas.
//
// On virtual time Delay() and idle waits only move the clock forward, so a
// test of a 60-second wait or of a script timer runs in microseconds.
// Message boxes and file dialogs are answered by replaceable responders.
// Tests (and the headless program) act as the operator with Click(),
// PressKey(), Pick(), Type() and RequestClose(), which are queued like the
// window system's own input and delivered by the event loop; Inject() queues
// any event as it is. Paint() asks the application to draw a control on a
// recording canvas and returns what it drew.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/headless/clock.h"
#include "ui/headless/form_store.h"
#include "ui/headless/recording_canvas.h"

namespace ui::headless {

class HeadlessGui : public FormStore {
 public:
  using Time = Clock::Time;
  explicit HeadlessGui(Time time = Time::Virtual);

  // Responders. The message box responder returns the button chosen (1 by
  // default); the file dialog responder returns the path ("" = cancelled).
  std::function<MessageBoxAnswer(const MessageBoxRequest&)> messageBoxResponder;
  std::function<std::string(const FileDialogRequest&)> fileDialogResponder;
  // The language the application asked the library dialogs to speak.
  std::string dialogLanguage;
  // Called whenever the event loop has nothing to do; returns true when it
  // queued something (e.g. an operator action read from a file). On real
  // time the loop sleeps briefly between calls.
  std::function<bool()> onIdle;

  // What OpenWithDesktop and ShowHelpWindow were asked to open, in order.
  std::vector<std::string> openedWithDesktop;
  std::vector<std::string> helpWindows;  // the index files
  // The data of the last OpenPlotWindow, and how often it was called.
  std::shared_ptr<const PlotData> plotWindow;
  int plotWindowOpened = 0;
  // Told each path OpenWithDesktop or ShowHelpWindow is asked to open (the
  // headless program prints it).
  std::function<void(const std::string& path)> onOpen;

  // -- The operator ---------------------------------------------------------
  void Inject(const Event& event);
  // A click: a check box toggles, then event 1. Clicks on hidden or
  // disabled controls, and on any form while a modal form above it is open,
  // are lost as on a screen. An id that is no control (an accelerator's)
  // is delivered as event 1 as it stands.
  void Click(const ControlRef& control);
  // A key pressed in a form: an accelerator of its table arrives as event 1
  // of the accelerator's id; otherwise Enter and ESC reach the focused
  // control as event 31, and so do Up and Down in a single-line text box
  // that asks for focus events.
  void PressKey(const std::string& form, int keyCode, bool control = false, bool shift = false,
                bool alt = false);
  // Picks item `index` of a drop-down list: it is selected, then event 6.
  void Pick(const ControlRef& control, int index);
  // The operator chooses display options in a text box's context menu: the
  // box takes them, then event 900. Lost on a box that offers none.
  void ChooseDisplayOptions(const ControlRef& control, const DisplayOptions& options);
  // The window's close button (event 0); the form unloads unless refused.
  void RequestClose(const std::string& form);

  std::size_t PendingEvents() const { return queue_.size(); }

  // -- What the application did ---------------------------------------------
  // Asks the application to paint a control (or list item `item`) now; the
  // area is the control's size in pixels (an item is as high as event 310
  // answers). Returns the recording.
  RecordingCanvas Paint(const ControlRef& control, const DrawState& state = {}, int item = -1);
  // Handles one event at once, as a window asks when it needs an answer
  // (a tooltip, an item height), and returns the reply.
  EventReply Ask(const Event& event);
  bool TimerRunning(const std::string& form, int timer) const;

  // -- Gui: events, forms' lifetime, time and dialogs -------------------------
  void SetEventSink(EventSink* sink) override { sink_ = sink; }
  void LoadForm(const FormSpec& spec) override;
  void ShowModal(const FormSpec& spec) override;
  void UnloadForm(const std::string& form) override;
  void SetFocus(const ControlRef& control) override;
  void PostEvent(const ControlRef& control, event::Code code, int value) override;
  void StartTimer(const std::string& form, int timer, double seconds) override;
  void StopTimer(const std::string& form, int timer) override;
  void DoEvents() override;
  double Now() override;
  bool RealTime() const override { return clock_.Kind() == Time::Real; }
  void Delay(double seconds) override;
  int Run() override;
  void Quit(int status) override;
  MessageBoxAnswer MessageBox(const MessageBoxRequest& request) override;
  void SetDialogLanguage(const std::string& code) override { dialogLanguage = code; }
  std::string FileDialog(const FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  bool ShowHelpWindow(const std::string& title, const std::string& index) override;
  void OpenPlotWindow(std::shared_ptr<const PlotData> data) override;

 private:
  // What an operator action does when the loop delivers it.
  enum class Action { None, Click, Key, Pick, Options };
  struct Queued {
    Event event;
    Action action = Action::None;
    bool control = false, shift = false, alt = false;  // Key
    DisplayOptions options = {};                       // Options
  };

  void Queue(Queued queued);
  void Dispatch(const Event& event);
  // Turns a delivered operator action into its event; false when it is lost.
  bool Perform(Queued& queued);
  bool TakesOperatorInput(const std::string& form) const;
  bool ProcessOne();
  bool FireDueTimers();
  // Waits for something to happen; false when nothing ever can.
  bool WaitForWork();

  Clock clock_;
  EventSink* sink_ = nullptr;
  std::vector<std::string> modal_;  // open modal forms, the innermost last
  std::deque<Queued> queue_;
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace ui::headless

// The headless backend of the GUI contract: forms and controls kept in
// memory, an event queue, timers, a clock that runs on real or virtual time,
// a fake screen and a recording canvas.
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
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/contract/gui.h"
#include "ui/headless/clock.h"
#include "ui/headless/recording_canvas.h"

namespace ui::headless {

class HeadlessGui : public Gui {
 public:
  using Time = Clock::Time;
  explicit HeadlessGui(Time time = Time::Virtual);

  // The fake screen: 96 dots per inch, 1920 x 1080 with a 40-pixel panel at
  // the bottom, a frame of 8 x 31 pixels. Tests may change it at any time.
  ScreenInfo screen;

  // Responders. The message box responder returns the button chosen (1 by
  // default); the file dialog responder returns the path ("" = cancelled).
  std::function<MessageBoxAnswer(const MessageBoxRequest&)> messageBoxResponder;
  std::function<std::string(const FileDialogRequest&)> fileDialogResponder;
  // Called whenever the event loop has nothing to do; returns true when it
  // queued something (e.g. an operator action read from a file). On real
  // time the loop sleeps briefly between calls.
  std::function<bool()> onIdle;

  // What OpenWithDesktop and ShowHelpWindow were asked to open, in order.
  std::vector<std::string> openedWithDesktop;
  std::vector<std::string> helpWindows;  // the index files
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
  // Replaces a text box's text as typing would; no event.
  void Type(const ControlRef& control, const std::string& text);
  // The window's close button (event 0); the form unloads unless refused.
  void RequestClose(const std::string& form);

  std::size_t PendingEvents() const { return queue_.size(); }
  // Moves the virtual clock forward, firing the timers that fall due.
  void AdvanceTime(double seconds);

  // -- What the application did ---------------------------------------------
  // Asks the application to paint a control (or list item `item`) now; the
  // area is the control's size in pixels (an item is as high as event 310
  // answers). Returns the recording.
  RecordingCanvas Paint(const ControlRef& control, const DrawState& state = {}, int item = -1);
  // Handles one event at once, as a window asks when it needs an answer
  // (a tooltip, an item height), and returns the reply.
  EventReply Ask(const Event& event);
  // The control that takes a click at pixel (x, y) of the form's client
  // area: the topmost visible one there that is not click-through; 0: none.
  int ControlAt(const std::string& form, int x, int y) const;
  const std::vector<Accelerator>& Accelerators(const std::string& form) const;
  const Rgb* ColourSlot(int slot) const;  // nullptr: never defined
  FontRef ControlFont(const ControlRef& control) const;
  std::string FormIcon(const std::string& form) const;
  int RedrawCount(const ControlRef& control) const;
  bool RedrawOff(const ControlRef& control) const;
  bool TimerRunning(const std::string& form, int timer) const;

  // -- Gui --------------------------------------------------------------------
  void SetEventSink(EventSink* sink) override { sink_ = sink; }
  void DefineFont(int slot, const Font& font) override { fonts_[slot] = font; }
  void DefineColour(int slot, Rgb colour) override { colours_[slot] = colour; }
  void DefineSystemColour(int slot, int systemColour) override;
  void SetImageFolder(const std::string& folder) override { imageFolder_ = folder; }
  ScreenInfo Screen() const override { return screen; }
  void LoadForm(const FormSpec& spec) override;
  void ShowModal(const FormSpec& spec) override;
  void UnloadForm(const std::string& form) override;
  bool FormLoaded(const std::string& form) const override;
  void SetFormLimits(const std::string& form, double minWidth, double minHeight, double maxWidth,
                     double maxHeight) override;
  void SetFormIcon(const std::string& form, const std::string& image) override;
  UnitRect FormGeometry(const std::string& form) const override;
  void SetFormGeometry(const std::string& form, const UnitRect& geometry) override;
  void MoveForm(const std::string& form, double x, double y) override;
  void MaximiseForm(const std::string& form) override;
  bool FormMaximised(const std::string& form) const override;
  void DefineAccelerators(const std::string& form, const std::vector<Accelerator>& table) override;
  std::string Text(const ControlRef& control) const override;
  void SetText(const ControlRef& control, const std::string& text) override;
  void AppendText(const ControlRef& control, const std::string& text) override;
  TextSelection Selection(const ControlRef& control) const override;
  void SetSelection(const ControlRef& control, TextSelection selection) override;
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
  ControlRef FocusedControl() const override { return focus_; }
  void SetColours(const ControlRef& control, int text, int back) override;
  ColourPair Colours(const ControlRef& control) const override;
  void SetFont(const ControlRef& control, const FontRef& font) override;
  void Raise(const ControlRef& control) override;
  UnitRect ControlGeometry(const ControlRef& control) const override;
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
  MessageBoxAnswer MessageBox(const MessageBoxRequest& request) override;
  std::string FileDialog(const FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  bool ShowHelpWindow(const std::string& title, const std::string& index) override;

 private:
  struct Control {
    ControlSpec spec;
    std::string text;
    std::vector<std::string> items;
    int selected = -1;
    TextSelection selection;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    bool redrawOff = false;
    int textColour = -1, backColour = -1;
    FontRef font;
    int redraws = 0;
  };
  struct Form {
    FormSpec spec;
    std::string caption;
    int textColour = -1, backColour = -1;
    std::map<int, Control> controls;
    std::vector<int> stacking;  // control ids, the top one first
    std::vector<Accelerator> accelerators;
    PixelRect frame;  // x, y: the outer frame; width, height: the client area
    double minWidth = 0, minHeight = 0, maxWidth = 1e9, maxHeight = 1e9;  // units
    bool maximised = false;
    std::string icon;
  };
  // What an operator action does when the loop delivers it.
  enum class Action { None, Click, Key, Pick };
  struct Queued {
    Event event;
    Action action = Action::None;
    bool control = false, shift = false, alt = false;  // Key
  };

  Form* FindForm(const std::string& form);
  const Form* FindForm(const std::string& form) const;
  Control* Find(const ControlRef& control);
  const Control* Find(const ControlRef& control) const;
  PixelRect ControlPixels(const Form& form, const Control& control) const;
  void Queue(Queued queued);
  void Dispatch(const Event& event);
  // Turns a delivered operator action into its event; false when it is lost.
  bool Perform(Queued& queued);
  bool TakesOperatorInput(const std::string& form) const;
  bool ProcessOne();
  bool FireDueTimers();
  // Waits for something to happen; false when nothing ever can.
  bool WaitForWork();
  void ClampToLimits(Form& form);

  Clock clock_;
  EventSink* sink_ = nullptr;
  std::map<int, Font> fonts_;
  std::map<int, Rgb> colours_;
  std::string imageFolder_;
  std::map<std::string, Form> forms_;
  std::vector<std::string> modal_;  // open modal forms, the innermost last
  std::deque<Queued> queue_;
  ControlRef focus_;
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace ui::headless

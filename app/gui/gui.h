// The GUI library contract: everything the application asks of a window
// system, named by form name and control identifier.
//
// Two backends implement it: the headless backend (app/gui/headless_gui.h),
// which keeps forms and controls in memory and can run on virtual time, and
// the Qt backend (app/qt/). Application code uses only this interface.
//
// Model: a form is built from a FormSpec (a table of controls). Loading a form
// sends event 85 (loading) to each control that asks for it, then 87 (loaded)
// to the form and the controls, then 86 (started) to the form once it is on
// screen. Every user action, timer tick and posted event reaches the single
// EventSink as an Event. A modal form runs a nested event loop until it is
// unloaded; DoEvents processes what is pending and returns.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace app::gui {

// Event codes.
namespace event {
inline constexpr int kCloseRequest = 0;
inline constexpr int kClick = 1;
inline constexpr int kSelectionChange = 6;
inline constexpr int kTimerTick = 7;
inline constexpr int kTooltip = 8;
inline constexpr int kKey = 31;  // value = key code (13 Enter, 27 ESC)
inline constexpr int kSecondCloseRequest = 59;
inline constexpr int kLoading = 85;
inline constexpr int kStarted = 86;
inline constexpr int kLoaded = 87;
inline constexpr int kOwnerDraw = 300;
inline constexpr int kOwnerSize = 310;
inline constexpr int kPosted = 410;
inline constexpr int kFocusGained = 800;
inline constexpr int kFocusLost = 801;
inline constexpr int kApplicationEnd = -100;
}  // namespace event

inline constexpr const char* kApplicationForm = "{APP}";

enum class ControlKind {
  Label,
  TextBox,
  Button,
  CheckBox,
  ComboBox,
  Picture,
  Shape,
  Icon,
  SegmentBar,  // custom class LABEL3DM: its text is a bar markup
  RichText,
};

// A font: a numbered slot, or a face with points and style letters.
struct FontSpec {
  int slot = -1;
  std::string face;
  double points = 0;
  std::string style;
};

// One control of a form table. Places are in character units.
struct ControlSpec {
  int id = 0;
  ControlKind kind = ControlKind::Label;
  std::string caption;  // initial text; for combo boxes "|"-separated items
  double x = 0, y = 0, width = 0, height = 0;
  int textColour = -1, backColour = -1;  // -1: the library default
  FontSpec font;
  std::string resize;  // resize rule codes, e.g. "FL,FR,FB,H"
  std::string style;   // style letters
  bool ownerDrawn = false;
  bool hidden = false;
  bool wantsLoading = false;  // receives event 85 before it is filled
};

struct FormSpec {
  std::string name;
  std::string caption;
  double x = 0, y = 0, width = 0, height = 0;
  std::string style;
  int textColour = -1, backColour = -1;
  std::vector<ControlSpec> controls;
};

struct Event {
  std::string form;
  int control = 0;  // 0 = the form itself
  int code = 0;
  int value = 0;
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  // Handles one event; setting `refuse` to true refuses a close request.
  virtual void OnEvent(const Event& event, bool& refuse) = 0;
};

struct MessageBoxRequest {
  std::string form;  // owner
  std::string text;  // "|" breaks lines
  std::string title;
  std::string buttons;
};

struct FileDialogRequest {
  bool save = false;
  std::string form;  // owner
  std::string title;
  std::string folder;
  std::string defaultName;
  std::string filter;  // name and pattern pairs joined by "|"
  std::string defaultExtension;
  std::string options;
};

class Gui {
 public:
  virtual ~Gui() = default;

  virtual void SetEventSink(EventSink* sink) = 0;

  // Definitions every form relies on, made once before the first form.
  virtual void DefineFont(int slot, const std::string& face, double points,
                          const std::string& style) = 0;
  virtual void DefineColour(int slot, int red, int green, int blue) = 0;
  // A colour slot that follows one of the system's colours (menu, window...).
  virtual void DefineSystemColour(int slot, int systemColour) = 0;
  // Key table of a form: "KEY,id|KEY,id..." (e.g. "RETURN,7777|ESC,8888|^F1,9701");
  // a key arrives as a click event (code 1) of the control with that id.
  virtual void DefineAccelerators(const std::string& form, const std::string& table) = 0;
  // The size limits of a form, in character units.
  virtual void SetFormLimits(const std::string& form, double minWidth, double minHeight,
                             double maxWidth, double maxHeight) = 0;

  // Forms.
  virtual void LoadForm(const FormSpec& spec) = 0;
  // Loads the form and runs a nested event loop until it is unloaded.
  virtual void ShowModal(const FormSpec& spec) = 0;
  virtual void UnloadForm(const std::string& form) = 0;
  virtual bool FormLoaded(const std::string& form) const = 0;

  // Text of a control; control 0 is the form's caption.
  virtual std::string Text(const std::string& form, int control) const = 0;
  virtual void SetText(const std::string& form, int control, const std::string& text) = 0;
  // Inserts at the end of a rich-text control and scrolls to the end.
  virtual void AppendText(const std::string& form, int control, const std::string& text) = 0;
  virtual std::size_t TextLength(const std::string& form, int control) const = 0;
  // Replaces a control by a rich-text control with the given text limit.
  virtual void MakeRichText(const std::string& form, int control, std::size_t limit) = 0;

  // List controls.
  virtual void AddItems(const std::string& form, int control, const std::string& items) = 0;
  virtual void ClearItems(const std::string& form, int control) = 0;
  virtual std::vector<std::string> Items(const std::string& form, int control) const = 0;
  // Selects an item; a position outside the list selects nothing.
  virtual void SelectItem(const std::string& form, int control, int index) = 0;
  virtual int SelectedItem(const std::string& form, int control) const = 0;  // -1: none

  virtual bool Checked(const std::string& form, int control) const = 0;
  virtual void SetChecked(const std::string& form, int control, bool checked) = 0;

  virtual void SetVisible(const std::string& form, int control, bool visible) = 0;
  virtual bool Visible(const std::string& form, int control) const = 0;
  virtual void SetEnabled(const std::string& form, int control, bool enabled) = 0;
  virtual bool Enabled(const std::string& form, int control) const = 0;
  virtual void SetFocus(const std::string& form, int control) = 0;
  virtual void SetColours(const std::string& form, int control, int text, int back) = 0;
  virtual void Colours(const std::string& form, int control, int& text, int& back) const = 0;
  virtual void Redraw(const std::string& form, int control) = 0;
  virtual void SetRedrawState(const std::string& form, int control, bool redraw) = 0;

  // Events, timers and time.
  virtual void PostEvent(const std::string& form, int control, int code, int value) = 0;
  virtual void StartTimer(const std::string& form, int timer, double seconds) = 0;
  virtual void StopTimer(const std::string& form, int timer) = 0;
  // Processes every pending event once, then returns.
  virtual void DoEvents() = 0;
  virtual double Now() = 0;                // seconds, monotonic
  virtual void Delay(double seconds) = 0;  // blocks without processing events
  // Runs the event loop until no form is loaded. Returns the exit status
  // asked for by Quit(), else 0.
  virtual int Run() = 0;
  virtual void Quit(int status) = 0;

  // Library dialogs.
  virtual int MessageBox(const MessageBoxRequest& request) = 0;
  // The chosen path, or empty when cancelled.
  virtual std::string FileDialog(const FileDialogRequest& request) = 0;
};

}  // namespace app::gui

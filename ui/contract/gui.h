// The GUI library contract, version 2: everything the application asks of a
// window system, and everything a window system reports back. This header is
// the backend's manual; a backend that does what it says runs the terminal.
//
// Two backends implement it: the headless backend (ui/headless/headless_gui.h:
// forms in memory, virtual or real time, a recording canvas, a fake screen)
// and the Qt 6 Widgets backend (ui/qt/). One conformance suite
// (tests/ui/contract/) runs against both. Application code uses only this interface.
//
// The division of work
//   The core decides what things look like; a backend only maps. Owner-drawn
//   labels and buttons, segment bars, shapes and the items of an owner-drawn
//   list are painted by the application through EventSink::OnDraw on a
//   Canvas of primitives (ui/look/ holds the painters). Everything else
//   (text boxes, plain labels, check boxes, drop-down lists, pictures,
//   icons) is the backend's own widget, in the colours and font the form
//   table gives it.
//
// Text
//   Text crosses this contract as 8-bit bytes, one byte to one character
//   (Latin-1), in both directions: SetText("\xB5") shows MICRO SIGN, and
//   Text() of a box showing U+00B5 gives "\xB5". A character the operator
//   types that has no Latin-1 byte is given as "?". The only exception is a
//   translated caption, which the application paints itself as UTF-8 text
//   (CanvasText::utf8). The text of a control is never interpreted as markup.
//   A text box takes lines of any length.
//
// Places and sizes
//   Places and sizes are character units. One unit is 8 x 16 pixels at 96
//   dots per inch and scales with the screen's dots per inch (UnitsToPixelsX
//   and UnitsToPixelsY below are the only conversion). A form's size is the
//   size of its client area; a form's position is the position of its outer
//   frame on the screen. ScreenInfo gives the frame's extra width and height.
//   A control's place is relative to its form's client area. A backend may
//   draw a form that does not fit its screen smaller (its units at a lower
//   density); FormGeometry then gives the form's place and size on the
//   screen, while its controls' places and its size limits stay in the
//   form's own units.
//
// Events
//   Every operator action, timer tick and posted event reaches the single
//   EventSink as an Event, on the one GUI thread. Events are delivered only
//   from the event loop: from Run(), from ShowModal()'s nested loop, and from
//   DoEvents(). No other call of this contract delivers an event; in
//   particular SetText, SelectItem, SetChecked, LoadForm's own calls aside,
//   never raise one. (LoadForm delivers 85, 87 and 86 as documented there.)
//   Drawing is separate: OnDraw never pumps events and must not change state.
//
// Keys and clicks
//   A click on a button, or Space on a focused button, is event 1 of that
//   button. A click on a check box toggles it, then delivers event 1. Picking
//   an item of a drop-down list selects it, then delivers event 6 (only when
//   the operator picks: never for SelectItem). In a form with an accelerator
//   table, an accelerator key is delivered once, as the accelerator, wherever
//   the focus is (Enter in the command entry is one 7777, main or keypad
//   Enter). Otherwise Enter and ESC pressed while a control has the focus
//   reach that control as event 31 (value 13 or 27), and Up and Down in a
//   single-line text box with focusEvents as event 31 (38 or 40). A backend
//   never acts on Enter or ESC by itself: no default button is pressed and
//   no dialog is closed by its own keys.
//
// Colours
//   Colours are numbers. The backend keeps a table: DefineColour fills a
//   slot with an RGB value (the application defines 0..31, its palette, and
//   32..43 before the first form), DefineSystemColour makes a slot follow a
//   colour of the desktop. -1 means the control kind's native default
//   (ui/look/palette.h says what the application's painters use for it).
//
// Threads
//   Everything runs on the thread that called Run(). Delay() blocks that
//   thread without delivering events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {

class PlotData;  // ui/contract/plot_data.h

// ---------------------------------------------------------------------------
// Event codes

namespace event {
// What happened: the code of an Event, and what PostEvent queues.
enum Code : int {
  kCloseRequest = 0,         // the operator closes a form; refuse keeps it
  kClick = 1,                // a button, check box or accelerator
  kSelectionChange = 6,      // the operator picked a list item
  kTimerTick = 7,            // control = the timer's identifier
  kTooltip = 8,              // reply with EventReply::tooltip
  kKey = 31,                 // value = key code (13 Enter, 27 ESC)
  kSecondCloseRequest = 59,  // the form's close from the system menu
  kLoading = 85,             // to a control, before it is filled
  kStarted = 86,             // to a form, once it is on screen
  kLoaded = 87,              // to each control, then to the form
  kOwnerSize = 310,          // reply with EventReply::itemHeight
  kPosted = 410,             // what PostEvent queues by convention
  kFocusGained = 800,        // controls with ControlSpec::focusEvents
  kFocusLost = 801,
  kDisplayOptions = 900,   // the operator changed a text box's display options
  kPlotRequest = 901,      // the operator asked for the plot in a text box's context menu
  kApplicationEnd = -100,  // to kApplicationForm after the last form
};
}  // namespace event

// The pseudo-form that receives kApplicationEnd.
inline constexpr const char* kApplicationForm = "{APP}";

// Key codes: event 31's value and Accelerator::keyCode. Letters are their
// upper-case ASCII codes, digits their ASCII codes.
namespace key {
inline constexpr int kEnter = 13;
inline constexpr int kEscape = 27;
inline constexpr int kUp = 38;
inline constexpr int kDown = 40;
inline constexpr int kF1 = 112;  // F1..F12 are 112..123
}  // namespace key

// ---------------------------------------------------------------------------
// Geometry

struct UnitRect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const UnitRect&) const = default;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

inline constexpr int kReferenceDotsPerInch = 96;
inline constexpr double kUnitPixelsX = 8.0;   // at 96 dots per inch
inline constexpr double kUnitPixelsY = 16.0;  // at 96 dots per inch

// The one unit-to-pixel rule, rounded to the nearest pixel (halves away from
// zero). A density of 0 or less counts as 96. UnitsToPixels rounds a
// rectangle's edges, not its size, so controls that touch in units touch in
// pixels.
int UnitsToPixelsX(double units, int dotsPerInch);
int UnitsToPixelsY(double units, int dotsPerInch);
double PixelsToUnitsX(int pixels, int dotsPerInch);
double PixelsToUnitsY(int pixels, int dotsPerInch);
PixelRect UnitsToPixels(const UnitRect& units, int dotsPerInch);

// The screen the main window is on, in pixels.
struct ScreenInfo {
  int dotsPerInch = kReferenceDotsPerInch;  // vertical, logical
  PixelRect screen;                         // the whole screen
  PixelRect workArea;                       // the screen without desktop panels
  // What a form's outer frame adds to its client size: both side borders
  // together, and the title bar with the top and bottom borders.
  int frameWidth = 0;
  int frameHeight = 0;
  // False where a program cannot place its own windows (a Wayland session):
  // MoveForm and the position part of SetFormGeometry are then ignored.
  bool canPlaceWindows = true;
};

// ---------------------------------------------------------------------------
// Colours and fonts

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

// A font as the backend creates it. The application describes its fonts from
// face, points and style letters (lang::DescribeFont); the backend maps the
// face to what the desktop has (Arial, Courier New, Tahoma, Arial Black,
// Terminal ...) and never fails: an unknown face gives the desktop's sans
// serif font.
struct Font {
  std::string face;     // 8-bit; empty: the backend's default face
  int pixelHeight = 0;  // character height without leading, in pixels (> 0)
  int weight = 400;     // 100 thin .. 900 black; 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool fixedPitch = false;
  bool operator==(const Font&) const = default;
};

// A control's font: a numbered slot defined with DefineFont, or a font of its
// own. slot < 0 means `font` is used; a slot never defined gives the
// backend's default font.
struct FontRef {
  int slot = -1;
  Font font;
};

// ---------------------------------------------------------------------------
// Typed descriptions of forms and controls
//
// The form tables of the application keep the letter codes they are written
// in; ui/look/form_codes.h parses them once into these types. A backend sees
// only the types.

enum class ControlKind {
  Label,
  TextBox,
  Button,
  CheckBox,
  ComboBox,    // a drop-down list; its caption is the "|"-separated items
  Picture,     // its caption names its image (see Images below)
  Shape,       // a frame or filled rectangle, painted by the application
  Icon,        // its caption names its icon (see Images below)
  SegmentBar,  // its text is a bar markup, painted by the application
};

// How a control follows its form when the form is resized. Each axis keeps
// the control's distance to the form's near edge, its far edge, or both:
//   Near        fixed: place and size do not change
//   Far         moves with the far edge (right or bottom), size unchanged
//   Stretch     near side fixed, far side follows the far edge
struct ResizeRule {
  enum class Axis { Near, Far, Stretch };
  Axis horizontal = Axis::Near;
  Axis vertical = Axis::Near;
  bool operator==(const ResizeRule&) const = default;
};

// The outline of a control: what it paints in and where it takes clicks.
enum class Region {
  Rectangle,
  Rounded,  // 6 px corner radius at 96 dots per inch
  Pill,     // corner radius half the smaller side
};

enum class Align { Left, Centre, Right };

struct ControlStyle {
  // Text placement of labels (and text boxes for `align`).
  Align align = Align::Left;
  bool verticalCentre = false;
  bool transparent = false;  // a plain label paints no background
  // Text boxes.
  bool multiLine = false;
  bool verticalScroll = false;
  bool horizontalScroll = false;
  bool border = false;
  bool readOnly = false;  // selection and copy stay possible
  // A read-only multi-line box that breaks its lines at blanks to fit its
  // width, and makes its form taller (up to the screen) to show them all.
  bool wrap = false;
  // Buttons and every control that takes the keyboard.
  bool tabStop = false;
  bool defaultButton = false;  // draws as the default; Enter does NOT press it
  // Drop-down lists.
  bool ownerDrawnItems = false;  // the items and the closed box are painted by OnDraw
  // Shapes: a frame `borderWidth` pixels wide (0: filled), drawn inside the
  // control's rectangle. Painted by the application in the text colour.
  int borderWidth = 0;
  bool operator==(const ControlStyle&) const = default;
};

struct ControlSpec {
  int id = 0;
  ControlKind kind = ControlKind::Label;
  std::string caption;  // initial text (8-bit); combo boxes: items joined by "|"
  UnitRect place;       // for combo boxes the height is the open list's height;
                        // the closed box is as high as its font needs
  int textColour = -1, backColour = -1;
  FontRef font;
  ResizeRule resize;
  ControlStyle style;
  Region region = Region::Rectangle;
  bool ownerDrawn = false;    // labels and buttons: painted through OnDraw
  bool hidden = false;        // created invisible
  bool wantsLoading = false;  // receives event 85 before the form's 87
  bool focusEvents = false;   // reports 800 and 801
  bool tooltip = false;       // asks for its tooltip text with event 8
  // Stacking: where controls overlap, the lower value lies on top; equal
  // values keep creation order (the first created on top). A control with
  // clickThrough takes no mouse input: clicks reach what lies under it.
  int stacking = 0;
  bool clickThrough = false;
};

struct FormStyle {
  bool resizable = false;  // the operator may resize it (within its limits)
  bool minimiseBox = false;
  bool maximiseBox = false;
  bool modal = false;      // shown with ShowModal; blocks its owner
  bool systemMenu = true;  // has a close box
  bool operator==(const FormStyle&) const = default;
};

struct FormSpec {
  std::string name;
  std::string caption;
  UnitRect place;  // x, y: the outer frame; width, height: the client area
  FormStyle style;
  int textColour = -1, backColour = -1;
  std::string owner;                  // a dialog's owner form ("" for the main window)
  std::vector<ControlSpec> controls;  // in creation order
};

// A key table entry: the key arrives as a click (code 1) of control `id` of
// the form, wherever the focus is inside the form.
struct Accelerator {
  int keyCode = 0;  // see namespace key
  bool control = false;
  bool shift = false;
  bool alt = false;
  int id = 0;
  bool operator==(const Accelerator&) const = default;
};

// ---------------------------------------------------------------------------
// Events and replies

// One control of one form: the form's name and the control's number on it
// (0 is the form itself: its caption, its focus, its events).
struct ControlRef {
  std::string form;
  int number = 0;
  bool operator==(const ControlRef&) const = default;
};

struct Event {
  std::string form;
  int control = 0;  // 0 = the form itself
  event::Code code = event::kCloseRequest;
  int value = 0;
};

// What a handler may answer. Only the field of the event's code is read:
// refuse for 0 and 59, tooltip for 8, itemHeight (pixels) for 310.
struct EventReply {
  bool refuse = false;
  std::string tooltip;  // 8-bit
  int itemHeight = 0;
};

// ---------------------------------------------------------------------------
// Drawing

struct DrawState {
  bool hover = false;    // the mouse is over the control (or the item)
  bool pressed = false;  // a mouse button is held down on it
  bool focused = false;
  bool selected = false;  // list items: the current item
  bool enabled = true;
  bool operator==(const DrawState&) const = default;
};

// What to paint: the whole control (item = -1) or one item of an owner-drawn
// list (item >= 0, itemText its text; the closed box of such a list is
// item = -1 with itemText the shown text). The request carries what the
// painter needs of the control, so OnDraw never has to ask the Gui: its
// current text (a bar's markup, a button's caption) and colours.
struct DrawRequest {
  std::string form;
  int control = 0;
  PixelRect area;  // in the canvas's coordinates; usually 0, 0, width, height
  DrawState state;
  int item = -1;
  std::string itemText;
  std::string text;                      // the control's current text, 8-bit
  int textColour = -1, backColour = -1;  // the control's current colours
};

// Text to draw or measure: 8-bit Latin-1 bytes, or UTF-8 when `utf8`.
struct CanvasText {
  std::string_view bytes;
  bool utf8 = false;
};

struct TextLayout {
  Align align = Align::Centre;
  bool verticalCentre = true;
  bool wrap = false;  // break lines at blanks to fit the width
  // "\n" (and "\r\n") always break lines; a block of lines is centred as a
  // whole when `align` is Centre.
};

// Outlines a Canvas can draw in one call.
enum class ShapeKind { Rect, RoundedRect, Ellipse, ArrowRight, ArrowLeft, ArrowUp };

// Primitives only. Every call draws inside the request's area: a backend
// clips to it, and painters never rely on drawing outside it.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void Fill(const PixelRect& area, Rgb colour) = 0;
  // First colour at the top, second at the bottom.
  virtual void VerticalGradient(const PixelRect& area, Rgb top, Rgb bottom) = 0;
  // A face with rounded corners filled with a vertical gradient and outlined
  // with `border` (1 pixel). radius 0 gives square corners.
  virtual void RoundedFace(const PixelRect& area, int radius, Rgb top, Rgb bottom, Rgb border) = 0;
  // A frame `width` pixels wide, inside `area`.
  virtual void Frame(const PixelRect& area, int width, Rgb colour) = 0;
  // A shape fitted into `area`: filled, or outlined 2 pixels wide.
  virtual void Shape(ShapeKind kind, const PixelRect& area, Rgb colour, bool filled) = 0;
  virtual void Text(const PixelRect& area, CanvasText text, const Font& font, Rgb colour,
                    const TextLayout& layout) = 0;
  // Width and height in pixels of `text` on one line (height of the font's
  // line for an empty text).
  virtual std::pair<int, int> MeasureText(CanvasText text, const Font& font) = 0;
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  // Handles one event. `reply` starts empty.
  virtual void OnEvent(const Event& event, EventReply& reply) = 0;
  // Paints an owner-drawn control, a segment bar, a shape or an owner-drawn
  // list item. Must not pump events, change state or call the Gui.
  virtual void OnDraw(const DrawRequest& request, Canvas& canvas) = 0;
};

// ---------------------------------------------------------------------------
// Library dialogs

// A control's (or with control 0 a form's) colour numbers; -1 where it has
// the kind's native default.
struct ColourPair {
  int text = -1;
  int back = -1;
  bool operator==(const ColourPair&) const = default;
};

struct MessageBoxRequest {
  enum class Buttons { Ok, OkCancel, YesNo };
  std::string form;  // owner
  std::string text;  // "|" breaks lines
  std::string title;
  Buttons buttons = Buttons::Ok;
};

// The operator's answer to a message box: OK or Yes accepts; Cancel, No or
// closing the box declines.
enum class MessageBoxAnswer { Accepted, Declined };

struct FileDialogRequest {
  bool save = false;
  std::string form;  // owner
  std::string title;
  std::string folder;
  std::string defaultName;
  std::string filter;  // name and pattern pairs joined by "|": "Text|*.txt"
  std::string defaultExtension;
  // A save dialog replaces an existing file without asking; an open dialog
  // returns only existing files.
};

// The options of a terminal display that the operator chooses in its
// context menu: time stamps (none, the time of day, the time since the
// previous entry) and the session log. The backend only shows and reports
// the choice; what it does is the application's. (The menu also offers the
// plot, reported as event 901.)
enum class TimeStampChoice { Off, Clock, SincePrevious };
struct DisplayOptions {
  TimeStampChoice timeStamps = TimeStampChoice::Off;
  bool sessionLog = false;
  bool operator==(const DisplayOptions&) const = default;
};

struct TextSelection {
  int start = 0;
  int end = 0;  // -1: to the end of the text
  bool operator==(const TextSelection&) const = default;
};

// ---------------------------------------------------------------------------
// The contract

class Gui {
 public:
  virtual ~Gui() = default;

  virtual void SetEventSink(EventSink* sink) = 0;

  // -- Definitions made before the first form ------------------------------
  virtual void DefineFont(int slot, const Font& font) = 0;
  virtual void DefineColour(int slot, Rgb colour) = 0;
  // Slot follows a desktop colour: 4 menu background, 5 window background,
  // 15 button face, 24 tooltip background (others: window background).
  virtual void DefineSystemColour(int slot, int systemColour) = 0;
  // Images named without "$" or "#" are looked up in this folder.
  virtual void SetImageFolder(const std::string& folder) = 0;
  virtual ScreenInfo Screen() const = 0;

  // -- Forms ----------------------------------------------------------------
  // Creates the form and its controls in table order, then delivers, in this
  // order: 85 to each control with wantsLoading; 87 to every control and then
  // to the form; and, once the form is on screen (exposed), 86 to the form.
  // The headless backend is "on screen" at once. A form is shown when loaded.
  virtual void LoadForm(const FormSpec& spec) = 0;
  // LoadForm, then a nested event loop until the form is unloaded. While it
  // runs, the other forms take no operator input.
  virtual void ShowModal(const FormSpec& spec) = 0;
  // May be called from inside the form's own event handler: the form
  // disappears at once and is destroyed when the handler has returned.
  virtual void UnloadForm(const std::string& form) = 0;
  virtual bool FormLoaded(const std::string& form) const = 0;
  virtual void SetFormLimits(const std::string& form, double minWidth, double minHeight,
                             double maxWidth, double maxHeight) = 0;
  // Image name as for a picture ("$BPROGRAM": the program's own icon).
  virtual void SetFormIcon(const std::string& form, const std::string& image) = 0;
  // x, y: the outer frame's position; width, height: the client size.
  virtual UnitRect FormGeometry(const std::string& form) const = 0;
  virtual void SetFormGeometry(const std::string& form, const UnitRect& geometry) = 0;
  virtual void MoveForm(const std::string& form, double x, double y) = 0;
  virtual void MaximiseForm(const std::string& form) = 0;
  virtual bool FormMaximised(const std::string& form) const = 0;
  // The key table of a form; replaces any earlier table.
  virtual void DefineAccelerators(const std::string& form,
                                  const std::vector<Accelerator>& table) = 0;

  // -- Text -------------------------------------------------------------------
  // Text of a control; control 0 is the form's caption. A drop-down list's
  // text is its selected item's text ("" with none).
  virtual std::string Text(const ControlRef& control) const = 0;
  virtual void SetText(const ControlRef& control, const std::string& text) = 0;
  // Adds `text` at the end of a text box and scrolls to it, in time that
  // does not grow with the text already there.
  virtual void AppendText(const ControlRef& control, const std::string& text) = 0;
  // The selection (or caret: start == end) of a text box.
  virtual TextSelection Selection(const ControlRef& control) const = 0;
  virtual void SetSelection(const ControlRef& control, TextSelection selection) = 0;
  // A multi-line text box that has been given display options offers them
  // in its context menu (one that never was offers only its own text's
  // functions). When the operator chooses one, the box takes the new
  // options and delivers event 900; the application reads them with
  // GetDisplayOptions. SetDisplayOptions never raises an event.
  virtual void SetDisplayOptions(const ControlRef& control, const DisplayOptions& options) = 0;
  virtual DisplayOptions GetDisplayOptions(const ControlRef& control) const = 0;

  // -- Lists ------------------------------------------------------------------
  // Adds the items at the end, each exactly as given (a "|" in one is kept).
  virtual void AddItems(const ControlRef& control, const std::vector<std::string>& items) = 0;
  // Inserts exactly one item (a "|" in it is kept) before `position`;
  // a position past the end appends.
  virtual void InsertItem(const ControlRef& control, int position, const std::string& item) = 0;
  virtual void ClearItems(const ControlRef& control) = 0;
  virtual std::vector<std::string> Items(const ControlRef& control) const = 0;
  // Selects an item; a position outside the list selects nothing. Never an event.
  virtual void SelectItem(const ControlRef& control, int index) = 0;
  virtual int SelectedItem(const ControlRef& control) const = 0;  // -1: none

  // -- State ------------------------------------------------------------------
  virtual bool Checked(const ControlRef& control) const = 0;
  // Never an event.
  virtual void SetChecked(const ControlRef& control, bool checked) = 0;
  virtual void SetVisible(const ControlRef& control, bool visible) = 0;
  virtual bool Visible(const ControlRef& control) const = 0;
  virtual void SetEnabled(const ControlRef& control, bool enabled) = 0;
  virtual bool Enabled(const ControlRef& control) const = 0;
  virtual void SetFocus(const ControlRef& control) = 0;
  // The form and control that have the keyboard focus ("", 0: none).
  virtual ControlRef FocusedControl() const = 0;
  // Control 0: the form's colours.
  virtual void SetColours(const ControlRef& control, int text, int back) = 0;
  virtual ColourPair Colours(const ControlRef& control) const = 0;
  virtual void SetFont(const ControlRef& control, const FontRef& font) = 0;
  // Puts a control on top of every other control of its form.
  virtual void Raise(const ControlRef& control) = 0;
  // The control's place now (it follows its resize rule).
  virtual UnitRect ControlGeometry(const ControlRef& control) const = 0;
  // Control 0: the whole form.
  virtual void Redraw(const ControlRef& control) = 0;
  // While off, changes are not shown; Redraw({form, 0}) after turning it on.
  virtual void SetRedrawState(const ControlRef& control, bool redraw) = 0;

  // -- Events, timers and time ------------------------------------------------
  virtual void PostEvent(const ControlRef& control, event::Code code, int value) = 0;
  // A timer of a form, by identifier: event 7 every `seconds`. Starting a
  // running timer restarts it. Unloading the form stops its timers.
  virtual void StartTimer(const std::string& form, int timer, double seconds) = 0;
  virtual void StopTimer(const std::string& form, int timer) = 0;
  // One pass over what is pending now (input, posted events, due timers,
  // painting); events that this pass causes wait for the next pass.
  virtual void DoEvents() = 0;
  virtual double Now() = 0;                // seconds, monotonic
  virtual void Delay(double seconds) = 0;  // blocks without delivering events
  // Now() runs with the time of day (the machine's steady clock); false for
  // a virtual time that stands still and jumps.
  virtual bool RealTime() const = 0;
  // Runs the event loop until no form is loaded or Quit() is called, then
  // delivers kApplicationEnd. Returns the status given to Quit(), else 0.
  virtual int Run() = 0;
  virtual void Quit(int status) = 0;

  // -- Dialogs and help -------------------------------------------------------
  virtual MessageBoxAnswer MessageBox(const MessageBoxRequest& request) = 0;
  // The language of the backend's own dialogs (MessageBox, FileDialog),
  // as the two letters of a language code ("de"); "" for the built-in
  // English. A backend that has no translation for it keeps English.
  virtual void SetDialogLanguage(const std::string& code) = 0;
  // The chosen path, or "" when cancelled.
  virtual std::string FileDialog(const FileDialogRequest& request) = 0;
  // Hands a file to the desktop's default application for it. False when
  // nothing could open it (no such file, a folder, no application).
  virtual bool OpenWithDesktop(const std::string& path) = 0;
  // Shows Markdown files in a help window of the program: `index` first;
  // links between the files are followed. False when `index` cannot be read.
  // The headless backend records the path and returns whether it is a file.
  virtual bool ShowHelpWindow(const std::string& title, const std::string& index) = 0;

  // -- The plot ---------------------------------------------------------------
  // Shows the live plot of `data` (ui/contract/plot_data.h) in a window of
  // its own, or raises it when it is open. The window reads the data on its
  // own timer while it is open and redraws when the data changed; it never
  // changes them, and raises no event. The headless backend counts the calls.
  virtual void OpenPlotWindow(std::shared_ptr<const PlotData> data) = 0;
};

// ---------------------------------------------------------------------------
// Images
//
// A picture's or icon's caption, and SetFormIcon's image, name an image:
//   "$NAME"   an image of the program's own (built in: "$BPROGRAM" the
//             program's icon, "$HLVLOGO" its logo); unknown names show nothing
//   "#?Icon"  the desktop's question icon; "#!Icon" its warning icon
//   anything else: a file of that name (".png", ".bmp" or none) in the image
//             folder, found without regard to letter case; missing: nothing
//             is shown, which is not an error.

}  // namespace ui

// The state half of the headless backend: the forms and controls the
// application loaded, kept in memory with everything it set on them (text,
// items, colours, fonts, geometry on a fake screen, stacking, accelerators,
// focus), and read back by tests as the window would show them.
//
// Setting state here never raises an event; the event loop, the clock and
// the operator's input live in HeadlessGui, which builds on this store.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/contract/gui.h"

namespace ui::headless {

class FormStore : public Gui {
 public:
  FormStore();

  // The fake screen: 96 dots per inch, 1920 x 1080 with a 40-pixel panel at
  // the bottom, a frame of 8 x 31 pixels. Tests may change it at any time.
  ScreenInfo screen;

  // Replaces a text box's text as typing would; no event.
  void Type(const ControlRef& control, const std::string& text);

  // -- What the application set ----------------------------------------------
  // The control that takes a click at pixel (x, y) of the form's client
  // area: the topmost visible one there that is not click-through; 0: none.
  int ControlAt(const std::string& form, int x, int y) const;
  const std::vector<Accelerator>& Accelerators(const std::string& form) const;
  const Rgb* ColourSlot(int slot) const;  // nullptr: never defined
  FontRef ControlFont(const ControlRef& control) const;
  std::string FormIcon(const std::string& form) const;

  // -- Gui: forms, controls and their state -----------------------------------
  void DefineFont(int slot, const Font& font) override { fonts_[slot] = font; }
  void DefineColour(int slot, Rgb colour) override { colours_[slot] = colour; }
  void DefineSystemColour(int slot, int systemColour) override;
  void SetImageFolder(const std::string& folder) override { imageFolder_ = folder; }
  ScreenInfo Screen() const override { return screen; }
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
  void SetDisplayOptions(const ControlRef& control, const DisplayOptions& options) override;
  DisplayOptions GetDisplayOptions(const ControlRef& control) const override;
  // Whether the box was ever given options (its menu offers them).
  bool OffersDisplayOptions(const ControlRef& control) const;
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
  ControlRef FocusedControl() const override { return focus_; }
  void SetColours(const ControlRef& control, int text, int back) override;
  ColourPair Colours(const ControlRef& control) const override;
  void SetFont(const ControlRef& control, const FontRef& font) override;
  void Raise(const ControlRef& control) override;
  UnitRect ControlGeometry(const ControlRef& control) const override;
  void Redraw(const ControlRef& control) override;
  void SetRedrawState(const ControlRef& control, bool redraw) override;

 protected:
  struct Control {
    ControlSpec spec;
    std::string text;
    std::vector<std::string> items;
    int selected = -1;
    TextSelection selection;
    DisplayOptions displayOptions;
    bool offersOptions = false;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    int textColour = -1, backColour = -1;
    FontRef font;
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

  // Keeps the form `spec` describes, replacing one of the same name.
  void AddForm(const FormSpec& spec);
  // Forgets the form (and the focus, when it was in it).
  void RemoveForm(const std::string& form);
  bool AnyForm() const { return !forms_.empty(); }
  Form* FindForm(const std::string& form);
  const Form* FindForm(const std::string& form) const;
  Control* Find(const ControlRef& control);
  const Control* Find(const ControlRef& control) const;
  PixelRect ControlPixels(const Form& form, const Control& control) const;

  ControlRef focus_;

 private:
  void ClampToLimits(Form& form);

  std::map<int, Font> fonts_;
  std::map<int, Rgb> colours_;
  std::string imageFolder_;
  std::map<std::string, Form> forms_;
};

}  // namespace ui::headless

// A form of the contract as a top-level widget: its controls in creation
// order, their places following the resize rules, its key table, and the
// operator's close request and first exposure reported as events.
#pragma once

#include <QScrollBar>
#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/contract/gui.h"
#include "ui/qt/control_host.h"
#include "ui/qt/controls.h"

namespace ui::qt {

// The frame around the control that has the keyboard: 2 pixels in the
// palette's highlight colour, just outside the control, so it shows on
// owner-drawn controls too (they paint over any mark of the style's own).
class FocusMark : public QWidget {
 public:
  static constexpr int kWidth = 2;
  explicit FocusMark(QWidget* form);
  // Around `control` (a direct child of the form), or hidden for nullptr.
  void Follow(QWidget* control);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class FormHost : public ControlHost {
 public:
  // Unloads a form whose close request nobody refused.
  virtual void Unload(const std::string& form) = 0;
  // Delivers an event later, from the event loop.
  virtual void Post(const ui::Event& event) = 0;
  // What a window's frame adds to its client size, as measured on a form
  // that is shown (nothing before the first one is).
  virtual QSize FrameSize() const = 0;
};

class FormWindow : public QWidget {
 public:
  // Creates the form and its controls, hidden, with client size and
  // control places from the units in `spec` at `dotsPerInch`, or smaller
  // where that does not fit the screen (Fit).
  FormWindow(FormHost& host, const ui::FormSpec& spec, int dotsPerInch);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  const std::string& Name() const { return spec_.name; }
  const ui::FormSpec& Spec() const { return spec_; }
  Control* Find(int id) const;
  const std::vector<Control*>& Controls() const { return controls_; }

  void SetAccelerators(std::vector<ui::Accelerator> table) { accelerators_ = std::move(table); }
  // The identifier bound to a key, or 0.
  int AcceleratorFor(int keyCode, bool control, bool shift, bool alt) const;

  // Stacks the controls by their spec (lower stacking value on top, then
  // creation order).
  void StackControls();
  // Places every control by its resize rule for the current client size.
  void PlaceControls();
  // A form that does not fit the work area of its screen is drawn smaller,
  // geometry and fonts by one factor, down to a floor that stays readable;
  // below that floor it keeps the floor and scrolls, so every control stays
  // reachable. A form that fits is drawn at full size. Done at creation,
  // when the frame is first known, and on a move to another screen or a
  // change of the screen's work area.
  void Fit();
  // The density the form's units are drawn at, and its share of the
  // screen's own (1 unless it was drawn smaller to fit).
  int DotsPerInch() const { return dpi_; }
  double Scale() const { return static_cast<double>(dpi_) / baseDpi_; }
  bool Scrolls() const { return scrolls_; }
  // The part of the client area the controls show in: all of it, less the
  // scroll bars of a form at its floor.
  QRect Viewport() const;
  // Moves the window back inside its screen's work area where it can be.
  void KeepOnScreen();
  // Makes the client area taller by `pixels`, as far as the work area of
  // its screen allows (a box that needs more room to show its text).
  void GrowBy(int pixels);
  // The client size's limits in the form's units (drawn at its density).
  void SetLimits(double minWidth, double minHeight, double maxWidth, double maxHeight);
  // The Tab key's order: the order the form is read in, row by row from
  // the top, left to right in a row; every control that can take the
  // keyboard is in it, so a keyboard alone reaches them all.
  void OrderTabs();
  // The form's colours (-1: the desktop's).
  void ApplyColours(int text, int back);
  int TextColour() const { return textColour_; }
  int BackColour() const { return backColour_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Limits {
    double minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
  };
  QRect ToPixels(const ui::UnitRect& units) const;
  void ApplyLimits();
  // Scrolls a form at its floor so that `control` shows whole.
  void ScrollTo(const QWidget* control);
  void WatchScreen();

  FormHost& host_;
  const ui::FormSpec spec_;
  std::vector<Control*> controls_;  // owned by Qt as children
  std::map<int, Control*> byId_;
  const int baseDpi_;
  int dpi_;
  bool scrolls_ = false;
  QSize fitted_;  // the client size the last fit chose
  std::optional<Limits> limits_;
  QScrollBar* across_ = nullptr;  // owned by Qt as children, made when first needed
  QScrollBar* down_ = nullptr;
  QMetaObject::Connection screenArea_;
  std::vector<ui::Accelerator> accelerators_;
  int textColour_ = -1, backColour_ = -1;
  bool started_ = false;
  FocusMark* focusMark_ = nullptr;  // owned by Qt as a child
  // Undone before QWidget's destructor runs: closing the window there
  // moves the focus, and this form is no FormWindow any more by then.
  QMetaObject::Connection followFocus_;
  // The control (a direct child) that holds `widget`, or nullptr.
  QWidget* ControlHolding(QWidget* widget) const;
};

}  // namespace ui::qt

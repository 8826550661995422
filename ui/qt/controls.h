// One small widget class per control kind of the contract. Each is a Qt
// widget and a Control: the form's backend finds the control's identifier,
// spec and text through the Control side, whatever the widget is.
//
// Owner-drawn labels, shapes and segment bars (PaintedControl) and
// owner-drawn buttons (PaintedButton) paint nothing themselves: their
// paintEvent is one draw request to the application. Every other kind is
// Qt's own widget in the colours and font of the form table.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/contract/gui.h"
#include "ui/qt/control_host.h"

namespace ui::qt {

class Control {
 public:
  Control(ControlHost& host, std::string form, const ui::ControlSpec& spec);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual QWidget* Widget() = 0;
  const ui::ControlSpec& Spec() const { return spec_; }
  int Id() const { return spec_.id; }
  const std::string& Form() const { return form_; }

  virtual std::string Text() const { return text_; }
  virtual void SetText(const std::string& text);
  // Colours by number (-1: the kind's native default).
  virtual void ApplyColours(int text, int back);
  int TextColour() const { return textColour_; }
  int BackColour() const { return backColour_; }
  // Puts the control at `rect` (pixels in the form); a drop-down list
  // takes the rectangle's height as its open list's height.
  virtual void Place(const QRect& rect);
  QRect Placed() const { return placed_; }
  // Up and Down reach the control as key events (single-line text boxes
  // that report their focus).
  virtual bool TakesArrowKeys() const { return false; }
  // The control's font as the application gave it; it is drawn at the
  // form's scale.
  void SetFont(const QFont& font);
  // The share of its size the form is drawn at (1 unless the form had to
  // be made smaller to fit its screen): fonts and item heights follow it.
  void SetScale(double scale);
  double Scale() const { return scale_; }

 protected:
  ui::DrawRequest Request(const ui::DrawState& state) const;
  ControlHost& host_;
  const std::string form_;
  const ui::ControlSpec spec_;
  std::string text_;
  int textColour_ = -1, backColour_ = -1;
  QRect placed_;

 private:
  virtual void ScaleChanged() {}
  std::optional<QFont> font_;
  double scale_ = 1.0;
};

// The property that tells the style a control's scale (a double; 1 or none
// for a control drawn at full size).
inline constexpr const char* kFormScaleProperty = "halvornFormScale";

// `font` drawn at `scale`: its pixel (or point) size multiplied, at least 1.
QFont ScaledFont(QFont font, double scale);

// An owner-drawn label, a shape or a segment bar.
class PaintedControl : public QWidget, public Control {
 public:
  PaintedControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                 QWidget* parent);
  QWidget* Widget() override { return this; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// An owner-drawn button: lighter under the mouse (enter and leave events),
// pressed while held, clicked on release inside its region.
class PaintedButton : public QAbstractButton, public Control {
 public:
  PaintedButton(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                QWidget* parent);
  QWidget* Widget() override { return this; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  bool hover_ = false;
};

// A button Qt draws: its text is its caption. Enter never presses it.
class PlainButton : public QPushButton, public Control {
 public:
  PlainButton(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
              QWidget* parent);
  QWidget* Widget() override { return this; }
  void SetText(const std::string& text) override;
};

// A plain label: text shown as it is, never as markup.
class PlainLabel : public QLabel, public Control {
 public:
  PlainLabel(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
             QWidget* parent);
  QWidget* Widget() override { return this; }
  void SetText(const std::string& text) override;
  void ApplyColours(int text, int back) override;
};

// Text boxes: selection and appending on top of Control.
class TextBoxControl : public Control {
 public:
  using Control::Control;
  // Text and base colours; text in the background's colour would not show,
  // so it is written in colour 0 then, as owner-drawn labels are.
  void ApplyColours(int text, int back) override;
  virtual void AppendText(const std::string& text) = 0;
  virtual ui::TextSelection Selection() const = 0;
  virtual void SetSelection(ui::TextSelection selection) = 0;
  // Only the multi-line viewer offers display options; others keep none.
  virtual void SetDisplayOptions(const ui::DisplayOptions& /*options*/) {}
  virtual ui::DisplayOptions GetDisplayOptions() const { return {}; }
};

// A check box without text of its own; a click anywhere inside it toggles
// it (its caption is a label lying over it).
class CheckBoxControl : public QCheckBox, public Control {
 public:
  CheckBoxControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                  QWidget* parent);
  QWidget* Widget() override { return this; }
  void SetText(const std::string& text) override { text_ = text; }
  void ApplyColours(int text, int back) override;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A drop-down list. Owner-drawn lists have their items and their closed box
// painted by the application.
class ComboBoxControl : public QComboBox, public Control {
 public:
  ComboBoxControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                  QWidget* parent);
  QWidget* Widget() override { return this; }
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void ApplyColours(int text, int back) override;
  void Place(const QRect& rect) override;
  // The height of an owner-drawn item, as the application answered it
  // (drawn at the form's scale).
  void SetItemHeight(int pixels);
  int ItemHeight() const;

  // The form table's caption: one item per "|"-separated piece.
  void AddItems(const std::string& items);
  void AddItems(const std::vector<std::string>& items);
  void InsertAt(int position, const std::string& item);
  std::vector<std::string> ItemTexts() const;
  void Select(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void changeEvent(QEvent* event) override;
  void ScaleChanged() override;
  void FitPopup();
  // An item whose text is wider than the list shows it whole as its
  // tooltip, and so does the closed box for the chosen item.
  void MarkCutItems();
  int itemHeight_ = 0;
};

// A picture or an icon: its text names its image.
class ImageControl : public QLabel, public Control {
 public:
  ImageControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
               QWidget* parent);
  QWidget* Widget() override { return this; }
  void SetText(const std::string& text) override;
  void Place(const QRect& rect) override;

 private:
  void LoadImage();
};

// The widget for `spec`, a child of `parent`.
Control* CreateControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                       QWidget* parent);

}  // namespace ui::qt

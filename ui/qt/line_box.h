// A single-line text box that takes lines of any length. The text is kept
// as the contract's bytes; only the characters in view are measured and
// drawn, so typing in a line of ten megabytes costs what it costs in a
// short one (a QLineEdit lays out its whole text on every change: seconds,
// and a gigabyte, for such a line).
//
// What an operator expects of an entry field: typing, Backspace and Delete,
// the arrow keys, Home and End (Shift extends the selection), a click places
// the caret, a drag or Shift+click selects, a double click selects a word,
// Ctrl+A, cut, copy and paste (keys, context menu, the middle button on X),
// and composed characters of input methods. Characters without a Latin-1
// byte become "?". Control characters show as their control pictures.
// Enter, ESC (and Up and Down, when the box reports its focus) never reach
// it: the backend's key filter turns them into events.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "ui/qt/controls.h"

namespace ui::qt {

class LineBox : public QWidget, public TextBoxControl {
 public:
  LineBox(ControlHost& host, const std::string& form, const ui::ControlSpec& spec, QWidget* parent);
  QWidget* Widget() override { return this; }
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;
  bool TakesArrowKeys() const override { return spec_.focusEvents; }
  void AppendText(const std::string& text) override;
  ui::TextSelection Selection() const override;
  void SetSelection(ui::TextSelection selection) override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QRect TextRect() const;
  // The characters in view from first_, and where they end in the text.
  QString InView(std::size_t* end = nullptr) const;
  int XOf(std::size_t index) const;  // in the widget, for an index in view
  std::size_t IndexAt(int x) const;
  qreal Advance(std::size_t index) const;
  // Replaces the selection (or inserts at the caret) with `bytes`.
  void Replace(std::string_view bytes);
  void MoveCaret(std::size_t to, bool extend);
  void KeepCaretInView();
  void SelectionChanged();
  bool HasSelection() const { return anchor_ != caret_; }
  void Copy(bool toSelectionClipboard = false) const;
  void Paste(bool fromSelectionClipboard = false);

  std::size_t caret_ = 0, anchor_ = 0;
  std::size_t first_ = 0;  // the first character in view
};

}  // namespace ui::qt

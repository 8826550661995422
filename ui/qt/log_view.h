// A multi-line text box: in this program every one shows text (the
// terminal display, a verification log, a message) and takes no typing, so
// it is a viewer built for a log that grows by hundreds of thousands of
// lines. The text is kept as the contract's bytes with an index of line
// starts; appending copies the new bytes and indexes their line ends, and
// painting lays out only the lines on screen. A text document would lay
// out every appended line at once, which costs tens of microseconds a line.
//
// Lines end at LF (a CR before it is not shown); they are not wrapped: a
// horizontal scroll bar reaches long lines. Control characters show as
// their control pictures (a NUL as U+2400), one character for each byte,
// so every byte can be seen, selected and copied. The operator selects
// with the mouse (Shift extends), Ctrl+A selects all, Ctrl+C and the
// context menu copy. Ctrl+F (or Find in the menu) opens the find bar
// (ui/qt/find_bar.h); its matches are painted over the lines they lie in.
#pragma once

#include <QAbstractScrollArea>
#include <string>
#include <vector>

#include "ui/qt/controls.h"
#include "ui/qt/find_bar.h"

namespace ui::qt {

class LogView : public QAbstractScrollArea, public TextBoxControl {
 public:
  LogView(ControlHost& host, const std::string& form, const ui::ControlSpec& spec, QWidget* parent);
  QWidget* Widget() override { return this; }
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;
  void ApplyColours(int text, int back) override;
  void AppendText(const std::string& text) override;
  ui::TextSelection Selection() const override;
  void SetSelection(ui::TextSelection selection) override;
  // Once given, the options are offered in the context menu; a choice there
  // is taken and reported as event 900.
  void SetDisplayOptions(const ui::DisplayOptions& options) override;
  ui::DisplayOptions GetDisplayOptions() const override { return options_; }
  // Shown lines (a last line break starts no line of its own).
  std::size_t LineCount() const;
  // The find bar and what it found: the start of every match, and the one
  // stepped to (npos: none).
  FindBar& Finder() { return *finder_; }
  void OpenFinder();
  const std::vector<std::size_t>& Matches() const { return matches_; }
  std::size_t CurrentMatch() const { return current_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Repaints rather than moving pixels: a log that grows scrolls with every
  // append, and the next paint draws the lines anyway.
  void scrollContentsBy(int, int) override { viewport()->update(); }

 private:
  // Bytes [begin, end) of line `line`, without its CR LF.
  std::pair<std::size_t, std::size_t> LineBytes(std::size_t line) const;
  QString Shown(std::size_t begin, std::size_t end) const;
  void IndexFrom(std::size_t offset);
  // `remeasure`: the longest line or the font changed.
  void UpdateScrollBars(bool remeasure);
  void ScrollToEnd();
  std::size_t OffsetAt(const QPoint& point) const;
  void Copy() const;
  void SelectAll();
  void ChooseOptions(const ui::DisplayOptions& options);
  // The bar's text or case changed: every match found again.
  void Search();
  void PlaceFinder();
  // Matches in the text from `from` on (after an append).
  void SearchFrom(std::size_t from);
  void Step(bool backwards);
  void ShowMatch(std::size_t index);
  void ShowCount();

  // text_ (of Control) holds the bytes; line i starts at lineStarts_[i].
  std::vector<std::size_t> lineStarts_{0};
  std::size_t longest_ = 0;  // the line with the most bytes
  int widest_ = 0;           // its width in pixels
  std::size_t anchor_ = 0, cursor_ = 0;
  int lineHeight_ = 1;
  ui::DisplayOptions options_;
  bool offersOptions_ = false;
  FindBar* finder_;
  std::string pattern_;  // the bytes searched for; empty: none
  std::vector<std::size_t> matches_;
  std::size_t current_ = static_cast<std::size_t>(-1);
  QString queryProblem_;  // why the bar's text finds nothing, when it cannot
};

}  // namespace ui::qt

// The find bar of a multi-line text box: Ctrl+F opens it over the box's top
// right corner. It searches the box's own bytes as the operator types, every
// match is highlighted, Enter and Shift+Enter step to the next and the
// previous match, the count is shown, a switch makes the case count, and ESC
// closes it. The search runs over the bytes the box holds (the core's copy,
// up to 32 MiB), not over laid-out text, so it answers in tens of
// milliseconds; text appended while the bar is open is searched as it comes.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace ui::qt {

// At most this many matches are kept; the count then says "or more".
inline constexpr std::size_t kMatchLimit = 10'000'000;

// What the operator typed as the box's bytes: a control picture (U+2400 ..
// U+241F, U+2421) stands for the control byte the box shows with it, and a
// control character itself for its byte. Nothing when a character has no
// byte in the box (it is not Latin-1).
std::optional<std::string> QueryBytes(const QString& query);

// Appends to `starts` where `pattern` (not empty) occurs in `text` at or
// after `from`, matches not overlapping; without `matchCase`, Latin-1
// letters match in either case. Stops at kMatchLimit matches in all.
void FindMatches(std::string_view text, std::string_view pattern, bool matchCase, std::size_t from,
                 std::vector<std::size_t>& starts);

class FindBar : public QFrame {
 public:
  explicit FindBar(QWidget* parent);

  // Told when the text or the case switch changes, and Enter (false) or
  // Shift+Enter (true); and when ESC closes the bar.
  std::function<void()> onChange;
  std::function<void(bool backwards)> onStep;
  std::function<void()> onClose;

  // Opens the bar with the keyboard in it; `returnTo` gets the keyboard back
  // when the bar closes (kept only when the bar was closed).
  void Open(QWidget* returnTo);
  void Close();
  // Where the keyboard goes when the bar closes. A program that moves the
  // keyboard while the bar holds it (a line that ends) names this place
  // instead, so the operator's typing stays in the bar.
  QWidget* ReturnTo() const { return returnTo_; }
  void SetReturnTo(QWidget* widget) { returnTo_ = widget; }
  // The open bar that holds the keyboard of `window`, if any.
  static FindBar* HoldingKeyboard(const QWidget* window);
  QString Query() const;
  bool MatchCase() const;
  void SetQuery(const QString& text);
  void SetMatchCase(bool on);
  void ShowCount(const QString& text);
  QString CountText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  QCheckBox* matchCase_;
  QLabel* count_;
  QPointer<QWidget> returnTo_;
};

}  // namespace ui::qt

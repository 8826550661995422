#include "ui/qt/line_box.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionFrame>
#include <algorithm>

#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

constexpr int kMargin = 2;
constexpr std::size_t kMostInView = 4096;  // a bound for fonts of tiny advances

bool IsWordCharacter(char c) {
  return c != ' ' && c != ',' && c != '\t';
}

}  // namespace

LineBox::LineBox(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                 QWidget* parent)
    : QWidget(parent), TextBoxControl(host, form, spec) {
  setFocusPolicy(spec.style.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setCursor(Qt::IBeamCursor);
  caret_ = anchor_ = text_.size();
}

void LineBox::SetText(const std::string& text) {
  text_ = text;
  caret_ = anchor_ = text_.size();
  first_ = 0;
  KeepCaretInView();
}

void LineBox::AppendText(const std::string& text) {
  text_ += text;
  update();
}

ui::TextSelection LineBox::Selection() const {
  const auto [begin, end] = std::minmax(anchor_, caret_);
  return {static_cast<int>(std::min<std::size_t>(begin, 2147483647)),
          static_cast<int>(std::min<std::size_t>(end, 2147483647))};
}

void LineBox::SetSelection(ui::TextSelection selection) {
  anchor_ = std::min(static_cast<std::size_t>(std::max(0, selection.start)), text_.size());
  caret_ = selection.end < 0 ? text_.size()
                             : std::min(static_cast<std::size_t>(selection.end), text_.size());
  KeepCaretInView();
}

QSize LineBox::sizeHint() const {
  const int frame = spec_.style.border ? 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  return {20 * fontMetrics().averageCharWidth(), fontMetrics().height() + 2 * kMargin + frame};
}

QRect LineBox::TextRect() const {
  const int frame = spec_.style.border ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  return rect().adjusted(frame + kMargin, frame, -frame - kMargin, -frame);
}

qreal LineBox::Advance(std::size_t index) const {
  return QFontMetricsF(font()).horizontalAdvance(
      ShownCharacter(static_cast<unsigned char>(text_[index])));
}

QString LineBox::InView(std::size_t* end) const {
  const qreal width = TextRect().width();
  const QFontMetricsF metrics(font());
  QString shown;
  qreal x = 0;
  std::size_t i = first_;
  for (; i < text_.size() && x <= width && i - first_ < kMostInView; ++i) {
    const QChar c = ShownCharacter(static_cast<unsigned char>(text_[i]));
    shown += c;
    x += metrics.horizontalAdvance(c);
  }
  if (end) *end = i;
  return shown;
}

int LineBox::XOf(std::size_t index) const {
  const QString shown = InView();
  const std::size_t last = first_ + static_cast<std::size_t>(shown.size());
  const qsizetype n = static_cast<qsizetype>(std::clamp(index, first_, last) - first_);
  return TextRect().left() +
         static_cast<int>(QFontMetricsF(font()).horizontalAdvance(shown.left(n)));
}

std::size_t LineBox::IndexAt(int x) const {
  const QString shown = InView();
  const QFontMetricsF metrics(font());
  const qreal target = x - TextRect().left();
  qreal left = 0;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    const qreal advance = metrics.horizontalAdvance(shown[i]);
    if (left + advance / 2 > target) return first_ + static_cast<std::size_t>(i);
    left += advance;
  }
  return first_ + static_cast<std::size_t>(shown.size());
}

// Moves the view as little as possible to show the caret, and shows as much
// text as fits when the end of the line is in view. Every walk here stops
// after a view's width of characters.
void LineBox::KeepCaretInView() {
  const qreal width = std::max(1, TextRect().width() - 1);
  first_ = std::min(first_, text_.size());
  if (caret_ < first_) first_ = caret_;
  qreal x = 0;
  std::size_t i = first_;
  while (i < caret_ && x <= width) x += Advance(i++);
  if (x > width) {  // the caret lies right of the view: put it at the right edge
    qreal back = 0;
    first_ = caret_;
    while (first_ > 0 && back + Advance(first_ - 1) <= width) back += Advance(--first_);
  }
  x = 0;
  for (i = first_; i < text_.size() && x <= width; ++i) x += Advance(i);
  if (i == text_.size()) {
    while (first_ > 0 && x + Advance(first_ - 1) <= width) x += Advance(--first_);
  }
  update();
}

void LineBox::Replace(std::string_view bytes) {
  if (spec_.style.readOnly) return;
  const auto [begin, end] = std::minmax(anchor_, caret_);
  text_.replace(begin, end - begin, bytes);
  caret_ = anchor_ = begin + bytes.size();
  KeepCaretInView();
}

void LineBox::MoveCaret(std::size_t to, bool extend) {
  caret_ = std::min(to, text_.size());
  if (!extend) anchor_ = caret_;
  KeepCaretInView();
  if (extend) SelectionChanged();
}

void LineBox::SelectionChanged() {
  if (HasSelection()) Copy(true);
}

void LineBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.rect = rect();
  frame.lineWidth = spec_.style.border ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  frame.state |= QStyle::State_Sunken;
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
  if (!spec_.style.border) painter.fillRect(rect(), palette().color(QPalette::Base));

  const QRect area = TextRect();
  painter.setClipRect(area);
  const QFontMetricsF metrics(font());
  const qreal baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
  std::size_t end = first_;
  const QString shown = InView(&end);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  painter.drawText(QPointF(area.left(), baseline), shown);
  const auto [selBegin, selEnd] = std::minmax(anchor_, caret_);
  const std::size_t from = std::max(selBegin, first_), to = std::min(selEnd, end);
  if (from < to) {
    const int x0 = XOf(from), x1 = XOf(to);
    painter.fillRect(QRect(x0, area.top(), x1 - x0, area.height()),
                     palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(QPointF(x0, baseline), shown.mid(static_cast<qsizetype>(from - first_),
                                                      static_cast<qsizetype>(to - from)));
  }
  // A steady caret: no blinking timer runs while the window is idle.
  if (hasFocus() && caret_ >= first_ && caret_ <= end) {
    const int x = XOf(caret_);
    painter.fillRect(QRect(x, area.top() + 2, 1, area.height() - 4),
                     palette().color(QPalette::Text));
  }
}

void LineBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  KeepCaretInView();
}

void LineBox::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  if (event->matches(QKeySequence::Copy)) return Copy();
  if (event->matches(QKeySequence::Cut)) {
    Copy();
    return Replace({});
  }
  if (event->matches(QKeySequence::Paste)) return Paste();
  if (event->matches(QKeySequence::SelectAll)) {
    anchor_ = 0;
    return MoveCaret(text_.size(), true);
  }
  switch (event->key()) {
    case Qt::Key_Backspace:
      if (!HasSelection() && caret_ > 0) anchor_ = caret_ - 1;
      return Replace({});
    case Qt::Key_Delete:
      if (!HasSelection() && caret_ < text_.size()) anchor_ = caret_ + 1;
      return Replace({});
    case Qt::Key_Left:
      if (HasSelection() && !shift) return MoveCaret(std::min(anchor_, caret_), false);
      return MoveCaret(caret_ > 0 ? caret_ - 1 : 0, shift);
    case Qt::Key_Right:
      if (HasSelection() && !shift) return MoveCaret(std::max(anchor_, caret_), false);
      return MoveCaret(caret_ + 1, shift);
    case Qt::Key_Home:
      return MoveCaret(0, shift);
    case Qt::Key_End:
      return MoveCaret(text_.size(), shift);
    default:
      break;
  }
  const QString typed = event->text();
  const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (!typed.isEmpty() && typed[0].isPrint() && !command) return Replace(ToBytes(typed));
  event->ignore();
}

void LineBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    MoveCaret(IndexAt(event->position().toPoint().x()), false);
    return Paste(true);
  }
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  MoveCaret(IndexAt(event->position().toPoint().x()),
            event->modifiers().testFlag(Qt::ShiftModifier));
}

void LineBox::mouseMoveEvent(QMouseEvent* event) {
  if (!event->buttons().testFlag(Qt::LeftButton)) return;
  const int x = event->position().toPoint().x();
  std::size_t end = first_;
  InView(&end);
  // Dragging past an edge scrolls one character at a time.
  if (x < TextRect().left()) return MoveCaret(first_ > 0 ? first_ - 1 : 0, true);
  if (x > TextRect().right()) return MoveCaret(end + 1, true);
  MoveCaret(IndexAt(x), true);
}

void LineBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  std::size_t begin = IndexAt(event->position().toPoint().x()), end = begin;
  while (begin > 0 && IsWordCharacter(text_[begin - 1])) --begin;
  while (end < text_.size() && IsWordCharacter(text_[end])) ++end;
  anchor_ = begin;
  MoveCaret(end, true);
}

void LineBox::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void LineBox::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void LineBox::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) Replace(ToBytes(event->commitString()));
  event->accept();
}

QVariant LineBox::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return !spec_.style.readOnly;
    case Qt::ImCursorRectangle:
      return QRect(XOf(caret_), TextRect().top(), 1, TextRect().height());
    case Qt::ImFont:
      return font();
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void LineBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  const bool editable = !spec_.style.readOnly;
  menu.addAction(QStringLiteral("Cut"),
                 [this] {
                   Copy();
                   Replace({});
                 })
      ->setEnabled(editable && HasSelection());
  menu.addAction(QStringLiteral("Copy"), [this] { Copy(); })->setEnabled(HasSelection());
  menu.addAction(QStringLiteral("Paste"), [this] { Paste(); })->setEnabled(editable);
  menu.addSeparator();
  menu.addAction(QStringLiteral("Select All"), [this] {
    anchor_ = 0;
    MoveCaret(text_.size(), true);
  });
  menu.exec(event->globalPos());
}

void LineBox::Copy(bool toSelectionClipboard) const {
  const auto [begin, end] = std::minmax(anchor_, caret_);
  if (begin == end) return;
  const QClipboard::Mode mode =
      toSelectionClipboard ? QClipboard::Selection : QClipboard::Clipboard;
  if (mode == QClipboard::Selection && !QApplication::clipboard()->supportsSelection()) return;
  QApplication::clipboard()->setText(FromBytes(std::string_view(text_).substr(begin, end - begin)),
                                     mode);
}

void LineBox::Paste(bool fromSelectionClipboard) {
  const QString text = QApplication::clipboard()->text(
      fromSelectionClipboard ? QClipboard::Selection : QClipboard::Clipboard);
  if (!text.isEmpty()) Replace(ToBytes(text));
}

}  // namespace ui::qt

#include "ui/qt/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>

#include "ui/qt/latin1.h"

namespace ui::qt {

LogView::LogView(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                 QWidget* parent)
    : QAbstractScrollArea(parent), TextBoxControl(host, form, spec) {
  setFocusPolicy(spec.style.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  if (!spec.style.border) setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(spec.style.verticalScroll ? Qt::ScrollBarAsNeeded
                                                       : Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
  finder_ = new FindBar(this);
  finder_->onChange = [this] { Search(); };
  finder_->onStep = [this](bool backwards) { Step(backwards); };
  finder_->onClose = [this] {
    pattern_.clear();
    matches_.clear();
    current_ = static_cast<std::size_t>(-1);
    setViewportMargins(0, 0, 0, 0);
    UpdateScrollBars(false);
    // The keyboard goes back where it was when the bar opened (the command
    // entry, typically), so the operator types on where they left off.
    if (QWidget* back = finder_->ReturnTo(); back && back->isVisible()) {
      back->setFocus();
    } else {
      setFocus();
    }
    viewport()->update();
  };
  auto* find = new QShortcut(QKeySequence::Find, this, [this] { OpenFinder(); });
  find->setContext(Qt::WidgetWithChildrenShortcut);
  IndexFrom(0);
}

void LogView::SetText(const std::string& text) {
  text_ = text;
  lineStarts_.assign(1, 0);
  longest_ = 0;
  anchor_ = cursor_ = 0;
  IndexFrom(0);
  ScrollToEnd();
  if (!pattern_.empty()) Search();
}

void LogView::AppendText(const std::string& text) {
  if (text.empty()) return;
  const std::size_t from = text_.size();
  text_ += text;
  IndexFrom(from);
  // While the operator looks at a match, new lines do not pull the view
  // away from it; they are searched as they come.
  if (pattern_.empty() || current_ == static_cast<std::size_t>(-1)) ScrollToEnd();
  if (!pattern_.empty()) {
    const std::size_t overlap = pattern_.size() - 1;
    std::size_t start = from > overlap ? from - overlap : 0;
    if (!matches_.empty()) start = std::max(start, matches_.back() + pattern_.size());
    SearchFrom(start);
  }
}

void LogView::IndexFrom(std::size_t offset) {
  for (std::size_t lf = text_.find('\n', offset); lf != std::string::npos;
       lf = text_.find('\n', lf + 1)) {
    lineStarts_.push_back(lf + 1);
  }
  // Only the lines touched by the new bytes can have become the longest.
  const std::size_t first = static_cast<std::size_t>(
      std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) - lineStarts_.begin() - 1);
  const std::size_t before = longest_;
  auto [lb, le] = LineBytes(longest_);
  std::size_t longestBytes = offset == 0 ? 0 : le - lb;
  for (std::size_t line = first; line < lineStarts_.size(); ++line) {
    auto [begin, end] = LineBytes(line);
    if (end - begin > longestBytes || (offset == 0 && line == 0)) {
      longest_ = line;
      longestBytes = end - begin;
    }
  }
  UpdateScrollBars(offset == 0 || longest_ != before);
  viewport()->update();
}

std::size_t LogView::LineCount() const {
  std::size_t lines = lineStarts_.size();
  if (lines > 1 && lineStarts_.back() == text_.size()) --lines;
  return lines;
}

std::pair<std::size_t, std::size_t> LogView::LineBytes(std::size_t line) const {
  const std::size_t begin = lineStarts_[line];
  std::size_t end = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 1 : text_.size();
  if (end > begin && text_[end - 1] == '\r' && end < text_.size()) --end;
  return {begin, end};
}

QString LogView::Shown(std::size_t begin, std::size_t end) const {
  QString shown(static_cast<qsizetype>(end - begin), Qt::Uninitialized);
  for (std::size_t i = begin; i < end; ++i) {
    shown[static_cast<qsizetype>(i - begin)] = ShownCharacter(static_cast<unsigned char>(text_[i]));
  }
  return shown;
}

void LogView::UpdateScrollBars(bool remeasure) {
  lineHeight_ = std::max(1, fontMetrics().lineSpacing());
  const int rows = std::max(1, viewport()->height() / lineHeight_);
  const auto lines = static_cast<long long>(LineCount());
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, static_cast<int>(std::clamp(lines - rows, 0LL, 2147483647LL)));
  v->setPageStep(rows);
  if (remeasure) {
    // The longest line in bytes stands for the widest; a few characters of
    // slack cover proportional fonts.
    auto [begin, end] = LineBytes(longest_);
    widest_ = fontMetrics().horizontalAdvance(Shown(begin, std::min(end, begin + 4096)));
  }
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, widest_ + 2 * fontMetrics().averageCharWidth() - viewport()->width()));
  h->setPageStep(viewport()->width());
  h->setSingleStep(fontMetrics().averageCharWidth());
}

void LogView::ScrollToEnd() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::ApplyColours(int text, int back) {
  TextBoxControl::ApplyColours(text, back);
  viewport()->setBackgroundRole(QPalette::Base);
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QFontMetrics metrics = fontMetrics();
  const int left = 2 - horizontalScrollBar()->value();
  const auto [selBegin, selEnd] = std::minmax(anchor_, cursor_);
  const QColor highlight = palette().color(QPalette::Highlight);
  const QColor highlighted = palette().color(QPalette::HighlightedText);
  const QColor normal = palette().color(QPalette::Text);
  const std::size_t first = static_cast<std::size_t>(verticalScrollBar()->value());
  const std::size_t lines = LineCount();
  for (std::size_t line = first, row = 0; line < lines; ++line, ++row) {
    const int top = static_cast<int>(row) * lineHeight_;
    if (top > viewport()->height()) break;
    auto [begin, end] = LineBytes(line);
    const QString shown = Shown(begin, end);
    const int baseline = top + metrics.ascent();
    if (!matches_.empty()) {
      // Every match that lies in this line, the current one stronger.
      const std::size_t m = pattern_.size();
      auto it = std::lower_bound(matches_.begin(), matches_.end(), begin >= m ? begin - m + 1 : 0);
      for (; it != matches_.end() && *it < end; ++it) {
        const std::size_t a = std::max(*it, begin) - begin, b = std::min(*it + m, end) - begin;
        const int x0 = left + metrics.horizontalAdvance(shown.left(static_cast<qsizetype>(a)));
        const int x1 = left + metrics.horizontalAdvance(shown.left(static_cast<qsizetype>(b)));
        const bool current = current_ < matches_.size() && matches_[current_] == *it;
        painter.fillRect(QRect(x0, top, std::max(1, x1 - x0), lineHeight_),
                         current ? QColor(255, 150, 50) : QColor(255, 235, 80));
      }
    }
    painter.setPen(normal);
    painter.drawText(left, baseline, shown);
    // The selected part of this line (its line break included) drawn over it.
    const std::size_t lineEnd = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] : end;
    const std::size_t from = std::max(selBegin, begin), to = std::min(selEnd, lineEnd);
    if (from >= to) continue;
    const qsizetype a = static_cast<qsizetype>(std::min(from, end) - begin);
    const qsizetype b = static_cast<qsizetype>(std::min(to, end) - begin);
    const int x0 = left + metrics.horizontalAdvance(shown.left(a));
    int x1 = left + metrics.horizontalAdvance(shown.left(b));
    if (to > end) x1 += metrics.averageCharWidth() / 2;  // the line break
    painter.fillRect(QRect(x0, top, x1 - x0, lineHeight_), highlight);
    painter.setPen(highlighted);
    painter.drawText(x0, baseline, shown.mid(a, b - a));
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
  UpdateScrollBars(false);
  if (atEnd) ScrollToEnd();
  if (!finder_->isHidden()) PlaceFinder();
}

void LogView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateScrollBars(true);
}

std::size_t LogView::OffsetAt(const QPoint& point) const {
  const long long row = point.y() < 0 ? -1 : point.y() / lineHeight_;
  const long long line = std::clamp<long long>(verticalScrollBar()->value() + row, 0,
                                               static_cast<long long>(LineCount()) - 1);
  auto [begin, end] = LineBytes(static_cast<std::size_t>(line));
  const QString shown = Shown(begin, end);
  const int x = point.x() - 2 + horizontalScrollBar()->value();
  // The first character whose middle lies right of the point.
  qsizetype low = 0, high = shown.size();
  while (low < high) {
    const qsizetype mid = (low + high) / 2;
    const int centre = (fontMetrics().horizontalAdvance(shown.left(mid)) +
                        fontMetrics().horizontalAdvance(shown.left(mid + 1))) /
                       2;
    if (centre < x) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return begin + static_cast<std::size_t>(low);
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  cursor_ = OffsetAt(event->position().toPoint());
  if (!event->modifiers().testFlag(Qt::ShiftModifier)) anchor_ = cursor_;
  viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!event->buttons().testFlag(Qt::LeftButton)) return;
  cursor_ = OffsetAt(event->position().toPoint());
  viewport()->update();
}

void LogView::PlaceFinder() {
  // In a strip of its own above the text, at the right, never wider than
  // the box: no line and no match is hidden under it.
  const int h = finder_->sizeHint().height();
  const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
  setViewportMargins(0, h + 4, 0, 0);
  UpdateScrollBars(false);
  if (atEnd) ScrollToEnd();
  const QRect text = viewport()->geometry();
  const int w = std::min(finder_->sizeHint().width(), std::max(40, text.width() - 4));
  finder_->setGeometry(std::max(text.left(), text.right() - w - 1), text.top() - h - 2, w, h);
}

void LogView::OpenFinder() {
  QWidget* focus = QApplication::focusWidget();
  finder_->Open(focus != nullptr && focus->window() == window() ? focus : this);
  PlaceFinder();
  Search();
}

void LogView::Search() {
  matches_.clear();
  current_ = static_cast<std::size_t>(-1);
  pattern_.clear();
  queryProblem_.clear();
  const QString query = finder_->Query();
  const std::optional<std::string> bytes = QueryBytes(query);
  if (!bytes) {
    queryProblem_ = QStringLiteral("A character of it is never in the display");
  } else {
    pattern_ = *bytes;
    SearchFrom(0);
  }
  if (!matches_.empty()) {
    // The first match at or below the top line shown, else the last one.
    const std::size_t top = lineStarts_[std::min<std::size_t>(
        static_cast<std::size_t>(verticalScrollBar()->value()), lineStarts_.size() - 1)];
    const auto it = std::lower_bound(matches_.begin(), matches_.end(), top);
    ShowMatch(it == matches_.end() ? matches_.size() - 1
                                   : static_cast<std::size_t>(it - matches_.begin()));
  }
  ShowCount();
  viewport()->update();
}

void LogView::SearchFrom(std::size_t from) {
  if (pattern_.empty() || finder_->isHidden()) return;
  const std::size_t before = matches_.size();
  FindMatches(text_, pattern_, finder_->MatchCase(), from, matches_);
  if (matches_.size() != before) {
    ShowCount();
    viewport()->update();
  }
}

void LogView::ShowCount() {
  QString text;
  const QString query = finder_->Query();
  if (query.isEmpty()) {
    text = QStringLiteral("Type the text to find");
  } else if (!queryProblem_.isEmpty()) {
    text = queryProblem_;
  } else if (matches_.empty()) {
    text = QStringLiteral("No matches");
  } else {
    const QString total = QString::number(matches_.size()) +
                          (matches_.size() >= kMatchLimit ? QStringLiteral(" or more") : QString());
    text = current_ < matches_.size()
               ? QString::number(current_ + 1) + QStringLiteral(" of ") + total
               : total + QStringLiteral(" matches");
  }
  finder_->ShowCount(text);
  PlaceFinder();
}

void LogView::Step(bool backwards) {
  if (matches_.empty()) return;
  const std::size_t n = matches_.size();
  std::size_t next;
  if (current_ >= n) {
    next = backwards ? n - 1 : 0;
  } else {
    next = backwards ? (current_ + n - 1) % n : (current_ + 1) % n;
  }
  ShowMatch(next);
  ShowCount();
}

void LogView::ShowMatch(std::size_t index) {
  current_ = index;
  const std::size_t start = matches_[index];
  anchor_ = start;
  cursor_ = start + pattern_.size();
  const auto line = static_cast<std::size_t>(
      std::upper_bound(lineStarts_.begin(), lineStarts_.end(), start) - lineStarts_.begin() - 1);
  QScrollBar* v = verticalScrollBar();
  const int rows = std::max(1, viewport()->height() / lineHeight_);
  const long long first = v->value();
  if (static_cast<long long>(line) < first || static_cast<long long>(line) >= first + rows - 1) {
    v->setValue(static_cast<int>(std::min<std::size_t>(
        line > static_cast<std::size_t>(rows / 2) ? line - static_cast<std::size_t>(rows / 2) : 0,
        2147483647)));
  }
  const auto [begin, end] = LineBytes(line);
  (void)end;
  const int x = fontMetrics().horizontalAdvance(Shown(begin, start));
  QScrollBar* h = horizontalScrollBar();
  if (x < h->value() || x > h->value() + viewport()->width() - 40) {
    h->setValue(std::max(0, x - viewport()->width() / 3));
  }
  viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return Copy();
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  QScrollBar* v = verticalScrollBar();
  if (event->matches(QKeySequence::MoveToStartOfDocument)) return v->setValue(0);
  if (event->matches(QKeySequence::MoveToEndOfDocument)) return ScrollToEnd();
  QAbstractScrollArea::keyPressEvent(event);  // arrows and pages scroll
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QStringLiteral("Copy"), [this] { Copy(); });
  copy->setEnabled(anchor_ != cursor_);
  menu.addAction(QStringLiteral("Select All"), [this] { SelectAll(); });
  menu.addAction(QStringLiteral("Find..."), [this] { OpenFinder(); });
  if (offersOptions_) {
    menu.addSeparator();
    QMenu* stamps = menu.addMenu(QStringLiteral("Time Stamps"));
    const std::pair<const char*, ui::TimeStampChoice> choices[] = {
        {"Off", ui::TimeStampChoice::Off},
        {"Time of Day", ui::TimeStampChoice::Clock},
        {"Time Since Previous Entry", ui::TimeStampChoice::SincePrevious},
    };
    for (const auto& [caption, choice] : choices) {
      QAction* action = stamps->addAction(QString::fromLatin1(caption), [this, c = choice] {
        ui::DisplayOptions options = options_;
        options.timeStamps = c;
        ChooseOptions(options);
      });
      action->setCheckable(true);
      action->setChecked(options_.timeStamps == choice);
    }
    QAction* log = menu.addAction(QStringLiteral("Session Log"), [this] {
      ui::DisplayOptions options = options_;
      options.sessionLog = !options.sessionLog;
      ChooseOptions(options);
    });
    log->setCheckable(true);
    log->setChecked(options_.sessionLog);
    menu.addSeparator();
    // What the plot shows is the station's: the box only passes the request on.
    QAction* plot = menu.addAction(QStringLiteral("Plot..."), [this] {
      host_.Deliver({form_, spec_.id, ui::event::kPlotRequest, 0});
    });
    plot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  }
  menu.exec(event->globalPos());
}

void LogView::SetDisplayOptions(const ui::DisplayOptions& options) {
  options_ = options;
  offersOptions_ = true;
  // The terminal display finds from anywhere in its window: Ctrl+F in the
  // command entry opens its find bar too.
  for (QShortcut* find : findChildren<QShortcut*>()) find->setContext(Qt::WindowShortcut);
}

void LogView::ChooseOptions(const ui::DisplayOptions& options) {
  options_ = options;
  host_.Deliver({form_, spec_.id, ui::event::kDisplayOptions, 0});
}

void LogView::Copy() const {
  const auto [begin, end] = std::minmax(anchor_, cursor_);
  if (begin == end) return;
  QString text = FromBytes(std::string_view(text_).substr(begin, end - begin));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QApplication::clipboard()->setText(text);
}

void LogView::SelectAll() {
  anchor_ = 0;
  cursor_ = text_.size();
  viewport()->update();
}

ui::TextSelection LogView::Selection() const {
  const auto [begin, end] = std::minmax(anchor_, cursor_);
  return {static_cast<int>(std::min<std::size_t>(begin, 2147483647)),
          static_cast<int>(std::min<std::size_t>(end, 2147483647))};
}

void LogView::SetSelection(ui::TextSelection selection) {
  const std::size_t size = text_.size();
  anchor_ = std::min(static_cast<std::size_t>(std::max(0, selection.start)), size);
  cursor_ = selection.end < 0 ? size : std::min(static_cast<std::size_t>(selection.end), size);
  viewport()->update();
}

}  // namespace ui::qt

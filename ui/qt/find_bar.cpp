#include "ui/qt/find_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cstring>

namespace ui::qt {

namespace {

// Latin-1 folded to lower case: A-Z and the accented capitals (not the
// multiplication sign) to their small letters.
constexpr std::array<unsigned char, 256> FoldTable() {
  std::array<unsigned char, 256> fold{};
  for (int c = 0; c < 256; ++c) {
    const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    fold[static_cast<std::size_t>(c)] = static_cast<unsigned char>(upper ? c + 32 : c);
  }
  return fold;
}
constexpr std::array<unsigned char, 256> kFold = FoldTable();

unsigned char Fold(char c) {
  return kFold[static_cast<unsigned char>(c)];
}

}  // namespace

std::optional<std::string> QueryBytes(const QString& query) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(query.size()));
  for (const QChar c : query) {
    const char16_t u = c.unicode();
    if (u >= 0x2400 && u <= 0x241F) {
      bytes += static_cast<char>(u - 0x2400);
    } else if (u == 0x2421) {
      bytes += '\x7F';
    } else if (u <= 0xFF) {
      bytes += static_cast<char>(u);
    } else {
      return std::nullopt;
    }
  }
  return bytes;
}

void FindMatches(std::string_view text, std::string_view pattern, bool matchCase, std::size_t from,
                 std::vector<std::size_t>& starts) {
  if (pattern.empty()) return;
  if (matchCase) {
    for (std::size_t at = text.find(pattern, from);
         at != std::string_view::npos && starts.size() < kMatchLimit;
         at = text.find(pattern, at + pattern.size())) {
      starts.push_back(at);
    }
    return;
  }
  // Either case of the first byte is looked for with memchr (fast), the
  // rest compared folded.
  const unsigned char first = Fold(pattern[0]);
  unsigned char other = first;
  for (int c = 0; c < 256; ++c) {
    if (c != first && kFold[static_cast<std::size_t>(c)] == first)
      other = static_cast<unsigned char>(c);
  }
  const std::size_t last = text.size() < pattern.size() ? 0 : text.size() - pattern.size() + 1;
  // The next place of each case is kept until the search passes it: looking
  // for both anew at every step would scan to the end for a rare one each
  // time (quadratic on a display full of the other case).
  const char* base = text.data();
  auto next = [&](unsigned char c, std::size_t start) -> std::size_t {
    if (start >= last) return last;
    const void* hit = std::memchr(base + start, c, last - start);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : last;
  };
  std::size_t nextFirst = next(first, from);
  std::size_t nextOther = other == first ? last : next(other, from);
  std::size_t at = from;
  while (starts.size() < kMatchLimit) {
    if (nextFirst < at) nextFirst = next(first, at);
    if (nextOther < at) nextOther = next(other, at);
    at = std::min(nextFirst, nextOther);
    if (at >= last) break;
    std::size_t i = 1;
    while (i < pattern.size() && Fold(text[at + i]) == Fold(pattern[i])) ++i;
    if (i == pattern.size()) {
      starts.push_back(at);
      at += pattern.size();
    } else {
      ++at;
    }
  }
}

FindBar::FindBar(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  // The bar's keys are its own: the window's key table (Enter runs the
  // command entry, ESC stops a line) does not see them.
  setProperty("halvornOwnKeys", true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  edit_ = new QLineEdit(this);
  edit_->setPlaceholderText(QStringLiteral("Find"));
  edit_->setMinimumWidth(80);
  edit_->installEventFilter(this);
  // A short switch, so the count keeps its room in a narrow display.
  matchCase_ = new QCheckBox(QStringLiteral("Aa"), this);
  matchCase_->setToolTip(QStringLiteral("Match case"));
  count_ = new QLabel(this);
  count_->setMinimumWidth(
      count_->fontMetrics().horizontalAdvance(QStringLiteral("99999 of 99999")));
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("\u00D7"));
  close->setAutoRaise(true);
  layout->addWidget(edit_, 1);
  layout->addWidget(count_);
  layout->addWidget(matchCase_);
  layout->addWidget(close);
  connect(edit_, &QLineEdit::textChanged, this, [this] {
    if (onChange) onChange();
  });
  connect(matchCase_, &QCheckBox::toggled, this, [this] {
    if (onChange) onChange();
  });
  connect(close, &QToolButton::clicked, this, [this] { Close(); });
  hide();
}

void FindBar::Open(QWidget* returnTo) {
  if (isHidden()) returnTo_ = returnTo;
  show();
  raise();
  edit_->setFocus();
  edit_->selectAll();
}

FindBar* FindBar::HoldingKeyboard(const QWidget* window) {
  for (QWidget* w = window->focusWidget(); w; w = w->parentWidget()) {
    if (auto* bar = dynamic_cast<FindBar*>(w)) return bar->isVisible() ? bar : nullptr;
  }
  return nullptr;
}

void FindBar::Close() {
  hide();
  if (onClose) onClose();
}

QString FindBar::Query() const {
  return edit_->text();
}

bool FindBar::MatchCase() const {
  return matchCase_->isChecked();
}

void FindBar::SetQuery(const QString& text) {
  edit_->setText(text);
}

void FindBar::SetMatchCase(bool on) {
  matchCase_->setChecked(on);
}

void FindBar::ShowCount(const QString& text) {
  count_->setText(text);
}

QString FindBar::CountText() const {
  return count_->text();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (onStep) onStep(key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace ui::qt

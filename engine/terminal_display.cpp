#include "engine/terminal_display.h"

#include <algorithm>

#include "platform/files.h"

namespace engine {

namespace {

// How much of an over-long plain display survives a cut: the line break must
// lie at least this far from the end, so the last line or two stay visible.
constexpr std::size_t kPlainCutKeep = 100;

// A full rich display keeps three quarters of its limit: dropping a quarter
// at a time makes the widget's rewrite of the remaining text rare.
constexpr std::size_t kRichKeep = kRichDisplayLimit / 4 * 3;

}  // namespace

std::string CutPlainText(std::string text) {
  const std::size_t n = text.size();
  if (n <= kPlainDisplayLimit) return text;
  // The last LF that may end the dropped part sits at index n - kPlainCutKeep
  // (the 100th character from the end); it counts only with its CR before it.
  std::size_t lf = n - kPlainCutKeep;
  for (;;) {
    lf = text.rfind('\n', lf);
    if (lf == std::string::npos || lf == 0) return text;
    if (text[lf - 1] == '\r') break;
    --lf;
  }
  text.erase(0, lf + 1);
  return text;
}

TerminalDisplay::TerminalDisplay(Host& host) : host_(host) {}

void TerminalDisplay::SwitchToRich() {
  kind_ = DisplayKind::Rich;
  // What start-up wrote before the window existed (a script file that
  // could not be read, say) stays for the operator to read: the widget
  // starts with it instead of an empty page.
  ShowWhole();
}

void TerminalDisplay::SetLog(DisplayListener* log) {
  log_ = log;
  logOnHostTime_ = log && host_.RealTime();
}

void TerminalDisplay::Append(std::string_view entry) {
  const double now = host_.Now();
  const double previous = lastEntry_;
  lastEntry_ = now;
  if (stamps_ == TimeStamps::Off) return AppendText(entry, entry, now);
  std::string stamped;
  if (stamps_ == TimeStamps::Clock) {
    stamped = platform::ClockTimestamp(wallClock_()) + ' ';
  } else {
    // Whole milliseconds, so the stamps of a run add up to its length.
    const long long millis = previous < 0 || now < previous
                                 ? 0
                                 : static_cast<long long>((now - previous) * 1000.0 + 0.5);
    stamped = "+" + std::to_string(millis / 1000) + "." +
              std::to_string(millis % 1000 + 1000).substr(1) + ' ';
  }
  stamped.append(entry);
  AppendText(stamped, entry, now);
}

void TerminalDisplay::AppendText(std::string_view entry, std::string_view unstamped, double now) {
  if (kind_ == DisplayKind::Plain) {
    const std::size_t before = text_.size();
    text_ = CutPlainText(std::move(text_));
    if (text_.size() != before) replaceWidget_ = true;
  } else if (text_.size() + entry.size() > kRichDisplayLimit) {
    DropOldestLines(entry.size());
  }
  if (entry.size() > kRichDisplayLimit && kind_ == DisplayKind::Rich) {
    text_.assign(entry.substr(entry.size() - kRichDisplayLimit));
  } else {
    text_.append(entry);
  }
  if (!replaceWidget_) pending_.append(entry);
  countShown_ = false;
  if (listener_) {
    listener_->Entry(entry);
    listenerDirty_ = true;
  }
  if (log_) {
    if (logOnHostTime_) {
      log_->EntryAt(unstamped, now);
    } else {
      log_->Entry(unstamped);
    }
    logDirty_ = true;
  }
  if (now - lastFeed_ >= kWidgetFeedSeconds) FeedWidget();
  if (now - lastListenerFlush_ >= kListenerFlushSeconds) FlushListener();
}

void TerminalDisplay::DropOldestLines(std::size_t incoming) {
  // Whole lines go, the oldest first, until the new entry fits in the
  // quarter left free.
  const std::size_t excess = text_.size() + incoming - std::min(text_.size() + incoming, kRichKeep);
  const std::size_t lineEnd = text_.find("\r\n", excess < 2 ? 0 : excess - 2);
  if (lineEnd == std::string::npos) {
    text_.clear();
  } else {
    text_.erase(0, lineEnd + 2);
  }
  pending_.clear();
  replaceWidget_ = true;
}

const std::string& TerminalDisplay::Text() {
  FeedWidget();
  return text_;
}

void TerminalDisplay::Clear() {
  text_.clear();
  ShowWhole();
}

void TerminalDisplay::ShowWhole() {
  pending_.clear();
  replaceWidget_ = true;
  countShown_ = false;
  FeedWidget();
}

void TerminalDisplay::Flush() {
  FeedWidget();
  FlushListener();
}

void TerminalDisplay::FeedWidget() {
  lastFeed_ = host_.Now();
  if (countShown_) return;
  if (replaceWidget_) {
    host_.ReplaceDisplay(text_);
  } else if (!pending_.empty()) {
    host_.AppendToDisplay(pending_);
  }
  host_.ShowByteCount(text_.size());
  pending_.clear();
  replaceWidget_ = false;
  countShown_ = true;
}

void TerminalDisplay::FlushListener() {
  lastListenerFlush_ = host_.Now();
  if (log_ && logDirty_) {
    logDirty_ = false;
    log_->Flush();
  }
  if (!listener_ || !listenerDirty_) return;
  listener_->Flush();
  listenerDirty_ = false;
}

platform::Result<> SaveDisplayText(const std::string& path, const std::string& text) {
  // Written beside the old file and renamed over it: a save that fails half
  // way (disk full, no permission) leaves the previous file as it was.
  return platform::WriteFileAtomic(path, text);
}

}  // namespace engine

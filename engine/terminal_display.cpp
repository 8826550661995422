#include "engine/terminal_display.h"

#include "platform/files.h"

namespace engine {

namespace {

// How much of an over-long plain display survives a cut: the line break must
// lie at least this far from the end, so the last line or two stay visible.
constexpr std::size_t kPlainCutKeep = 100;

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
  SetText(std::string());
  ShowByteCount(0);
}

void TerminalDisplay::Append(std::string_view entry) {
  if (kind_ == DisplayKind::Plain) {
    // The plain control can only be rewritten whole, so its text is read,
    // cut back when it has grown too long, and written again with the entry.
    std::string text = CutPlainText(Text());
    text.append(entry);
    host_.SetRedrawState(kTerminalDisplay, false);
    SetText(text);
  } else {
    // The rich control takes the entry at its end, so an append costs the
    // same however long the log has grown.
    host_.SetRedrawState(kTerminalDisplay, false);
    host_.AppendControlText(kTerminalDisplay, std::string(entry));
  }
  host_.SetRedrawState(kTerminalDisplay, true);
  host_.RedrawControl(kTerminalDisplay);
  ShowByteCount(host_.ControlTextLength(kTerminalDisplay));
}

std::string TerminalDisplay::Text() {
  return host_.ControlText(kTerminalDisplay);
}

void TerminalDisplay::SetText(const std::string& text) {
  host_.SetControlText(kTerminalDisplay, text);
}

void TerminalDisplay::Clear() {
  SetText(std::string());
  host_.RedrawControl(kTerminalDisplay);
  ShowByteCount(0);
}

void TerminalDisplay::ShowByteCount(std::size_t n) {
  host_.SetControlText(kByteCounter, "Bytes: " + std::to_string(n));
  host_.RedrawControl(kByteCounter);
}

bool SaveDisplayText(const std::string& path, const std::string& text, std::string* error) {
  // Written beside the old file and renamed over it: a save that fails half
  // way (disk full, no permission) leaves the previous file as it was.
  platform::Result written = platform::WriteFileAtomic(path, text);
  if (!written && error) *error = written.Text();
  return static_cast<bool>(written);
}

}  // namespace engine

// The terminal display: the scrolling log (control 160) into which every
// entry is appended, with its byte counter (control 165).
//
// It starts as a plain text control, whose whole text is rewritten on every
// append and therefore cut when it passes 64000 characters, and becomes a
// rich-text control once the main window has loaded; the rich control is
// appended to in place and has no cut of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/host.h"

namespace engine {

enum class DisplayKind : std::int32_t { Plain = 1, Rich = 2 };

// The limit above which the plain display is cut before an append.
inline constexpr std::size_t kPlainDisplayLimit = 64000;
// The rich control's text limit.
inline constexpr std::size_t kRichDisplayLimit = 33554432;

// The plain display's cut: when `text` is longer than the limit, drops
// everything up to the last CR LF whose LF lies at or before the 100th
// character from the end. Shorter texts come back unchanged.
std::string CutPlainText(std::string text);

class TerminalDisplay {
 public:
  explicit TerminalDisplay(Host& host);

  DisplayKind Kind() const { return kind_; }
  // Back to the plain kind (start-up sets this before the window exists).
  void SetPlain() { kind_ = DisplayKind::Plain; }
  // The main window switches once, when it has loaded: the rich display
  // starts empty and the counter shows 0.
  void SwitchToRich();

  // Appends one entry (built by the reply formatter), keeps the display within
  // its limit, scrolls to the end and shows the new length.
  void Append(std::string_view entry);

  std::string Text();
  void SetText(const std::string& text);
  // Empties the display, redraws it and shows "Bytes: 0".
  void Clear();
  // Sets the counter to "Bytes: " + n.
  void ShowByteCount(std::size_t n);

 private:
  Host& host_;
  DisplayKind kind_ = DisplayKind::Plain;
};

// Writes the display text to `path` as bytes, replacing an existing file
// atomically. False (with `error`) when the file could not be written; the
// old file is then untouched.
bool SaveDisplayText(const std::string& path, const std::string& text, std::string* error);

}  // namespace engine

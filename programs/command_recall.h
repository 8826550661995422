// Up and Down in the command entry, as in a shell: they step through the
// lines sent in this run, newest first, and Down past the newest comes back
// to what the operator had typed but not sent. Kept apart from the history
// list (programs/history.h): every line sent is recalled, whether or not
// "Record History" is ticked, and the list's order, FIFO and transfer rules
// play no part here. The window's command entry and the headless line
// editor (console/line_editor.h) both use it:
//
//   Enter / send button:  recall.Sent(line);
//   Up:                   gui.SetText({form, entry}, recall.Up(gui.Text({form, entry})));
//   Down:                 gui.SetText({form, entry}, recall.Down(gui.Text({form, entry})));
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace programs {

class CommandRecall {
 public:
  // A line was sent: it becomes the newest line (trimmed of blanks), unless
  // it is empty or the same as the newest line (repeats in a row are kept
  // once, so one Up always gives the previous different line). Ends any
  // stepping: the next Up starts from the newest line again.
  void Sent(std::string_view line);

  // The text the entry shows after Up, given what it shows now. The first Up
  // keeps `current` as the unsent text and gives the newest line; each
  // further Up gives the next older one; at the oldest line Up gives it
  // again. With no line sent yet, `current` stays.
  std::string Up(std::string_view current);

  // The text after Down: the next newer line, and past the newest the unsent
  // text kept by the first Up. When not stepping, `current` stays. Edits made
  // to a recalled line are not kept when stepping on.
  std::string Down(std::string_view current);

  std::size_t Size() const { return lines_.size(); }

 private:
  std::vector<std::string> lines_;  // oldest first
  std::size_t position_ = 0;        // lines_.size(): not stepping, the unsent text shows
  std::string unsent_;
};

}  // namespace programs

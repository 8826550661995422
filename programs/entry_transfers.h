// The three buttons that copy the selected history item into the command
// entry: to its front, at the remembered selection, or to its end. Pure
// rules: each takes the item and the entry's text and gives the new text and
// the selection to remember, or nothing when the trimmed item is empty (the
// entry then stays as it is). The window sets the text, keeps the returned
// selection as its EntrySelection and leaves the focus on the entry:
//
//   if (auto edit = TransferToEnd(history.SelectedItem(), gui.Text({form, entry}))) {
//     gui.SetText({form, entry}, edit->text);
//     entrySelection = edit->selection;
//     gui.SetFocus({form, entry});   // focus gained puts entrySelection back
//   }
//
// Positions count characters (one byte each) of the entry's text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace programs {

// The command entry's selection: saved when the entry loses the keyboard
// focus, put back when it gets it again. start == end is a caret; an end
// of -1 means the selection runs to the end of the text.
struct EntrySelection {
  std::int32_t start = 0;
  std::int32_t end = 0;
  bool operator==(const EntrySelection&) const = default;
};

struct EntryEdit {
  std::string text;
  EntrySelection selection;
  bool operator==(const EntryEdit&) const = default;
};

// New text: the item, followed by "," and the trimmed entry when that is not
// empty. Selection 0, 0.
std::optional<EntryEdit> TransferToFront(std::string_view item, std::string_view entry);

// New text: the trimmed entry and "," before the item when the entry is not
// empty. Selection: a caret at the length of the trimmed entry.
std::optional<EntryEdit> TransferToEnd(std::string_view item, std::string_view entry);

// Puts the item in place of the remembered selection of the untrimmed entry:
// the text before the selection's start (a negative start counts as 0; a
// start past the end as the end) gets a "," after it unless it is empty or
// already ends in one; with an end of -1 the item ends the text, otherwise
// the text after the selection's end follows, with a "," before it unless
// it is empty or already begins with one. Any other end before the start
// counts as the start (nothing selected, nothing lost). An empty entry
// becomes the item. The item is trimmed. Selection: a caret at the start.
//   "JX+,STOP" with a caret at 4 and the item PX gives "JX+,PX,STOP".
std::optional<EntryEdit> TransferAtSelection(std::string_view item, std::string_view entry,
                                             EntrySelection saved);

}  // namespace programs

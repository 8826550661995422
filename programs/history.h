// The command history: the lines sent from the command entry, shown in the
// main window's history drop-down list and pulled back into the entry by the
// transfer buttons (programs/entry_transfers.h). It lives as long as the main
// window and is never saved.
//
// The model owns the items; the list control only shows them. Every change
// is one call on each side, so the two stay in step item for item:
//
//   History history;                       // the list shows history.Item(0)
//   ...on list creation:   gui.InsertItem({form, list}, 0, History::ShownText(history.Item(0)));
//   ...after a line ran, "Record History" ticked:
//     std::size_t at = history.RecordHistory(line, fifoTicked);
//     gui.InsertItem({form, list}, at, History::ShownText(history.Item(at)));
//     gui.SelectItem({form, list}, history.Selected());
//   ..."Clear History": history.Clear(); gui.ClearItems({form, list});
//   ...the operator picks an item: history.Select(gui.SelectedItem({form, list}));
//   ...a transfer or an attach uses history.SelectedItem(), the full text,
//      never the list's text, which may be shortened.
//
// The list control must insert exactly one item per call (an item may hold
// "|", which the list rule elsewhere reads as an item separator).
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace programs {

// The line the history holds when it is created.
inline constexpr std::string_view kHistorySample =
    "LSPDX=500,HSPDX=5000,ACCX=200,DECX=200,EO1=1,JX-,DELAY,STOP,DELAY";

// Items longer than this are shortened when shown (ShownText).
inline constexpr std::size_t kShownItemLength = 1000;

class History {
 public:
  // One item, the sample line, selected.
  History();

  // Records `line` as exactly one item, whatever it holds: with `fifo` as the
  // last item, otherwise as the first, before all earlier items in their
  // order. No size limit, no duplicate check. Either way costs the same
  // however long the history already is. Selects the first item. Returns
  // the position the new item took (0, or the last position).
  std::size_t RecordHistory(std::string line, bool fifo);

  // Removes every item (the sample line too); nothing is selected.
  void Clear();

  std::size_t Size() const { return items_.size(); }
  // The full text of item `index`; "" outside the list.
  const std::string& Item(std::size_t index) const;

  // The selected position, -1 for none.
  int Selected() const { return selected_; }
  // Follows the list control's selection; a position outside the list
  // selects nothing.
  void Select(int index);
  // The full text of the selected item; "" when nothing is selected.
  const std::string& SelectedItem() const;

  // The text the list shows for `item`: the item itself, or for items
  // longer than kShownItemLength their first kShownItemLength - 3
  // characters and "...", so one huge line does not make the list
  // unusable.
  static std::string ShownText(std::string_view item);

 private:
  // In display order. A deque inserts at the front in constant time, which
  // a script recording lines for hours needs.
  std::deque<std::string> items_;
  int selected_ = 0;
};

}  // namespace programs

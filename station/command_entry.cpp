#include "station/command_entry.h"

#include <utility>

#include "screens/main_form.h"

namespace app {

void CommandEntry::FillHistoryList() {
  gui_.ClearItems({form_, tmain::kHistory});
  for (std::size_t i = 0; i < history_.Size(); ++i) {
    gui_.InsertItem({form_, tmain::kHistory}, static_cast<int>(i),
                    programs::History::ShownText(history_.Item(i)));
  }
  gui_.SelectItem({form_, tmain::kHistory}, history_.Selected());
}

void CommandEntry::RecordHistory(const std::string& line) {
  if (!gui_.Checked({form_, tmain::kRecordHistory})) return;
  const bool fifo = gui_.Checked({form_, tmain::kFifo});
  const std::size_t at = history_.RecordHistory(line, fifo);
  gui_.InsertItem({form_, tmain::kHistory}, static_cast<int>(at),
                  programs::History::ShownText(history_.Item(at)));
  gui_.SelectItem({form_, tmain::kHistory}, history_.Selected());
}

void CommandEntry::ClearHistory() {
  history_.Clear();
  gui_.ClearItems({form_, tmain::kHistory});
}

const std::string& CommandEntry::SelectedHistoryItem() {
  history_.Select(gui_.SelectedItem({form_, tmain::kHistory}));
  return history_.SelectedItem();
}

void CommandEntry::TransferHistoryItem(Transfer where) {
  const std::string& item = SelectedHistoryItem();
  const std::string entry = gui_.Text({form_, tmain::kCommandEntry});
  std::optional<programs::EntryEdit> edit;
  switch (where) {
    case Transfer::Front:
      edit = programs::TransferToFront(item, entry);
      break;
    case Transfer::End:
      edit = programs::TransferToEnd(item, entry);
      break;
    case Transfer::AtSelection:
      // While the entry has the focus (a button that takes none), or its
      // focus lost is still on the way (the click that moved the focus
      // arrived first), its selection now is the one to replace.
      if (focused_ || gui_.FocusedControl() == ui::ControlRef{form_, tmain::kCommandEntry}) {
        SaveSelection();
      }
      edit = programs::TransferAtSelection(item, entry, selection_);
      break;
  }
  if (edit) ShowEdit(*edit);
}

void CommandEntry::ShowEdit(const programs::EntryEdit& edit) {
  gui_.SetText({form_, tmain::kCommandEntry}, edit.text);
  selection_ = edit.selection;
  RestoreSelection();
  gui_.SetFocus({form_, tmain::kCommandEntry});
}

void CommandEntry::ApplyFunctionKey(int n) {
  const std::optional<std::string> text =
      keys_.ApplyFunctionKey(n, gui_.Text({form_, tmain::kCommandEntry}));
  if (!text) return;
  gui_.SetText({form_, tmain::kCommandEntry}, *text);
  gui_.SetFocus({form_, tmain::kCommandEntry});
}

void CommandEntry::AttachCommandLine() {
  keys_.AttachToFunctionKey(gui_.Text({form_, tmain::kCommandEntry}),
                            gui_.Text({form_, tmain::kFunctionKeys}));
}

void CommandEntry::AttachHistoryItem() {
  keys_.AttachToFunctionKey(SelectedHistoryItem(), gui_.Text({form_, tmain::kFunctionKeys}));
}

void CommandEntry::FocusLost() {
  SaveSelection();
  focused_ = false;
}

void CommandEntry::FocusGained() {
  RestoreSelection();
  focused_ = true;
}

void CommandEntry::SaveSelection() {
  const ui::TextSelection now = gui_.Selection({form_, tmain::kCommandEntry});
  selection_ = {now.start, now.end};
}

void CommandEntry::RestoreSelection() {
  gui_.SetSelection({form_, tmain::kCommandEntry}, {selection_.start, selection_.end});
}

void CommandEntry::Recall(bool older) {
  const std::string current = gui_.Text({form_, tmain::kCommandEntry});
  const std::string text = older ? recall_.Up(current) : recall_.Down(current);
  if (text == current) return;
  gui_.SetText({form_, tmain::kCommandEntry}, text);
  const int end = static_cast<int>(text.size());
  gui_.SetSelection({form_, tmain::kCommandEntry}, {end, end});
}

}  // namespace app

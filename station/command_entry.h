// The command entry of the main window and what fills it besides typing: the
// history list, the three transfer buttons, the function keys F1 to F10 and
// Up/Down recall. The models (programs/history.h, function_keys.h,
// entry_transfers.h, command_recall.h) hold the texts; this class keeps the
// main window's controls in step with them. Nothing here sends a line: the
// application runs the entry with Enter as before.
#pragma once

#include <string>

#include "programs/command_recall.h"
#include "programs/entry_transfers.h"
#include "programs/function_keys.h"
#include "programs/history.h"
#include "ui/contract/gui.h"

namespace app {

class CommandEntry {
 public:
  // Works on the command entry, the history list, the key selector and the
  // two check boxes of `form` (the main window's identifiers, main_form.h).
  CommandEntry(ui::Gui& gui, std::string form) : gui_(gui), form_(std::move(form)) {}

  // The history list was created: it shows the model's items (the sample
  // line) with the first one selected.
  void FillHistoryList();
  // After a line has run (or its device could not be opened): records it as
  // one item when "Record History" is ticked, at the end with FIFO ticked,
  // else at the top. The list shows items longer than 1,000 characters
  // shortened; the model keeps the whole line.
  void RecordHistory(const std::string& line);
  void ClearHistory();

  // The transfer buttons: the selected history item (its full text) to the
  // front of the entry, at the selection it had when it last lost the
  // focus, or to its end. The entry keeps (or gets) the focus.
  enum class Transfer { Front, AtSelection, End };
  void TransferHistoryItem(Transfer where);

  // F1..F10 (1..10): the key's text after the entry's; the entry gets the
  // focus. An empty key changes nothing.
  void ApplyFunctionKey(int n);
  // Stores the entry's text, or the selected history item, into the key
  // the selector shows. An empty text or a selector text that names no key
  // stores nothing.
  void AttachCommandLine();
  void AttachHistoryItem();
  // The message listing the keys that hold text.
  std::string FunctionKeyListing() const { return keys_.ShowFunctionKeys(); }

  // Focus lost and gained (events 801 and 800): the entry's selection is
  // kept meanwhile.
  void FocusLost();
  void FocusGained();

  // A line was sent from the entry (Enter or the send button).
  void Sent(const std::string& line) { recall_.Sent(line); }
  // Up (older) and Down in the entry: the lines sent in this run; the
  // caret goes to the end of the recalled line.
  void Recall(bool older);

  const programs::History& History() const { return history_; }
  const programs::FunctionKeys& Keys() const { return keys_; }

 private:
  // The model follows the list's selection, which the operator changes
  // without an event the application needs.
  const std::string& SelectedHistoryItem();
  void SaveSelection();
  void RestoreSelection();
  void ShowEdit(const programs::EntryEdit& edit);

  ui::Gui& gui_;
  std::string form_;
  programs::History history_;
  programs::FunctionKeys keys_;
  programs::CommandRecall recall_;
  programs::EntrySelection selection_;
  bool focused_ = false;  // from focus gained to focus lost, as the events tell
};

}  // namespace app

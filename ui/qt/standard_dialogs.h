// The desktop's own dialogs as the contract asks for them: the message box,
// the file dialog, opening a file with the desktop's program, and the help
// window that shows the guides.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <string>

#include "ui/contract/gui.h"

namespace ui::qt {

// Modal over `owner` (none: over nothing); Declined when the owner went away
// while it was open.
ui::MessageBoxAnswer AskWithMessageBox(QWidget* owner, const ui::MessageBoxRequest& request);
// The chosen path, "" when none was chosen.
std::string AskForFile(QWidget* owner, const ui::FileDialogRequest& request);
// False when `path` is no file or the desktop could not open it.
bool OpenFileWithDesktop(const std::string& path);

// One help window, made when it is first shown and shown again after.
class HelpWindow {
 public:
  HelpWindow() = default;
  HelpWindow(const HelpWindow&) = delete;
  HelpWindow& operator=(const HelpWindow&) = delete;
  ~HelpWindow();
  // Shows the Markdown file `index`; false when it cannot be read.
  bool Show(const std::string& title, const std::string& index);

 private:
  QPointer<QTextBrowser> window_;
};

}  // namespace ui::qt

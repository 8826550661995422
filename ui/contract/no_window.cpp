// The window entry point of a build without a window backend.
#include "ui/contract/window.h"

namespace ui {

std::unique_ptr<Gui> OpenWindowBackend(const std::string&, std::string& why) {
  why = "this build has no window";
  return nullptr;
}

}  // namespace ui

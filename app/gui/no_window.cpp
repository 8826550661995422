// The window entry point of a build without a window backend.
#include "app/gui/window.h"

namespace app::gui {

std::unique_ptr<Gui> OpenWindowBackend(const std::string&, std::string& why) {
  why = "this build has no window";
  return nullptr;
}

}  // namespace app::gui

// The window entry point of a build without a window backend.
#include "ui/contract/window.h"

namespace ui {

platform::Result<std::unique_ptr<Gui>> OpenWindowBackend(const std::string&) {
  return platform::Result<>::Unsupported("this build has no window");
}

platform::Result<> WritePlotPicture(const PlotData&, const std::string&) {
  return platform::Result<>::Unsupported(
      "this build has no window to draw a picture of the plot (a .csv file works)");
}

bool DrawsPlotPictures() {
  return false;
}

}  // namespace ui

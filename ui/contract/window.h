// The window backend of this build, made through one entry point so that
// start-up never names a window system. The build chooses its
// implementation in one CMake place (app/CMakeLists.txt): the Qt 6 backend
// in ui/qt/ when HALVORN_WINDOW is on, otherwise no_window.cpp.
#pragma once

#include <memory>
#include <string>

#include "platform/result.h"
#include "ui/contract/gui.h"
#include "ui/contract/plot_data.h"

namespace ui {

// A window backend ready for its first form, or why there is none, in one
// line for the operator (Unsupported): the build has no window, no display
// exists, or the window system did not start. `programName` is the
// program's name as it was started (argv[0]).
platform::Result<std::unique_ptr<Gui>> OpenWindowBackend(const std::string& programName);

// Writes the plot of `data` as the plot window draws it, every series
// shown, to the PNG file `path` (replaced atomically). It needs no display:
// a run without a window draws it off screen. Unsupported in a build
// without the window.
platform::Result<> WritePlotPicture(const PlotData& data, const std::string& path);
// Whether WritePlotPicture can draw in this build.
bool DrawsPlotPictures();

}  // namespace ui

// The display's options that the station remembers from one run to the
// next: the session log and the time stamps, chosen in the display's
// context menu, and the font's zoom. They are kept in AppConfig/Display.cfg
// (NAME=value lines, names in any letter case, "#" comments):
//   session_log=on|off          every display line also goes to a session log
//   time_stamps=off|clock|since each entry starts with the time of day, or
//                               the time since the previous entry
//   zoom=<percent>              the display's font size (written unless 100)
// The file is rewritten when the operator changes an option; lines of other
// names are kept as they are.
#pragma once

#include <string>
#include <vector>

#include "engine/terminal_display.h"
#include "platform/data_folders.h"
#include "platform/result.h"

namespace app {

struct DisplaySettings {
  bool sessionLog = false;
  engine::TimeStamps timeStamps = engine::TimeStamps::Off;
  int zoom = 100;  // one of DisplayZoom's steps
  bool operator==(const DisplaySettings&) const = default;
};

// The settings of AppConfig/Display.cfg (the defaults without it); each line
// that cannot be used is named in `notes` and left out.
DisplaySettings ReadDisplaySettings(const platform::DataFolders& folders,
                                    std::vector<std::string>& notes);

// Rewrites AppConfig/Display.cfg with `settings`, keeping its other lines.
platform::Result<> WriteDisplaySettings(const platform::DataFolders& folders,
                                        const DisplaySettings& settings);

}  // namespace app

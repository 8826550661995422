// The display's font size as the operator zooms it (Ctrl+plus, Ctrl+minus,
// Ctrl+0, Ctrl with the wheel): in steps from half to three times the size
// the form table gives, remembered between runs in AppConfig/Display.cfg
// (one line "ZOOM=<percent>"; "#" comments).
#pragma once

#include <string>

#include "platform/result.h"
#include "ui/contract/gui.h"

namespace app {

class DisplayZoom {
 public:
  explicit DisplayZoom(std::string path) : path_(std::move(path)) {}

  // The remembered zoom: 100 without a file or a usable ZOOM line; a
  // percentage between two steps is the nearer step.
  void Load();
  int Percent() const { return percent_; }
  // One step larger (+1) or smaller (-1), or back to 100 (0). False when
  // the zoom stays as it was (at the largest or smallest step already).
  bool Change(int direction);
  // `base` at the zoom.
  ui::Font Zoomed(ui::Font base) const;
  // Writes the zoom to its file, replacing it whole.
  platform::Result<> Save() const;

 private:
  std::string path_;
  int percent_ = 100;
};

}  // namespace app

// The display's font size as the operator zooms it (Ctrl+plus, Ctrl+minus,
// Ctrl+0, Ctrl with the wheel): in steps from half to three times the size
// the form table gives. The station remembers it with the display's other
// options (station/display_settings.h).
#pragma once

#include "ui/contract/gui.h"

namespace app {

class DisplayZoom {
 public:
  // The step nearest to `percent`.
  static int NearestStep(int percent);

  int Percent() const { return percent_; }
  // The nearest step to `percent`.
  void Set(int percent) { percent_ = NearestStep(percent); }
  // One step larger (+1) or smaller (-1), or back to 100 (0). False when
  // the zoom stays as it was (at the largest or smallest step already).
  bool Change(int direction);
  // `base` at the zoom.
  ui::Font Zoomed(ui::Font base) const;

 private:
  int percent_ = 100;
};

}  // namespace app

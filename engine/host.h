// What the command engine needs from the window it runs in: the clock, waits,
// event pumping, and the controls of the main window it shows things in (the
// terminal display, the byte counter and the bars). The engine only writes
// to them; what they show is the engine's own state.
//
// The application implements this over the GUI contract; tests implement it
// with a virtual clock, so a 60-second DELAY runs in microseconds.
#pragma once

#include <string>

namespace engine {

// Control identifiers of the main window that the engine writes to.
inline constexpr int kDelayProgressBar = 150;
inline constexpr int kTerminalDisplay = 160;
inline constexpr int kByteCounter = 165;
inline constexpr int kCommandProgressBar = 295;
inline constexpr int kProgramProgressBar = 300;

class Host {
 public:
  virtual ~Host() = default;

  // A monotonic high-resolution clock, in seconds.
  virtual double Now() = 0;
  // Blocks for `seconds` without processing events.
  virtual void Delay(double seconds) = 0;
  // Lets the window process every pending event once (this is where the ESC
  // key can reach the engine while a line runs).
  virtual void DoEvents() = 0;

  // Replaces the text of a control of the main window.
  virtual void SetControlText(int control, const std::string& text) = 0;
  // Adds `text` at the end of a text control and scrolls to it, in time that
  // does not grow with the text already there.
  virtual void AppendControlText(int control, const std::string& text) = 0;
  virtual void SetRedrawState(int control, bool redraw) = 0;
  virtual void RedrawControl(int control) = 0;
};

}  // namespace engine

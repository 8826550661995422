// What the command engine needs from the window it runs in: the clock, waits,
// event pumping, and the places it shows things in: the terminal display,
// the byte counter and its two bars. The engine only writes to them; what
// they show is the engine's own state. Where they are on the screen is the
// window's business.
//
// The application implements this over the GUI contract; tests implement it
// with a virtual clock, so a 60-second DELAY runs in microseconds.
#pragma once

#include <cstddef>
#include <string>

namespace engine {

// The bars the engine draws in: the delay bar of a DELAY directive and the
// command bar of a running line.
enum class Bar { Delay, Command };

class Host {
 public:
  virtual ~Host() = default;

  // A monotonic high-resolution clock, in seconds.
  virtual double Now() = 0;
  // Now() runs with the time of day (the machine's steady clock, not a
  // virtual time that jumps): the session log may time its stamps by it
  // instead of reading the wall clock for every entry.
  virtual bool RealTime() { return false; }
  // Blocks for `seconds` without processing events.
  virtual void Delay(double seconds) = 0;
  // Lets the window process every pending event once (this is where the ESC
  // key can reach the engine while a line runs).
  virtual void DoEvents() = 0;

  // The terminal display shows `text` instead of what it showed.
  virtual void ReplaceDisplay(const std::string& text) = 0;
  // The terminal display shows `text` after what it shows and scrolls to it,
  // in time that does not grow with the text already there.
  virtual void AppendToDisplay(const std::string& text) = 0;
  // The byte counter shows that the display holds `bytes` bytes.
  virtual void ShowByteCount(std::size_t bytes) = 0;
  // `bar` shows `markup` (engine/bar_markup.h) and is drawn at once.
  virtual void ShowBar(Bar bar, const std::string& markup) = 0;
  // A command line has run to its end and its expected values are gone:
  // whatever was loaded to run as that line is over.
  virtual void LineFinished() = 0;
};

}  // namespace engine

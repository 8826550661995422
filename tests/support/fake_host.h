// A window for the command engine that runs on virtual time and remembers what
// the engine did to its controls.
//
// - Now() reads `now`, a virtual clock in seconds that only moves when Delay()
//   is called or a test moves it (a fake link can advance it to give an
//   exchange a duration, or move it back to play a clock that jumps).
// - Delay() records the wait and advances the clock; nothing sleeps, so a
//   60-second DELAY runs in microseconds.
// - DoEvents() counts the call and runs `onDoEvents`, which is where a test
//   "presses ESC" at the moment it chooses (e.g. after the third pump, or once
//   the clock has passed 0.5 s).
// - Control texts live in `controls`; every SetControlText of a control other
//   than the terminal display is kept in `history` (bar markups, byte
//   counter), and every AppendControlText in `appends`. The display's own
//   full-text rewrites are not kept; long runs clear `keepHistory` and
//   `keepAppends` so nothing grows per command.
// - With `logCalls` set, every call that touches a control is also written to
//   `callLog` ("redraw 160 off", "set 160", "append 160", "redraw 160 on",
//   "paint 160"), for tests of the order of updates.
//
// Header-only so the fuzz targets and benchmarks can use it as well.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/host.h"

namespace testing_support {

class FakeHost : public engine::Host {
 public:
  double now = 0;                                   // the virtual clock, seconds
  std::vector<double> delays;                       // every Delay() argument, in order
  int doEventsCalls = 0;                            // how often the window got control
  std::function<void()> onDoEvents;                 // runs inside every DoEvents()
  std::map<int, std::string> controls;              // current text of each control
  std::map<int, std::vector<std::string>> history;  // SetControlText values
  std::vector<std::string> appends;                 // AppendControlText values
  bool keepAppends = true;                          // false: do not remember appends (long runs)
  bool keepHistory = true;                          // false: do not remember SetControlText values
  std::map<int, int> paints;                        // RedrawControl calls per control
  std::map<int, bool> redrawOff;                    // controls whose redrawing is off now
  bool logCalls = false;
  std::vector<std::string> callLog;

  double Now() override { return now; }
  void Delay(double seconds) override {
    delays.push_back(seconds);
    now += seconds;
  }
  void DoEvents() override {
    ++doEventsCalls;
    if (onDoEvents) onDoEvents();
  }

  void SetControlText(int control, const std::string& text) override {
    Log("set", control);
    controls[control] = text;
    if (keepHistory && control != engine::kTerminalDisplay) history[control].push_back(text);
  }
  void AppendControlText(int control, const std::string& text) override {
    Log("append", control);
    controls[control] += text;
    if (keepAppends) appends.push_back(text);
  }
  void SetRedrawState(int control, bool redraw) override {
    Log("redraw", control, redraw ? " on" : " off");
    redrawOff[control] = !redraw;
  }
  void RedrawControl(int control) override {
    Log("paint", control);
    ++paints[control];
  }

  // Total virtual time spent in Delay(), in seconds.
  double TotalDelay() const {
    double total = 0;
    for (double d : delays) total += d;
    return total;
  }
  // The markups a bar was given, in order (empty when never set).
  const std::vector<std::string>& Markups(int control) { return history[control]; }
  const std::string& Display() { return controls[engine::kTerminalDisplay]; }

 private:
  void Log(const char* what, int control, const char* suffix = "") {
    if (logCalls) callLog.push_back(std::string(what) + " " + std::to_string(control) + suffix);
  }
};

}  // namespace testing_support

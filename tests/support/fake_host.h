// A window for the command engine on virtual time that remembers what the
// engine did to its controls. Now() reads `now`, which moves only by Delay()
// (recorded, never slept) or by the test. DoEvents() counts and runs
// `onDoEvents`, where a test "presses ESC". Control texts live in `controls`;
// SetControlText values of every control but the display are kept in
// `history` (bar markups, the counter), AppendControlText values in
// `appends` (long runs turn both off). With `logCalls`, every call that
// touches a control is written to `callLog` ("redraw 160 off", "set 160",
// "append 160", "paint 160"). Header-only for the fuzz targets and
// benchmarks.
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
  double now = 0;
  std::vector<double> delays;
  int doEventsCalls = 0;
  std::function<void()> onDoEvents;
  std::map<int, std::string> controls;
  std::map<int, std::vector<std::string>> history;
  std::vector<std::string> appends;
  bool keepAppends = true, keepHistory = true;
  std::map<int, int> paints;  // RedrawControl calls per control
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
  }
  void RedrawControl(int control) override {
    Log("paint", control);
    ++paints[control];
  }

  double TotalDelay() const {
    double total = 0;
    for (double d : delays) total += d;
    return total;
  }
  const std::vector<std::string>& Markups(int control) { return history[control]; }
  // What the display widget shows.
  const std::string& Display() { return controls[engine::kTerminalDisplay]; }

 private:
  void Log(const char* what, int control, const char* suffix = "") {
    if (logCalls) callLog.push_back(std::string(what) + " " + std::to_string(control) + suffix);
  }
};

}  // namespace testing_support

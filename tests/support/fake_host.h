// A window for the command engine on virtual time that remembers what the engine showed: `now`
// moves only by Delay() (recorded, never slept) or the test; DoEvents() runs `onDoEvents`, where
// a test "presses ESC". Header-only for the fuzz targets and benchmarks.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
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
  std::string display;                   // what the display shows
  std::optional<std::size_t> byteCount;  // what the counter shows, once shown
  std::map<engine::Bar, std::vector<std::string>> bars;
  std::map<engine::Bar, int> barsShown;
  std::vector<std::string> appends;
  bool keepAppends = true, keepHistory = true;  // off for long runs
  bool logCalls = false;  // each call that shows something into callLog ("count 154", ...)
  std::vector<std::string> callLog;

  bool realTime = false;  // the clock says it runs with the time of day
  double Now() override { return now; }
  bool RealTime() override { return realTime; }
  void Delay(double seconds) override {
    delays.push_back(seconds);
    now += seconds;
  }
  void DoEvents() override {
    ++doEventsCalls;
    if (onDoEvents) onDoEvents();
  }
  void ReplaceDisplay(const std::string& text) override {
    Log("replace");
    display = text;
  }
  void AppendToDisplay(const std::string& text) override {
    Log("append");
    display += text;
    if (keepAppends) appends.push_back(text);
  }
  void ShowByteCount(std::size_t bytes) override {
    Log("count " + std::to_string(bytes));
    byteCount = bytes;
  }
  void ShowBar(engine::Bar bar, const std::string& markup) override {
    Log("bar");
    ++barsShown[bar];
    if (keepHistory) bars[bar].push_back(markup);
  }
  void LineFinished() override {
    if (onLineFinished) onLineFinished();
  }
  std::function<void()> onLineFinished;  // run at the end of every line

  double TotalDelay() const { return std::accumulate(delays.begin(), delays.end(), 0.0); }

 private:
  void Log(const std::string& what) {
    if (logCalls) callLog.push_back(what);
  }
};

}  // namespace testing_support

// What the engine benchmarks share: a minimal window whose display widget is
// a std::string extended in place, on the real steady clock with a pump
// that does nothing, and a link that answers every command at once.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "devices/link.h"
#include "engine/host.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

class BenchHost : public engine::Host {
 public:
  double Now() override { return Seconds(start_, Clock::now()); }
  bool RealTime() override { return true; }
  void Delay(double) override {}
  void DoEvents() override {}
  // The display keeps its text as a window's text box would.
  void ReplaceDisplay(const std::string& text) override { display_ = text; }
  void AppendToDisplay(const std::string& text) override { display_ += text; }
  void ShowByteCount(std::size_t bytes) override { counter_ = "Bytes: " + std::to_string(bytes); }
  void ShowBar(engine::Bar, const std::string& markup) override { bar_ = markup; }
  void LineFinished() override {}

 private:
  Clock::time_point start_ = Clock::now();
  std::string display_, counter_, bar_;
};

// A link that answers every command at once.
class InstantLink : public devices::Transport {
 public:
  std::vector<std::string> ListEntries() override { return {}; }
  platform::Result<devices::LinkHandle> Open(const std::string&) override {
    return devices::LinkHandle{1};
  }
  devices::LinkStatus SendReceive(devices::LinkHandle, const std::string&,
                                  std::string& reply) override {
    reply = "1234";
    return devices::LinkStatus::Ok;
  }
  devices::LinkStatus Close(devices::LinkHandle) override { return devices::LinkStatus::Ok; }
};

}  // namespace bench

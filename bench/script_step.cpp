// A script step costs time in proportion to its own line, not to the
// script: the per-step cost of a 1,000-line script and of a 100,000-line
// script, measured side by side in one run (target: the ratio at most 1.2).
//
// The scripts are made of [VARSET1] lines, so a step is the line reader, the
// keyword dispatch and the variable store, with nothing drawn. Times are the
// thread's CPU time; the figures are medians over rounds that alternate the
// two scripts.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "autocontrol/script.h"
#include "engine/command_engine.h"
#include "tests/support/fake_host.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class QuietHost : public autocontrol::ScriptHost {
 public:
  void ExecuteOnSelectedDevice(const std::string&) override {}
  void SelectDeviceSlot(int) override {}
  void RefreshDevices() override {}
  void ResetDeviceSlot() override {}
  std::string SelectedDevice() override { return {}; }
  void SetShowMode(int) override {}
  platform::Result<> LoadProgram(int, const std::string&) override {
    return platform::Result<>::Cancelled("no programs here");
  }
  std::string ProgramCommandLine() override { return {}; }
  std::string AskOperator(const std::string&, bool, bool) override { return {}; }
  bool ShowPassFail(const std::string&, const std::string&, int) override { return false; }
  void SelectLanguage(int) override {}
  void PlaceMainWindow(const std::string&) override {}
  void Wait(double) override {}
  std::tm LocalTime() override { return {}; }
  bool StartProgram(const std::vector<std::string>&, bool) override { return false; }
  void ReportError(const std::string&) override {}
};

// Nanoseconds per step over the first `steps` lines of a script of `lines`.
double NanosecondsPerStep(int lines, int steps) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    if (i) text += "\r\n";
    text += "[VARSET1]unit " + std::to_string(i);
  }
  testing_support::FakeHost window;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine(window, capture);
  QuietHost host;
  autocontrol::Script script(host, engine, capture, "/nonexistent/", 0);
  script.LoadScriptText(std::move(text));
  script.ScriptStep();  // the first step counts the lines once
  double start = CpuSeconds();
  for (int i = 1; i < steps; ++i) script.ScriptStep();
  return (CpuSeconds() - start) * 1e9 / (steps - 1);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  constexpr int kSteps = 1000;
  std::vector<double> small, large, ratios;
  for (int round = 0; round < 15; ++round) {
    double s = NanosecondsPerStep(1000, kSteps);
    double l = NanosecondsPerStep(100000, kSteps);
    small.push_back(s);
    large.push_back(l);
    ratios.push_back(l / s);
  }
  std::printf("script step, 1,000-line script:   %8.1f ns per step\n", Median(small));
  std::printf("script step, 100,000-line script: %8.1f ns per step\n", Median(large));
  std::printf("ratio (target <= 1.2):            %8.3f\n", Median(ratios));
  return 0;
}

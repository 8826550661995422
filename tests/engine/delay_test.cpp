// DELAY on virtual time: how long it waits, in what steps, what the delay bar
// shows, and how ESC ends it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace engine_testing {
namespace {

using DelayTest = EngineTest;

TEST_F(DelayTest, WaitsTheTimeItsFormAsksWithoutSendingOrShowing) {
  const std::pair<const char*, double> cases[] = {
      {"DELAY", 2.0},         {"DELAYX", 2.0},         {"DELAYS", 0.5},       {"DELAYM", 1.5},
      {"DELAYL", 3.0},        {"DELAYs", 2.0},         {"DELAY S", 2.0},      {"DELAY=30", 0.1},
      {"DELAY=50.6", 0.1},    {"DELAY=-5", 0.1},       {"DELAY=", 0.1},       {"DELAY=abc", 0.1},
      {"DELAY=250", 0.25},    {"DELAY=1234", 1.234},   {"DELAY = 300", 0.3},  {"DELAYS=300", 0.3},
      {"DELAY=100000", 60.0}, {"DELAY=60000.4", 60.0}, {"DELAY=1e300", 60.0}, {"DELAY=2=5", 0.1},
  };
  for (auto [command, seconds] : cases) {
    host.delays.clear();
    Run(command);
    EXPECT_NEAR(host.TotalDelay(), seconds, 1e-9) << command;
  }
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(host.Display(), "");
  EXPECT_FALSE(host.byteCount);
}

TEST_F(DelayTest, WaitsInStepsOfAHundredMillisecondsWhileTheBarTurnsGreen) {
  Run("DELAY=250");
  EXPECT_EQ(host.delays, (std::vector<double>{0.1, 0.1, 0.05}));
  EXPECT_EQ(host.Markups(engine::Bar::Delay),
            (Strings{"100%RED|0%GREEN", "60%RED|40%GREEN", "20%RED|80%GREEN", "100%GREEN"}));
  EXPECT_EQ(host.barsShown[engine::Bar::Delay], 4);
}

TEST_F(DelayTest, EscEndsTheDelayAtItsNextStep) {
  state.ShowMode = 3;
  host.onDoEvents = [this] {
    if (host.now >= 1.0 - 1e-9) state.AbortRequest = true;
  };
  Run("DELAYL, A");
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(host.Markups(engine::Bar::Delay).back(), "100%GREEN");
  EXPECT_EQ(Shown(), "ABORT (ESCAPED) (OK)");
  link.sent.clear();
  host.delays.clear();
  PressEscAfterSends(1);
  Run("A, DELAYL, B");  // ESC before the delay: no wait at all
  EXPECT_TRUE(host.delays.empty());
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
}

}  // namespace
}  // namespace engine_testing

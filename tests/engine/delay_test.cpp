// DELAY on virtual time: how long it waits, in what steps, what the delay bar
// shows, and how ESC ends it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_testing {
namespace {

using engine::kByteCounter;
using engine::kDelayProgressBar;
using Strings = std::vector<std::string>;

class DelayTest : public EngineTest {};

TEST_F(DelayTest, WaitsTheTimeItsFormAsks) {
  struct Case {
    const char* command;
    double seconds;
  };
  const Case cases[] = {
      {"DELAY", 2.0},         {"DELAYX", 2.0},         {"DELAYS", 0.5},       {"DELAYM", 1.5},
      {"DELAYL", 3.0},        {"DELAYs", 2.0},         {"DELAY S", 2.0},      {"DELAY=30", 0.1},
      {"DELAY=50", 0.1},      {"DELAY=50.6", 0.1},     {"DELAY=-5", 0.1},     {"DELAY=", 0.1},
      {"DELAY=250", 0.25},    {"DELAY=1234", 1.234},   {"DELAY = 300", 0.3},  {"DELAYS=300", 0.3},
      {"DELAY=100000", 60.0}, {"DELAY=60000.4", 60.0}, {"DELAY=1e300", 60.0}, {"DELAY=abc", 0.1},
      {"DELAY=2=5", 0.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    host.delays.clear();
    Run(c.command);
    EXPECT_NEAR(host.TotalDelay(), c.seconds, 1e-9);
    EXPECT_TRUE(link.sent.empty());
  }
  EXPECT_EQ(host.Display(), "") << "a delay shows nothing";
  EXPECT_EQ(host.controls.count(kByteCounter), 0u);
}

TEST_F(DelayTest, WaitsInStepsOfAHundredMilliseconds) {
  Run("DELAY=250");
  EXPECT_EQ(host.delays.size(), 3u);
  EXPECT_NEAR(host.delays[0], 0.1, 1e-12);
  EXPECT_NEAR(host.delays[1], 0.1, 1e-12);
  EXPECT_NEAR(host.delays[2], 0.05, 1e-12);

  host.delays.clear();
  Run("DELAY=60000");
  EXPECT_EQ(host.delays.size(), 600u);
}

TEST_F(DelayTest, TheBarShrinksFromRedToGreen) {
  Run("DELAY=250");
  EXPECT_EQ(host.Markups(kDelayProgressBar),
            (Strings{"100%RED|0%GREEN", "60%RED|40%GREEN", "20%RED|80%GREEN", "100%GREEN"}));
  EXPECT_EQ(host.paints[kDelayProgressBar], 4);
}

TEST_F(DelayTest, LowerCaseDelayGoesToTheController) {
  Run("delay, Delay=5");
  EXPECT_EQ(link.sent, (Strings{"delay", "Delay=5"}));
  EXPECT_TRUE(host.delays.empty());
}

TEST_F(DelayTest, EscEndsTheDelayAtItsNextStep) {
  engine.State().ShowMode = 3;
  host.onDoEvents = [this] {
    if (host.now >= 1.0 - 1e-9) engine.State().AbortRequest = 1;
  };
  Run("DELAYL, A");
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(host.Markups(kDelayProgressBar).back(), "100%GREEN");
  EXPECT_EQ(link.sent, (Strings{"ABORT"}));
  EXPECT_EQ(Lines(), (Strings{Compact("ABORT (ESCAPED)", "OK")}));
}

TEST_F(DelayTest, EscBeforeTheDelayWaitsNothing) {
  PressEscAfterSends(1);
  Run("A, DELAYL, B");
  EXPECT_TRUE(host.delays.empty());
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
}

}  // namespace
}  // namespace engine_testing

// The simulated controller on a hand-turned clock.
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sim::Controller;

class ControllerTest : public ::testing::Test {
 protected:
  Controller& Make(bool instant = false) {
    Controller::Options options;
    options.identity = "SIM TEST 01";
    options.instant = instant;
    options.clock = [this] { return now; };
    controller = std::make_unique<Controller>(options);
    return *controller;
  }
  std::string Run(const std::string& command) { return controller->Execute(command); }
  void Setup(const char* lspd, const char* hspd, const char* acc, const char* dec) {
    ASSERT_EQ(Run(std::string("LSPD=") + lspd), "OK");
    ASSERT_EQ(Run(std::string("HSPD=") + hspd), "OK");
    ASSERT_EQ(Run(std::string("ACC=") + acc), "OK");
    ASSERT_EQ(Run(std::string("DEC=") + dec), "OK");
  }

  double now = 0.0;
  std::unique_ptr<Controller> controller;
};

TEST_F(ControllerTest, ParametersStoreAnyIntegerAndReadItBack) {
  Make();
  for (const char* name : {"LSPD", "HSPD", "ACC", "DEC", "EO"}) {
    std::string n = name;
    for (auto [written, read] : {std::pair{"0", "0"},
                                 {"-5", "-5"},
                                 {"+12", "12"},
                                 {" 77 ", "77"},
                                 {"9223372036854775807", "9223372036854775807"},
                                 {"-9223372036854775808", "-9223372036854775808"}}) {
      EXPECT_EQ(Run(n + "=" + written), "OK") << n << written;
      EXPECT_EQ(Run(n), read) << n << written;
    }
    for (const char* bad : {"", "1.5", "abc", "12a", "9223372036854775808", "+-1", "- 1"}) {
      EXPECT_EQ(Run(n + "=" + bad), "?VALUE") << n << bad;
      EXPECT_EQ(Run(n), "-9223372036854775808") << n << bad;
    }
  }
}

TEST_F(ControllerTest, KnowsItsCommandsAndRejectsOthers) {
  Make();
  EXPECT_EQ(Run("ID"), "SIM TEST 01");
  EXPECT_EQ(Run("  ID  "), "SIM TEST 01");
  for (const char* unknown : {"", "FOO", "id", "px", "LSPDX", "PX?", "JX", "JY+", "STOP1"}) {
    EXPECT_EQ(Run(unknown), "?UNKNOWN") << unknown;
  }
  for (const char* bad : {"X", "XABC", "X1.5", "PX=", "PX=abc"}) {
    EXPECT_EQ(Run(bad), "?VALUE") << bad;
  }
}

TEST_F(ControllerTest, InstantMovesEndAtOnceInAbsoluteAndIncrementalMode) {
  Make(true);
  EXPECT_EQ(Run("X1000"), "OK");
  EXPECT_EQ(Run("PX"), "1000");
  EXPECT_EQ(Run("MST"), "0");
  EXPECT_EQ(Run("INC"), "OK");
  EXPECT_EQ(Run("X-250"), "OK");
  EXPECT_EQ(Run("PX"), "750");
  EXPECT_EQ(Run("MST"), std::to_string(Controller::kStatusIncremental));
  EXPECT_EQ(Run("ABS"), "OK");
  EXPECT_EQ(Run("X-9000"), "OK");
  EXPECT_EQ(Run("STAT"), "-9000:0:0");
  EXPECT_EQ(Run("PX=42"), "OK");
  EXPECT_EQ(Run("PX"), "42");
}

TEST_F(ControllerTest, MoveFollowsATrapezoidAndEndsOnTarget) {
  Make();
  // Ramps of 10000 and 5000 pulses/s^2: 60 pulses up, 120 down, 820 at top speed.
  Setup("100", "1100", "100", "200");
  const double start = now;
  ASSERT_EQ(Run("X1000"), "OK");
  struct Sample {
    double at;
    const char* stat;
  } samples[] = {
      {0.05035, "17:603:1"},    // 100*t + 10000*t^2/2 = 17.71
      {0.50035, "500:1100:4"},  // 60 + 1100*(t - 0.1) = 500.385
      {0.94035, "961:625:2"},   // at top speed until 0.84545, then 880 + 81.87
      {1.2, "1000:0:0"},
  };
  for (const Sample& s : samples) {
    now = start + s.at;
    EXPECT_EQ(Run("STAT"), s.stat) << s.at;
  }
  EXPECT_EQ(Run("PS"), "0");
}

TEST_F(ControllerTest, ShortMovePeaksBelowTopSpeed) {
  Make();
  Setup("0", "1000", "1000", "1000");  // 500 pulses to reach top speed, 500 to stop
  const double start = now;
  ASSERT_EQ(Run("X100"), "OK");
  long long fastest = 0;
  for (int i = 1; i < 100; ++i) {
    now = start + i * 0.01;
    fastest = std::max(fastest, std::stoll(Run("PS")));
  }
  EXPECT_GE(fastest, 300);  // sqrt(100000) = 316
  EXPECT_LE(fastest, 317);
  EXPECT_EQ(Run("PX"), "100");
  EXPECT_EQ(Run("MST"), "0");
}

TEST_F(ControllerTest, JogRunsUntilStopRampsItDown) {
  Make();
  Setup("100", "1100", "100", "200");
  const double start = now;
  ASSERT_EQ(Run("JX+"), "OK");
  now = start + 0.05;
  EXPECT_EQ(Run("MST"),
            std::to_string(Controller::kStatusAccelerating | Controller::kStatusJogging));
  now = start + 1.1005;
  EXPECT_EQ(Run("STAT"), "1160:1100:12");  // 60 + 1100 * 1.0005, constant speed | jogging
  EXPECT_EQ(Run("STOP"), "OK");
  now = start + 1.1005 + 0.12345;
  EXPECT_EQ(Run("STAT"), "1258:482:2");  // 1160.55 + 1100*0.12345 - 5000*0.12345^2/2
  now = start + 5;
  EXPECT_EQ(Run("STAT"), "1280:0:0");  // 120 pulses to come down from top speed
}

TEST_F(ControllerTest, AbortStopsAtOnceAndSaysSo) {
  Make();
  Setup("1000", "1000", "0", "0");
  const double start = now;
  ASSERT_EQ(Run("JX-"), "OK");
  now = start + 2.5;
  EXPECT_EQ(Run("ABORT"), "OK");
  EXPECT_EQ(Run("PX"), "-2500");
  EXPECT_EQ(Run("MST"), std::to_string(Controller::kStatusAborted));
  now = start + 10;
  EXPECT_EQ(Run("PX"), "-2500");
  ASSERT_EQ(Run("X-2400"), "OK");  // a new motion clears the mark
  EXPECT_EQ(Run("MST"), std::to_string(Controller::kStatusConstantSpeed));
}

TEST_F(ControllerTest, StopShortensAMoveButNotItsFinalRamp) {
  Make();
  Setup("0", "1000", "1000", "1000");
  double start = now;
  ASSERT_EQ(Run("X10000"), "OK");
  now = start + 1.0;  // at top speed, 500 pulses out
  ASSERT_EQ(Run("STOP"), "OK");
  now = start + 10;
  EXPECT_EQ(Run("PX"), "1000");  // 500 more to come down

  ASSERT_EQ(Run("PX=0"), "OK");
  start = now;
  ASSERT_EQ(Run("X1000"), "OK");  // a triangle: up for 1 s, down for 1 s
  now = start + 1.5;
  ASSERT_EQ(Run("STOP"), "OK");
  now = start + 10;
  EXPECT_EQ(Run("PX"), "1000");
}

TEST_F(ControllerTest, MotionCommandsWaitForTheMotorToStop) {
  Make();
  Setup("1000", "1000", "0", "0");
  const double start = now;
  ASSERT_EQ(Run("X1000"), "OK");
  now = start + 0.5;
  EXPECT_EQ(Run("X0"), "?BUSY");
  EXPECT_EQ(Run("JX+"), "?BUSY");
  EXPECT_EQ(Run("PX=0"), "?BUSY");
  EXPECT_EQ(Run("HSPD=2000"), "OK");  // parameters apply to the next motion
  EXPECT_EQ(Run("PX"), "500");
  now = start + 1.0;
  EXPECT_EQ(Run("X0"), "OK");
  now = start + 1.5;
  EXPECT_EQ(Run("PX"), "0");
}

TEST_F(ControllerTest, NonsenseParametersStillGiveMovesThatEnd) {
  Make();
  Setup("-5", "0", "-1", "0");  // top speed held to 1 pulse/s, no ramps
  const double start = now;
  ASSERT_EQ(Run("X3"), "OK");
  now = start + 2.5;
  EXPECT_EQ(Run("STAT"), "2:1:4");
  now = start + 3.0;
  EXPECT_EQ(Run("PX"), "3");

  Make(true);
  EXPECT_EQ(Run("PX=9223372036854775807"), "OK");
  EXPECT_EQ(Run("INC"), "OK");
  EXPECT_EQ(Run("X1"), "?VALUE");
  EXPECT_EQ(Run("ABS"), "OK");
  EXPECT_EQ(Run("X-9223372036854775808"), "OK");
  EXPECT_EQ(Run("PX"), "-9223372036854775808");
}

}  // namespace

// The simulated controller on a hand-turned clock, and the shared line that
// carries its frames.
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>

#include "sim/serial_line.h"

namespace {

using sim::Controller;

class ControllerTest : public ::testing::Test {
 protected:
  // `setup` sets start and top speed (pulses per second) and ramps (milliseconds).
  void Make(bool instant, std::initializer_list<std::string> setup = {}) {
    Controller::Options options;
    options.identity = "SIM TEST 01";
    options.instant = instant;
    options.clock = [this] { return now; };
    controller = std::make_unique<Controller>(options);
    now = 0;
    for (const std::string& command : setup) ASSERT_EQ(Run({command}), "OK") << command;
  }
  // The replies to several commands, joined by blanks.
  std::string Run(std::initializer_list<std::string> commands) {
    std::string replies;
    for (const std::string& c : commands) {
      replies += (replies.empty() ? "" : " ") + controller->Execute(c);
    }
    return replies;
  }
  // Runs `command` when the clock reads `seconds`.
  std::string At(double seconds, const std::string& command) {
    now = seconds;
    return Run({command});
  }

  double now = 0;
  std::unique_ptr<Controller> controller;
};

TEST_F(ControllerTest, ParametersStoreAnyIntegerAndReadItBack) {
  Make(true);
  const std::pair<const char*, const char*> values[] = {
      {"-5", "-5"},
      {"+12", "12"},
      {" 77 ", "77"},
      {"9223372036854775807", "9223372036854775807"},
      {"-9223372036854775808", "-9223372036854775808"},
      // A value that is not a whole 64-bit number leaves the last one.
      {"", "?VALUE -9223372036854775808"},
      {"1.5", "?VALUE -9223372036854775808"},
      {"12a", "?VALUE -9223372036854775808"},
      {"9223372036854775808", "?VALUE -9223372036854775808"},
      {"+-1", "?VALUE -9223372036854775808"},
      {"- 1", "?VALUE -9223372036854775808"}};
  for (std::string name : {"LSPD", "HSPD", "ACC", "DEC", "EO"}) {
    for (auto [written, read] : values) {
      std::string replies = Run({name + "=" + written, name});
      EXPECT_EQ(replies, replies.rfind("?VALUE", 0) == 0 ? read : "OK " + std::string(read))
          << name << written;
    }
  }
  EXPECT_EQ(Run({"  ID  "}), "SIM TEST 01");
  for (const char* unknown : {"", "FOO", "id", "px", "LSPDX", "PX?", "JX", "JY+", "STOP1"})
    EXPECT_EQ(Run({unknown}), "?UNKNOWN") << unknown;
  EXPECT_EQ(Run({"X", "XABC", "X1.5", "PX=", "PX=abc"}), "?VALUE ?VALUE ?VALUE ?VALUE ?VALUE");
}

TEST_F(ControllerTest, InstantMovesEndAtOnceInAbsoluteAndIncrementalMode) {
  Make(true);
  EXPECT_EQ(Run({"X1000", "PX", "MST", "INC", "X-250", "PX", "MST"}),
            "OK 1000 0 OK OK 750 " + std::to_string(Controller::kStatusIncremental));
  EXPECT_EQ(Run({"ABS", "X-9000", "STAT"}), "OK OK -9000:0:0");
  EXPECT_EQ(Run({"PX=9223372036854775807", "INC", "X1"}), "OK OK ?VALUE");
  EXPECT_EQ(Run({"ABS", "X-9223372036854775808", "PX"}), "OK OK -9223372036854775808");
}

TEST_F(ControllerTest, MoveFollowsATrapezoidAndEndsOnTarget) {
  // Ramps of 10000 and 5000 pulses/s^2: 60 pulses up, 120 down, 820 at top speed.
  Make(false, {"LSPD=100", "HSPD=1100", "ACC=100", "DEC=200"});
  ASSERT_EQ(Run({"X1000"}), "OK");
  EXPECT_EQ(At(0.05035, "STAT"), "17:603:1");    // 100*t + 10000*t^2/2 = 17.71
  EXPECT_EQ(At(0.50035, "STAT"), "500:1100:4");  // 60 + 1100*(t - 0.1) = 500.385
  EXPECT_EQ(At(0.94035, "STAT"), "961:625:2");   // at top speed until 0.84545, then 880 + 81.87
  EXPECT_EQ(At(1.2, "STAT"), "1000:0:0");
  // A short move peaks below top speed: a triangle, up for 0.316 s and down again.
  Make(false, {"LSPD=0", "HSPD=1000", "ACC=1000", "DEC=1000"});
  ASSERT_EQ(Run({"X100"}), "OK");
  long long fastest = 0;
  for (int i = 1; i < 100; ++i) fastest = std::max(fastest, std::stoll(At(i * 0.01, "PS")));
  EXPECT_GE(fastest, 300);  // sqrt(100000) = 316
  EXPECT_LE(fastest, 317);
  EXPECT_EQ(Run({"PX", "MST"}), "100 0");
}

TEST_F(ControllerTest, JogRunsUntilStopRampsItDownOrAbortEndsItAtOnce) {
  Make(false, {"LSPD=100", "HSPD=1100", "ACC=100", "DEC=200"});
  ASSERT_EQ(Run({"JX+"}), "OK");
  EXPECT_EQ(At(0.05, "MST"),
            std::to_string(Controller::kStatusAccelerating | Controller::kStatusJogging));
  EXPECT_EQ(At(1.1005, "STAT"), "1160:1100:12");  // 60 + 1100 * 1.0005, constant speed, jogging
  EXPECT_EQ(Run({"STOP"}), "OK");
  EXPECT_EQ(At(1.22395, "STAT"), "1258:482:2");  // 1160.55 + 1100*0.12345 - 5000*0.12345^2/2
  EXPECT_EQ(At(5, "STAT"), "1280:0:0");          // 120 pulses to come down from top speed

  Make(false, {"LSPD=1000", "HSPD=1000", "ACC=0", "DEC=0"});
  ASSERT_EQ(Run({"JX-"}), "OK");
  now = 2.5;
  EXPECT_EQ(Run({"ABORT", "PX", "MST"}), "OK -2500 " + std::to_string(Controller::kStatusAborted));
  EXPECT_EQ(At(10, "PX"), "-2500");
  EXPECT_EQ(Run({"X-2400", "MST"}), "OK " + std::to_string(Controller::kStatusConstantSpeed));
}

TEST_F(ControllerTest, StopShortensAMoveButNotItsFinalRamp) {
  Make(false, {"LSPD=0", "HSPD=1000", "ACC=1000", "DEC=1000"});
  ASSERT_EQ(Run({"X10000"}), "OK");
  EXPECT_EQ(At(1, "STOP"), "OK");              // at top speed, 500 pulses out
  EXPECT_EQ(At(10, "PX"), "1000");             // 500 more to come down
  ASSERT_EQ(Run({"PX=0", "X1000"}), "OK OK");  // a triangle: up for 1 s, down for 1 s
  EXPECT_EQ(At(11.5, "STOP"), "OK");
  EXPECT_EQ(At(20, "PX"), "1000");
}

TEST_F(ControllerTest, MotionCommandsWaitForTheMotorToStop) {
  Make(false, {"LSPD=1000", "HSPD=1000", "ACC=0", "DEC=0"});
  ASSERT_EQ(Run({"X1000"}), "OK");
  now = 0.5;
  EXPECT_EQ(Run({"X0", "JX+", "PX=0", "HSPD=2000", "PX"}), "?BUSY ?BUSY ?BUSY OK 500");
  EXPECT_EQ(At(1, "X0"), "OK");  // the new top speed applies to the next motion
  EXPECT_EQ(At(1.5, "PX"), "0");
  // Nonsense parameters still give moves that end: top speed held to 1 pulse/s, no ramps.
  Make(false, {"LSPD=-5", "HSPD=0", "ACC=-1", "DEC=0"});
  ASSERT_EQ(Run({"X3"}), "OK");
  EXPECT_EQ(At(2.5, "STAT"), "2:1:4");
  EXPECT_EQ(At(3, "PX"), "3");
}

TEST(SerialLine, OnlyTheAddressedControllerAnswersFramesThatMaySpanReads) {
  sim::SerialLine line;
  for (const char* address : {"01", "02"}) {
    line.AddController(address, {std::string("AXIS ") + address, true, {}});
  }
  // An "@" starts over, so a frame cut short by noise does not swallow the
  // next; overlong frames are noise and dropped.
  const std::pair<std::string, const char*> feeds[] = {
      {"@01ID\r@02ID\r@03ID\r@01X5\r@02PX\r@01PX\r", "AXIS 01\rAXIS 02\rOK\r0\r5\r"},
      {"junk\r\n@0", ""},
      {"2I", ""},
      {"D\rmore junk", "AXIS 02\r"},
      {"@0@01ID\r", "AXIS 01\r"},
      {"@0\r@\r", ""},
      {"@01" + std::string(sim::SerialLine::kMaxFrameBytes + 10, 'A') + "\r", ""},
      {"@01FOO\r", "?UNKNOWN\r"}};
  for (const auto& [bytes, answer] : feeds) EXPECT_EQ(line.Feed(bytes), answer) << bytes;
  // Each way onto the line reads its own frames.
  sim::SerialLine::Reader other;
  std::string answers = line.Feed("@01I");
  answers += line.Feed("@02", other);
  answers += line.Feed("D\r");
  answers += line.Feed("ID\r", other);
  EXPECT_EQ(answers, "AXIS 01\rAXIS 02\r");
}

}  // namespace

// The simulated controller on a hand-turned clock, and the shared line that
// carries its frames.
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sim/serial_line.h"

namespace {

using sim::Controller;
const std::string kIncremental = std::to_string(Controller::kStatusIncremental);

// A controller on a clock that only the test moves.
struct Clocked {
  explicit Clocked(bool instant, std::vector<std::string> setup = {}) {
    controller = std::make_unique<Controller>(
        Controller::Options{"SIM TEST 01", instant, [this] { return now; }});
    for (const std::string& command : setup) EXPECT_EQ(controller->Execute(command), "OK");
  }
  // The replies to `commands` run when the clock reads `at`, joined by blanks.
  std::string At(double at, std::vector<std::string> commands) {
    now = at;
    std::string replies;
    for (const std::string& c : commands)
      replies += (replies.empty() ? "" : " ") + controller->Execute(c);
    return replies;
  }
  Clocked(const Clocked&) = delete;  // the clock is read through `this`
  double now = 0;
  std::unique_ptr<Controller> controller;
};

TEST(Controller, ParametersStoreAnyIntegerAndReadItBack) {
  Clocked sim(true);
  const char* kMin = "-9223372036854775808";
  for (std::string name : {"LSPD", "HSPD", "ACC", "DEC", "EO"}) {
    for (auto [written, read] : {std::pair{"-5", "-5"},
                                 {"+12", "12"},
                                 {" 77 ", "77"},
                                 {"9223372036854775807", "9223372036854775807"},
                                 {kMin, kMin}}) {
      EXPECT_EQ(sim.At(0, {name + "=" + written, name}), "OK " + std::string(read)) << name;
    }
    // A value that is not a whole 64-bit number leaves the last one.
    for (const char* bad : {"", "1.5", "abc", "12a", "9223372036854775808", "+-1", "- 1"}) {
      EXPECT_EQ(sim.At(0, {name + "=" + bad, name}), "?VALUE " + std::string(kMin)) << name << bad;
    }
  }
  EXPECT_EQ(sim.At(0, {"  ID  "}), "SIM TEST 01");
  for (const char* unknown : {"", "FOO", "id", "px", "LSPDX", "PX?", "JX", "JY+", "STOP1"})
    EXPECT_EQ(sim.At(0, {unknown}), "?UNKNOWN") << unknown;
  EXPECT_EQ(sim.At(0, {"X", "XABC", "X1.5", "PX=", "PX=abc"}),
            "?VALUE ?VALUE ?VALUE ?VALUE ?VALUE");
}

TEST(Controller, InstantMovesEndAtOnceInAbsoluteAndIncrementalMode) {
  Clocked sim(true);
  EXPECT_EQ(sim.At(0, {"X1000", "PX", "MST", "INC", "X-250", "PX", "MST"}),
            "OK 1000 0 OK OK 750 " + kIncremental);
  EXPECT_EQ(sim.At(0, {"ABS", "X-9000", "STAT"}), "OK OK -9000:0:0");
  EXPECT_EQ(sim.At(0, {"PX=9223372036854775807", "INC", "X1"}), "OK OK ?VALUE");
  EXPECT_EQ(sim.At(0, {"ABS", "X-9223372036854775808", "PX"}), "OK OK -9223372036854775808");
}

// Each row: when, what is asked, what the controller answers (STAT is
// position:speed:status).
struct Step {
  double at;
  const char* command;
  std::string reply;
};

void Play(Clocked&& sim, std::vector<Step> steps) {
  for (const Step& s : steps)
    EXPECT_EQ(sim.At(s.at, {s.command}), s.reply) << s.at << " " << s.command;
}

TEST(Controller, MoveFollowsATrapezoidAndEndsOnTarget) {
  // Ramps of 10000 and 5000 pulses/s^2: 60 pulses up, 120 down, 820 at top speed.
  Play(Clocked(false, {"LSPD=100", "HSPD=1100", "ACC=100", "DEC=200"}),
       {{0, "X1000", "OK"},
        {0.05035, "STAT", "17:603:1"},    // 100*t + 10000*t^2/2 = 17.71
        {0.50035, "STAT", "500:1100:4"},  // 60 + 1100*(t - 0.1) = 500.385
        {0.94035, "STAT", "961:625:2"},   // at top speed until 0.84545, then 880 + 81.87
        {1.2, "STAT", "1000:0:0"}});
  // A short move peaks below top speed: a triangle, up for 0.316 s and down again.
  Clocked sim(false, {"LSPD=0", "HSPD=1000", "ACC=1000", "DEC=1000"});
  ASSERT_EQ(sim.At(0, {"X100"}), "OK");
  long long fastest = 0;
  for (int i = 1; i < 100; ++i) fastest = std::max(fastest, std::stoll(sim.At(i * 0.01, {"PS"})));
  EXPECT_GE(fastest, 300);  // sqrt(100000) = 316
  EXPECT_LE(fastest, 317);
  EXPECT_EQ(sim.At(1, {"PX", "MST"}), "100 0");
}

TEST(Controller, JogRunsUntilStopRampsItDownOrAbortEndsItAtOnce) {
  Play(Clocked(false, {"LSPD=100", "HSPD=1100", "ACC=100", "DEC=200"}),
       {{0, "JX+", "OK"},
        {0.05, "MST", std::to_string(Controller::kStatusAccelerating | Controller::kStatusJogging)},
        {1.1005, "STAT", "1160:1100:12"},  // 60 + 1100 * 1.0005, constant speed, jogging
        {1.1005, "STOP", "OK"},
        {1.22395, "STAT", "1258:482:2"},  // 1160.55 + 1100*0.12345 - 5000*0.12345^2/2
        {5, "STAT", "1280:0:0"}});        // 120 pulses to come down from top speed
  Play(Clocked(false, {"LSPD=1000", "HSPD=1000", "ACC=0", "DEC=0"}),
       {{0, "JX-", "OK"},
        {2.5, "ABORT", "OK"},
        {2.5, "STAT", "-2500:0:" + std::to_string(Controller::kStatusAborted)},
        {10, "PX", "-2500"},
        {10, "X-2400", "OK"},
        {10, "MST", std::to_string(Controller::kStatusConstantSpeed)}});
}

TEST(Controller, StopShortensAMoveButNotItsFinalRampAndMotionWaitsForRest) {
  Play(Clocked(false, {"LSPD=0", "HSPD=1000", "ACC=1000", "DEC=1000"}),
       {{0, "X10000", "OK"},
        {1, "STOP", "OK"},   // at top speed, 500 pulses out
        {10, "PX", "1000"},  // 500 more to come down
        {10, "PX=0", "OK"},
        {10, "X1000", "OK"},  // a triangle: up for 1 s, down for 1 s
        {11.5, "STOP", "OK"},
        {20, "PX", "1000"}});
  Play(Clocked(false, {"LSPD=1000", "HSPD=1000", "ACC=0", "DEC=0"}),
       {{0, "X1000", "OK"},
        {0.5, "X0", "?BUSY"},
        {0.5, "JX+", "?BUSY"},
        {0.5, "PX=0", "?BUSY"},
        {0.5, "HSPD=2000", "OK"},  // applies to the next motion
        {0.5, "PX", "500"},
        {1, "X0", "OK"},
        {1.5, "PX", "0"}});
  // Nonsense parameters still give moves that end: top speed held to 1 pulse/s, no ramps.
  Play(Clocked(false, {"LSPD=-5", "HSPD=0", "ACC=-1", "DEC=0"}),
       {{0, "X3", "OK"}, {2.5, "STAT", "2:1:4"}, {3, "PX", "3"}});
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

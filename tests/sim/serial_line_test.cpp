// Frames on a line shared by several simulated controllers.
#include "sim/serial_line.h"

#include <gtest/gtest.h>

namespace {

sim::SerialLine TwoControllers() {
  sim::SerialLine line;
  sim::Controller::Options one, two;
  one.identity = "FIRST";
  one.instant = true;
  two.identity = "SECOND";
  two.instant = true;
  line.AddController("01", one);
  line.AddController("02", two);
  return line;
}

TEST(SerialLine, OnlyTheAddressedControllerAnswers) {
  sim::SerialLine line = TwoControllers();
  EXPECT_EQ(line.Feed("@01ID\r@02ID\r@03ID\r@01X5\r@02PX\r@01PX\r"), "FIRST\rSECOND\rOK\r0\r5\r");
}

TEST(SerialLine, FramesMaySpanReadsAndNoiseIsSkipped) {
  sim::SerialLine line = TwoControllers();
  EXPECT_EQ(line.Feed("junk\r\n@0"), "");
  EXPECT_EQ(line.Feed("2I"), "");
  EXPECT_EQ(line.Feed("D\rmore junk"), "SECOND\r");
  // An "@" starts over, so a frame cut short by noise does not swallow the next.
  EXPECT_EQ(line.Feed("@0@01ID\r"), "FIRST\r");
  EXPECT_EQ(line.Feed("@0\r@\r"), "");
}

TEST(SerialLine, OverlongFramesAreDropped) {
  sim::SerialLine line = TwoControllers();
  std::string noise = "@01" + std::string(sim::SerialLine::kMaxFrameBytes + 10, 'A') + "\r";
  EXPECT_EQ(line.Feed(noise), "");
  EXPECT_EQ(line.Feed("@01FOO\r"), "?UNKNOWN\r");
}

}  // namespace

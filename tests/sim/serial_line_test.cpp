// Frames on a line shared by several simulated controllers.
#include "sim/serial_line.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialLine, OnlyTheAddressedControllerAnswersFramesThatMaySpanReads) {
  sim::SerialLine line;
  for (const char* address : {"01", "02"}) {
    sim::Controller::Options options;
    options.identity = std::string("AXIS ") + address;
    options.instant = true;
    line.AddController(address, options);
  }
  EXPECT_EQ(line.Feed("@01ID\r@02ID\r@03ID\r@01X5\r@02PX\r@01PX\r"),
            "AXIS 01\rAXIS 02\rOK\r0\r5\r");
  EXPECT_EQ(line.Feed("junk\r\n@0"), "");
  EXPECT_EQ(line.Feed("2I"), "");
  EXPECT_EQ(line.Feed("D\rmore junk"), "AXIS 02\r");
  // An "@" starts over, so a frame cut short by noise does not swallow the next.
  EXPECT_EQ(line.Feed("@0@01ID\r"), "AXIS 01\r");
  EXPECT_EQ(line.Feed("@0\r@\r"), "");
  // Overlong frames are line noise and dropped.
  EXPECT_EQ(line.Feed("@01" + std::string(sim::SerialLine::kMaxFrameBytes + 10, 'A') + "\r"), "");
  EXPECT_EQ(line.Feed("@01FOO\r"), "?UNKNOWN\r");
}

}  // namespace

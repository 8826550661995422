// The rules that turn configuration lines into ports, addresses and baud rates.
#include <gtest/gtest.h>

#include "devices/serial_transport.h"

namespace {

using devices::ParseSerialEntry;
using devices::SerialEntry;

struct EntryCase {
  const char* entry;
  bool valid;
  const char* address;
  int port;
  const char* path;
  int baud;
};

TEST(SerialEntryParsing, FollowsTheLineRules) {
  const EntryCase cases[] = {
      {"Axis 01 {COM1:9600}", true, "01", 1, "", 9600},
      {"Axis 01{COM9:115200}", true, "01", 9, "", 115200},
      {"Axis 01 {COM10:57600}", true, "01", 10, "", 57600},
      {"Axis 01 {COM99:38400}", true, "01", 99, "", 38400},
      {"Axis 01 {COM0:9600}", false, "", 0, "", 0},
      {"Axis 01 {COM100:9600}", false, "", 0, "", 0},
      // Seven characters are never an entry; eight may be.
      {"01{COM1", false, "", 0, "", 0},
      {"01{COM1:", false, "", 0, "", 0},
      // Baud text: trimmed, then exactly one of the five rates.
      {"Axis 01 {COM1:9600 }", true, "01", 1, "", 9600},
      {"Axis 01 {COM1: 19200}", true, "01", 1, "", 19200},
      {"Axis 01 {COM1:4800}", false, "", 0, "", 0},
      {"Axis 01 {COM1:9600,N,8,1}", false, "", 0, "", 0},
      {"Axis 01 {COM1:09600}", false, "", 0, "", 0},
      {"Axis 01 {COM1:}", false, "", 0, "", 0},
      // Address: the last two characters of the trimmed label.
      {"Axis 00 {COM1:9600}", true, "00", 1, "", 9600},
      {"Axis AB {COM1:9600}", false, "", 0, "", 0},
      {"Axis 0 {COM1:9600}", false, "", 0, "", 0},
      {"Axis -1 {COM1:9600}", false, "", 0, "", 0},
      {"Axis 1A {COM1:9600}", true, "1A", 1, "", 9600},
      {"Axis  7   {COM1:9600}", true, " 7", 1, "", 9600},
      {"12{COM1:9600}", true, "12", 1, "", 9600},
      {"{COM1:9600}  ", false, "", 0, "", 0},
      // Port text: any letter case, blanks around, every "COM" removed,
      // rounded to the nearest integer with ties to even.
      {"Axis 01 { com3 :9600}", true, "01", 3, "", 9600},
      {"Axis 01 {Com 12:9600}", true, "01", 12, "", 9600},
      {"Axis 01 {COM2.5:9600}", true, "01", 2, "", 9600},
      {"Axis 01 {COM3.5:9600}", true, "01", 4, "", 9600},
      {"Axis 01 {COM99.5:9600}", false, "", 0, "", 0},
      {"Axis 01 {PORT3:9600}", false, "", 0, "", 0},
      // The ":" must be the fifth character of the group or later.
      {"Axis 01 {COM:9600}", false, "", 0, "", 0},
      {"Axis 01 {  C1:9600}", false, "", 0, "", 0},
      {"Axis 01 {COM1 9600}", false, "", 0, "", 0},
      // Braces are removed before parsing: a missing "}" is fine.
      {"Axis 01 {COM4:9600", true, "01", 4, "", 9600},
      {"Axis 01 {{COM4}:9600}}", true, "01", 4, "", 9600},
      // A device path is used as written.
      {"Axis 01 {/dev/ttyUSB0:115200}", true, "01", 0, "/dev/ttyUSB0", 115200},
      {"Lift 02 { /dev/serial/by-id/x : 9600 }", true, "02", 0, "/dev/serial/by-id/x", 9600},
      {"Axis 01 {/dev/ttyUSB0:4800}", false, "", 0, "", 0},
      {"Axis 01 {/a:9600}", false, "", 0, "", 0},
      {"No brace at all, COM1:9600", false, "", 0, "", 0},
  };
  for (const EntryCase& c : cases) {
    SerialEntry parsed;
    parsed.baud = 77;
    EXPECT_EQ(ParseSerialEntry(c.entry, parsed), c.valid) << c.entry;
    EXPECT_EQ(parsed.address, c.address) << c.entry;
    EXPECT_EQ(parsed.portNumber, c.port) << c.entry;
    EXPECT_EQ(parsed.portPath, c.path) << c.entry;
    EXPECT_EQ(parsed.baud, c.baud) << c.entry;
  }
}

TEST(SerialConfigFile, LinesEndAtCrAndIgnoreLf) {
  struct Case {
    std::string text;
    std::vector<std::string> entries;
  } cases[] = {
      {"", {}},
      {"\r\n\r\n   \r\n", {}},
      {"A 01{COM1:9600}\r\nB 02{COM1:9600}", {"A 01{COM1:9600}", "B 02{COM1:9600}"}},
      {"one\rtwo\r", {"one", "two"}},
      {"sp\nlit\r", {"split"}},
      {"  padded  \r\n\ttab\t", {"padded", "\ttab\t"}},
  };
  for (const Case& c : cases) EXPECT_EQ(devices::SerialConfigEntries(c.text), c.entries) << c.text;
}

TEST(SerialComMap, NamesPortsAndFallsBackToTheDefaultDevice) {
  auto map = devices::ParseComMap(
      "COM3=/dev/ttyUSB0\r\n"
      "  com12 =  /dev/ttyACM1  \n"
      "# COM4=/dev/commented\n"
      "; COM5=/dev/commented\n"
      "COM6\n"
      "COM0=/dev/zero-is-no-port\n"
      "COMX=/dev/not-a-number\n"
      "COM7=\n"
      "COM3=/dev/ttyUSB9\n");
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(devices::ComPortDevice(3, map), "/dev/ttyUSB9");  // the later line wins
  EXPECT_EQ(devices::ComPortDevice(12, map), "/dev/ttyACM1");
  EXPECT_EQ(devices::ComPortDevice(1, map), "/dev/ttyS0");
  EXPECT_EQ(devices::ComPortDevice(9, map), "/dev/ttyS8");
  EXPECT_EQ(devices::ComPortDevice(10, map), "/dev/ttyS9");
  EXPECT_EQ(devices::ComPortDevice(4, map), "/dev/ttyS3");
  EXPECT_EQ(devices::ComPortDevice(0, map), "");
  EXPECT_EQ(devices::ComPortDevice(100, map), "");
}

}  // namespace

#include "app/command_options.h"

#include <gtest/gtest.h>

namespace {

using app::ParseCommandOptions;
using app::ReadScriptSwitch;

TEST(ScriptSwitch, ReadsTheLastValidNumberedSwitch) {
  struct Case {
    const char* line;
    int number;
  } cases[] = {
      {"/A0", 0},   {"/A1000", 0},  {"/Ax", 0}, {"/A5 /A7", 7}, {"x/a 3", 3},
      {"/a12", 12}, {"/A999", 999}, {"/A1", 1}, {"/A7 /A0", 7}, {"/B5", 0},
      {"", 0},      {"/A 42 ", 42}, {"A5", 0},  {"//A3/", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadScriptSwitch(c.line), c.number) << c.line;
}

TEST(CommandOptions, ReadsEveryOption) {
  auto o = ParseCommandOptions({"--headless", "--data-root", "/data/A5", "--device", "2", "--exec",
                                "LSPD=500, PX", "--answers", "a.txt", "/A12"});
  EXPECT_TRUE(o.error.empty()) << o.error;
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.dataRoot, "/data/A5");
  ASSERT_TRUE(o.device.has_value());
  EXPECT_EQ(*o.device, 2);
  ASSERT_TRUE(o.execLine.has_value());
  EXPECT_EQ(*o.execLine, "LSPD=500, PX");
  EXPECT_EQ(o.answersFile, "a.txt");
  // The data root's "/A5" is an option value, not a script switch.
  EXPECT_EQ(o.scriptNumber, 12);
  EXPECT_FALSE(o.listDevices);
}

TEST(CommandOptions, ReportsUsageErrors) {
  EXPECT_FALSE(ParseCommandOptions({"--device"}).error.empty());
  EXPECT_FALSE(ParseCommandOptions({"--device", "x"}).error.empty());
  EXPECT_FALSE(ParseCommandOptions({"--device", "-1"}).error.empty());
  EXPECT_FALSE(ParseCommandOptions({"--device", "1x"}).error.empty());
  EXPECT_FALSE(ParseCommandOptions({"--exec"}).error.empty());
  EXPECT_FALSE(ParseCommandOptions({"--frobnicate"}).error.empty());
  EXPECT_TRUE(ParseCommandOptions({"--list-devices"}).error.empty());
}

}  // namespace

#include "engine/reply_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace engine {
namespace {
using Texts = std::pair<const char*, const char*>;

// Numbers are read with their rounding and in every form; text compares
// exactly; an exact match passes before any operator; a reply without a
// number reads as 0, and so does a missing reply field; surplus reply fields
// are ignored; an empty expected field matches only an empty reply field.
TEST(CheckExpected, AppliesEveryOperatorToEveryField) {
  const Texts passes[] = {
      {"<=5", "<=5"},          {"10", "*=X0A|X14"}, {"20", "*=X0A|X14"}, {"15", "*= 10 | 20 "},
      {"20.4", "*=10|20"},     {"15", "*=15"},      {"2.4", "==2"},      {"16", "==X10"},
      {"X10", "==16"},         {"x0a", "==x0A"},    {"5", "<=5"},        {"5", ">=5"},
      {"BUSY", "<=5"},         {"5", "==5:"},       {"OK : 5", "OK:5"},  {"90:5", "<=100:>=5"},
      {"90:5:9", "<=100:>=5"},
  };
  const Texts fails[] = {
      {"ok", "OK"},        {"OK ", "OK"},         {"21", "*=X0A|X14"}, {"9", "*=10|20"},
      {"20.6", "*=10|20"}, {"16", "*=15"},        {"2.6", "==2"},      {"6", "<=5"},
      {"4", ">=5"},        {"BUSY", ">=5"},       {"7", "<=5:"},       {"5:x", "==5:"},
      {"ok:5", "OK:5"},    {"90:3", "<=100:>=5"}, {"90", "<=100:>=5"}, {"101:5", "<=100:>=5"},
  };
  for (auto [reply, expected] : passes) EXPECT_FALSE(CheckExpected(reply, expected, -1)) << reply;
  for (auto [reply, expected] : fails) EXPECT_TRUE(CheckExpected(reply, expected, -1)) << reply;
  EXPECT_FALSE(CheckExpected(" 90 : 5 ", "<=100 : >=5", -1));
  EXPECT_FALSE(CheckExpected("-1", "==XFFFFFFFFFFFFFFFF", -1));
  EXPECT_FALSE(CheckExpected("3", "&=1", 1));
  EXPECT_FALSE(CheckExpected("12", "&=4", 4));
  EXPECT_TRUE(CheckExpected("4", "&=1", 1));
  EXPECT_TRUE(CheckExpected("3", "&=1", -1));
}

// The entry of `command` replying "100" after 12.39 ms, at `position`.
std::string EntryText(int mode, std::string_view expected, std::string_view command = "PX",
                      int position = 7) {
  return FormatEntry(command, "100", expected, kExchangeLine, position, mode, 0.01239, -1).text;
}

// A comment ("'" with its text as the expected value) shows only in mode
// five; a message shows as it is.
TEST(FormatEntry, BuildsEachShowModePassingAndFailing) {
  const std::string twoLine = " >> PX\r\n      Reply: 100 (12.3ms)\r\n";
  const std::string oneLine = " >> PX    Reply: 100 (12.3ms)\r\n";
  const std::tuple<int, std::string, std::string> cases[] = {
      {1, twoLine, twoLine + "!! Expected: 200\r\n"},
      {0, twoLine, twoLine + "!! Expected: 200\r\n"},
      {9, twoLine, twoLine + "!! Expected: 200\r\n"},
      {2, oneLine, oneLine + "!!     Expected: 200\r\n"},
      {3, "  PX (100) (12.3ms)\r\n", "! PX (100) [200] (12.3ms)\r\n"},
      {4, "", "! 000007: 100 [200] (12.3ms)\r\n"},
      {5, "", "! 000007: 100 [200] (12.3ms)\r\n"},
  };
  for (const auto& [mode, pass, fail] : cases) {
    EXPECT_EQ(EntryText(mode, "100"), pass) << mode;
    EXPECT_EQ(EntryText(mode, ""), pass) << mode;
    EXPECT_EQ(EntryText(mode, " 200 "), fail) << mode;
    EXPECT_EQ(EntryText(mode, "  check the belt  ", "'"),
              mode == 5 ? "  <check the belt>\r\n" : "");
    EXPECT_EQ(FormatEntry("Note", "x", "y", kMessageLine, 2, mode, 0, -1).text, "Note\r\n");
  }
  EXPECT_EQ(EntryText(5, "", "'"), "");
  EXPECT_EQ(FormatEntry("'", "", "text", kMessageLine, 0, 5, 0, -1).text, "'\r\n");
  EXPECT_EQ(EntryText(2, "OK", "LSPD=500"), " >> LSPD=500    Reply: 100 (12.3ms)\r\n!!  " +
                                                std::string(8, ' ') + " Expected: OK\r\n");
  EXPECT_EQ(EntryText(4, "200", "PX", 0), "100 [200] (12.3ms)\r\n");
  EXPECT_EQ(EntryText(4, "200", "PX", 1234567), "! 234567: 100 [200] (12.3ms)\r\n");
  EXPECT_EQ(FormatEntry("ST", "5", "&=1", kExchangeLine, 1, 3, 0.0005, 1).text,
            "  ST (5) (.5ms)\r\n");
  EXPECT_EQ(FormatEntry("ST", "4", "&=1", kExchangeLine, 1, 3, 1.5, 1).text,
            "! ST (4) [&=1] (1500ms)\r\n");
}

// The reply of a display directive after `lastReply`; none of them touches the mask.
std::string Show(std::string_view command, std::string_view lastReply) {
  std::int64_t mask = -1;
  std::string reply = DisplayDirectiveReply(command, lastReply, mask);
  EXPECT_EQ(mask, -1) << command;
  return reply;
}

TEST(DisplayDirectiveReply, ShowsTheBitsOfAFieldOfTheLastReply) {
  const std::string dotted = "00000000.00000000.00000001.00000010";
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"SHOW32", "258", "00000000000000000000000100000010"},
      {"SHOW32.", "258", dotted},
      {"SHOW32 . ", "258", dotted},
      {"SHOW32-2", "7:258:9", "00000000-00000000-00000001-00000010"},
      {"SHOW32-0", "258:7", "00000000-00000000-00000001-00000010"},
      {"SHOW32.", "-256", "11111111.11111111.11111111.00000000"},
      {"SHOW32", "1099511627781", "00000000000000000000000000000101"},  // 2^40 + 5
      {"SHOW32", "2.5", "00000000000000000000000000000010"},
      {"SHOW16_", "258", "00000001_00000010"},
      {"SHOW16", "65794", "0000000100000010"},
      {"SHOW16:", "-2", "11111111:11111110"},
      {"SHOW08.", "258", "00000010"},
      {"SHOW08 x3", "1:2:255", "11111111"},
      {"SHOWHX", "-1", "0xFFFFFFFF"},
      {"SHOWHX", "4294967296", "0x00000000"},
      {"SHOWHX", "OK", "0x00000000"},
      {"SHOWHX:2", "1:3054", "0x00000BEE"},
      // SHOWDC: at most four rounded decimals, no trailing zeros, "0" for nothing.
      {"SHOWDC", "2.500", "2.5"},
      {"SHOWDC", "-0.5", "-.5"},
      {"SHOWDC", "1.23456", "1.2346"},
      {"SHOWDC", "-12.00004", "-12"},
      {"SHOWDC", "-0.00004", "0"},
      {"SHOWDC", "1e20", "100000000000000000000"},
      {"SHOWDC:2", "12:3.75", "3.75"},
      {"SHOWDC:9", "12:3.75", "0"}};
  for (auto [command, last, reply] : cases) EXPECT_EQ(Show(command, last), reply) << last;
}

TEST(DisplayDirectiveReply, BtmaskSetsAndShowsTheMask) {
  const char* all = "0xFFFFFFFFFFFFFFFF";
  const std::tuple<const char*, const char*, std::int64_t> steps[] = {
      {"BTMASK", all, -1},         {"BTMASK=X1F", "0x1F", 31},  {"BTMASK", "0x1F", 31},
      {"BTMASK= b101 ", "0x5", 5}, {"BTMASK=255", "0xFF", 255}, {"BTMASK =7", "0xFF", 255},
      {"BTMASK=", "0x0", 0},       {"BTMASK=-1", all, -1},
  };
  std::int64_t mask = -1;
  for (auto [command, reply, after] : steps) {
    EXPECT_EQ(DisplayDirectiveReply(command, "123", mask), reply) << command;
    EXPECT_EQ(mask, after) << command;
  }
}

}  // namespace
}  // namespace engine

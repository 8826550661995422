// The engine's pure rules: numbers, units, expected values, entries and directives.
#include "engine/reply_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string_view>
#include <tuple>

#include "engine/numbers.h"

namespace engine {
namespace {
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr long double kInf = std::numeric_limits<long double>::infinity();
constexpr long double k2p63 = 0x1p63L;
const auto Rep = [](char c, int n) { return std::string(static_cast<std::size_t>(n), c); };

TEST(ParseNumber, ReadsDecimalHexadecimalAndBinaryForms) {
  const std::pair<std::string, std::int64_t> cases[] = {
      {"X10", 16},  {"0x10", 16}, {"x1f", 31},  {"B101", 5},  {"0b101", 5},
      {"2.5", 2},   {"-3.5", -4}, {"0.5", 0},   {"-2.6", -3}, {"3.5", 4},
      {"-2.5", -2}, {"=7", 7},    {"= 7 =", 7}, {" 12 ", 12}, {"XG", 0},
      {"X1G2", 1},  {"B102", 2},  {"BUSY", 0},  {"", 0},      {"\xff", 0}};
  // 32 binary digits are a 32-bit value; more than 64 significant bits read as 0.
  const std::pair<std::string, std::int64_t> longForms[] = {
      {"X" + Rep('F', 8), 0xFFFFFFFF}, {"X" + Rep('F', 16), -1},
      {"X0" + Rep('F', 16), -1},       {"X7" + Rep('F', 15), kMax},
      {"X8" + Rep('0', 15), kMin},     {"X1" + Rep('F', 16), 0},
      {"X" + Rep('F', 40), 0},         {"X" + Rep('0', 39) + "A", 10},
      {"B" + Rep('1', 32), -1},        {"B1" + Rep('0', 31), INT32_MIN},
      {"B" + Rep('1', 31), INT32_MAX}, {"B" + Rep('1', 33), 0x1FFFFFFFF},
      {"B" + Rep('1', 65), 0},         {Rep('9', 100), 0},
      {"9223372036854775807", kMax},   {"9223372036854775808", 0},
      {"-9223372036854775809", 0},     {"-9223372036854775808", kMin},
      {{'1', '\0', '5'}, 1},           {"1e18", 1000000000000000000}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseNumber(text), expected) << text;
  for (const auto& [text, expected] : longForms) EXPECT_EQ(ParseNumber(text), expected) << text;
  EXPECT_EQ(RoundToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(NumberText, WritesIntegersPlainAndFractionsShort) {
  const std::pair<long double, const char*> cases[] = {
      {0, "0"},         {-0.0L, "0"},   {-12, "-12"},     {.5L, ".5"},
      {-.25L, "-.25"},  {12.3, "12.3"}, {1e-4L, ".0001"}, {1e-5L, "1E-05"},
      {1e20L, "1E+20"}, {kInf, "INF"},  {-kInf, "-INF"}};
  for (auto [value, expected] : cases) EXPECT_EQ(NumberText(value), expected) << double(value);
  const std::pair<long double, const char*> precise[] = {
      {-2.5e-5L, "-2.5E-05"},
      {1.0L / 3, ".333333333333333"},
      {2.0L / 3, ".666666666666667"},
      {1.5e300L, "1.5E+300"},
      {0.99999999999999999L, "1"},
      {static_cast<long double>(25.4f), "25.3999996185303"},
      {k2p63 - 1, "9223372036854775807"}};
  for (auto [value, expected] : precise) EXPECT_EQ(NumberText(value), expected) << expected;
}

// Every axis and unit pair, in any case, has a code of its own; nothing else has one.
TEST(UnitCode, EveryAxisAndUnitPairHasACodeOfItsOwn) {
  std::set<int> codes = {0};
  for (char axis : {'X', 'y', 'Z', 'u'})
    for (char unit : {'u', 'S', 't', 'D'}) codes.insert(UnitCode(std::string{axis, unit, '='}));
  EXPECT_EQ(codes.size(), 17u);
  for (const char* none : {"QQ", "XQ", "AS", "X", "", " XS"}) EXPECT_EQ(UnitCode(none), 0) << none;
}

// XS 200, ZS 0 (dividing keeps the amount), XT 10 with XU set (25.4 as a float), YT 10.
TEST(ConvertUnits, RewritesTheFirstUnitExpression) {
  UnitTable table;
  for (auto [unit, factor] : {std::pair{"XS", 200}, {"XT", 10}, {"XU", 1}, {"YT", 10}})
    table.SetFactor(UnitCode(unit), factor);
  const auto convert = [&table](std::string command) {
    ConvertUnits(command, table);
    return command;
  };
  const std::pair<const char*, const char*> cases[] = {
      {"X=(2.5*XS)", "X=500"},  {"X=(600/XS)", "X=3"},     {"X=(500/XS)", "X=2"},
      {"X=(700/XS)", "X=4"},    {"X=( 2.5 *xs)", "X=500"}, {"X=(1.5*QQ)", "X=1.5"},
      {"X=(abc*QQ)", "X=0"},    {"X=(1.5*)", "X=1.5"},     {"X=(7/ZS)", "X=7"},
      {"X=(7.5/ZS)", "X=8"},    {"X=(3*ZS)", "X=0"},       {"X=(1*YT)", "X=10"},
      {"X=(1*XT)", "X=254"},    {"X=(100*XT)", "X=25400"}, {"X=(1/XT)", "X=3"},
      {"X=)1*XS(", "X=)1*XS("}, {"X=(1*XS", "X=(1*XS"},    {"X=(12)", "X=(12)"},
      {"X=1*XS)", "X=1*XS)"},   {"X=(3*XS/2)", "X=600"},   {"X=(3/2*XS)", "X=600"},
      {"X=(1e30*XS)", "X=0"}};
  for (auto [command, expected] : cases) EXPECT_EQ(convert(command), expected) << command;
  EXPECT_EQ(convert("(1*XS)(2*XS)"), "200(2*XS)");
  EXPECT_EQ(convert("A(1*XS)B)"), "A200B)");
}

TEST(SetParReply, SetsAndShowsFactors) {
  UnitTable table;
  const std::pair<const char*, const char*> steps[] = {
      {"SETPARXS", "0"},     {"SETPARXS=200", "200"},   {"SETPARXS", "200"},
      {"SETPARxs=.5", ".5"}, {"SETPARYT= 2.5 ", "2.5"}, {"SETPARYT=abc", "0"},
      {"SETPARXS 5", ".5"},  {"SETPAR XS", "ERROR"},    {"SETPARQQ=5", "ERROR"},
      {"SETPAR", "ERROR"},   {"SETPARX", "ERROR"},      {"SETPARYT=1e3", "1000"}};
  for (auto [command, reply] : steps) EXPECT_EQ(SetParReply(command, table), reply) << command;
  EXPECT_EQ(table.Factor(UnitCode("XS")), 0.5L);  // "SETPARXS 5" only showed it
}

using Texts = std::pair<const char*, const char*>;

// Numbers in every form, rounded; text exactly; an exact match before any operator.
TEST(CheckExpected, AppliesEveryOperatorToEveryField) {
  const Texts passes[] = {{"<=5", "<=5"},        {"10", "*=X0A|X14"},    {"20", "*=X0A|X14"},
                          {"15", "*= 10 | 20 "}, {"20.4", "*=10|20"},    {"15", "*=15"},
                          {"2.4", "==2"},        {"16", "==X10"},        {"X10", "==16"},
                          {"x0a", "==x0A"},      {"5", "<=5"},           {"5", ">=5"},
                          {"BUSY", "<=5"},       {"5", "==5:"},          {"OK : 5", "OK:5"},
                          {"90:5", "<=100:>=5"}, {"90:5:9", "<=100:>=5"}};
  const Texts fails[] = {
      {"ok", "OK"},        {"OK ", "OK"},         {"21", "*=X0A|X14"}, {"9", "*=10|20"},
      {"20.6", "*=10|20"}, {"16", "*=15"},        {"2.6", "==2"},      {"6", "<=5"},
      {"4", ">=5"},        {"BUSY", ">=5"},       {"7", "<=5:"},       {"5:x", "==5:"},
      {"ok:5", "OK:5"},    {"90:3", "<=100:>=5"}, {"90", "<=100:>=5"}, {"101:5", "<=100:>=5"}};
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

// A comment shows only in mode five; a message shows as it is.
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
      {5, "", "! 000007: 100 [200] (12.3ms)\r\n"}};
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
      {"SHOW32", "1099511627781", "00000000000000000000000000000101"},
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
      {"BTMASK=", "0x0", 0},       {"BTMASK=-1", all, -1}};
  std::int64_t mask = -1;
  for (auto [command, reply, after] : steps) {
    EXPECT_EQ(DisplayDirectiveReply(command, "123", mask), reply) << command;
    EXPECT_EQ(mask, after) << command;
  }
}

}  // namespace
}  // namespace engine

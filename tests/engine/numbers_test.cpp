#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
      {"X1G2", 1},  {"B102", 2},  {"BUSY", 0},  {"", 0},      {"\xff", 0},
  };
  // Up to 15 hexadecimal or 31 binary digits are never negative, 32 binary
  // digits are a 32-bit value, longer forms give their 64-bit pattern, and
  // more than 64 significant bits read as 0.
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
      {{'1', '\0', '5'}, 1},           {"1e18", 1000000000000000000},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseNumber(text), expected) << text;
  for (const auto& [text, expected] : longForms) EXPECT_EQ(ParseNumber(text), expected) << text;
  EXPECT_EQ(RoundToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(NumberText, WritesIntegersPlainAndFractionsShort) {
  const std::pair<long double, const char*> cases[] = {
      {0, "0"},         {-0.0L, "0"},   {-12, "-12"},     {.5L, ".5"},
      {-.25L, "-.25"},  {12.3, "12.3"}, {1e-4L, ".0001"}, {1e-5L, "1E-05"},
      {1e20L, "1E+20"}, {kInf, "INF"},  {-kInf, "-INF"},
  };
  for (auto [value, expected] : cases) EXPECT_EQ(NumberText(value), expected) << double(value);
  const std::pair<long double, const char*> precise[] = {
      {-2.5e-5L, "-2.5E-05"},
      {1.0L / 3, ".333333333333333"},
      {2.0L / 3, ".666666666666667"},
      {1.5e300L, "1.5E+300"},
      {0.99999999999999999L, "1"},
      {static_cast<long double>(25.4f), "25.3999996185303"},
      {k2p63 - 1, "9223372036854775807"},
  };
  for (auto [value, expected] : precise) EXPECT_EQ(NumberText(value), expected) << expected;
}

// Every axis (X, Y, Z, U) and unit (U, S, T, D) pair, in any case, has a
// code of its own; anything else has none.
TEST(UnitCode, EveryAxisAndUnitPairHasACodeOfItsOwn) {
  std::set<int> codes = {0};
  for (char axis : {'X', 'y', 'Z', 'u'}) {
    for (char unit : {'u', 'S', 't', 'D'}) codes.insert(UnitCode(std::string{axis, unit, '='}));
  }
  EXPECT_EQ(codes.size(), 17u);
  for (const char* none : {"QQ", "XQ", "AS", "X", "", " XS"}) EXPECT_EQ(UnitCode(none), 0) << none;
}

// XS is 200 and ZS 0, where dividing keeps the amount; without a unit the
// amount is written unrounded. XT is 10 with XU set, so a T unit counts 25.4
// (as a float) per unit; YT is 10 with YU 0. Only the first "(" and ")" and
// the two letters after the operator count; "*" wins over "/".
TEST(ConvertUnits, RewritesTheFirstUnitExpression) {
  UnitTable table;
  table.SetFactor(UnitCode("XS"), 200);
  table.SetFactor(UnitCode("XT"), 10);
  table.SetFactor(UnitCode("XU"), 1);
  table.SetFactor(UnitCode("YT"), 10);
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
      {"X=(1e30*XS)", "X=0"},
  };
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
      {"SETPAR", "ERROR"},   {"SETPARX", "ERROR"},      {"SETPARYT=1e3", "1000"},
  };
  for (auto [command, reply] : steps) EXPECT_EQ(SetParReply(command, table), reply) << command;
  EXPECT_EQ(table.Factor(UnitCode("XS")), 0.5L);  // "SETPARXS 5" only showed it
}

}  // namespace
}  // namespace engine

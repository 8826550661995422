#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using engine::ConvertUnits;
using engine::NumberText;
using engine::ParseNumber;
using engine::ReadDecimal;
using engine::ReadDecimalExtended;
using engine::RoundToInt64;
using engine::SetParReply;
using engine::UnitCode;
using engine::UnitTable;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(RoundToInt64, RoundsHalvesToEvenAndRejectsWhatDoesNotFit) {
  struct Case {
    long double value;
    std::int64_t expected;
  } cases[] = {
      {2.5L, 2},
      {3.5L, 4},
      {-2.5L, -2},
      {-3.5L, -4},
      {0.5L, 0},
      {-0.5L, 0},
      {1.4999L, 1},
      {2.6L, 3},
      {-2.6L, -3},
      {9223372036854775807.0L, kMax},
      {-9223372036854775808.0L, kMin},
      {9223372036854775808.0L, 0},  // 2^63 is one past the largest value
      {-9223372036854775809.0L, 0},
      {1e30L, 0},
      {-1e30L, 0},
      {std::numeric_limits<long double>::infinity(), 0},
      {-std::numeric_limits<long double>::infinity(), 0},
      {std::numeric_limits<long double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundToInt64(c.value), c.expected) << static_cast<double>(c.value);
  }
}

TEST(ReadDecimal, ReadsTheLongestNumberAtTheStart) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"1e5", 100000},
      {"1E5", 100000},
      {"1e", 1},
      {"1e+", 1},
      {"2.5e-1x", 0.25},
      {".5", 0.5},
      {"-.25", -0.25},
      {"+7", 7},
      {"-", 0},
      {".", 0},
      {"", 0},
      {"abc", 0},
      {"   42 ", 42},
      {"\t42", 0},
      {"12:345", 12},
      {"3.5.6", 3.5},
      {"007", 7},
      {"1,5", 1},
      {"e5", 0},
      {"-0", 0},
      {"0.000123", 0.000123},
      {"123456789012345678", 123456789012345678.0},
      {"1e400", 0},  // beyond the range of a double
      {"1e-400", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadDecimal(c.text), c.expected) << c.text;
  }
}

TEST(ReadDecimal, IgnoresTheProcessLocale) {
  // A GUI toolkit may install the user's locale, where "," is the decimal
  // point; reading and writing numbers must not change.
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    chosen = std::setlocale(LC_NUMERIC, name);
    if (chosen != nullptr) break;
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const double plain = ReadDecimal("2.5");
  const long double extended = ReadDecimalExtended("2.5");
  const std::string text = NumberText(2.5L);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(plain, 2.5);
  EXPECT_EQ(extended, 2.5L);
  EXPECT_EQ(text, "2.5");
}

TEST(ReadDecimal, HandlesHugeDigitRuns) {
  std::string hundred(100, '9');
  EXPECT_DOUBLE_EQ(ReadDecimal(hundred), 1e100);
  EXPECT_EQ(ParseNumber(hundred), 0);  // far beyond 64 bits

  // A megabyte of digits behind a point still reads correctly and quickly.
  std::string longFraction = "1." + std::string(1 << 20, '0') + "1";
  EXPECT_EQ(ReadDecimal(longFraction), 1.0);
  std::string longZeros = "0." + std::string(1 << 20, '0') + "5";
  EXPECT_EQ(ReadDecimal(longZeros), 0.0);  // 5e-1048577 vanishes

  // Digits dropped beyond the kept precision still push a tie upwards:
  // 2^53 + 1 followed by a non-zero tail rounds up, not to even.
  std::string justAbove = "9007199254740993." + std::string(900, '0') + "1";
  EXPECT_EQ(ReadDecimal(justAbove), 9007199254740994.0);
}

TEST(ReadDecimalExtended, KeepsTheExtraPrecision) {
  EXPECT_EQ(ReadDecimalExtended("9007199254740993"), 9007199254740993.0L);
  EXPECT_EQ(ReadDecimalExtended("1e400"), 1e400L);
  EXPECT_EQ(ReadDecimalExtended("  -1.5e3"), -1500.0L);
}

TEST(ParseNumber, ReadsDecimalHexadecimalAndBinaryForms) {
  const std::string f16(16, 'F');
  const std::string ones32(32, '1');
  struct Case {
    std::string text;
    std::int64_t expected;
  } cases[] = {
      {"X10", 16},
      {"0x10", 16},
      {"x1f", 31},
      {"B101", 5},
      {"0b101", 5},
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"=7", 7},
      {"= 7 =", 7},
      {"  12  ", 12},
      {"XFFFFFFFF", 4294967295LL},
      {"X" + f16, -1},
      {"0X" + f16, -1},
      {"X7" + std::string(15, 'F'), kMax},
      {"X8" + std::string(15, '0'), kMin},
      {"X0" + f16, -1},  // the leading zero is not significant
      {"X1" + f16, 0},   // 65 significant bits
      {"X" + std::string(40, 'F'), 0},
      {"X" + std::string(39, '0') + "A", 10},
      {"XG", 0},  // no digits
      {"X", 0},
      {"X1G2", 1},         // up to the first non-digit
      {"B" + ones32, -1},  // 32 digits: 32-bit two's complement
      {"B1" + std::string(31, '0'), -2147483648LL},
      {"B0" + std::string(31, '1'), 2147483647LL},
      {"B" + std::string(31, '1'), 2147483647LL},
      {"B" + std::string(33, '1'), 8589934591LL},  // 33 digits: 64-bit pattern
      {"B" + std::string(64, '1'), -1},
      {"B" + std::string(65, '1'), 0},
      {"B" + ones32 + " ms", -1},
      {"B102", 2},
      {"BUSY", 0},
      {"9223372036854775807", kMax},
      {"9223372036854775808", 0},
      {"-9223372036854775808", kMin},
      {"1e18", 1000000000000000000LL},
      {"OK", 0},
      {"", 0},
      {std::string("1\0"
                   "5",
                   3),
       1},
      {"\xff\x80", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseNumber(c.text), c.expected) << c.text;
  }
}

TEST(NumberText, WritesIntegersPlainAndFractionsShort) {
  struct Case {
    long double value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {7, "7"},
      {-12, "-12"},
      {500, "500"},
      {9223372036854775807.0L, "9223372036854775807"},
      {-9223372036854775808.0L, "-9223372036854775808"},
      {0.5L, ".5"},
      {-0.25L, "-.25"},
      {12.3, "12.3"},  // a double 12.3 is not exactly 12.3
      {2.5L, "2.5"},
      {1.0L / 3.0L, ".333333333333333"},
      {2.0L / 3.0L, ".666666666666667"},
      {123456.789L, "123456.789"},
      {0.0001L, ".0001"},
      {0.00001L, "1E-05"},
      {-0.000025L, "-2.5E-05"},
      {1e20L, "1E+20"},
      {1.5e300L, "1.5E+300"},
      {123456789012345.67L, "123456789012346"},
      {0.99999999999999999L, "1"},
      {static_cast<long double>(25.4f), "25.3999996185303"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NumberText(c.value), c.expected) << static_cast<double>(c.value);
  }
}

TEST(UnitCode, CombinesAxisAndUnitLetters) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"XU", 1},  {"YU", 2},  {"ZU", 3},  {"UU", 4},  {"XS", 11}, {"US", 14},   {"XT", 21},
      {"UT", 24}, {"XD", 31}, {"UD", 34}, {"xs", 11}, {"Zd", 33}, {"XS=5", 11}, {"QQ", 0},
      {"XQ", 0},  {"AS", 0},  {"X", 0},   {"", 0},    {" XS", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnitCode(c.text), c.expected) << c.text;
  }
}

TEST(UnitTable, StartsAtZeroAndIgnoresNumbersOutsideItsRange) {
  UnitTable table;
  EXPECT_EQ(table.Factor(11), 0);
  for (int code : {0, 101, -3, 11, 100}) table.SetFactor(code, code);
  EXPECT_EQ(table.Factor(11), 11);
  EXPECT_EQ(table.Factor(100), 100);
  for (int code : {0, 101, -3}) EXPECT_EQ(table.Factor(code), 0) << code;
}

TEST(ConvertUnits, RewritesTheFirstUnitExpression) {
  UnitTable table;
  table.SetFactor(UnitCode("XS"), 200);
  table.SetFactor(UnitCode("YT"), 10);
  table.SetFactor(UnitCode("ZS"), 0);
  struct Case {
    const char* command;
    const char* expected;
  } cases[] = {
      {"MOVX=(2.5*XS)", "MOVX=500"},
      {"MOVX=(600/XS)", "MOVX=3"},
      {"MOVX=(500/XS)", "MOVX=2"},  // 2.5 goes to the even 2
      {"MOVX=(700/XS)", "MOVX=4"},  // 3.5 goes to the even 4
      {"MOVX=( 2.5 * xs )", "MOVX=500"},
      {"MOVX=(10*QQ)", "MOVX=10"},
      {"MOVX=(1.5*QQ)", "MOVX=1.5"},  // no unit: the amount is not rounded
      {"MOVX=(abc*QQ)", "MOVX=0"},
      {"MOVX=(1.5*)", "MOVX=1.5"},
      {"MOVX=(7/ZS)", "MOVX=7"},  // a factor of 0 leaves the amount
      {"MOVX=(7.5/ZS)", "MOVX=8"},
      {"MOVX=(3*ZS)", "MOVX=0"},
      {"MOVX=(1*YT)", "MOVX=10"},  // YU is 0: no inch switch
      {"MOVX=)1*XS(", "MOVX=)1*XS("},
      {"MOVX=(1*XS", "MOVX=(1*XS"},
      {"MOVX=1*XS)", "MOVX=1*XS)"},
      {"MOVX=(12)", "MOVX=(12)"},
      {"(1*XS)(2*XS)", "200(2*XS)"},
      {"A(1*XS)B)", "A200B)"},
      {"(3*XS/2)", "600"},  // only the first two letters after the operator count
      {"(3/2*XS)", "600"},  // "*" wins over "/"; the amount "3/2" reads as 3
      {"()", "()"},
      {"", ""},
      {"(1e30*XS)", "0"},  // the result does not fit in 64 bits
  };
  for (const Case& c : cases) {
    std::string command = c.command;
    ConvertUnits(command, table);
    EXPECT_EQ(command, c.expected) << c.command;
  }
}

TEST(ConvertUnits, InchSwitchUsesTheSinglePrecisionFactor) {
  UnitTable table;
  table.SetFactor(UnitCode("XT"), 10);
  std::string command = "MOVX=(1*XT)";
  ConvertUnits(command, table);
  EXPECT_EQ(command, "MOVX=10");

  table.SetFactor(UnitCode("XU"), 1);
  command = "MOVX=(1*XT)";
  ConvertUnits(command, table);
  EXPECT_EQ(command, "MOVX=254");

  // 100 x 25.3999996 x 10 = 25399.9996..., which rounds to 25400.
  command = "MOVX=(100*XT)";
  ConvertUnits(command, table);
  EXPECT_EQ(command, "MOVX=25400");

  // Division: 25.3999996 / 0.1 = 253.999996 -> 254.
  table.SetFactor(UnitCode("XT"), 0.1L);
  command = "(1/XT)";
  ConvertUnits(command, table);
  EXPECT_EQ(command, "254");
}

TEST(SetParReply, SetsAndShowsFactors) {
  UnitTable table;
  EXPECT_EQ(SetParReply("SETPARXS", table), "0");
  EXPECT_EQ(SetParReply("SETPARXS=200", table), "200");
  EXPECT_EQ(SetParReply("SETPARXS", table), "200");
  EXPECT_EQ(table.Factor(11), 200);
  EXPECT_EQ(SetParReply("SETPARxs=.5", table), ".5");
  EXPECT_EQ(table.Factor(11), 0.5L);
  EXPECT_EQ(SetParReply("SETPARYT=  2.54  ", table), "2.54");
  EXPECT_EQ(SetParReply("SETPARYT=1e3", table), "1000");
  EXPECT_EQ(SetParReply("SETPARYT=abc", table), "0");
  EXPECT_EQ(SetParReply("SETPARXS 5", table), ".5");  // no "=": only shows
  EXPECT_EQ(SetParReply("SETPAR XS", table), "ERROR");
  EXPECT_EQ(SetParReply("SETPARQQ=5", table), "ERROR");
  EXPECT_EQ(SetParReply("SETPAR", table), "ERROR");
  EXPECT_EQ(SetParReply("SETPARX", table), "ERROR");
  EXPECT_EQ(table.Factor(11), 0.5L);
}

TEST(Numbers, BadInputNeitherCrashesNorTakesLong) {
  UnitTable table;
  table.SetFactor(UnitCode("XS"), 2);
  std::string command = "M(" + std::string(4 << 20, '(') + "4*XS)" + std::string(4 << 20, ')');
  ConvertUnits(command, table);
  EXPECT_EQ(command, "M0" + std::string(4 << 20, ')'));  // "((((4" holds no number
  command = "(" + std::string(4 << 20, '1') + "*XS)";
  ConvertUnits(command, table);
  EXPECT_EQ(command, "0");

  std::string noise(4 << 20, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 % 256);
  EXPECT_EQ(ParseNumber(noise), 0);
  EXPECT_EQ(ReadDecimal(noise), 0);
  std::string digits(4 << 20, '7');
  EXPECT_EQ(ParseNumber("X" + digits), 0);
  EXPECT_EQ(ParseNumber("B" + digits), 0);
  EXPECT_EQ(ReadDecimalExtended(digits), 0);  // beyond every floating range
  EXPECT_EQ(ReadDecimal("." + digits), 0.7777777777777778);
}

}  // namespace

#include "engine/reply_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using engine::CheckExpected;
using engine::DisplayDirectiveReply;
using engine::Entry;
using engine::ExchangeTimeText;
using engine::FormatEntry;
using engine::IsLocalDirective;
using engine::kExchangeLine;
using engine::kMessageLine;

TEST(CheckExpected, AppliesEveryOperatorAndField) {
  struct Case {
    const char* reply;
    const char* expected;
    std::int64_t mask;
    bool fails;
  } cases[] = {
      // No expected value, or the exact text, always passes.
      {"anything", "", -1, false},
      {"anything", "   ", -1, false},
      {"OK", "OK", -1, false},
      {"<=5", "<=5", -1, false},
      // Text comparison is case-sensitive.
      {"ok", "OK", -1, true},
      {"OK ", "OK", -1, true},
      // Ranges, in decimal and hexadecimal.
      {"10", "*=10|20", -1, false},
      {"20", "*=10|20", -1, false},
      {"15", "*= 10 | 20 ", -1, false},
      {"21", "*=10|20", -1, true},
      {"9", "*=10|20", -1, true},
      {"10", "*=X0A|X14", -1, false},
      {"20", "*=X0A|X14", -1, false},
      {"21", "*=X0A|X14", -1, true},
      {"20.4", "*=10|20", -1, false},  // rounds to 20
      {"20.6", "*=10|20", -1, true},
      // The single form of "*=" is an equality.
      {"15", "*=15", -1, false},
      {"16", "*=15", -1, true},
      // Equality is on rounded integers.
      {"2.4", "==2", -1, false},
      {"2.6", "==2", -1, true},
      {"16", "==X10", -1, false},
      {"X10", "==16", -1, false},
      {"-1",
       "==X"
       "FFFFFFFFFFFFFFFF",
       -1, false},
      // Bounds; a reply without a number reads as 0.
      {"5", "<=5", -1, false},
      {"6", "<=5", -1, true},
      {"5", ">=5", -1, false},
      {"4", ">=5", -1, true},
      {"BUSY", ">=5", -1, true},
      {"BUSY", "<=5", -1, false},
      {"7", "<=5:", -1, true},
      // Operators are matched after upper-casing their two characters.
      {"x0a", "==x0A", -1, false},
      // Masked checks.
      {"3", "&=1", 1, false},
      {"7", "&=1", 1, false},
      {"4", "&=1", 1, true},
      {"0", "&=1", 1, true},
      {"3", "&=1", -1, true},
      {"12", "&=4", 4, false},
      {"-1",
       "&=X"
       "FFFFFFFFFFFFFFFF",
       -1, false},
      // Fields: every field of the expected value is compared.
      {"90:3", "<=100:>=5", -1, true},
      {"90", "<=100:>=5", -1, true},  // the missing field reads 0
      {"90:5", "<=100:>=5", -1, false},
      {"101:5", "<=100:>=5", -1, true},
      {"90:5:whatever", "<=100:>=5", -1, false},  // surplus reply fields are ignored
      {" 90 : 5 ", "<=100 : >=5", -1, false},
      {"OK : 5", "OK:5", -1, false},  // text fields are trimmed too
      {"ok:5", "OK:5", -1, true},
      {"5", "==5:", -1, false},  // an empty expected field matches an empty reply field
      {"5:x", "==5:", -1, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckExpected(c.reply, c.expected, c.mask), c.fails)
        << "reply '" << c.reply << "' expected '" << c.expected << "' mask " << c.mask;
  }
}

TEST(ExchangeTimeText, WritesTenthsOfMillisecondsTruncated) {
  struct Case {
    double seconds;
    const char* expected;
  } cases[] = {
      {0.012, " (12ms)"}, {0.01234, " (12.3ms)"}, {0.01239, " (12.3ms)"}, {0.0005, " (.5ms)"},
      {0.0, " (0ms)"},    {0.00004, " (0ms)"},    {1.5, " (1500ms)"},     {10.25, " (10250ms)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExchangeTimeText(c.seconds), c.expected) << c.seconds;
  }
}

struct FormatCase {
  const char* name;
  int showMode;
  const char* command;
  const char* reply;
  const char* expected;
  int lineKind;
  int position;
  bool append;
  const char* text;
};

TEST(FormatEntry, BuildsEachShowMode) {
  const FormatCase cases[] = {
      {"two-line pass", 1, "PX", "100", "", kExchangeLine, 1, true,
       " >> PX\r\n      Reply: 100 (12ms)\r\n"},
      {"two-line fail", 1, "PX", "100", " 200 ", kExchangeLine, 1, true,
       " >> PX\r\n      Reply: 100 (12ms)\r\n!! Expected: 200\r\n"},
      {"mode 0 is two-line", 0, "PX", "100", "100", kExchangeLine, 1, true,
       " >> PX\r\n      Reply: 100 (12ms)\r\n"},
      {"mode 9 is two-line", 9, "PX", "100", "==5", kExchangeLine, 1, true,
       " >> PX\r\n      Reply: 100 (12ms)\r\n!! Expected: ==5\r\n"},
      {"one-line pass", 2, "PX", "100", "*=0|100", kExchangeLine, 1, true,
       " >> PX    Reply: 100 (12ms)\r\n"},
      {"one-line fail", 2, "PX", "100", "200", kExchangeLine, 1, true,
       " >> PX    Reply: 100 (12ms)\r\n"
       "!!  "
       "  "
       " Expected: 200\r\n"},
      {"one-line fail, longer command", 2, "LSPD=500", "E", "OK", kExchangeLine, 3, true,
       " >> LSPD=500    Reply: E (12ms)\r\n"
       "!!  "
       "        "
       " Expected: OK\r\n"},
      {"compact pass", 3, "PX", "100", "", kExchangeLine, 1, true, "  PX (100) (12ms)\r\n"},
      {"compact fail", 3, "PX", "100", "200", kExchangeLine, 1, true,
       "! PX (100) [200] (12ms)\r\n"},
      {"failures only, pass", 4, "PX", "100", "100", kExchangeLine, 7, true, ""},
      {"failures only, no expected", 4, "PX", "100", "", kExchangeLine, 7, true, ""},
      {"failures only, fail at 7", 4, "PX", "100", "200", kExchangeLine, 7, true,
       "! 000007: 100 [200] (12ms)\r\n"},
      {"failures only, no position", 4, "PX", "100", "200", kExchangeLine, 0, true,
       "100 [200] (12ms)\r\n"},
      {"failures only, negative position", 4, "PX", "100", "200", kExchangeLine, -3, true,
       "100 [200] (12ms)\r\n"},
      {"failures only, long position", 4, "PX", "100", "200", kExchangeLine, 1234567, true,
       "! 234567: 100 [200] (12ms)\r\n"},
      {"failures and comments, fail", 5, "PX", "100", "200", kExchangeLine, 12, true,
       "! 000012: 100 [200] (12ms)\r\n"},
      {"failures and comments, pass", 5, "PX", "100", "", kExchangeLine, 12, true, ""},
      {"comment in mode 5", 5, "'", "", "  check the belt  ", kExchangeLine, 4, true,
       "  <check the belt>\r\n"},
      {"empty comment in mode 5", 5, "'", "", "", kExchangeLine, 4, true, ""},
      {"comment in mode 1", 1, "'", "", "check the belt", kExchangeLine, 4, false, ""},
      {"comment in mode 3", 3, "'", "", "check the belt", kExchangeLine, 4, false, ""},
      {"comment in mode 4", 4, "'", "", "check the belt", kExchangeLine, 4, false, ""},
      {"empty comment in mode 2", 2, "'", "", "", kExchangeLine, 4, false, ""},
      {"message line in mode 1", 1, "Script started", "", "", kMessageLine, 0, true,
       "Script started\r\n"},
      {"message line in mode 4", 4, "Script started", "x", "y", kMessageLine, 2, true,
       "Script started\r\n"},
      {"message line of kind 0", 3, "Note", "", "", 0, 0, true, "Note\r\n"},
      {"comment as message in mode 5", 5, "'", "", "text", kMessageLine, 0, true, "'\r\n"},
  };
  for (const FormatCase& c : cases) {
    Entry entry =
        FormatEntry(c.command, c.reply, c.expected, c.lineKind, c.position, c.showMode, 0.012, -1);
    EXPECT_EQ(entry.append, c.append) << c.name;
    EXPECT_EQ(entry.text, c.text) << c.name;
  }
}

TEST(FormatEntry, ChecksWithTheGivenMask) {
  Entry odd = FormatEntry("ST", "5", "&=1", kExchangeLine, 1, 3, 0, 1);
  EXPECT_EQ(odd.text, "  ST (5) (0ms)\r\n");
  Entry even = FormatEntry("ST", "4", "&=1", kExchangeLine, 1, 3, 0, 1);
  EXPECT_EQ(even.text, "! ST (4) [&=1] (0ms)\r\n");
}

TEST(DisplayDirectiveReply, ShowsAFieldOfTheLastReply) {
  struct Case {
    const char* command;
    const char* lastReply;
    const char* reply;
  } cases[] = {
      {"SHOW32", "258", "00000000000000000000000100000010"},
      {"SHOW32.", "258", "00000000.00000000.00000001.00000010"},
      {"SHOW32 . ", "258", "00000000.00000000.00000001.00000010"},
      {"SHOW32-2", "7:258:9", "00000000-00000000-00000001-00000010"},
      {"SHOW32-0", "258:7", "00000000-00000000-00000001-00000010"},  // 0 means field 1
      {"SHOW32", "-1", "11111111111111111111111111111111"},
      {"SHOW32.", "-256", "11111111.11111111.11111111.00000000"},
      {"SHOW32", "1099511627781", "00000000000000000000000000000101"},  // 2^40 + 5
      {"SHOW32", "2.5", "00000000000000000000000000000010"},
      {"SHOW32", "", "00000000000000000000000000000000"},
      {"SHOW16", "258", "0000000100000010"},
      {"SHOW16_", "258", "00000001_00000010"},
      {"SHOW16", "65794", "0000000100000010"},  // 65536 + 258
      {"SHOW16", "-1", "1111111111111111"},
      {"SHOW16:", "-2", "11111111:11111110"},
      {"SHOW08", "258", "00000010"},
      {"SHOW08.", "258", "00000010"},  // no groups at eight bits
      {"SHOW08", "-2", "11111110"},
      {"SHOW08 x3", "1:2:255", "11111111"},
      {"SHOWHX", "-1", "0xFFFFFFFF"},
      {"SHOWHX", "255", "0x000000FF"},
      {"SHOWHX", "4294967296", "0x00000000"},
      {"SHOWHX", "", "0x00000000"},
      {"SHOWHX", "OK", "0x00000000"},
      {"SHOWHX:2", "1:3054", "0x00000BEE"},
      {"SHOWDC", "2.500", "2.5"},
      {"SHOWDC", "5", "5"},
      {"SHOWDC", " 5 ", "5"},
      {"SHOWDC", ".25", ".25"},
      {"SHOWDC", "-0.5", "-.5"},
      {"SHOWDC", "1.23456", "1.2346"},
      {"SHOWDC", "-12.00004", "-12"},
      {"SHOWDC", "0", "0"},
      {"SHOWDC", "", "0"},
      {"SHOWDC", "0.00004", "0"},
      {"SHOWDC", "-0.00004", "0"},
      {"SHOWDC", "1e20", "100000000000000000000"},
      {"SHOWDC:2", "12:3.75", "3.75"},
      {"SHOWDC:9", "12:3.75", "0"},
  };
  for (const Case& c : cases) {
    std::int64_t mask = -1;
    EXPECT_EQ(DisplayDirectiveReply(c.command, c.lastReply, mask), c.reply)
        << c.command << " after '" << c.lastReply << "'";
    EXPECT_EQ(mask, -1) << c.command;
  }
}

TEST(DisplayDirectiveReply, BtmaskSetsAndShowsTheMask) {
  std::int64_t mask = -1;
  EXPECT_EQ(DisplayDirectiveReply("BTMASK", "", mask), "0xFFFFFFFFFFFFFFFF");
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=X1F", "", mask), "0x1F");
  EXPECT_EQ(mask, 31);
  EXPECT_EQ(DisplayDirectiveReply("BTMASK", "123", mask), "0x1F");
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=  b101  ", "", mask), "0x5");
  EXPECT_EQ(mask, 5);
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=0", "", mask), "0x0");
  EXPECT_EQ(mask, 0);
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=255", "", mask), "0xFF");
  EXPECT_EQ(DisplayDirectiveReply("BTMASK =7", "", mask), "0xFF");  // "=" must follow directly
  EXPECT_EQ(mask, 255);
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=-1", "", mask), "0xFFFFFFFFFFFFFFFF");
  EXPECT_EQ(mask, -1);
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=", "", mask), "0x0");
}

TEST(IsLocalDirective, MatchesTheSixCharacterNamesInUpperCase) {
  struct Case {
    const char* command;
    bool local;
  } cases[] = {
      {"'", true},        {"''", false},      {"' note", false},    {"SHOWDC", true},
      {"SHOWDC:2", true}, {"SHOW32.", true},  {"SHOW16", true},     {"SHOW08", true},
      {"SHOWHX", true},   {"BTMASK=1", true}, {"SETPARXS=2", true}, {"showdc", false},
      {"SHOW3", false},   {"SHOW", false},    {" SHOWDC", false},   {"", false},
      {"SHOW64", false},  {"SETPA", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsLocalDirective(c.command), c.local) << c.command;
  }
}

TEST(ReplyFormat, LargeTextsStayLinear) {
  // Many fields in both texts: every field is compared once.
  std::string expected;
  std::string reply;
  for (int i = 0; i < 200000; ++i) {
    expected += "<=9:";
    reply += "5:";
  }
  expected += ">=1";
  reply += "1";
  EXPECT_FALSE(CheckExpected(reply, expected, -1));
  reply.back() = '0';
  EXPECT_TRUE(CheckExpected(reply, expected, -1));

  std::string big(4 << 20, '\xff');
  big[100] = '\0';
  Entry entry = FormatEntry(big, big, big, kExchangeLine, 1, 2, 0, -1);
  EXPECT_GT(entry.text.size(), 2 * big.size());
  std::int64_t mask = -1;
  EXPECT_EQ(DisplayDirectiveReply("SHOWDC", big, mask), "0");
  EXPECT_EQ(DisplayDirectiveReply("BTMASK=" + big, big, mask), "0x0");
}

}  // namespace

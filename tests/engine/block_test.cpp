// REPEAT/UNTIL blocks and RSAVE inside a command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "engine_fixture.h"
#include "platform/text.h"

namespace engine_testing {
namespace {

class BlockTest : public EngineTest {
 protected:
  void SetUp() override {
    state.ShowMode = 3;
    PressEscAfterSends(5000);  // a block that should have ended fails instead of running on
  }
};

// What each line shows, P answering its replies in turn. RSAVE shows the
// field it saves (trimmed; a missing one is empty and reads 0, hexadecimal
// is read, 2.5 goes to the even 2, text after its digit is ignored) and every
// block entry empties the last reply. Nested blocks are indented and the
// inner counter restarts on each outer pass; saved values belong to their
// level; a fourth nested REPEAT is ignored (its UNTIL closes the enclosing
// block early); a block still open at the end of the line never runs; an
// UNTIL outside a block is ignored and REPEAT reads only its name.
TEST_F(BlockTest, EachLineShowsItsPasses) {
  const std::string inner = "  {REPEAT} (OK)|B (OK)|  {UNTIL=2} (1)|B (OK)|  {UNTIL=2} (2)";
  // Replies are "|"-separated; none: every command is answered "OK".
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"REPEAT, P, UNTIL=2, STOP", "a|b",
       "{REPEAT} (OK)|P (a)|{UNTIL=2} (1)|P (b)|{UNTIL=2} (2)|STOP (OK)"},
      {"REPEAT, P, RSAVE2, UNTIL=345", " 12: 345 :9",
       "{REPEAT} (OK)|P ( 12: 345 :9)|RSAVE2 (345)|{UNTIL=345} (345)"},
      {"REPEAT, P, RSAVE4, UNTIL=4", "1:2:3:4",
       "{REPEAT} (OK)|P (1:2:3:4)|RSAVE4 (4)|{UNTIL=4} (4)"},
      {"REPEAT, P, RSAVE3, UNTIL=0", "1:2", "{REPEAT} (OK)|P (1:2)|RSAVE3 ()|{UNTIL=0} (0)"},
      {"REPEAT, P, RSAVE1, UNTIL=31", "X1F", "{REPEAT} (OK)|P (X1F)|RSAVE1 (X1F)|{UNTIL=31} (31)"},
      {"REPEAT, P, RSAVE1x, UNTIL=2", "2.5", "{REPEAT} (OK)|P (2.5)|RSAVE1 (2.5)|{UNTIL=2} (2)"},
      {"P, REPEAT, RSAVE1, UNTIL=0", "7", "P (7)|{REPEAT} (OK)|RSAVE1 ()|{UNTIL=0} (0)"},
      {"REPEAT, RSAVE5, UNTIL=1", "", "{REPEAT} (OK)|RSAVE5 (OK)|{UNTIL=1} (1)"},
      {"REPEAT, P, SHOWHX, UNTIL=1", "258",
       "{REPEAT} (OK)|P (258)|SHOWHX (0x00000102)|{UNTIL=1} (1)"},
      {"REPEAT, A, REPEAT, B, UNTIL=2, UNTIL=2, C", "",
       "{REPEAT} (OK)|A (OK)|" + inner + "|{UNTIL=2} (1)|A (OK)|" + inner +
           "|{UNTIL=2} (2)|C (OK)"},
      {"REPEAT, P, RSAVE1, REPEAT, B, UNTIL=2, UNTIL=5, C", "5",
       "{REPEAT} (OK)|P (5)|RSAVE1 (5)|" + inner + "|{UNTIL=5} (5)|C (OK)"},
      {"REPEAT, REPEAT, REPEAT, REPEAT, X, UNTIL=1, UNTIL=1, UNTIL=1, UNTIL=1, Y", "",
       "{REPEAT} (OK)|  {REPEAT} (OK)|    {REPEAT} (OK)|X (OK)|    {UNTIL=1} (1)|"
       "  {UNTIL=1} (1)|{UNTIL=1} (1)|Y (OK)"},
      {"A, REPEAT, B, UNTIL=1, C, REPEAT, D, REPEAT, E, UNTIL=1", "",
       "A (OK)|{REPEAT} (OK)|B (OK)|{UNTIL=1} (1)|C (OK)"},
      {"A, UNTIL=1, UNTILR1:2, REPEATING, B, UNTIL=1", "",
       "A (OK)|{REPEAT} (OK)|B (OK)|{UNTIL=1} (1)"},
  };
  for (const auto& [line, replies, shown] : cases) {
    host.display.clear();
    Answer({{"P", platform::SplitFields(replies.empty() ? "OK" : replies, '|')}});
    Run(line);
    EXPECT_EQ(Shown(), shown) << line;
  }
}

// Each line runs until its condition holds or, when it never does, until ESC
// after ten passes (ESC stops a block like any line). Saved values are whole
// numbers; a missing high bound of UNTILR reads 0; without RSAVE the pass
// counter is compared.
TEST_F(BlockTest, UntilConditionsEndTheBlockAfterTheRightPass) {
  const std::tuple<const char*, Strings, long> cases[] = {
      {"REPEAT, PX, RSAVE1, UNTIL>1000", {"200", "700", "1200", "5000"}, 3},
      {"REPEAT, PX, RSAVE1, UNTIL<0", {"3", "-1"}, 2},
      {"REPEAT, PX, RSAVE1, UNTIL<5", {"5", "4"}, 2},
      {"REPEAT, PX, UNTIL<5", {"9"}, 1},
      {"REPEAT, PX, RSAVE1, UNTIL>1.5", {"1", "2"}, 2},
      {"REPEAT, PX, RSAVE1, UNTIL=-3", {"1", "-3"}, 2},
      {"REPEAT, PX, RSAVE1, UNTIL=2.5", {"2.5"}, 10},
      {"REPEAT, PX, RSAVE1, UNTILR10:20", {"15"}, 1},
      {"REPEAT, PX, RSAVE1, UNTILR 10 : 20 ", {"9", "21", "10"}, 3},
      {"REPEAT, PX, RSAVE1, UNTILR10:20", {"5", "20"}, 2},
      {"REPEAT, PX, RSAVE1, UNTILR10", {"10"}, 10},
      {"BTMASK=4, REPEAT, PX, RSAVE1, UNTILM4", {"1", "2", "3", "6", "4"}, 4},
      {"BTMASK=XF0, REPEAT, PX, RSAVE1, UNTILM X00", {"1", "12"}, 1},
      {"BTMASK=XF0, REPEAT, PX, RSAVE1, UNTILMB10000", {"1", "0x1F"}, 2},
      {"BTMASK=1, REPEAT, PX, UNTILM3", {"1"}, 3},
      {"REPEAT, PX, UNTIL=2, REPEAT, PX, UNTIL=3", {"1"}, 5},
  };
  for (const auto& [line, replies, passes] : cases) {
    link.sent.clear();
    Answer({{"PX", replies}});
    PressEscAfterSends(10);
    Run(line);
    EXPECT_EQ(std::count(link.sent.begin(), link.sent.end(), "PX"), passes) << line;
  }
  EXPECT_TRUE(Shown().starts_with("{REPEAT} (OK)|PX (200)|RSAVE1 (200)|{UNTIL>1000} (200)|"));
}

TEST_F(BlockTest, CollectedEntriesStopAtAThousand) {
  // REPEAT and 999 commands fill the buffer; the rest, UNTIL included, are
  // dropped, so the block runs once without an end.
  std::string line = "REPEAT";
  for (int i = 1; i <= 1100; ++i) line += ", C" + std::to_string(i);
  Run(line + ", UNTIL=5, Z");
  ASSERT_EQ(link.sent.size(), 1000u);
  EXPECT_EQ(link.sent[998], "C999");
  EXPECT_EQ(link.sent[999], "Z");
}

TEST_F(BlockTest, BlockEntriesKeepTheirExpectedValuesAndPositions) {
  state.ShowMode = 4;
  Expect("NO, NO, NO");
  Run("REPEAT, PX, UNTIL=2");
  EXPECT_EQ(Shown(), "! 000002: OK [NO]|! 000002: OK [NO]");
  EXPECT_EQ(capture.FailCount, 2);
}

TEST_F(BlockTest, DelaysRunInsideABlock) {
  Run("REPEAT, DELAYS, UNTIL=2");
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(state.LastReply, "");
}

}  // namespace
}  // namespace engine_testing

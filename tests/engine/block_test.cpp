// REPEAT/UNTIL blocks and RSAVE inside a command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_testing {
namespace {

using Strings = std::vector<std::string>;

class BlockTest : public EngineTest {
 protected:
  void SetUp() override { engine.State().ShowMode = 3; }

  std::size_t CountSent(const std::string& command) const {
    std::size_t n = 0;
    for (const std::string& s : link.sent) n += s == command;
    return n;
  }
};

TEST_F(BlockTest, RepeatUntilCountShowsEveryPass) {
  Answer({{"JX-", {"a", "b"}}});
  Run("REPEAT, JX-, UNTIL=2, STOP");
  EXPECT_EQ(Lines(),
            (Strings{Compact("{REPEAT}", "OK"), Compact("JX-", "a"), Compact("{UNTIL=2}", "1"),
                     Compact("JX-", "b"), Compact("{UNTIL=2}", "2"), Compact("STOP", "OK")}));
  EXPECT_EQ(link.sent, (Strings{"JX-", "JX-", "STOP"}));
}

TEST_F(BlockTest, SavedPositionDecidesTheEnd) {
  Answer({{"PX", {"200", "700", "1200", "5000"}}});
  Run("LSPD=500, REPEAT, PX, RSAVE1, UNTIL>1000, STOP");
  EXPECT_EQ(
      Lines(),
      (Strings{Compact("LSPD=500", "OK"), Compact("{REPEAT}", "OK"), Compact("PX", "200"),
               Compact("RSAVE1", "200"), Compact("{UNTIL>1000}", "200"), Compact("PX", "700"),
               Compact("RSAVE1", "700"), Compact("{UNTIL>1000}", "700"), Compact("PX", "1200"),
               Compact("RSAVE1", "1200"), Compact("{UNTIL>1000}", "1200"), Compact("STOP", "OK")}));
}

TEST_F(BlockTest, RsaveTakesTheNumberedFieldTrimmed) {
  struct Case {
    const char* reply;
    const char* rsave;
    const char* field;  // shown as the RSAVE reply
    const char* until;  // holds on the first pass
    const char* saved;  // shown as the UNTIL reply
  };
  const Case cases[] = {
      {"12:345", "RSAVE2", "345", "UNTIL=345", "345"},
      {"12: 345 :9", "RSAVE2", "345", "UNTIL=345", "345"},
      {"12:345", "RSAVE1", "12", "UNTIL=12", "12"},
      {"1:2:3:4", "RSAVE4", "4", "UNTIL=4", "4"},
      {"12:345", "RSAVE3", "", "UNTIL=0", "0"},    // a missing field reads 0
      {"X1F", "RSAVE1", "X1F", "UNTIL=31", "31"},  // hexadecimal reply
      {"2.5", "RSAVE1", "2.5", "UNTIL=2", "2"},    // rounded, ties to even
      {"7", "RSAVE1junk", "7", "UNTIL=7", "7"},    // text after the digit ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reply) + " " + c.rsave);
    host.controls.clear();
    link.sent.clear();
    Answer({{"Q", {c.reply}}});
    Run(std::string("REPEAT, Q, ") + c.rsave + ", " + c.until);
    EXPECT_EQ(Lines(), (Strings{Compact("{REPEAT}", "OK"), Compact("Q", c.reply),
                                Compact(std::string(c.rsave).substr(0, 6), c.field),
                                Compact(std::string("{") + c.until + "}", c.saved)}));
    EXPECT_EQ(link.sent.size(), 1u) << "the block ends after one pass";
  }
}

TEST_F(BlockTest, RsaveFiveIsADeviceCommand) {
  Run("REPEAT, RSAVE5, UNTIL=1");
  EXPECT_EQ(link.sent, (Strings{"RSAVE5"}));
}

TEST_F(BlockTest, UntilConditions) {
  struct Case {
    const char* until;
    std::vector<std::string> replies;  // of PX, saved by RSAVE1
    std::size_t passes;
  };
  const Case cases[] = {
      {"UNTILR10:20", {"15"}, 1},
      {"UNTILR10:20", {"25", "15"}, 2},
      {"UNTILR 10 : 20 ", {"9", "21", "10"}, 3},
      {"UNTILR10:20", {"5", "20"}, 2},
      {"UNTILR10", {"10"}, 10},  // a missing high bound reads 0: never holds
      {"UNTIL<0", {"3", "-1"}, 2},
      {"UNTIL>1.5", {"1", "2"}, 2},
      {"UNTIL=-3", {"1", "-3"}, 2},
      {"UNTIL=2.5", {"2.5"}, 10},  // saved values are whole: never holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.until);
    link.sent.clear();
    Answer({{"PX", c.replies}});
    PressEscAfterSends(10);  // a block that never ends is stopped after ten passes
    Run(std::string("REPEAT, PX, RSAVE1, ") + c.until);
    EXPECT_EQ(CountSent("PX"), c.passes);
  }
}

TEST_F(BlockTest, UntilMaskedComparesTheSavedValueUnderTheMask) {
  Answer({{"PX", {"1", "2", "3", "6", "4"}}});
  engine.State().BitMask = 4;
  Run("REPEAT, PX, RSAVE1, UNTILM4");
  EXPECT_EQ(CountSent("PX"), 4u);  // 6 is the first with bit 2 set
  EXPECT_EQ(Lines().back(), Compact("{UNTILM4}", "6"));

  // The target of the masked form is a number in any of its forms.
  link.sent.clear();
  Answer({{"PX", {"1", "12"}}});
  engine.State().BitMask = 0xF0;
  Run("REPEAT, PX, RSAVE1, UNTILM X00");
  EXPECT_EQ(CountSent("PX"), 1u);
  Answer({{"PX", {"1", "0x1F"}}});
  link.sent.clear();
  Run("REPEAT, PX, RSAVE1, UNTILMB10000");
  EXPECT_EQ(CountSent("PX"), 2u);
}

TEST_F(BlockTest, UntilMaskedWithoutSavedValueCountsPasses) {
  engine.State().BitMask = 1;
  Run("REPEAT, PX, UNTILM3");
  EXPECT_EQ(CountSent("PX"), 3u);
  EXPECT_EQ(Lines().back(), Compact("{UNTILM3}", "3"));
}

TEST_F(BlockTest, UntilLessWithTheCounterEndsAfterOnePass) {
  Run("REPEAT, PX, UNTIL<5");
  EXPECT_EQ(CountSent("PX"), 1u);
}

TEST_F(BlockTest, NestedBlocksAreIndentedAndTheInnerCounterRestarts) {
  Run("REPEAT, A, REPEAT, B, UNTIL=2, UNTIL=2, C");
  const Strings inner = {Compact("  {REPEAT}", "OK"), Compact("B", "OK"),
                         Compact("  {UNTIL=2}", "1"), Compact("B", "OK"),
                         Compact("  {UNTIL=2}", "2")};
  Strings expected = {Compact("{REPEAT}", "OK"), Compact("A", "OK")};
  expected.insert(expected.end(), inner.begin(), inner.end());
  expected.push_back(Compact("{UNTIL=2}", "1"));
  expected.push_back(Compact("A", "OK"));
  expected.insert(expected.end(), inner.begin(), inner.end());
  expected.push_back(Compact("{UNTIL=2}", "2"));
  expected.push_back(Compact("C", "OK"));
  EXPECT_EQ(Lines(), expected);
}

TEST_F(BlockTest, SavedValuesBelongToTheirLevelAndAreResetByRepeat) {
  // The outer level saves 5 once; the inner block has no RSAVE of its own,
  // so its UNTIL counts passes while the outer UNTIL sees the saved 5.
  Answer({{"P", {"5"}}});
  Run("REPEAT, P, RSAVE1, REPEAT, B, UNTIL=2, UNTIL=5, C");
  EXPECT_EQ(CountSent("B"), 2u);
  EXPECT_EQ(CountSent("C"), 1u);
}

TEST_F(BlockTest, AFourthNestedRepeatIsIgnored) {
  Run("REPEAT, REPEAT, REPEAT, REPEAT, X, UNTIL=1, UNTIL=1, UNTIL=1, UNTIL=1, Y");
  EXPECT_EQ(Lines(), (Strings{Compact("{REPEAT}", "OK"), Compact("  {REPEAT}", "OK"),
                              Compact("    {REPEAT}", "OK"), Compact("X", "OK"),
                              Compact("    {UNTIL=1}", "1"), Compact("  {UNTIL=1}", "1"),
                              Compact("{UNTIL=1}", "1"), Compact("Y", "OK")}));
  EXPECT_EQ(link.sent, (Strings{"X", "Y"}));
}

TEST_F(BlockTest, ABlockOpenAtTheEndNeverRuns) {
  Run("A, REPEAT, B, UNTIL=1, C, REPEAT, D, REPEAT, E, UNTIL=1");
  EXPECT_EQ(link.sent, (Strings{"A", "B", "C"}));
  EXPECT_EQ(Lines().back(), Compact("C", "OK"));
}

TEST_F(BlockTest, UntilOutsideABlockIsIgnored) {
  Run("A, UNTIL=1, UNTILR1:2, B");
  EXPECT_EQ(Lines(), (Strings{Compact("A", "OK"), Compact("B", "OK")}));
}

TEST_F(BlockTest, RepeatIgnoresWhatFollowsItsName) {
  Run("REPEATING, A, UNTIL=1");
  EXPECT_EQ(Lines().front(), Compact("{REPEAT}", "OK"));
}

TEST_F(BlockTest, ALaterBlockInTheSameLineStartsAfresh) {
  Run("REPEAT, A, UNTIL=2, REPEAT, B, UNTIL=3");
  EXPECT_EQ(CountSent("A"), 2u);
  EXPECT_EQ(CountSent("B"), 3u);
}

TEST_F(BlockTest, CollectedEntriesStopAtAThousand) {
  // REPEAT plus 999 commands fill the buffer; the rest, the UNTIL included,
  // are dropped, so the block runs once without an end.
  std::string line = "REPEAT";
  for (int i = 1; i <= 1100; ++i) line += ", C" + std::to_string(i);
  line += ", UNTIL=5, Z";
  Run(line);
  ASSERT_EQ(link.sent.size(), 1000u);
  EXPECT_EQ(link.sent[998], "C999");
  EXPECT_EQ(link.sent[999], "Z");

  // Exactly a thousand entries, UNTIL included, still run as a block.
  link.sent.clear();
  line = "REPEAT";
  for (int i = 1; i <= 998; ++i) line += ", C" + std::to_string(i);
  line += ", UNTIL=2";
  Run(line);
  EXPECT_EQ(link.sent.size(), 2u * 998u);
}

TEST_F(BlockTest, BlockEntriesKeepTheirExpectedValuesAndPositions) {
  engine.State().ShowMode = 4;
  engine.State().ExpectedValuesLine = "NO, NO, NO";
  engine.State().ExpectedValuesPresent = true;
  Run("REPEAT, PX, UNTIL=2");
  // REPEAT and UNTIL drop their expected values; PX keeps its own and its
  // position on both passes.
  EXPECT_EQ(Lines(), (Strings{"! 000002: OK [NO] (0ms)", "! 000002: OK [NO] (0ms)"}));
  EXPECT_EQ(capture.FailCount, 2);
}

TEST_F(BlockTest, ShownBlockDirectivesEmptyTheLastReply) {
  Answer({{"PX", {"9"}}});
  Run("PX, REPEAT, UNTIL=1");
  EXPECT_EQ(engine.State().LastReply, "");
  Run("PX, REPEAT, RSAVE1, UNTIL=0");
  EXPECT_EQ(Lines()[Lines().size() - 2], Compact("RSAVE1", ""));
}

TEST_F(BlockTest, DirectivesInsideABlockRunWithIt) {
  Answer({{"PX", {"258"}}});
  Run("REPEAT, PX, SHOWHX, DELAYS, UNTIL=2");
  EXPECT_EQ(CountSent("PX"), 2u);
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(Lines()[2], Compact("SHOWHX", "0x00000102"));
}

TEST_F(BlockTest, EscStopsARunningBlock) {
  Answer({{"ABORT", {"STOPPED"}}});
  PressEscAfterSends(5);
  Run("REPEAT, PX, UNTIL=0, NEVER");
  EXPECT_EQ(CountSent("PX"), 5u);
  EXPECT_EQ(link.sent.back(), "ABORT");
  EXPECT_EQ(CountSent("NEVER"), 0u);
  EXPECT_EQ(Lines().back(), Compact("ABORT (ESCAPED)", "STOPPED"));
}

}  // namespace
}  // namespace engine_testing

// Command lines on the engine, REPEAT/UNTIL blocks and DELAY, on virtual time.
#include <tuple>

#include "engine_fixture.h"
#include "platform/text.h"

namespace engine_testing {
namespace {

using devices::LinkKind;

class CommandLineTest : public EngineTest {
 protected:
  void SetUp() override { state.ShowMode = 3; }
};

// NUL and 8-bit bytes are part of a command like any other.
TEST_F(CommandLineTest, SendsEachPieceTrimmedOfBlanksOnlyAndLowerCaseDirectivesToo) {
  using namespace std::string_literals;
  Run(" lspd=500 ,\tHSPD=5000\t ,  repeat , RSAVE1 ,UNTIL, delay ,REPEA, Delay=5,\0\xff,"
      "showdc,SHOW64,'',' x,SETPA"s);
  EXPECT_EQ(link.sent,
            (Strings{"lspd=500", "\tHSPD=5000\t", "repeat", "RSAVE1", "UNTIL", "delay", "REPEA",
                     "Delay=5", "\0\xff"s, "showdc", "SHOW64", "''", "' x", "SETPA"}));
  EXPECT_TRUE(host.delays.empty());
}

TEST_F(CommandLineTest, EmptyPiecesKeepTheirPositionsAndAreStillPolled) {
  state.ShowMode = 4;  // failures only, with the position
  Run("A,,B", "NO,,NO");
  EXPECT_EQ(link.sent, (Strings{"A", "B"}));
  EXPECT_EQ(Shown(), "! 000001: OK [NO]|! 000003: OK [NO]");
  host.doEventsCalls = 0;
  Run(",,,");
  EXPECT_EQ(host.doEventsCalls, 5);  // four positions and the final check
}

TEST_F(CommandLineTest, ExpectedValuesWalkInStepWithTheCommandsAndAreUsedOnce) {
  int cleanEnds = 0;  // the end hook runs once the line is over and its values cleared
  host.onLineFinished = [&] { cleanEnds += !state.EngineRunning && !state.ExpectedValuesPresent; };
  Answer({{"A", {"1"}}, {"B", {"junk"}}, {"C", {"4"}}});
  Run("A,B,C", " 1 ,  , 3 , surplus");
  EXPECT_EQ(std::tuple(Shown(), capture.FailCount, state.ExpectedValuesLine),
            std::tuple("A (1)|B (junk)|! C (4) [3]", 1, ""));
  Run("A,B", "NO");                    // B has none
  state.ExpectedValuesLine = "NO,NO";  // without the presence flag it is not read
  Run("A,B");
  EXPECT_EQ(std::pair(capture.FailCount, cleanEnds), std::pair(2, 3));
}

TEST_F(CommandLineTest, CaptureFromSlotEightFillsR8AndR9AndEndsAtEleven) {
  Answer({{"A", {"1,000"}}, {"B", {"2"}}});
  capture.ReplyCaptureSlot = 8;
  Run("A,B,C", "NO,NO,NO");  // captured replies are not checked
  EXPECT_EQ(capture.ScriptReplies[7] + capture.ScriptReplies[8], "10002");
  EXPECT_EQ(capture.ReplyCaptureSlot, 11);
  capture.ReplyCaptureSlot = -1;  // a slot with no meaning takes nothing
  Run("A", "NO");
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, LocalDirectivesAreAnsweredWithoutTheLinkAndLeaveTheLastReply) {
  Answer({{"PX", {"5"}}, {"PY", {"258"}}});
  capture.ReplyCaptureSlot = 1;
  Run("PX, PY, SHOWHX, SETPARXS=2, BTMASK=X0F, SHOW08, SHOW32.",
      ",,NO,NO,NO,NO,NO");  // directive entries show no expected value
  EXPECT_EQ(link.sent, (Strings{"PX", "PY"}));
  EXPECT_EQ(Shown(),
            "PX (5)|PY (258)|SHOWHX (0x00000102)|SETPARXS=2 (2)|BTMASK=X0F (0xF)|SHOW08 "
            "(00000010)|SHOW32. (00000000.00000000.00000001.00000010)");
  EXPECT_EQ(
      std::tie(capture.ReplyCaptureSlot, capture.ScriptReplies[1], state.BitMask, state.LastReply),
      std::tuple(3, "258", 15, "258"));
  Run("SHOWDC");  // the next line's directive reads it too
  EXPECT_TRUE(Shown().ends_with("|SHOWDC (258)")) << Shown();
  state.ShowMode = 5;  // a program comment is shown with its text, never sent
  Run("'", "home the axis");
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_TRUE(Shown().ends_with("|<home the axis>")) << Shown();
}

TEST_F(CommandLineTest, UnitsAreConvertedInCommandsAndExpectedValues) {
  Answer({{"PX", {"500"}}});
  Run("SETPARXS=200, MOVX=(500/XS), PX", ",,(2.5*XS)");
  EXPECT_EQ(link.sent, (Strings{"MOVX=2", "PX"}));
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, ExchangeTimeIsOnTheWindowClockAndZeroWhenItStepsBack) {
  host.now = 100;
  link.answer = [this](const std::string& c) {
    host.now += c == "BACK" ? -5 : 0.01234;
    return std::string("OK");
  };
  Run("PX, BACK");
  EXPECT_EQ(Shown(), "PX (OK) (12.3ms)|BACK (OK)");
  EXPECT_EQ(state.ExchangeTime, 0);  // reset by the display
}

TEST_F(CommandLineTest, OnlyASerialTimeOutSetsTheTimeoutFlag) {
  link.answer = [](const std::string&) { return std::string("(SERIAL Timeout)"); };
  for (auto [status, kind, flag] :
       {std::tuple{devices::LinkStatus::TimedOut, LinkKind::Hid, 0},
        std::tuple{devices::LinkStatus::Ok, LinkKind::Serial, 0},
        std::tuple{devices::LinkStatus::TimedOut, LinkKind::Serial, 1}}) {
    link.status = status;
    Run("PX", kind);
    EXPECT_EQ(state.SerialTimeoutFlag, flag) << static_cast<int>(status);
  }
  EXPECT_EQ(state.LastReply, "(SERIAL Timeout)");
}

// (ESC in the middle of a line is the window's test.)
TEST_F(CommandLineTest, EscDuringTheLastCommandStillSendsAbortWhichIsNotALineReply) {
  Answer({{"ABORT", {"STOPPED"}}});
  PressEscAfterSends(1);
  Run("A");
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
  EXPECT_EQ(Shown() + " " + state.LastReply, "A (OK)|ABORT (ESCAPED) (STOPPED) OK");
}

TEST_F(CommandLineTest, SuppressedPumpingRunsALineWithoutEvents) {
  state.PumpSuppressed = true;
  Run("A,,B");
  EXPECT_EQ(host.doEventsCalls, 0);
  state.PumpSuppressed = false;
  state.AbortRequest = true;  // an ESC already seen needs no pump either
  EXPECT_EQ(engine.CheckAbort(), 1);
  EXPECT_EQ(host.doEventsCalls, 0);
}

TEST_F(CommandLineTest, ProgressBarIsRedrawnOnlyWhenItsPercentageChanges) {
  Run("A,B,C");
  EXPECT_EQ(host.bars[engine::Bar::Command],
            (Strings{"33%PURPLE|67%GRAY", "66%PURPLE|34%GRAY", "100%PURPLE"}));
  host.bars.clear();
  state.AutomaticMode = true;
  Run("A");
  Run("A");  // a new line draws its bar afresh
  EXPECT_EQ(host.bars[engine::Bar::Command], (Strings{"100%GOLD", "100%GOLD"}));
  host.bars.clear();
  Run(std::string(299, ','));  // 300 positions: each percentage once, rising
  ASSERT_EQ(host.bars[engine::Bar::Command].size(), 100u);
  EXPECT_EQ(host.bars[engine::Bar::Command][49], "50%GOLD|50%GRAY");
  EXPECT_EQ(host.barsShown[engine::Bar::Command], 105);
}

// The replies "a", "" and "c" against "|"-separated fields, exactly.
TEST(PlainReplyCapture, VerificationLogsAndComparesInOrder) {
  for (auto [expected, mismatch] :
       {std::pair{"a||c", 0}, {"", 0}, {"a|b|c", 1}, {"A||c", 1}, {"a|| c", 1}, {"a|", 1}}) {
    engine::PlainReplyCapture c;
    c.ReplyCaptureSlot = engine::kCaptureVerify;
    c.VerifyExpected = expected;
    for (const char* reply : {"a", "", "c"}) c.CaptureReply("VER", reply, "NO", -1);
    EXPECT_EQ(c.VerifyMismatch, mismatch) << expected;
    EXPECT_EQ(c.VerifyIndex, 3);
    EXPECT_EQ(c.VerifyLog, "VER = a\r\nVER = \r\nVER = c\r\n");
    EXPECT_EQ(c.FailCount, 0);
  }
  // A block that never ends keeps comparing, but its log stops growing.
  engine::PlainReplyCapture c;
  c.ReplyCaptureSlot = engine::kCaptureVerify;
  for (int i = 0; i < 5000; ++i) c.VerifyExpected += "1234567890|";
  c.VerifyExpected += "the last differs";
  for (int i = 0; i < 5001; ++i) c.CaptureReply("PX", "1234567890", "", -1);
  EXPECT_EQ(std::pair(c.VerifyIndex, c.VerifyMismatch), std::pair(5001, true));
  EXPECT_LE(c.VerifyLog.size(), engine::PlainReplyCapture::kVerifyLogLimit + 17);
  EXPECT_TRUE(c.VerifyLog.starts_with("PX = 1234567890\r\n"));
}

// A listener hears device exchanges only, until removed; one added twice hears once.
TEST_F(CommandLineTest, EveryExchangeListenerHearsEveryExchangeUntilRemoved) {
  struct Heard : engine::ExchangeListener {
    Strings commands;
    void OnExchange(const engine::ExchangeVerdict& e) override { commands.emplace_back(e.command); }
  } first, second;
  engine.AddExchangeListener(first);
  engine.AddExchangeListener(second);
  engine.AddExchangeListener(first);
  Run("ID, DELAY=0, PX");
  engine.RemoveExchangeListener(first);
  Run("ST");
  EXPECT_EQ(first.commands, (Strings{"ID", "PX"}));
  EXPECT_EQ(second.commands, (Strings{"ID", "PX", "ST"}));
}

class BlockTest : public EngineTest {
 protected:
  void SetUp() override {
    state.ShowMode = 3;
    PressEscAfterSends(5000);  // a block that should have ended fails instead of running on
  }
};

// P answers in turn: RSAVE's fields, nesting (three deep), unclosed blocks, stray UNTILs.
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
       "A (OK)|{REPEAT} (OK)|B (OK)|{UNTIL=1} (1)"}};
  for (const auto& [line, replies, shown] : cases) {
    host.display.clear();
    Answer({{"P", platform::SplitFields(replies.empty() ? "OK" : replies, '|')}});
    Run(line);
    EXPECT_EQ(Shown(), shown) << line;
  }
}

// Each line runs until its condition holds, or until ESC after ten passes.
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
      {"REPEAT, PX, UNTIL=2, REPEAT, PX, UNTIL=3", {"1"}, 5}};
  for (const auto& [line, replies, passes] : cases) {
    link.sent.clear();
    Answer({{"PX", replies}});
    PressEscAfterSends(10);
    Run(line);
    EXPECT_EQ(std::count(link.sent.begin(), link.sent.end(), "PX"), passes) << line;
  }
  EXPECT_TRUE(Shown().starts_with("{REPEAT} (OK)|PX (200)|RSAVE1 (200)|{UNTIL>1000} (200)|"));
}

// REPEAT and 999 commands fill the buffer; the rest, UNTIL included, are dropped.
TEST_F(BlockTest, CollectedEntriesStopAtAThousand) {
  std::string line = "REPEAT";
  for (int i = 1; i <= 1100; ++i) line += ", C" + std::to_string(i);
  Run(line + ", UNTIL=5, Z");
  ASSERT_EQ(link.sent.size(), 1000u);
  EXPECT_EQ(std::tie(link.sent[998], link.sent[999]), std::tuple("C999", "Z"));
}

TEST_F(BlockTest, BlockEntriesKeepTheirExpectedValuesAndPositionsAndDelaysRun) {
  state.ShowMode = 4;
  Run("REPEAT, PX, DELAYS, UNTIL=2", "NO, NO, NO, NO");
  EXPECT_EQ(Shown(), "! 000002: OK [NO]|! 000002: OK [NO]");
  EXPECT_EQ(capture.FailCount, 2);
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(state.LastReply, "");
}

using DelayTest = EngineTest;

TEST_F(DelayTest, WaitsTheTimeItsFormAsksWithoutSendingOrShowing) {
  const std::pair<const char*, double> cases[] = {
      {"DELAY", 2.0},         {"DELAYX", 2.0},         {"DELAYS", 0.5},       {"DELAYM", 1.5},
      {"DELAYL", 3.0},        {"DELAYs", 2.0},         {"DELAY S", 2.0},      {"DELAY=30", 0.1},
      {"DELAY=50.6", 0.1},    {"DELAY=-5", 0.1},       {"DELAY=", 0.1},       {"DELAY=abc", 0.1},
      {"DELAY=250", 0.25},    {"DELAY=1234", 1.234},   {"DELAY = 300", 0.3},  {"DELAYS=300", 0.3},
      {"DELAY=100000", 60.0}, {"DELAY=60000.4", 60.0}, {"DELAY=1e300", 60.0}, {"DELAY=2=5", 0.1}};
  for (auto [command, seconds] : cases) {
    host.delays.clear();
    Run(command);
    EXPECT_NEAR(host.TotalDelay(), seconds, 1e-9) << command;
  }
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(host.display, "");
  EXPECT_FALSE(host.byteCount);
}

TEST_F(DelayTest, WaitsInStepsOfAHundredMillisecondsWhileTheBarTurnsGreen) {
  Run("DELAY=250");
  EXPECT_EQ(host.delays, (std::vector<double>{0.1, 0.1, 0.05}));
  EXPECT_EQ(host.bars[engine::Bar::Delay],
            (Strings{"100%RED|0%GREEN", "60%RED|40%GREEN", "20%RED|80%GREEN", "100%GREEN"}));
  EXPECT_EQ(host.barsShown[engine::Bar::Delay], 4);
}

TEST_F(DelayTest, EscEndsTheDelayAtItsNextStep) {
  state.ShowMode = 3;
  host.onDoEvents = [this] {
    if (host.now >= 1.0 - 1e-9) state.AbortRequest = true;
  };
  Run("DELAYL, A");
  EXPECT_NEAR(host.TotalDelay(), 1.0, 1e-9);
  EXPECT_EQ(host.bars[engine::Bar::Delay].back(), "100%GREEN");
  EXPECT_EQ(Shown(), "ABORT (ESCAPED) (OK)");
  link.sent.clear();
  host.delays.clear();
  PressEscAfterSends(1);
  Run("A, DELAYL, B");  // ESC before the delay: no wait at all
  EXPECT_TRUE(host.delays.empty());
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
}

}  // namespace
}  // namespace engine_testing

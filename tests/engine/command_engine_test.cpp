#include "engine/command_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine_fixture.h"

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
  Expect("NO,,NO");
  Run("A,,B");
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
  Expect(" 1 ,  , 3 , surplus");
  Run("A,B,C");
  EXPECT_EQ(Shown(), "A (1)|B (junk)|! C (4) [3]");
  EXPECT_EQ(capture.FailCount, 1);
  EXPECT_EQ(state.ExpectedValuesLine, "");
  Expect("NO");  // B has none
  Run("A,B");
  state.ExpectedValuesLine = "NO,NO";  // without the presence flag it is not read
  Run("A,B");
  EXPECT_EQ(capture.FailCount, 2);
  EXPECT_EQ(cleanEnds, 3);
}

TEST_F(CommandLineTest, CaptureFromSlotEightFillsR8AndR9AndEndsAtEleven) {
  Answer({{"A", {"1,000"}}, {"B", {"2"}}});
  capture.ReplyCaptureSlot = 8;
  Expect("NO,NO,NO");  // captured replies are not checked
  Run("A,B,C");
  EXPECT_EQ(capture.ScriptReplies[7] + capture.ScriptReplies[8], "10002");
  EXPECT_EQ(capture.ReplyCaptureSlot, 11);
  capture.ReplyCaptureSlot = -1;  // a slot with no meaning takes nothing
  Expect("NO");
  Run("A");
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, LocalDirectivesAreAnsweredWithoutTheLinkAndLeaveTheLastReply) {
  Answer({{"PX", {"5"}}, {"PY", {"258"}}});
  capture.ReplyCaptureSlot = 1;
  Expect(",,NO,NO,NO,NO,NO");  // directive entries show no expected value
  Run("PX, PY, SHOWHX, SETPARXS=2, BTMASK=X0F, SHOW08, SHOW32.");
  EXPECT_EQ(link.sent, (Strings{"PX", "PY"}));
  EXPECT_EQ(Shown(),
            "PX (5)|PY (258)|SHOWHX (0x00000102)|SETPARXS=2 (2)|BTMASK=X0F (0xF)|SHOW08 "
            "(00000010)|SHOW32. (00000000.00000000.00000001.00000010)");
  EXPECT_EQ(capture.ReplyCaptureSlot, 3);
  EXPECT_EQ(capture.ScriptReplies[1], "258");
  EXPECT_EQ(state.BitMask, 15);
  EXPECT_EQ(state.LastReply, "258");
  Run("SHOWDC");  // the next line's directive reads it too
  EXPECT_TRUE(Shown().ends_with("|SHOWDC (258)")) << Shown();
  state.ShowMode = 5;  // a program comment is shown with its text, never sent
  Expect("home the axis");
  Run("'");
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_TRUE(Shown().ends_with("|<home the axis>")) << Shown();
}

TEST_F(CommandLineTest, UnitsAreConvertedInCommandsAndExpectedValues) {
  Answer({{"PX", {"500"}}});
  Expect(",,(2.5*XS)");
  Run("SETPARXS=200, MOVX=(500/XS), PX");
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
  EXPECT_EQ(host.Markups(engine::Bar::Command),
            (Strings{"33%PURPLE|67%GRAY", "66%PURPLE|34%GRAY", "100%PURPLE"}));
  host.bars.clear();
  state.AutomaticMode = true;
  Run("A");
  Run("A");  // a new line draws its bar afresh
  EXPECT_EQ(host.Markups(engine::Bar::Command), (Strings{"100%GOLD", "100%GOLD"}));
  host.bars.clear();
  Run(std::string(299, ','));  // 300 positions: each percentage once, rising
  ASSERT_EQ(host.Markups(engine::Bar::Command).size(), 100u);
  EXPECT_EQ(host.Markups(engine::Bar::Command)[49], "50%GOLD|50%GRAY");
  EXPECT_EQ(host.barsShown[engine::Bar::Command], 105);
}

// The replies "a", "" and "c" against "|"-separated fields: an empty field
// matches an empty reply, case matters, fields are not trimmed, and a reply
// with no field left is compared with an empty one.
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

}  // namespace
// Every exchange listener hears every device exchange in turn, never a
// local directive, until it is removed; one added twice hears it once.
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

}  // namespace engine_testing

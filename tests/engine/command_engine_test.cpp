#include "engine/command_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_testing {
namespace {

using devices::LinkKind;
using engine::kCommandProgressBar;
using Strings = std::vector<std::string>;

class CommandLineTest : public EngineTest {};

TEST_F(CommandLineTest, SendsEachPieceTrimmedOfBlanksOnly) {
  Run(" lspd=500 ,\tHSPD=5000\t ,  repeat , RSAVE1 ,UNTIL, delay ,REPEA");
  EXPECT_EQ(link.sent,
            (Strings{"lspd=500", "\tHSPD=5000\t", "repeat", "RSAVE1", "UNTIL", "delay", "REPEA"}));
}

TEST_F(CommandLineTest, EmptyPiecesKeepTheirPositions) {
  engine.State().ShowMode = 4;  // failures only, with the position prefix
  engine.State().ExpectedValuesLine = "NO,,NO";
  engine.State().ExpectedValuesPresent = true;
  Run("A,,B");
  EXPECT_EQ(link.sent, (Strings{"A", "B"}));
  EXPECT_EQ(Lines(), (Strings{"! 000001: OK [NO] (0ms)", "! 000003: OK [NO] (0ms)"}));
}

TEST_F(CommandLineTest, AnEmptyPositionStillNoticesEsc) {
  // A pumps twice in its own step and once after it; the fourth pump is the
  // check of the empty second position.
  host.onDoEvents = [this] {
    if (host.doEventsCalls == 4) engine.State().AbortRequest = 1;
  };
  Run("A,,B");
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
}

TEST_F(CommandLineTest, ALineOfOnlyCommasSendsNothingAndPollsEveryPosition) {
  Run(",,,");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(host.doEventsCalls, 5);  // four positions and the final check
  EXPECT_EQ(host.Display(), "");
}

TEST_F(CommandLineTest, ExpectedValuesWalkInStepWithTheCommands) {
  Answer({{"A", {"1"}}, {"B", {"junk"}}, {"C", {"4"}}});
  engine.State().ExpectedValuesLine = " 1 ,  , 3 , surplus";
  engine.State().ExpectedValuesPresent = true;
  Run("A,B,C");
  EXPECT_EQ(capture.FailCount, 1);  // only C misses its expected value
  EXPECT_EQ(engine.State().ExpectedValuesLine, "");
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);

  // Missing expected values are empty; a line without the presence flag is
  // not read at all.
  engine.State().ExpectedValuesLine = "1";
  engine.State().ExpectedValuesPresent = true;
  Run("A,B");
  engine.State().ExpectedValuesLine = "NO,NO";
  Run("A,B");
  EXPECT_EQ(capture.FailCount, 1);
}

TEST_F(CommandLineTest, ExpectedValuesAreShownWithTheirCommand) {
  engine.State().ShowMode = 3;
  Answer({{"A", {"1"}}, {"C", {"4"}}});
  engine.State().ExpectedValuesLine = "1,,3";
  engine.State().ExpectedValuesPresent = true;
  Run("A,B,C");
  EXPECT_EQ(Lines(), (Strings{Compact("A", "1"), Compact("B", "OK"), "! C (4) [3] (0ms)"}));
}

TEST_F(CommandLineTest, CaptureSlotsFillConsecutiveRepliesUpToR9) {
  Answer({{"A", {"1,000"}}, {"B", {"2"}}, {"C", {"3"}}});
  capture.ReplyCaptureSlot = 8;
  Run("A,B,C");
  EXPECT_EQ(capture.ScriptReplies[7], "1000");
  EXPECT_EQ(capture.ScriptReplies[8], "2");
  EXPECT_EQ(capture.ReplyCaptureSlot, 11);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(capture.ScriptReplies[static_cast<std::size_t>(i)], "");
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, LocalDirectivesAreAnsweredWithoutTheLink) {
  engine.State().ShowMode = 3;
  Answer({{"PX", {"258"}}, {"PY", {"7"}}});
  capture.ReplyCaptureSlot = 1;
  engine.State().ExpectedValuesLine = ",NO,NO,NO,";
  engine.State().ExpectedValuesPresent = true;
  Run("PX, SHOWHX, SETPARXS=2, BTMASK=X0F, PY");
  EXPECT_EQ(link.sent, (Strings{"PX", "PY"}));
  // Only device replies are captured; directives do not move the slot.
  EXPECT_EQ(capture.ScriptReplies[0], "258");
  EXPECT_EQ(capture.ScriptReplies[1], "7");
  EXPECT_EQ(capture.ReplyCaptureSlot, 3);
  EXPECT_EQ(engine.State().BitMask, 15);
  EXPECT_EQ(engine.State().Units.Factor(engine::UnitCode("XS")), 2.0L);
  // Directive entries show no expected value, so none of them fails.
  EXPECT_EQ(Lines(), (Strings{Compact("PX", "258"), Compact("SHOWHX", "0x00000102"),
                              Compact("SETPARXS=2", "2"), Compact("BTMASK=X0F", "0xF"),
                              Compact("PY", "7")}));
}

TEST_F(CommandLineTest, ALocalDirectiveLeavesTheLastReply) {
  Answer({{"PX", {"42"}}});
  Run("PX, SHOWDC, SETPARXS");
  EXPECT_EQ(engine.State().LastReply, "42");
  // The next line's directive still reads the previous line's reply.
  engine.State().ShowMode = 3;
  Run("SHOWHX");
  EXPECT_EQ(Lines().back(), Compact("SHOWHX", "0x0000002A"));
}

TEST_F(CommandLineTest, ACommentKeepsItsTextAndIsNotSent) {
  engine.State().ShowMode = 5;
  engine.State().ExpectedValuesLine = "home the axis";
  engine.State().ExpectedValuesPresent = true;
  Run("'");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(Lines(), (Strings{"  <home the axis>"}));
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, UnitsAreConvertedInCommandsAndExpectedValues) {
  Answer({{"MOVX=500", {"500"}}});
  engine.State().ExpectedValuesLine = ",(2.5*XS)";
  engine.State().ExpectedValuesPresent = true;
  Run("SETPARXS=200, MOVX=(2.5*XS)");
  EXPECT_EQ(link.sent, (Strings{"MOVX=500"}));
  EXPECT_EQ(capture.FailCount, 0);
}

TEST_F(CommandLineTest, ExchangeTimeIsMeasuredOnTheWindowClock) {
  engine.State().ShowMode = 3;
  link.answer = [this](const std::string&) {
    host.now += 0.01234;
    return std::string("OK");
  };
  Run("PX");
  EXPECT_EQ(Lines(), (Strings{"  PX (OK) (12.3ms)"}));
  EXPECT_EQ(engine.State().ExchangeTime, 0);  // reset by the display
}

TEST_F(CommandLineTest, AClockThatStepsBackGivesExchangeTimeZero) {
  engine.State().ShowMode = 3;
  host.now = 100;
  link.answer = [this](const std::string&) {
    host.now -= 5;
    return std::string("OK");
  };
  Run("PX");
  EXPECT_EQ(Lines(), (Strings{"  PX (OK) (0ms)"}));
}

TEST_F(CommandLineTest, OnlyASerialTimeoutSetsTheTimeoutFlag) {
  link.status = devices::kSerialTimeout;
  link.answer = [](const std::string&) { return std::string("(SERIAL Timeout)"); };
  Run("PX", LinkKind::Hid);
  EXPECT_EQ(engine.State().SerialTimeoutFlag, 0);
  link.status = 1;
  Run("PX", LinkKind::Serial);
  EXPECT_EQ(engine.State().SerialTimeoutFlag, 0);
  link.status = devices::kSerialTimeout;
  Run("PX", LinkKind::Serial);
  EXPECT_EQ(engine.State().SerialTimeoutFlag, 1);
  EXPECT_EQ(engine.State().LastReply, "(SERIAL Timeout)");
}

TEST_F(CommandLineTest, EscDuringTheSecondOfFiveCommands) {
  engine.State().ShowMode = 3;
  Answer({{"ABORT", {"STOPPED"}}});
  PressEscAfterSends(2);
  Run("A,B,C,D,E");
  EXPECT_EQ(link.sent, (Strings{"A", "B", "ABORT"}));
  EXPECT_EQ(Lines(), (Strings{Compact("A", "OK"), Compact("B", "OK"),
                              Compact("ABORT (ESCAPED)", "STOPPED")}));
  EXPECT_EQ(engine.State().EngineRunning, 0);
  EXPECT_EQ(engine.State().AbortRequest, 0);
  // The abort exchange is not a reply of the line.
  EXPECT_EQ(engine.State().LastReply, "OK");
}

TEST_F(CommandLineTest, EscDuringTheLastCommandStillSendsAbort) {
  PressEscAfterSends(1);
  Run("A");
  EXPECT_EQ(link.sent, (Strings{"A", "ABORT"}));
}

TEST_F(CommandLineTest, CheckAbortPumpsOnlyWhenAllowed) {
  EXPECT_EQ(engine.CheckAbort(), 0);
  EXPECT_EQ(host.doEventsCalls, 1);
  engine.State().PumpSuppressed = 1;
  EXPECT_EQ(engine.CheckAbort(), 0);
  EXPECT_EQ(host.doEventsCalls, 1);
  engine.State().PumpSuppressed = 0;
  engine.State().AbortRequest = 1;
  EXPECT_EQ(engine.CheckAbort(), 1);
  EXPECT_EQ(host.doEventsCalls, 1);
}

TEST_F(CommandLineTest, SuppressedPumpingRunsALineWithoutEvents) {
  engine.State().PumpSuppressed = 1;
  Run("ABORT");
  EXPECT_EQ(host.doEventsCalls, 0);
  EXPECT_EQ(link.sent, (Strings{"ABORT"}));
}

TEST_F(CommandLineTest, EngineRunningCoversTheWholeLine) {
  std::vector<int> seen;
  link.afterSend = [&](const std::string&) { seen.push_back(engine.State().EngineRunning); };
  bool finished = false;
  engine.OnLineFinished = [&] {
    finished = true;
    EXPECT_FALSE(engine.State().ExpectedValuesPresent);
    EXPECT_EQ(engine.State().EngineRunning, 0);
  };
  engine.State().ExpectedValuesLine = "x";
  engine.State().ExpectedValuesPresent = true;
  Run("A,B");
  EXPECT_EQ(seen, (std::vector<int>{1, 1}));
  EXPECT_TRUE(finished);
}

TEST_F(CommandLineTest, ProgressBarShowsEachPercentageOnce) {
  Run("A,B,C");
  EXPECT_EQ(host.Markups(kCommandProgressBar),
            (Strings{"33%PURPLE|67%GRAY", "66%PURPLE|34%GRAY", "100%PURPLE"}));

  host.history.clear();
  engine.State().AutomaticMode = true;
  Run("A");
  Run("A,B");
  EXPECT_EQ(host.Markups(kCommandProgressBar),
            (Strings{"100%GOLD", "50%GOLD|50%GRAY", "100%GOLD"}));

  // 300 positions: the first five all round to at most 1 %, so 100 markups
  // in all, each percentage once, rising.
  host.history.clear();
  Run(std::string(299, ','));
  const Strings& markups = host.Markups(kCommandProgressBar);
  ASSERT_EQ(markups.size(), 100u);
  EXPECT_EQ(markups.front(), "1%GOLD|99%GRAY");
  EXPECT_EQ(markups[49], "50%GOLD|50%GRAY");
  EXPECT_EQ(markups.back(), "100%GOLD");
}

TEST(PlainReplyCapture, CapturesBySlot) {
  engine::PlainReplyCapture c;
  c.CaptureReply("PX", "5", "5", -1);
  c.CaptureReply("PX", "5", "6", -1);
  c.CaptureReply("PX", "5", "", -1);
  EXPECT_EQ(c.FailCount, 1);

  c.ReplyCaptureSlot = 9;
  c.CaptureReply("PX", ",a,,b,", "NO", -1);
  EXPECT_EQ(c.ScriptReplies[8], "ab");
  EXPECT_EQ(c.ReplyCaptureSlot, 10);
  c.CaptureReply("PX", "lost", "NO", -1);
  EXPECT_EQ(c.ReplyCaptureSlot, 11);  // counts on, keeps nothing
  EXPECT_EQ(c.ScriptReplies[8], "ab");
  EXPECT_EQ(c.FailCount, 1);

  c.ReplyCaptureSlot = -1;  // a slot with no meaning takes nothing
  c.CaptureReply("PX", "x", "NO", -1);
  EXPECT_EQ(c.FailCount, 1);
  EXPECT_EQ(c.VerifyIndex, 0);
}

TEST(PlainReplyCapture, VerificationLogsAndComparesInOrder) {
  struct Case {
    const char* expected;
    std::vector<const char*> replies;
    int mismatch;
  };
  const Case cases[] = {
      {"", {"a", "b"}, 0},          // nothing to compare with
      {"a|b", {"a", "b"}, 0},       // every field matches
      {"a|b", {"a", "c"}, 1},       // second differs
      {"a|b", {"a", "b", "c"}, 1},  // a third reply has no field: empty differs
      {"a||c", {"a", "", "c"}, 0},  // an empty field matches an empty reply
      {"A|b", {"a", "b"}, 1},       // case matters
      {"a| b", {"a", "b"}, 1},      // fields are not trimmed
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.expected);
    engine::PlainReplyCapture c;
    c.ReplyCaptureSlot = engine::kCaptureVerify;
    c.VerifyExpected = t.expected;
    std::string log;
    for (const char* r : t.replies) {
      c.CaptureReply("VER", r, "ignored", -1);
      log += std::string("VER = ") + r + "\r\n";
    }
    EXPECT_EQ(c.VerifyMismatch, t.mismatch);
    EXPECT_EQ(c.VerifyLog, log);
    EXPECT_EQ(c.VerifyIndex, static_cast<int>(t.replies.size()));
    EXPECT_EQ(c.FailCount, 0);
  }
}

class BadInputTest : public EngineTest {
 protected:
  void SetUp() override {
    engine.State().ShowMode = 4;
    host.keepAppends = false;
    host.keepHistory = false;
  }
};

TEST_F(BadInputTest, TenMegabytesOfCommas) {
  Run(std::string(10'000'000, ','));
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(host.controls[kCommandProgressBar], "100%PURPLE");
}

TEST_F(BadInputTest, OneCommandOfTenMegabytesIsSentWhole) {
  std::string command(10'000'000, 'A');
  command[5'000'000] = '(';  // an unclosed unit expression
  Run(" " + command + " ");
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0], command);
}

TEST_F(BadInputTest, NulAndEightBitBytesPassUnchanged) {
  std::string line;
  for (int i = 0; i < 200'000; ++i) {
    const char c = static_cast<char>(i * 37 % 256);
    line += c == ',' ? ';' : c;
    if (i % 7 == 6) line += ',';
  }
  std::size_t commands = 0;
  for (std::size_t start = 0; start <= line.size();) {
    std::size_t comma = line.find(',', start);
    if (comma == std::string::npos) comma = line.size();
    std::string piece = line.substr(start, comma - start);
    std::size_t first = piece.find_first_not_of(' ');
    if (first != std::string::npos) ++commands;
    start = comma + 1;
  }
  link.answer = [](const std::string& c) { return c; };
  Run(line);
  EXPECT_EQ(link.sent.size(), commands);
  EXPECT_NE(link.sent[0].find('\0'), std::string::npos);
}

}  // namespace
}  // namespace engine_testing

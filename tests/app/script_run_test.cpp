// AutoControl scripts run by the application on virtual time: the script
// timer ticks, the operator answers from a queue, and fake links answer.
#include <gtest/gtest.h>

#include "support/script_station.h"

namespace {

using app::kMainForm;
using testing_support::ScriptStation;
namespace tmain = app::tmain;

TEST(ScriptRun, ExitAloneClosesTheApplicationOnTheFirstTick) {
  ScriptStation s("[EXIT]\r\n");
  EXPECT_EQ(s.application->Shell().AutoControlMode, 1);
  int text, back;
  s.gui.Colours(kMainForm, 0, text, back);
  EXPECT_EQ(back, 22);  // the AutoControl colours
  EXPECT_TRUE(s.gui.TimerRunning(kMainForm, tmain::kScriptTimer));
  s.Run();
  EXPECT_EQ(s.ended, autocontrol::kStepCloseApplication);
  EXPECT_FALSE(s.gui.FormLoaded(kMainForm));
  EXPECT_NEAR(s.gui.Now(), 0.05, 1e-9);
}

TEST(ScriptRun, AScriptThatRunsOutOfLinesLeavesAUsableTerminal) {
  ScriptStation s("[SHOW]hello\n[show]  world  ' a comment\n");
  s.Run();
  EXPECT_EQ(s.ended, autocontrol::kStepEndScript);
  EXPECT_EQ(s.Display(), "hello\r\nworld\r\n");
  EXPECT_EQ(s.application->Shell().AutoControlMode, 0);
  EXPECT_FALSE(s.gui.TimerRunning(kMainForm, tmain::kScriptTimer));
  int text, back;
  s.gui.Colours(kMainForm, 0, text, back);
  EXPECT_EQ(back, 36);
  EXPECT_EQ(s.application->Shell().BusyBackColour, 21);
}

TEST(ScriptRun, ANumberedScriptRunsAndOneOfOnlyCommentsDoesNot) {
  ScriptStation s("[SHOW]x\n", 12);  // autocontrol_12.txt exists ...
  EXPECT_EQ(s.application->Shell().AutoControlMode, 1);
  ScriptStation plain("' only a comment\nPX\n");
  EXPECT_EQ(plain.application->Shell().AutoControlMode, 0);
  EXPECT_FALSE(plain.gui.TimerRunning(kMainForm, tmain::kScriptTimer));
}

TEST(ScriptRun, ALoopRepeatsUntilEscAndTheScriptGoesOnBehindIt) {
  ScriptStation s("[LOOPSTART]\n[CMDREPLY1]PX\n[LOOPEND]\n[SHOW]after the loop\n");
  s.EscAfter("PX", 3);
  s.Run();
  EXPECT_EQ(s.ended, autocontrol::kStepEndScript);
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"PX", "PX", "PX", "ABORT"}));
  EXPECT_NE(s.Display().find("after the loop\r\n"), std::string::npos);
  EXPECT_EQ(s.State().EscFlag, 1);
}

TEST(ScriptRun, ASecondLoopStartKeepsTheFirstAndTraceLinesShowIt) {
  ScriptStation s(
      "[DEBUGON]\n[LOOPSTART]\n[SHOW]a\n[LOOPSTART]\n[CMDREPLY1]PX\n[LOOPEND]\n[SHOW]done\n");
  s.EscAfter("PX", 2);
  s.Run();
  const std::string d = s.Display();
  EXPECT_NE(d.find("[LOOPEND] (6) Loop Start = 2\r\n[SHOW] (3) Loop Start = 2\r\na\r\n"),
            std::string::npos)
      << d;
  EXPECT_NE(d.find("[SHOW] (7) Loop Start = 2\r\ndone\r\n"), std::string::npos) << d;
}

TEST(ScriptRun, ClearWithTheTraceOnKeepsItsOwnTraceLine) {
  ScriptStation s("[DEBUGON]\n[SHOW]x\n[CLEAR]\n[SHOW]y\n");
  s.Run();
  EXPECT_EQ(s.Display(), "[CLEAR] (3) Loop Start = 1\r\n[SHOW] (4) Loop Start = 1\r\ny\r\n");
}

TEST(ScriptRun, RunProgUsedUpWhileALineRuns) {
  ScriptStation s("[RUNPROG1]\n[SHOW]next\n");
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX\r\n"));
  s.application->Engine().State().EngineRunning = 1;
  EXPECT_EQ(s.application->Script().ScriptStep(), autocontrol::kStepIdle);
  EXPECT_EQ(s.State().LineCounter, 1);
  s.application->Engine().State().EngineRunning = 0;
  s.Run();
  EXPECT_TRUE(s.hid->sent.empty());
  EXPECT_EQ(s.Display(), "next\r\n");
}

TEST(ScriptRun, RunProgRunsTheProgramWithItsExpectedReplies) {
  ScriptStation s("[RUNPROG?]my-test.1\n[SHOWFAILCT]\n");
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test99mytest1.prg",
                                        "LSPD=500,OK\r\nPX,100\r\n"));
  s.hid->answer = [](const std::string& c) { return c == "PX" ? std::string("99") : "OK"; };
  s.Run();
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"LSPD=500", "PX"}));
  EXPECT_EQ(s.FailCount(), 1);
  EXPECT_NE(s.Display().find("Load: test99mytest1.prg\r\n"), std::string::npos) << s.Display();
  EXPECT_NE(s.Display().find("Fail Count: 1\r\n"), std::string::npos);
}

TEST(ScriptRun, ADeviceThatCannotOpenCountsOneFailurePerProgramLine) {
  ScriptStation s("[RUNPROG1]\n[RUNPROG1]\n[CMDREPLY1]PX\n");
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,1\r\nID\r\n"));
  s.hid->openSucceeds = false;
  s.Run();
  EXPECT_EQ(s.FailCount(), 2);  // the [CMDREPLY1] line does not count
  EXPECT_FALSE(s.application->Engine().State().ExpectedValuesPresent);
}

TEST(ScriptRun, CmdReplyFillsConsecutiveRepliesWithoutCommas) {
  ScriptStation s("[CMDREPLY8]PX,ID,MST\n");
  s.hid->answer = [](const std::string& c) { return c == "PX" ? std::string("1,000") : c + "!"; };
  s.Run();
  auto& r = s.application->PlainCapture().ScriptReplies;
  EXPECT_EQ(r[7], "1000");
  EXPECT_EQ(r[8], "ID!");
  EXPECT_EQ(s.hid->sent.size(), 3u);
  EXPECT_EQ(s.application->PlainCapture().ReplyCaptureSlot, 0);
  EXPECT_EQ(s.FailCount(), 0);
}

TEST(ScriptRun, CmdVerifyWithMatchingRepliesShowsNoDialog) {
  ScriptStation s("[CMDVERIFY]LSPD,HSPD {100,200}\n");
  s.hid->answer = [](const std::string& c) { return c == "LSPD" ? std::string("100") : "200"; };
  s.Run();
  EXPECT_TRUE(s.forms.empty());
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"LSPD", "HSPD"}));
  EXPECT_EQ(s.application->PlainCapture().ReplyCaptureSlot, 0);
}

TEST(ScriptRun, CmdVerifyWithADifferenceShowsTheLogAndTryAgainSendsAgain) {
  ScriptStation s("[CMDVERIFY]LSPD,HSPD {100,200}\n");
  s.hid->answer = [](const std::string& c) { return c == "LSPD" ? std::string("100") : "250"; };
  s.answers = {"RETRY", "OK"};
  s.Run();
  ASSERT_EQ(s.forms.size(), 2u);
  EXPECT_EQ(s.forms[0], app::kPassFailForm);
  const std::string expectedLog = "Verifying Device: Board A\r\n" + std::string(7 + 15, '=') +
                                  "\r\nLSPD = 100\r\nHSPD = 250\r\n";
  EXPECT_NE(s.shown[0].find(expectedLog), std::string::npos) << s.shown[0];
  EXPECT_EQ(s.hid->sent.size(), 4u);  // the whole line twice
}

TEST(ScriptRun, CmdVerifyWithoutExpectedRepliesAlwaysStopsAtTheDialog) {
  ScriptStation s("[CMDVERIFY]ID\n");
  s.answers = {"OK"};
  s.Run();
  ASSERT_EQ(s.forms.size(), 1u);
  EXPECT_NE(s.shown[0].find("ID = OK\r\n"), std::string::npos);
  EXPECT_EQ(s.hid->sent.size(), 1u);
}

TEST(ScriptRun, VariablesFromTheOperator) {
  ScriptStation s(
      "[VARINPUT2]Enter Serial "
      "Number\n[SHOWVAR2]\n[VARINPUT3]\n[USERINPUT]Lot\n[SHOWVAR5]\n[SHOWC5]\n");
  s.answers = {"47,11", "x", "  L7 "};
  s.Run();
  EXPECT_EQ(s.State().ScriptVariables[1], "{Serial Number} 4711");
  EXPECT_EQ(s.application->Script().VariableValue(2), "4711");
  EXPECT_EQ(s.State().ScriptVariables[2], "{Variable #3} x");
  EXPECT_EQ(s.shown[2], "Enter: Lot");
  EXPECT_EQ(s.Display(), "{Serial Number} 4711\r\n{Lot}  L7\r\n\r\n");
}

TEST(ScriptRun, EscInADialogEndsTheLoopAndEscStopSaves) {
  ScriptStation s(
      "[SAVERESULTSAUTOESC]Unit\n[LOOPSTART]\n[VARINPUT1]Serial\n[LOOPEND]\n[ESCSTOP]\n[SHOW]not "
      "reached\n");
  s.answers = {"1", "2", "ESC"};
  s.Run();
  EXPECT_EQ(s.ended, autocontrol::kStepEndScript);
  EXPECT_EQ(s.State().ScriptVariables[0], "{Serial} ");
  EXPECT_TRUE(s.Exists("AppPrograms/AutoControl/AutoResults/Unit0001.txt"));
  EXPECT_EQ(s.Display().find("not reached"), std::string::npos);
}

TEST(ScriptRun, UserCheckCountsAFail) {
  ScriptStation s("[USERCHECK]\n[USERCHECK]Looks right\n[USERCHECK]x\n[SHOWFAILCT]\n");
  s.answers = {"FAIL", "pass", "ESC"};
  s.Run();
  EXPECT_EQ(s.shown[0], "Does Visual Inspection Pass [PASS/FAIL]");
  EXPECT_EQ(
      s.Display(),
      "{Check State = FAIL}  \r\n{Check State = PASS}  \r\n{ESC Pressed}  \r\nFail Count: 1\r\n");
  EXPECT_EQ(s.FailCount(), 1);
}

TEST(ScriptRun, ShellAppArgumentsReachTheProgramAsPlainText) {
  ScriptStation s("[SHELLAPP]check.sh \"a b\" $(rm -rf /);`x` *\n[SHELLAPP]{a} /bin/tool --fast\n");
  std::vector<std::pair<std::vector<std::string>, bool>> started;
  s.application->startProgram = [&](const std::vector<std::string>& argv, bool wait) {
    started.emplace_back(argv, wait);
    return true;
  };
  s.Run();
  ASSERT_EQ(started.size(), 2u);
  // The first command holds a "/" inside an argument, so it is used as written.
  EXPECT_EQ(started[0].first,
            (std::vector<std::string>{"check.sh", "a b", "$(rm", "-rf", "/);`x`", "*"}));
  EXPECT_TRUE(started[0].second);
  EXPECT_EQ(started[1].first, (std::vector<std::string>{"/bin/tool", "--fast"}));
  EXPECT_FALSE(started[1].second);
}

TEST(ScriptRun, ShellAppWithoutAPathStartsFromTheAutoControlFolder) {
  ScriptStation s("[SHELLAPP]tool.sh 1\n");
  std::vector<std::string> argv;
  s.application->startProgram = [&](const std::vector<std::string>& a, bool) {
    argv = a;
    return false;  // could not start: the script goes on
  };
  s.Run();
  EXPECT_EQ(argv, (std::vector<std::string>{s.folder / "AppPrograms/AutoControl/tool.sh", "1"}));
  EXPECT_EQ(s.ended, autocontrol::kStepEndScript);
}

TEST(ScriptRun, ShowModeAndDeviceKeywords) {
  ScriptStation s("[SHOWMODE3]\n[DEVICE2]\n[CMDREPLY1]PX\n");
  s.Run();
  EXPECT_EQ(s.application->Engine().State().ShowMode, 3);
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kDisplayMode), "..");
  EXPECT_TRUE(s.hid->sent.empty());  // slot 2 does not exist: nothing selected
  EXPECT_EQ(s.application->Shell().CurrentSlot, 1);
}

}  // namespace

// The application on virtual time (support/station.h): the scripts it runs, what they show
// and leave; the main window's history list, function keys, placement and help. The command
// line: how the words are read, every mistake and exit status, through the program's start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "app/command_options.h"
#include "app/program.h"
#include "autocontrol/script_file.h"
#include "platform/data_folders.h"
#include "programs/history.h"
#include "station/help.h"
#include "support/station.h"
#include "ui/contract/window.h"

namespace {

using namespace testing_support;
namespace key = ui::key;

// What a script shows and the files it leaves, for the operator's answers.
TEST(ScriptRun, WhatScriptsShowAndWrite) {
  using Files = std::vector<std::pair<std::string, std::string>>;  // path, content
  const struct {
    const char* script;
    const char* display;
    Strings answers = {};
    Files files = {};
  } cases[] = {
      {"[SHOW]hello\n[show]  world  ' a comment\n", "hello\r\nworld\r\n"},
      {"[DEBUGON]\n[SHOW]x\n[CLEAR]\n[SHOW]y\n",
       "[CLEAR] (3) Loop Start = 1\r\n[SHOW] (4) Loop Start = 1\r\ny\r\n"},
      {"[USERCHECK]\n[USERCHECK]Looks right\n[USERCHECK]x\n[SHOWFAILCT]\n[FAILCLEAR]\n"
       "[SHOWFAILCT]\n[SHOW]end\n",
       "{Check State = FAIL}  \r\n{Check State = PASS}  \r\n{ESC Pressed}  \r\nFail Count: 1\r\n"
       "end\r\n",  // a count of 0 shows nothing
       Strings{"FAIL", "pass", "ESC"}},
      {"[VARINPUT2]Enter Serial Number\n[SHOWVAR2]\n[VARINPUT3]\n[USERINPUT]Lot\n[SHOWVAR5]\n"
       "[SHOWC5]\n",
       "{Serial Number} 4711\r\n{Lot}  L7\r\n\r\n", Strings{"47,11", "x", "  L7 "}},
      {"[SHOWDATE]\n[SHOWMDY]\n", "March 5 2026\r\n03/05/2026\r\n"},
      {"[SHOW]one\n[STORERESULTS]\n[SAVERESULTS3]\n[SHOW]two\n[STORERESULTSCLR]\n"
       "[SAVERESULTS3]\n[SHOW]three\n",
       "three\r\n", Strings{},
       Files{{"AppPrograms/AutoControl/testresults3.txt", "one\r\none\r\ntwo\r\n"}}},
      {"[SHOW]x\n[STORERESULTS]\n[SAVERESULTSAUTO]My Test #1\n[SAVERESULTSAUTO]My Test #1\n"
       "[VARSET1]{Lot} 12 34\n[SAVERESULTSAUTO]Lot {V1}\n[SAVERESULTSAUTO]{V7}\"\n",
       "x\r\n", Strings{},
       Files{{kAuto + "MyTest10001.txt", "x\r\n"},
             {kAuto + "MyTest10002.txt", "x\r\n"},
             {kAuto + "Lot12340001.txt", "x\r\n"},
             {kAuto + "MyTestData0001.txt", "x\r\n"}}},
      // No failure, yet the fail table is written.
      {"[TRACKCSVRESULTS]\n[DEFINECSV]\n[VARINPUT1]Serial\n[VARSET2]{Speed} 500\n"
       "[VARSET3]{Rev}A\n[UPDATECSV]\n[SAVERESULTSAUTO]Unit\n",
       "", Strings{"1234"},
       Files{{kAuto + "Unit0001_Pass.csv",
              "Variable1,Variable2,Variable3,Pass/Fail,Fail Count\r\n1234,500,A,Pass,0\r\n"},
             {kAuto + "Unit0001_Fail.csv", ""}}},
      // A CSV title or value is quoted only when it must be, a quote doubled inside.
      {"[TRACKCSVRESULTS]\n[DEFINECSV]Len \"mm\"(V1)Rev(V2)\n[VARSET1]{L} 5\"\n[VARSET2]A 1\n"
       "[UPDATECSV]\n[SAVERESULTSAUTO]Q\n",
       "", Strings{},
       Files{{kAuto + "Q0001_Pass.csv", "\"Len \"\"mm\"\"\",Rev\r\n\"5\"\"\",A 1\r\n"}}},
      // ESC in a dialog ends the loop, [ESCSTOP] saves.
      {"[SAVERESULTSAUTOESC]Unit\n[LOOPSTART]\n[VARINPUT1]Serial\n[LOOPEND]\n[ESCSTOP]\n"
       "[SHOW]not reached\n",
       "", Strings{"1", "2", "ESC"}, Files{{kAuto + "Unit0001.txt", ""}}},
      // [LOOPONFAIL] shows the verdict, updates the tables, starts again; the
      // unit ESC interrupts runs to [LOOPEND], its row in the fail table as ESC.
      {"[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[LOOPSTART]\n[VARINPUT1]Unit\n"
       "[USERCHECK]\n[LOOPONFAIL]UPDATE\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n",
       "{Check State = FAIL}  \r\n{Check State = PASS}  \r\n{ESC Pressed}  \r\n",
       Strings{"1", "FAIL", "OK", "2", "PASS", "ESC"},  // OK: the verdict's dialog
       Files{{kAuto + "MyTestData0001_Fail.csv", "Unit,Result\r\n1,Fail\r\n,ESC\r\n"},
             {kAuto + "MyTestData0001_Pass.csv", "Unit,Result\r\n2,Pass\r\n"}}},
      // A unit judged before the ESC (or at the verdict's dialog) keeps its verdict.
      {"[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[VARINPUT1]Unit\n[USERCHECK]\n"
       "[VARINPUT2]Note\n[UPDATECSV]\n[SAVERESULTSAUTO]\n",
       "{Check State = PASS}  \r\n", Strings{"7", "PASS", "ESC"},
       Files{{kAuto + "MyTestData0001_Pass.csv", "Unit,Result\r\n7,Pass\r\n"}}},
      {"[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[LOOPSTART]\n[VARINPUT1]Unit\n"
       "[USERCHECK]\n[LOOPONFAIL]UPDATE\n[LOOPEND]\n[ESCSTOP]\n",
       "{Check State = FAIL}  \r\n{ESC Pressed}  \r\n", Strings{"8", "FAIL", "ESC"},
       Files{{kAuto + "MyTestData0001_Fail.csv", "Unit,Result\r\n8,Fail\r\n"}}},
  };
  for (const auto& c : cases) {
    Station s(c.script);
    s.answers.assign(c.answers.begin(), c.answers.end());
    s.Run();
    EXPECT_EQ(s.Display(), c.display) << c.script;
    for (const auto& [path, content] : c.files) EXPECT_EQ(s.Read(path), content) << path;
    EXPECT_EQ(s.ended, autocontrol::StepResult::EndScript) << c.script;
  }
}

TEST(ScriptRun, ExitClosesTheApplicationOnTheFirstTickAndAnEndLeavesAUsableTerminal) {
  Station exits("[EXIT]\r\n");
  EXPECT_EQ(std::pair(exits.application->Shell().AutoControlMode, exits.Background()),
            std::pair(true, 22));  // the AutoControl colours
  exits.Run();
  EXPECT_EQ(exits.ended, autocontrol::StepResult::CloseApplication);
  EXPECT_FALSE(exits.gui.FormLoaded(kMainForm));
  EXPECT_NEAR(exits.gui.Now(), 0.05, 1e-9);
  Station ends("[SHOW]x\n", 12);  // autocontrol_12.txt
  ends.Run();
  EXPECT_FALSE(ends.gui.TimerRunning(kMainForm, tmain::kScriptTimer));
  EXPECT_EQ(std::tuple(ends.application->Shell().AutoControlMode, ends.Background(),
                       ends.application->Shell().BusyBackColour),
            std::tuple(false, 36, 21));
  EXPECT_EQ(Station("' only a comment\nPX\n").application->Shell().AutoControlMode, 0);
}

TEST(ScriptRun, LoopsRepeatUntilEscAndTheScriptGoesOnBehindThem) {
  Station s("[DEBUGON]\n[LOOPSTART]\n[SHOW]a\n[LOOPSTART]\n[CMDREPLY1]PX\n[LOOPEND]\n[SHOW]done\n");
  s.EscAfter("PX", 2);
  s.Run();
  EXPECT_EQ(s.hid->sent, (Strings{"PX", "PX", "ABORT"}));
  // A second loop start keeps the first.
  for (const char* part : {"[LOOPEND] (6) Loop Start = 2\r\n[SHOW] (3) Loop Start = 2\r\na\r\n",
                           "[SHOW] (7) Loop Start = 2\r\ndone\r\n"})
    EXPECT_NE(s.Display().find(part), std::string::npos) << s.Display();
  EXPECT_EQ(s.State().EscFlag, 1);
}

TEST(ScriptRun, ProgramsRunWithTheirExpectedRepliesAndNeverWhileALineRuns) {
  Station s("[RUNPROG1]\n[RUNPROG?]my-test.1\n[RUNPROG5]\n[RUNPROG2]\n[RUNPROG3]\n[SHOWFAILCT]\n");
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "ID\r\n"));
  // A missing (5) or unreadable (2, a folder) program fails; an empty one (3) does not.
  ASSERT_TRUE(platform::CreateDirectory(s.folder / "AppPrograms/test02.prg"));
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test03.prg", ""));
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test99mytest1.prg",
                                        "LSPD=500,OK\r\nPX,100\r\n"));
  // A script tick while a line runs uses up the first: it never runs.
  int ticksDuringALine = 0;
  s.hid->answer = [&](const std::string& c) {
    if (c == "HOLD" && s.application->Engine().State().EngineRunning) {
      ++ticksDuringALine;
      s.application->OnScriptTick();
    }
    return c == "PX" ? std::string("99") : "OK";
  };
  s.Enter("HOLD");
  EXPECT_EQ(ticksDuringALine, 1);
  s.Run();
  EXPECT_EQ(s.hid->sent, (Strings{"HOLD", "LSPD=500", "PX"}));
  EXPECT_EQ(s.FailCount(), 3);
  for (const char* line : {"Load: test99mytest1.prg\r\n", "Program file not found: test05.prg\r\n",
                           "Load: test02.prg\r\nProgram file not read: "})
    EXPECT_NE(s.Display().find(line), std::string::npos) << s.Display();
  // A device that cannot open counts one failure per program line.
  Station closed("[RUNPROG1]\n[RUNPROG1]\n[CMDREPLY1]PX\n");
  ASSERT_TRUE(
      platform::WriteFileAtomic(closed.folder / "AppPrograms/test01.prg", "PX,1\r\nID\r\n"));
  closed.hid->openSucceeds = false;
  closed.Run();
  EXPECT_EQ(closed.FailCount(), 2);
  EXPECT_FALSE(closed.application->Engine().State().ExpectedValuesPresent);
}

TEST(ScriptRun, CmdReplyAndCmdVerify) {
  Station s(
      "[CMDREPLY8]PX,ID,MST\n[CMDVERIFY]LSPD,HSPD {100,200}\n[CMDVERIFY]LSPD,HSPD {100,250}\n");
  s.hid->answer = [](const std::string& c) {
    if (c == "PX") return std::string("1,000");
    return c == "LSPD" ? std::string("100") : c == "HSPD" ? std::string("250") : c + "!";
  };
  s.answers = {"RETRY", "OK"};
  s.Run();
  const auto& r = s.application->PlainCapture().ScriptReplies;
  EXPECT_EQ(r[7] + "|" + r[8], "1000|ID!");  // consecutive replies, without commas
  // The first verification differs (HSPD 250): its log shows, Try Again sends it again.
  ASSERT_EQ(s.forms, (Strings{app::kPassFailForm, app::kPassFailForm}));
  EXPECT_NE(s.shown[0].find("Verifying Device: Board A\r\n" + std::string(22, '=') +
                            "\r\nLSPD = 100\r\nHSPD = 250\r\n"),
            std::string::npos)
      << s.shown[0];
  EXPECT_EQ(s.hid->sent.size(), 3u + 4u + 2u);
  EXPECT_EQ(s.application->PlainCapture().ReplyCaptureSlot, 0);
  EXPECT_EQ(s.FailCount(), 0);
}

TEST(ScriptRun, ShellAppArgumentsReachTheProgramAsPlainText) {
  Station s(
      "[SHELLAPP]check.sh \"a b\" $(rm -rf /);`x` *\n[SHELLAPP]{a} /bin/tool --fast\n"
      "[SHELLAPP]\"\" /x\n[SHELLAPP]\"\" y\n[SHELLAPP]tool.sh 1\n");
  std::vector<std::pair<Strings, bool>> started;
  s.startProgram = [&](const Strings& argv, bool wait) {
    started.emplace_back(argv, wait);
    return started.size() < 3;  // the last could not start: the script goes on
  };
  s.Run();
  // A "/" inside an argument: the command is used as written; a program "" starts nothing.
  EXPECT_EQ(started, (std::vector<std::pair<Strings, bool>>{
                         {{"check.sh", "a b", "$(rm", "-rf", "/);`x`", "*"}, true},
                         {{"/bin/tool", "--fast"}, false},
                         {{s.folder / "AppPrograms/AutoControl/tool.sh", "1"}, true}}));
  EXPECT_EQ(s.ended, autocontrol::StepResult::EndScript);
}

TEST(ScriptRun, ShowModeAndDeviceKeywords) {
  Station s("[SHOWMODE3]\n[DEVICE2]\n[CMDREPLY1]PX\n");
  s.Run();
  EXPECT_EQ(s.application->Engine().State().ShowMode, 3);
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kDisplayMode}), "..");
  EXPECT_TRUE(s.hid->sent.empty());  // slot 2 does not exist: nothing selected
  EXPECT_EQ(s.application->Shell().CurrentSlot, 1);
}

TEST(Verdicts, PassFailMessagesAndCsvTablesPerUnit) {
  Station s(
      "[VARSET4]{Serial}Motor 3\n[PASSFAILMSG4]\n[PASSFAILMSG5]\n[UPDATECSV]\n[TRACKCSVRESULTS]\n"
      "[DEFINECSV]Serial(V1),Speed(c2)Result(PF)Fails(FC)Odd(XX)Time(MT)\n[CONST2]1,000;\n"
      "[VARSET1]{S} 7;1,2\n[USERCHECK]\n[PASSFAILMSG]\n[UPDATECSV]\n[FAILCLEAR]\n[VARSET1]8\n"
      "[UPDATECSV]\n");
  s.answers = {"OK", "OK", "FAIL", "OK"};
  std::tie(s.now.tm_hour, s.now.tm_min, s.now.tm_sec) = std::tuple(9, 4, 3);
  s.Run();
  EXPECT_EQ(s.shown, (Strings{"Pass - Serial: Motor 3", "Pass",
                              "Does Visual Inspection Pass [PASS/FAIL]", "Fail"}));
  EXPECT_EQ(s.State().CsvDefinition, "Serial(V1)|Speed(c2)|Result(PF)|Fails(FC)|Odd(XX)|Time(MT)|");
  const std::string titles = "Serial,Speed,Result,Fails,Odd,Time\r\n";
  EXPECT_EQ(s.Results().FailCsvText(), titles + "712,1000,Fail,1,09:04:03\r\n");
  EXPECT_EQ(s.Results().PassCsvText(), titles + "8,1000,Pass,0,09:04:03\r\n");
  EXPECT_EQ(s.application->Script().TimeText(1), "09:04:03");
  for (const auto& [hour, text] :
       {std::pair{0, "12:04 AM"}, {12, "12:04 PM"}, {13, "1:04 PM"}, {23, "11:04 PM"}}) {
    s.now.tm_hour = hour;
    EXPECT_EQ(s.application->Script().TimeText(2), text);
  }
}

// A run ended while the dialog "STOP" waits: the rest runs as after ESC, without device
// traffic, and saves what its ESC path saves.
TEST(ScriptRun, EndingByEscapeSavesWhatTheEscPathSaves) {
  const struct {
    const char* script;
    std::ptrdiff_t files;  // in AutoResults
    const char *file, *content;
  } cases[] = {
      {"[SAVERESULTSAUTOESC]A\n[LOOPSTART]\n[VARINPUT1]STOP\n[CMDREPLY1]PX\n[WAIT]\n[SHOW]after\n"
       "[STORERESULTS]\n[LOOPEND]\n[ESCSTOP]\n[SHOW]never\n",
       1, "A0001.txt", "after\r\n"},
      {"[SAVERESULTSAUTOESC]B\n[VARINPUT1]STOP\n[EXIT]\n[ESCSTOP]\n", 0, "", ""},
      {"[SAVERESULTSAUTOESC]C\n[VARINPUT1]STOP\n[SHOW]x\n", 0, "", ""},
      {"[SAVERESULTSAUTOESC]D\n[VARINPUT1]STOP\n[LOOPSTART]\n[SHOW]y\n[STORERESULTS]\n[LOOPEND]\n",
       1, "D0001.txt", "y\r\n"},
      {"[SAVERESULTSAUTOESC]E\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
       "[VARSET1]{S} 42\n[USERCHECK]STOP\n[UPDATECSV]\n[ESCEXIT]\n",
       3, "E0001_Fail.csv", "Serial,Result\r\n42,ESC\r\n"},  // never judged
  };
  for (const auto& c : cases) {
    Station s(c.script);
    s.answerBy = [&s](const std::string&, const std::string& shown) {
      if (shown.find("STOP") != std::string::npos) s.gui.Quit(0);
      return std::optional<std::string>("ESC");
    };
    s.Run();
    s.application->EndScriptByEscape();
    EXPECT_TRUE(s.hid->sent.empty()) << c.script;
    EXPECT_EQ(s.Display().find("never"), std::string::npos) << c.script;
    const std::filesystem::directory_iterator folder(s.folder / kAuto);
    EXPECT_EQ(std::distance(begin(folder), end(folder)), c.files) << c.script;
    EXPECT_EQ(c.files > 0 ? s.Read(kAuto + c.file) : "", c.content);
  }
}

// Hears the script's events as a front end or a record of the run would.
struct Heard : autocontrol::ScriptListener {
  Strings events;
  void OnScriptStart() override { events.push_back("start"); }
  void OnVerdict(const autocontrol::ScriptVerdict& v) override {
    events.push_back(std::string(v.keyword) +
                     (v.outcome == autocontrol::ScriptVerdict::Outcome::Passed ? " pass" : " no"));
  }
  void OnLoopRestart() override { events.push_back("loop"); }
  void OnNumberedSave(int slot, std::string_view text) override {
    events.push_back("save " + std::to_string(slot) + " " + std::string(text));
  }
  void OnAutoSave(const autocontrol::AutoSave& save) override {
    events.push_back("auto " + std::string(save.name) + " " + std::string(save.resultsText) +
                     (save.csvTables ? " tables" : ""));
  }
  void OnCsvUpdate(const autocontrol::CsvUpdate& row) override {
    std::string e = row.passed ? "pass" : "fail";
    for (const std::string& t : row.titles) e += " [" + t + "]";
    e += " =";
    for (const std::string& v : row.values) e += " [" + v + "]";
    events.push_back(e);
  }
  void OnCsvReset() override { events.push_back("reset"); }
};

// Listeners (each added once) hear verdicts and loops until removed, and saves,
// CSV rows (an unknown tag: a title, no value) and resets as plain values.
TEST(ScriptRun, EveryListenerHearsVerdictsLoopsAndWhatTheRecordsKeep) {
  Heard first, second, removed;
  Station s("[LOOPSTART]\n[USERCHECK]\n[LOOPEND]\n");
  s.answers = {"PASS", "FAIL"};  // then ESC
  for (Heard* h : {&first, &removed, &second, &first}) s.application->AddScriptListener(*h);
  s.application->RemoveScriptListener(removed);
  s.Run();
  const Strings heard{"start", "[USERCHECK] pass", "loop", "[USERCHECK] no",
                      "loop",  "[USERCHECK] no"};
  EXPECT_EQ(first.events, heard);
  EXPECT_EQ(second.events, heard);
  EXPECT_TRUE(removed.events.empty());
  Heard records;
  Station r(
      "[VARSET1]{Lot} 1;2 34\n[SHOW]x\n[STORERESULTS]\n[SAVERESULTS2]\n[UPDATECSV]\n"
      "[SAVERESULTSAUTO]A\n[TRACKCSVRESULTS]\n[DEFINECSV]Lot(V1)Odd(XX)(PF)\n[USERCHECK]\n"
      "[UPDATECSV]\n[RESETCSVRESULTS]\n[SAVERESULTSAUTO]Lot {V1}\n");
  r.application->AddScriptListener(records);
  r.answers = {"FAIL"};
  r.Run();
  EXPECT_EQ(r.ended, autocontrol::StepResult::EndScript);
  EXPECT_EQ(records.events, (Strings{"start", "save 2 x\r\n", "auto A x\r\n", "[USERCHECK] no",
                                     "fail [Lot] [Odd] [] = [12 34] [Fail]", "reset",
                                     "auto Lot1;234 x\r\n tables"}));
}

// What the list shows and the transfer to the end takes from its selected item; "!" before a
// line: its device cannot be opened; "^": program 1.
TEST(CommandEntry, TheHistoryListRecordsEveryLineRunAsOneItem) {
  const std::string sample(programs::kHistorySample), longLine(10 << 20, 'X');  // 10 MB
  const struct {
    bool record, fifo;
    Strings lines, items;
    std::string transferred;
  } cases[] = {
      {false, false, {"A"}, {sample}, sample},
      {true, false, {"A", " B ", "!C"}, {"C", "B", "A", sample}, "C"},
      {true, true, {"A", "B"}, {sample, "A", "B"}, sample},
      {true, false, {"A|B", "^"}, {"PX,ID", "A|B", sample}, "PX,ID"},
      {true, false, {longLine}, {std::string(997, 'X') + "...", sample}, longLine},
  };
  for (const auto& c : cases) {
    Station s;
    ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,5\r\nID\r\n"));
    if (c.record) s.Press(tmain::kRecordHistory);
    if (c.fifo) s.Press(tmain::kFifo);
    for (const std::string& line : c.lines) {
      s.hid->openSucceeds = line[0] != '!';
      line == "^" ? s.Press(tmain::kProgramKeyFirst) : s.Enter(line.substr(line[0] == '!'));
    }
    EXPECT_EQ(s.gui.Items({kMainForm, tmain::kHistory}), c.items) << c.lines.back();
    s.gui.SetText({kMainForm, tmain::kCommandEntry}, "");
    s.Press(tmain::kHistoryToEnd);
    EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), c.transferred);
  }
}

TEST(CommandEntry, FunctionKeysTakeTheEntryOrTheHistoryItemAndWaitWhileALineRuns) {
  Station s;
  s.Press(tmain::kRecordHistory);
  s.Enter("JX+");
  s.gui.SelectItem({kMainForm, tmain::kFunctionKeys}, 9);  // F10: the history item
  s.Press(tmain::kAttachHistory);
  s.gui.SetText({kMainForm, tmain::kCommandEntry}, " STOP ");
  s.gui.SelectItem({kMainForm, tmain::kFunctionKeys}, 2);  // F3: the entry
  s.Press(tmain::kAttachCommandLine);
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "ID") s.gui.PressKey(kMainForm, key::kF1 + 2);  // while PX runs: ignored
  };
  s.Enter("ID,PX");
  s.gui.PressKey(kMainForm, key::kF1 + 2);
  s.Press(tmain::kFunctionKeyFirst + 9);
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), "ID,PX,STOP,JX+");
  s.Press(tmain::kShowFunctionKeys);
  EXPECT_EQ(s.shown, (Strings{"Function Key Current Values: \r\nF3  STOP\r\nF10 JX+\r\n"}));
}

// A screen of 1920 x 1080 pixels with a 40-pixel panel at the top and a
// frame of 8 x 31 pixels; the main window starts at 0, 0 with 472 x 660.
TEST(Placement, ResizeAppPlacesTheMainWindowInTheWorkArea) {
  const std::string megabyte(1 << 20, ' ');
  const struct {
    double width, height;  // set by the operator before the first placement (0: not)
    Strings texts;
    bool canPlace, maximised;
    ui::PixelRect expected;
  } cases[] = {
      {0, 0, {"CENTER MAX"}, true, false, {720, 40, 472, 1009}},
      {0, 0, {" max"}, true, true, {0, 40, 1912, 1009}},
      {0, 0, {"left right"}, true, false, {0, 0, 472, 660}},
      {0, 0, {megabyte + "Right"}, true, false, {1440, 0, 472, 660}},
      {80, 50, {"LEFT", "MAX", ""}, true, false, {0, 40, 640, 800}},
      {80, 50, {"CENTER", "12, 34;", megabyte}, true, false, {636, 0, 640, 800}},
      {0, 0, {"CENTER MAX"}, false, false, {0, 0, 472, 1009}},  // Wayland: no positions
  };
  for (const auto& c : cases) {
    Station s;
    s.gui.screen.workArea = {0, 40, 1920, 1040};
    s.gui.screen.canPlaceWindows = c.canPlace;
    if (c.width > 0) s.gui.SetFormGeometry(kMainForm, {0, 0, c.width, c.height});
    for (const std::string& text : c.texts) s.application->PlaceMainWindow(text);
    EXPECT_EQ(ui::UnitsToPixels(s.gui.FormGeometry(kMainForm), 96), c.expected);
    EXPECT_EQ(s.gui.FormMaximised(kMainForm), c.maximised);
    if (!c.maximised) continue;
    // A dialog's outer frame ends a quarter unit (4 pixels) above the work area's end.
    s.gui.LoadForm(app::MessageFormSpec(96));
    const ui::UnitRect dialog = s.gui.FormGeometry(app::kMessageForm);
    EXPECT_EQ((dialog.y + dialog.height) * 16 + 31, 1080 - 4);
  }
}

// The help file (in any letter case; a folder is none), else the guides' index, else a message.
TEST(Help, TheHelpFileElseTheGuidesElseAMessage) {
  const std::pair<std::string, std::string> cases[] = {
      {"software utility - TERMINAL.chm", "desktop "},
      {"Software Utility - Terminal.chm/", "window "},  // a folder
      {"", "window message "}};
  for (const auto& [inDocs, asked] : cases) {
    Station s({}, 0, {}, [&](const testing_support::TestFolder& data) {
      if (inDocs.empty()) return;
      ASSERT_TRUE(platform::WriteFileAtomic(data / "Docs/index.md", "# help"));
      ASSERT_TRUE(inDocs.ends_with('/') ? platform::CreateDirectory(data / ("Docs/" + inDocs))
                                        : platform::WriteFileAtomic(data / ("Docs/" + inDocs), ""));
    });
    s.Press(tmain::kHelp);
    EXPECT_EQ(std::string(s.gui.openedWithDesktop.empty() ? "" : "desktop ") +
                  (s.gui.helpWindows.empty() ? "" : "window ") +
                  (s.shown.empty() ? "" : "message "),
              asked);
  }
}

using app::ParseCommandOptions;
using app::ReadScriptSwitch;

TEST(ScriptSwitch, ReadsTheLastValidNumberedSwitch) {
  const std::pair<const char*, int> cases[] = {
      {"/A0", 0},   {"/A1000", 0},  {"/Ax", 0}, {"/A5 /A7", 7}, {"x/a 3", 3},
      {"/a12", 12}, {"/A999", 999}, {"/A1", 1}, {"/A7 /A0", 7}, {"/B5", 0},
      {"", 0},      {"/A 42 ", 42}, {"A5", 0},  {"//A3/", 3},
  };
  for (auto [line, number] : cases) EXPECT_EQ(ReadScriptSwitch(line), number) << line;
}

// The table below reads every option through its outcome; what it cannot show:
TEST(CommandOptions, AValueIsNeverAScriptSwitchAndAProgramWithASlashIsAFile) {
  auto o = ParseCommandOptions({"--data-root", "/data/A5", "--program", "./7"});
  ASSERT_TRUE(o) << o.Text();
  EXPECT_EQ(std::tuple(o->dataRoot, o->programFile, o->scriptNumber),
            std::tuple("/data/A5", "./7", 0));
  EXPECT_EQ(ParseCommandOptions({"/A12"})->scriptNumber, 12);
  // The first mistake is the one named; --help or --version is what was
  // asked for, whatever else the words hold.
  const auto twice = ParseCommandOptions({"--exec", "a", "--exec", "b", "--bogus"});
  EXPECT_EQ(std::pair(twice.Kind(), twice.Text()),
            std::pair(platform::ResultKind::CallerMistake, std::string("--exec is given twice")));
  for (const char* asked : {"--help", "--version"}) {
    const auto given = ParseCommandOptions({"--bogus", asked, "--device"});
    ASSERT_TRUE(given) << asked;
    EXPECT_EQ(std::pair(given->help, given->version),
              std::pair(std::string(asked) == "--help", std::string(asked) == "--version"));
  }
}

enum class Link { Answers, None, Refuses, Silent, StopAtStart, BlankName, Plot, PlotFolderGoes };

// A link whose discovery is where SIGTERM finds the program starting.
struct StoppedWhileStarting : FakeTransport {
  std::vector<std::string> ListEntries() override {
    ::raise(SIGTERM);
    return entries;
  }
};

struct Row {
  std::vector<std::string> arguments;
  Link link;
  int status;
  std::string word;  // in the messages or the output
};

// The program's start-up with one fake link of two devices.
int RunRow(const Row& row, std::string& said) {
  std::istringstream in;
  std::ostringstream out, err;
  app::ProgramIo io{in, out, err};
  auto link = row.link == Link::StopAtStart ? std::make_shared<StoppedWhileStarting>()
                                            : std::make_shared<FakeTransport>();
  if (row.link != Link::None) link->entries = {"Axis A", "Axis B"};
  if (row.link == Link::BlankName) link->entries = {"   "};  // as a board's library may name it
  link->openSucceeds = row.link != Link::Refuses;
  link->openError = "held by another program";
  if (row.link == Link::Silent) {
    link->status = devices::LinkStatus::TimedOut;
    link->answer = [](const std::string&) { return std::string("(SERIAL Timeout)"); };
  }
  int polls = 0;  // PX counts up by 100; PS is 7 until the second PX, then NAN
  if (row.link == Link::Plot)
    link->answer = [&polls](const std::string& c) {
      if (c == "PX") return std::to_string(100 * ++polls);
      return std::string(c == "PS" ? (polls < 2 ? "7" : "NAN") : "OK");
    };
  if (row.link == Link::PlotFolderGoes)  // after the check at the start, before the plot's write
    link->afterSend = [&row](auto&) {
      std::filesystem::remove_all(std::filesystem::path(row.arguments.back()).parent_path());
    };
  const int status =
      app::RunProgram(row.arguments, io, [&link](devices::DeviceRegistry& r, const auto&) {
        r.SetTransport(devices::LinkKind::Hid, link);
      });
  said = out.str() + err.str();
  return status;
}

TEST(CommandLine, EveryMistakeAndEveryStatusInItsOrder) {
  TestFolder f;
  platform::DataFolders(f.Path()).EnsureDataFolders();
  const std::string root = f.Path(), prg = f / "AppPrograms/test01.prg", mb(1 << 20, '9');
  ASSERT_TRUE(platform::WriteFileAtomic(prg, "LSPD=500, OK\r\nLSPD, 400\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "AppPrograms/test10.prg", "ID, OK\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "blank.prg", "  \r\n\r\n"));
  ASSERT_TRUE(platform::CreateDirectory(f / "goes"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "nul.txt", std::string("SN-1\n\0\n", 7)));
  for (const auto& [name, size] : {std::pair{"big.prg", 10 << 20}, {"big.txt", 100 << 20}})
    ASSERT_TRUE(platform::WriteFileAtomic(f / name, "") && !::truncate((f / name).c_str(), size));
  const std::string report = f / "r.xml", lost = f / std::string(300, 'r');
  auto in = [&root](std::vector<std::string> a) {
    a.insert(a.begin(), {"--data-root", root});
    return a;
  };
  const Row rows[] = {
      {{"--help", "--bogus"}, Link::Answers, 0, "--program N|FILE"},
      {{"--version"}, Link::Answers, 0, "2.49"},
      {{"--bogus"}, Link::Answers, 2, "unknown option"},
      {{"--exec"}, Link::Answers, 2, "needs a value"},
      {{"--answers", ""}, Link::Answers, 2, "empty"},
      {{"--device", "0", "--device", "0"}, Link::Answers, 2, "twice"},
      {{"--device", "-1"}, Link::Answers, 2, "list position"},
      {{"--device", mb}, Link::Answers, 2, "(1048576 bytes)"},
      {{"--program", "11"}, Link::Answers, 2, "1 to 10"},
      {{"--program", "0"}, Link::Answers, 2, "1 to 10"},
      {in({"--exec", "PX", "--program", "1"}), Link::Answers, 2, "together"},
      {in({"/A2", "--program", "1"}), Link::Answers, 2, "together"},
      {in({"--list-devices", "--exec", "PX"}), Link::Answers, 2, "alone"},
      {in({"--report", report}), Link::Answers, 2, "headless"},
      {{"--data-root", f / "missing", "--exec", "PX"}, Link::Answers, 2, "No such file"},
      {{"--data-root", prg, "--exec", "PX"}, Link::Answers, 2, "not a folder"},
      {{"--data-root", mb, "--exec", "PX"}, Link::Answers, 2, "data root"},
      {in({"--headless", "--answers", root}), Link::Answers, 2, "folder"},
      {in({"--headless", "--answers", f / "big.txt"}), Link::Answers, 2, "too large"},
      {in({"--headless", "--answers", f / "nul.txt"}), Link::Answers, 2, "NUL"},
      {in({"--headless", "--report", report}), Link::Answers, 2, "verdicts"},
      {in({"--program", "5"}), Link::Answers, 2, "test05.prg"},
      {in({"--program", f / "big.prg"}), Link::Answers, 2, "too large"},
      {in({"--program", f / "blank.prg"}), Link::Answers, 2, "no command"},
      {in({"--exec", "PX", "--device", "2"}), Link::Answers, 3, "2 entries"},
      {in({"--headless", "--device", "2"}), Link::Answers, 3, "not in the device list"},
      {in({"--exec", "PX"}), Link::None, 3, "empty"},
      {in({"--exec", "PX"}), Link::BlankName, 3, "the selected device's name is blank: the line"},
      {in({"--exec", "PX", "--report", lost}), Link::Refuses, 3, "A\r\nheld by another"},
      {in({"--exec", "PX", "--report", f / "no/r.xml"}), Link::Answers, 4, "cannot be written"},
      {in({"--program", "1", "--report", lost}), Link::Answers, 4, "not written"},
      {in({"--records", report, "--no-records"}), Link::Answers, 2, "exclude each other"},
      {in({"--records-central", "host=db", "--no-records"}), Link::Answers, 2, "exclude each"},
      // A central database that cannot be had: the run goes on, its records wait.
      {in({"--exec", "PX", "--records-central", "dbname=r host=" + f / "no-server"}), Link::Answers,
       0, "wait for the central database"},
      {in({"--exec", "PX", "--records-central", "not a string"}), Link::Answers, 0,
       "exchanges wait in the station's records; they go at the next start"},
      {in({"--exec", "PX", "--records", root}), Link::Answers, 4, "records are not being kept"},
      {in({"--exec", "PX", "--records", f / "no/r.db"}), Link::Answers, 4, "not being kept"},
      {in({"--program", "1"}), Link::Silent, 5, "(SERIAL Timeout)"},
      {in({"--program", "1"}), Link::Answers, 1, "!! Expected: 400"},
      {in({"--program", "10"}), Link::Answers, 0, "ID"},
      {in({"--program", prg, "--device", "1", "--report", report}), Link::Answers, 1, "Run:"},
      {in({"--exec", std::string(1 << 20, 'X'), "--headless", "--headless"}), Link::Answers, 0,
       "Reply: OK"},
      {in({"--list-devices"}), Link::Answers, 0, "Axis B"},
      {in({"--plot", f / "p.csv"}), Link::Plot, 2, "--plot needs a headless run"},
      {in({"--exec", "PX", "--plot", f / "p.txt"}), Link::Plot, 2, "ends in .png or .csv"},
      {in({"--exec", "PX", "--plot", f / "no/p.csv"}), Link::Plot, 4, "cannot be written"},
      {in({"--exec", "PX", "--plot", f / "goes/p.csv"}), Link::PlotFolderGoes, 4, "plot was not"},
      {in({"--exec", "PX,PS,ID,PX,PS", "--plot", f / "p.csv"}), Link::Plot, 0,
       "plot: 1 replies were NaN"},
      // Drawn off screen; a build without the window says so before the run.
      {in({"--exec", "PX,PX", "--plot", f / "p.png"}), Link::Plot, ui::DrawsPlotPictures() ? 0 : 2,
       ui::DrawsPlotPictures() ? "" : "a .csv file works"},
      // The line never runs; ESC at the start sends "ABORT".
      {in({"--exec", "PX"}), Link::StopAtStart, 143, " >> ABORT\r\n      Reply: OK"},
  };
  for (const Row& row : rows) {
    std::string said;
    const std::string shown = row.arguments.back().substr(0, 40);
    EXPECT_EQ(RunRow(row, said), row.status) << shown << "\n" << said.substr(0, 400);
    EXPECT_NE(said.find(row.word), std::string::npos) << shown << "\n" << said.substr(0, 400);
  }
  EXPECT_FALSE(platform::FileExists(f / "no/r.xml"));
  const std::string xml = Read(report);  // the last one, of the program file
  EXPECT_NE(xml.find("<failure message=\"LSPD: expected 400, got OK\""), std::string::npos) << xml;
  // --plot: one row a sample, timed from the first; the reply "NAN" is none.
  const std::string csv = Read(f / "p.csv");
  const std::regex plot(
      "command,time_s,value\r\nPX,0,100\r\nPX,[0-9.e-]+,200\r\nPS,[0-9.e-]+,7\r\n");
  EXPECT_TRUE(std::regex_match(csv, plot)) << csv;
  EXPECT_FALSE(platform::FileExists(f / "no/p.csv"));
  if (ui::DrawsPlotPictures()) {
    const std::string png = Read(f / "p.png");
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_GT(png.size(), 5000u);  // axes, labels and a curve, not an empty frame
  }
}

}  // namespace

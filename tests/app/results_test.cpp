// Verdicts, result files and CSV tables written by scripts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/script_station.h"

namespace {

using testing_support::ScriptStation;

const char* kAuto = "AppPrograms/AutoControl/AutoResults/";

TEST(ResultFiles, ASlotFileHoldsTheResultsOfTheLastSave) {
  ScriptStation s(
      "[SHOW]one\n[STORERESULTS]\n[SAVERESULTS3]\n[SHOW]two\n[STORERESULTSCLR]\n"
      "[SAVERESULTS3]\n[SHOW]three\n");
  s.Run();
  EXPECT_EQ(s.Read("AppPrograms/AutoControl/testresults3.txt"),
            "one\r\none\r\ntwo\r\n");  // the display was stored twice before it was cleared
  EXPECT_EQ(s.Display(), "three\r\n");
}

TEST(ResultFiles, AutomaticNamesDropTheSetAndTakeTheNextFreeNumber) {
  ScriptStation s(
      "[SHOW]x\n[STORERESULTS]\n[SAVERESULTSAUTO]My Test #1\n[SAVERESULTSAUTO]My Test #1\n"
      "[VARSET1]{Lot} 12 34\n[SAVERESULTSAUTO]Lot {V1}\n[SAVERESULTSAUTO]{V7}\"\n");
  s.Run();
  EXPECT_EQ(s.Read(std::string(kAuto) + "MyTest10001.txt"), "x\r\n");
  EXPECT_TRUE(s.Exists(std::string(kAuto) + "MyTest10002.txt"));
  EXPECT_TRUE(s.Exists(std::string(kAuto) + "Lot12340001.txt"));
  EXPECT_TRUE(s.Exists(std::string(kAuto) + "MyTestData0001.txt"));     // nothing left of the name
  EXPECT_FALSE(s.Exists(std::string(kAuto) + "MyTest10001_Pass.csv"));  // no CSV tracking
}

TEST(ResultFiles, AnExistingAutomaticFileIsNeverOverwritten) {
  ScriptStation s("[SAVERESULTSAUTO]Unit\n");
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / (std::string(kAuto) + "Unit0001.txt"), "old"));
  s.Run();
  EXPECT_EQ(s.Read(std::string(kAuto) + "Unit0001.txt"), "old");
  EXPECT_TRUE(s.Exists(std::string(kAuto) + "Unit0002.txt"));
}

TEST(ResultFiles, AFileThatCannotBeWrittenIsReportedAndTheScriptGoesOn) {
  ScriptStation s(
      "[SHOW]x\n[STORERESULTS]\n[SAVERESULTS2]\n[SAVERESULTSAUTO]Unit\n[SHOW]still running\n");
  // A folder where the slot file should be, and no result folder at all.
  ASSERT_TRUE(platform::CreateDirectory(s.folder / "AppPrograms/AutoControl/testresults2.txt"));
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/AutoControl/testresults2.txt/keep",
                                        "keep"));
  ASSERT_EQ(::rmdir((s.folder / "AppPrograms/AutoControl/AutoResults").c_str()), 0);
  s.Run();
  const std::string d = s.Display();
  EXPECT_NE(
      d.find("Result file not written: " + (s.folder / "AppPrograms/AutoControl/testresults2.txt")),
      std::string::npos)
      << d;
  EXPECT_NE(d.find("Result file not written: " +
                   (s.folder / "AppPrograms/AutoControl/AutoResults/Unit0001.txt")),
            std::string::npos)
      << d;
  EXPECT_NE(d.find("still running"), std::string::npos);
  EXPECT_EQ(s.Read("AppPrograms/AutoControl/testresults2.txt/keep"), "keep");
}

TEST(Verdicts, FailCountKeywords) {
  ScriptStation s(
      "[SHOWFAILCT]\n[USERCHECK]\n[SHOWFAILCT]\n[FAILCLEAR]\n[SHOWFAILCT]\n[SHOW]end\n");
  s.answers = {"FAIL"};
  s.Run();
  EXPECT_EQ(s.Display(), "{Check State = FAIL}  \r\nFail Count: 1\r\nend\r\n");
}

TEST(Verdicts, PassFailMessageShowsTheVariableOrNothing) {
  ScriptStation s(
      "[VARSET4]{Serial}Motor 3\n[PASSFAILMSG4]\n[PASSFAILMSG5]\n[USERCHECK]\n[PASSFAILMSG]\n");
  s.answers = {"OK", "OK", "FAIL", "OK"};
  s.Run();
  ASSERT_EQ(s.shown.size(), 4u);
  EXPECT_EQ(s.shown[0], "Pass - Serial: Motor 3");
  EXPECT_EQ(s.shown[1], "Pass");
  EXPECT_EQ(s.shown[3], "Fail");
}

TEST(Csv, TheDefaultDefinitionWithLabelledVariables) {
  ScriptStation s(
      "[TRACKCSVRESULTS]\n[DEFINECSV]\n[VARINPUT1]Serial\n[VARSET2]{Speed} 500\n"
      "[VARSET3]{Rev}A\n[UPDATECSV]\n[SAVERESULTSAUTO]Unit\n");
  s.answers = {"1234"};
  s.Run();
  EXPECT_EQ(s.State().PassCsvText,
            "Variable1,Variable2,Variable3,Pass/Fail,Fail Count\r\n1234,500,A,Pass,0\r\n");
  EXPECT_EQ(s.Read(std::string(kAuto) + "Unit0001_Pass.csv"), s.State().PassCsvText);
  // No failure, yet the fail table is written too, empty.
  EXPECT_EQ(s.Read(std::string(kAuto) + "Unit0001_Fail.csv"), "");
}

TEST(Csv, AFailingAndAPassingUnitGoToTheirOwnTables) {
  ScriptStation s(
      "[UPDATECSV]\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1),Speed(c2)Result(PF)Fails(FC)"
      "Odd(XX)Time(MT)\n[CONST2]1,000;\n[VARSET1]{S} 7;1,2\n[USERCHECK]\n[UPDATECSV]\n"
      "[FAILCLEAR]\n[VARSET1]8\n[UPDATECSV]\n");
  s.answers = {"FAIL"};
  s.now.tm_hour = 9;
  s.now.tm_min = 4;
  s.now.tm_sec = 3;
  s.Run();
  EXPECT_EQ(s.State().CsvDefinition, "Serial(V1)|Speed(c2)|Result(PF)|Fails(FC)|Odd(XX)|Time(MT)|");
  EXPECT_EQ(s.State().FailCsvText,
            "Serial,Speed,Result,Fails,Odd,Time\r\n712,1000,Fail,1,09:04:03\r\n");
  EXPECT_EQ(s.State().PassCsvText,
            "Serial,Speed,Result,Fails,Odd,Time\r\n8,1000,Pass,0,09:04:03\r\n");
}

TEST(Csv, LoopOnFailShowsTheVerdictUpdatesAndStartsTheUnitAgain) {
  ScriptStation s(
      "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[LOOPSTART]\n[VARINPUT1]Unit\n"
      "[USERCHECK]\n[LOOPONFAIL]UPDATE\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  s.answers = {"1", "FAIL", "OK", "2", "PASS", "ESC"};
  s.Run();
  EXPECT_EQ(s.State().FailCsvText, "Unit,Result\r\n1,Fail\r\n");
  // The unit interrupted by ESC still runs to [LOOPEND], with an empty serial.
  EXPECT_EQ(s.State().PassCsvText, "Unit,Result\r\n2,Pass\r\n,Pass\r\n");
  EXPECT_EQ(s.forms[2], app::kPassFailForm);
  EXPECT_EQ(s.shown[2], "Fail");
  EXPECT_EQ(s.ended, autocontrol::kStepEndScript);
  EXPECT_TRUE(s.Exists(std::string(kAuto) + "MyTestData0001_Fail.csv"));
}

TEST(TimeStamps, TwelveHourClockAndBothDateForms) {
  ScriptStation s("[SHOWDATE]\n[SHOWMDY]\n");
  struct Case {
    int hour, minute;
    const char* text;
  } cases[] = {{0, 7, "12:07 AM"},
               {12, 30, "12:30 PM"},
               {13, 5, "1:05 PM"},
               {9, 15, "9:15 AM"},
               {23, 59, "11:59 PM"}};
  for (const Case& c : cases) {
    s.now.tm_hour = c.hour;
    s.now.tm_min = c.minute;
    EXPECT_EQ(s.application->Script().TimeText(2), c.text);
  }
  s.now.tm_hour = 7;
  s.now.tm_min = 8;
  s.now.tm_sec = 9;
  EXPECT_EQ(s.application->Script().TimeText(1), "07:08:09");
  s.Run();
  EXPECT_EQ(s.Display(), "March 5 2026\r\n03/05/2026\r\n");
}

}  // namespace

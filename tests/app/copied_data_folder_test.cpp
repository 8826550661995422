// A data folder copied from a Windows installation, whose names differ in
// letter case from the program's own spelling: the real program finds the
// script and writes every record into the folders that are there.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

using testing_support::RunProcess;
using testing_support::TestFolder;

const char* kStationScript =
    "[VARINPUT1]Enter Serial Number\n"
    "[TRACKCSVRESULTS]\n"
    "[DEFINECSV]Serial(V1)Speed(R2)Result(PF)\n"
    "[CMDREPLY1]LSPD=500,LSPD\n"
    "[STORERESULTS]\n"
    "[SAVERESULTS1]\n"
    "[UPDATECSV]\n"
    "[SAVERESULTSAUTO]Lot {V1}\n";

TEST(CopiedDataFolder, ResultsAndCsvRowsLandInTheFoldersOfAnotherLetterCase) {
  TestFolder root;
  ASSERT_TRUE(platform::CreateDirectory(root / "appprograms"));
  ASSERT_TRUE(platform::CreateDirectory(root / "appprograms/autocontrol"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "appprograms/autocontrol/AUTOCONTROL_4.TXT",
                                        kStationScript));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "answers.txt", "SN-7\n"));
  auto run =
      RunProcess(testing_support::Terminal(root.Path(), {"/A4", "--answers", root / "answers.txt"}),
                 "", {"HALVORN_SIM_HID_BOARDS=1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.find("not written"), std::string::npos) << run.out;

  const std::string folder = root / "appprograms/autocontrol/";
  const std::string numbered = testing_support::Read(folder + "testresults1.txt");
  EXPECT_NE(numbered.find(" >> LSPD\r\n      Reply: 500 ("), std::string::npos) << numbered;
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001.txt"), numbered);
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001_Pass.csv"),
            "Serial,Speed,Result\r\nSN-7,500,Pass\r\n");
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001_Fail.csv"), "");
  // The tree was completed inside the copy, not built again beside it.
  EXPECT_FALSE(platform::DirectoryExists(root / "AppPrograms"));
}

}  // namespace

#include "platform/data_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using testing_support::TestFolder;

TEST(DataFolders, EnsureCreatesTheWholeTreeAndKeepsWhatExists) {
  TestFolder dir;
  platform::DataFolders folders(dir.Path());
  folders.EnsureDataFolders();
  for (const char* folder : platform::kDataFolders) {
    EXPECT_TRUE(platform::DirectoryExists(dir / folder)) << folder;
  }
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "AppConfig/COMM_Ports.cfg", "x"));
  folders.EnsureDataFolders();
  std::string kept;
  ASSERT_TRUE(platform::ReadFile(dir / "AppConfig/COMM_Ports.cfg", kept));
  EXPECT_EQ(kept, "x");
}

// A tree copied from Windows in other letter case: what exists is found in
// its own spelling, what is missing is created (or named) inside it.
TEST(DataFolders, ATreeInOtherLetterCaseIsFoundAndCompleted) {
  TestFolder dir;
  ASSERT_TRUE(platform::CreateDirectory(dir / "appprograms"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "appprograms/autocontrol"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "APPCONFIG"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "AppConfig"));  // an exact match wins
  ASSERT_TRUE(platform::CreateDirectory(dir / "docs"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "DOCS"));  // of two others, the first in byte order
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "appprograms/autocontrol/AUTOCONTROL_3.TXT", ""));
  platform::DataFolders folders(dir.Path());
  folders.EnsureDataFolders();
  const std::pair<const char*, const char*> paths[] = {
      {"AppPrograms\\AutoControl\\autocontrol_3.txt", "appprograms/autocontrol/AUTOCONTROL_3.TXT"},
      {"AppPrograms\\AutoControl\\AutoResults\\Lot0001.txt",
       "appprograms/autocontrol/AutoResults/Lot0001.txt"},
      {"AppPrograms/AUTOCONTROL/testresults1.txt", "appprograms/autocontrol/testresults1.txt"},
      {"AppConfig\\COMM_Ports.cfg", "AppConfig/COMM_Ports.cfg"},
      {"Docs", "DOCS"},
      {"New\\AutoControl", "New/AutoControl"},
      {"", ""},
  };
  for (auto [relative, found] : paths) EXPECT_EQ(folders.DataPath(relative), dir / found);
  EXPECT_TRUE(platform::DirectoryExists(dir / "appprograms/autocontrol/AutoResults"));
  EXPECT_FALSE(platform::DirectoryExists(dir / "AppPrograms"));
}

}  // namespace

#include "platform/data_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using testing_support::TestFolder;

// A tree copied from Windows in other letter case: what exists is found in
// its own spelling (the copied-folder test of the program covers a whole
// station tree), what is missing is created or named inside it, and what
// the tree holds is kept.
TEST(DataFolders, ATreeInOtherLetterCaseIsFoundAndCompleted) {
  TestFolder dir;
  ASSERT_TRUE(platform::CreateDirectory(dir / "APPCONFIG"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "AppConfig"));  // an exact match wins
  ASSERT_TRUE(platform::CreateDirectory(dir / "docs"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "DOCS"));  // of two others, the first in byte order
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "AppConfig/COMM_Ports.cfg", "x"));
  platform::DataFolders folders(dir.Path());
  folders.EnsureDataFolders();
  for (const char* folder : platform::kDataFolders)
    EXPECT_TRUE(platform::DirectoryExists(folders.DataPath(folder))) << folder;
  const std::pair<const char*, const char*> paths[] = {
      {"AppConfig\\COMM_Ports.cfg", "AppConfig/COMM_Ports.cfg"},
      {"Docs", "DOCS"},
      {"New\\AutoControl", "New/AutoControl"},
      {"", ""},
  };
  for (auto [relative, found] : paths) EXPECT_EQ(folders.DataPath(relative), dir / found);
  std::string kept;
  ASSERT_TRUE(platform::ReadFile(dir / "AppConfig/COMM_Ports.cfg", kept));
  EXPECT_EQ(kept, "x");
}

}  // namespace

#include "app/data_folders.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using testing_support::TestFolder;

TEST(DataFolders, RootAlwaysEndsWithTheSeparator) {
  EXPECT_EQ(app::DataFolders("/data").GetDataRoot(), "/data/");
  EXPECT_EQ(app::DataFolders("/data/").GetDataRoot(), "/data/");
  EXPECT_EQ(app::DataFolders("/data").DataPath("AppConfig\\COMM_Ports.cfg"),
            "/data/AppConfig/COMM_Ports.cfg");
  // Without a root the executable's folder is used.
  EXPECT_EQ(app::DataFolders().GetDataRoot(), platform::ExecutableFolder() + "/");
}

TEST(DataFolders, EnsureCreatesTheWholeTreeAndKeepsWhatExists) {
  TestFolder dir;
  app::DataFolders folders(dir.Path());
  folders.EnsureDataFolders();
  for (const char* folder : app::kDataFolders) {
    EXPECT_TRUE(platform::DirectoryExists(folders.DataPath(folder))) << folder;
  }
  ASSERT_TRUE(platform::WriteFileAtomic(folders.DataPath("AppConfig\\COMM_Ports.cfg"), "x"));
  folders.EnsureDataFolders();
  std::string kept;
  ASSERT_TRUE(platform::ReadFile(folders.DataPath("AppConfig\\COMM_Ports.cfg"), kept));
  EXPECT_EQ(kept, "x");
}

TEST(DataFolders, AFolderCopiedInOtherLetterCaseIsNotCreatedTwice) {
  TestFolder dir;
  ASSERT_TRUE(platform::CreateDirectory(dir / "appconfig"));
  app::DataFolders(dir.Path()).EnsureDataFolders();
  EXPECT_FALSE(platform::DirectoryExists(dir / "AppConfig"));
  EXPECT_TRUE(platform::DirectoryExists(dir / "appconfig"));
}

TEST(DataFolders, AnUnwritableRootIsNotAnError) {
  app::DataFolders folders("/proc/halvorn-cannot-exist");
  folders.EnsureDataFolders();  // must simply return
  EXPECT_FALSE(platform::DirectoryExists(folders.DataPath("AppConfig")));
}

}  // namespace

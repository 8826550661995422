#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/test_folder.h"

namespace {

struct TempFolder {
  testing_support::TestFolder folder;
  const std::string& path = folder.Path();
};

TEST(Files, AtomicWriteReplacesTheOldFileWhole) {
  TempFolder dir;
  std::string file = dir.path + "/out.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(file, "first"));
  ASSERT_TRUE(platform::WriteFileAtomic(file, std::string("a\0b\r\n", 5)));
  std::string back;
  ASSERT_TRUE(platform::ReadFile(file, back));
  EXPECT_EQ(back, std::string("a\0b\r\n", 5));
}

TEST(Files, FailedAtomicWriteKeepsWhatWasThereAndLeavesNoTemporaryFile) {
  TempFolder dir;
  // A folder in the way of the new file: the final rename must fail.
  std::string target = dir.path + "/out.txt";
  ASSERT_TRUE(platform::CreateDirectory(target));
  ASSERT_TRUE(platform::WriteFileAtomic(target + "/inside", "keep me"));
  std::string error;
  EXPECT_FALSE(platform::WriteFileAtomic(target, "lost", &error));
  EXPECT_NE(error.find(target), std::string::npos);
  std::string back;
  ASSERT_TRUE(platform::ReadFile(target + "/inside", back));
  EXPECT_EQ(back, "keep me");
  std::size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);  // only the folder: the temporary file was removed
}

TEST(Files, AtomicWriteIntoMissingFolderFailsWithReason) {
  std::string error;
  EXPECT_FALSE(platform::WriteFileAtomic("/nonexistent-halvorn/x.txt", "x", &error));
  EXPECT_FALSE(error.empty());
}

TEST(Files, ExclusiveCreateNeverOverwrites) {
  TempFolder dir;
  std::string file = dir.path + "/r0001.txt";
  ASSERT_TRUE(platform::WriteFileExclusive(file, "one"));
  EXPECT_FALSE(platform::WriteFileExclusive(file, "two"));
  std::string back;
  ASSERT_TRUE(platform::ReadFile(file, back));
  EXPECT_EQ(back, "one");
}

TEST(Files, FindPathIgnoresLetterCaseOfEveryName) {
  TempFolder dir;
  ASSERT_TRUE(platform::CreateDirectory(dir.path + "/AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir.path + "/AppConfig/comm_ports.CFG", "x"));
  EXPECT_EQ(platform::FindPath(dir.path + "/appconfig/COMM_Ports.cfg"),
            dir.path + "/AppConfig/comm_ports.CFG");
  // Nothing matching: the path comes back as given.
  EXPECT_EQ(platform::FindPath(dir.path + "/AppConfig/none.cfg"), dir.path + "/AppConfig/none.cfg");
}

TEST(Files, JoinPathTurnsBackslashesIntoTheSeparator) {
  EXPECT_EQ(platform::JoinPath("/data/", "AppConfig\\COMM_Ports.cfg"),
            "/data/AppConfig/COMM_Ports.cfg");
  EXPECT_EQ(platform::JoinPath("/data", "lang.ini"), "/data/lang.ini");
}

}  // namespace

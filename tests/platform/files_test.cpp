#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/test_folder.h"

namespace {

using platform::ResultKind;
using testing_support::TestFolder;

std::string Read(const std::string& path) {
  std::string back;
  EXPECT_TRUE(platform::ReadFile(path, back)) << path;
  return back;
}

std::size_t Entries(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) n += !e.path().empty();
  return n;
}

TEST(Files, WritesReplaceOrCreateWholeFilesAndNeverLeaveTemporaries) {
  TestFolder dir;
  const std::string file = dir / "out.txt", bytes("a\0b\r\n", 5);
  ASSERT_TRUE(platform::WriteFileAtomic(file, "first"));
  ASSERT_TRUE(platform::WriteFileAtomic(file, bytes));
  EXPECT_EQ(Read(file), bytes);
  ASSERT_TRUE(platform::WriteFileExclusive(dir / "r0001.txt", "one"));
  const platform::Result taken = platform::WriteFileExclusive(dir / "r0001.txt", "two");
  EXPECT_EQ(taken.Kind(), ResultKind::CallerMistake);
  EXPECT_EQ(Read(dir / "r0001.txt"), "one");
  EXPECT_EQ(Entries(dir.Path()), 2u);
}

TEST(Files, AFailedWriteKeepsWhatWasThereAndNamesTheReason) {
  TestFolder dir;
  // A folder in the way of the new file: the final rename must fail.
  const std::string target = dir / "out.txt";
  ASSERT_TRUE(platform::CreateDirectory(target));
  ASSERT_TRUE(platform::WriteFileAtomic(target + "/inside", "keep me"));
  for (const platform::Result& failed :
       {platform::WriteFileAtomic(target, "lost"), platform::WriteFileExclusive(target, "lost")}) {
    EXPECT_NE(failed.Kind(), ResultKind::Success);
    EXPECT_NE(failed.Text().find(target), std::string::npos) << failed.Text();
  }
  EXPECT_EQ(Read(target + "/inside"), "keep me");
  EXPECT_EQ(Entries(dir.Path()), 1u);  // only the folder: the temporary files are gone
  const platform::Result missing = platform::WriteFileAtomic(dir / "none/x.txt", "x");
  EXPECT_EQ(missing.Kind(), ResultKind::SystemFailure);
  EXPECT_NE(missing.Text().find("No such file or directory"), std::string::npos) << missing.Text();
}

// A pipe without a writer would block an ordinary open for ever.
TEST(Files, OnlyRegularFilesAreReadAndNothingBlocks) {
  TestFolder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string out = "stale";
  for (const std::string& path : {dir.Path(), dir / "fifo", std::string("/dev/null")}) {
    EXPECT_EQ(platform::ReadFile(path, out).Kind(), ResultKind::CallerMistake) << path;
    EXPECT_EQ(out, "");
  }
  EXPECT_EQ(platform::ReadFile(dir / "none", out).Kind(), ResultKind::SystemFailure);
  EXPECT_EQ(platform::RemoveFile(dir / "none").Kind(), ResultKind::SystemFailure);
}

}  // namespace

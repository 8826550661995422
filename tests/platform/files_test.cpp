#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A pipe without a writer would block an ordinary open for ever; a huge
// (here sparse) file is refused by its size before a byte is read.
TEST(Files, OnlyRegularFilesWithinTheLimitAreReadAndNothingBlocks) {
  TestFolder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "huge", ""));
  ASSERT_EQ(::truncate((dir / "huge").c_str(), 1 << 30), 0);
  std::string out = "stale";
  for (const std::string& path :
       {dir.Path(), dir / "fifo", std::string("/dev/null"), dir / "huge"}) {
    EXPECT_EQ(platform::ReadFile(path, out).Kind(), ResultKind::CallerMistake) << path;
    EXPECT_EQ(out, "");
  }
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "five", "12345"));
  EXPECT_TRUE(platform::ReadFile(dir / "five", out, 5));
  EXPECT_NE(platform::ReadFile(dir / "five", out, 4).Text().find("too large"), std::string::npos);
  EXPECT_EQ(platform::ReadFile(dir / "none", out).Kind(), ResultKind::SystemFailure);
  EXPECT_EQ(platform::RemoveFile(dir / "none").Kind(), ResultKind::SystemFailure);
}

// Whatever holds a new file's name (a file, a folder, a link to a file
// outside, a link leading nowhere) keeps it, and nothing is written through
// a link; a replaced file keeps its permissions, a replaced link is gone.
TEST(Files, NamesAreNeverWrittenThroughAndReplacedFilesKeepTheirMode) {
  TestFolder dir, outside;
  ASSERT_TRUE(platform::WriteFileAtomic(outside / "victim", "keep"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "file", "old"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "folder"));
  ASSERT_EQ(::symlink((outside / "victim").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink((outside / "none").c_str(), (dir / "dangling").c_str()), 0);
  for (const char* name : {"file", "folder", "link", "dangling"}) {
    EXPECT_TRUE(platform::NameTaken(dir / name)) << name;
    EXPECT_EQ(platform::WriteFileExclusive(dir / name, "new").Kind(), ResultKind::CallerMistake)
        << name;
  }
  EXPECT_FALSE(platform::NameTaken(outside / "none"));
  ASSERT_EQ(::chmod((dir / "file").c_str(), 0640), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "file", "new"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "link", "new"));
  struct stat st;
  ASSERT_EQ(::lstat((dir / "file").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(Read(outside / "victim"), "keep");
  EXPECT_EQ(Read(dir / "link"), "new");
}

// A temporary file nobody holds was left by a killed run; one a writer
// still holds (it is locked until named) is not touched.
TEST(Files, StaleTemporaryFilesGoAndHeldOnesStay) {
  TestFolder dir;
  for (const char* name : {".halvorn-abc123.tmp", ".halvorn-held00.tmp", ".halvorn-abc.tmp"})
    ASSERT_TRUE(platform::WriteFileAtomic(dir / name, "x"));
  const int held = ::open((dir / ".halvorn-held00.tmp").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.Path()), 1);
  EXPECT_FALSE(platform::NameTaken(dir / ".halvorn-abc123.tmp"));
  EXPECT_EQ(Entries(dir.Path()), 2u);
  ::close(held);
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.Path()), 1);
}

}  // namespace

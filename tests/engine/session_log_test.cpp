#include "engine/session_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>

#include "platform/files.h"
#include "support/test_folder.h"

namespace engine {
namespace {

using FileList = std::vector<std::pair<std::string, std::string>>;

struct Fixture {
  testing_support::TestFolder root;
  std::string folder = root / "TermDisplay";
  platform::LocalTime now;  // local time one hour east of UTC, as the test sets it
  int reads = 0;            // of the clock
  std::vector<std::string> reports;
  std::unique_ptr<SessionLog> log;
  explicit Fixture(std::uint64_t limit = kSessionLogFileLimit) {
    Set(8, 14, 3, 7, 45);
    log = std::make_unique<SessionLog>(
        folder, [this] { return ++reads, now; },
        [this](const std::string& text) { reports.push_back(text); }, limit);
  }
  void Set(int day, int hour, int minute, int second, int millis) {
    const std::int64_t ms = (((day * 24LL + hour) * 60 + minute) * 60 + second) * 1000 + millis;
    now = {ms, 2026, 12, day, hour, minute, second, millis, 60};
  }
  FileList Files() const {
    FileList files;
    if (!platform::DirectoryExists(folder)) return files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      files.emplace_back(e.path().filename().string(), testing_support::Read(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
  }
  void Write(const std::string& entry) { log->Entry(entry), log->Flush(); }
  std::string All() const {
    std::string all;
    for (const auto& [name, text] : Files()) all += text;
    return all;
  }
};

// Every line of an entry after its ISO 8601 time; a last line without its break is a line.
TEST(SessionLog, StampsEveryLineOfEveryEntry) {
  Fixture f;
  f.log->Entry("LSPD=500 , OK\r\n");
  f.Set(8, 14, 3, 7, 999);
  f.log->Entry("first\r\nsecond\nthird");
  f.Set(8, 14, 3, 8, 2);
  f.log->Entry("Device Not Available!\r\n");
  f.log->Entry("");
  EXPECT_TRUE(f.Files().empty());  // nothing before a flush point
  f.log->Flush();
  EXPECT_EQ(f.Files(), (FileList{{"session-2026-12-08-140307.log",
                                  "2026-12-08T14:03:07.045+01:00 LSPD=500 , OK\n"
                                  "2026-12-08T14:03:07.999+01:00 first\n"
                                  "2026-12-08T14:03:07.999+01:00 second\n"
                                  "2026-12-08T14:03:07.999+01:00 third\n"
                                  "2026-12-08T14:03:08.002+01:00 Device Not Available!\n"}}));
  EXPECT_TRUE(f.reports.empty());
}

// Read again once the host's clock has left its last reading's millisecond: exact stamps still.
TEST(SessionLog, OnARealTimeHostClockTheWallClockIsReadOnceAMillisecond) {
  Fixture f;
  struct Case {
    double host;        // the entry's time on the host clock
    int second, milli;  // the wall clock then, 0.6 ms into 14:03:07.045 at 100 s
    int nanos;
    bool read;
  };
  const Case cases[] = {
      {100.0, 7, 45, 600'000, true},      {100.0003, 7, 45, 900'000, false},
      {100.00039, 7, 45, 990'000, false}, {100.00041, 7, 46, 10'000, true},
      {100.0008, 7, 46, 400'000, false},  {101.0, 8, 45, 600'000, true},
      {100.5, 8, 545, 600'000, true},  // the host clock went back: read again
  };
  std::string expected;
  for (const Case& c : cases) {
    f.Set(8, 14, 3, c.second, c.milli);
    f.now.nanoseconds = c.nanos;
    const int before = f.reads;
    f.log->EntryAt("x\r\n", c.host);
    EXPECT_EQ(f.reads - before, c.read ? 1 : 0) << c.host;
    // A stamp not read again is the one before it, as the wall clock has it.
    expected += "2026-12-08T14:03:0" + std::to_string(c.second) + "." +
                std::to_string(1000 + c.milli).substr(1) + "+01:00 x\n";
  }
  f.log->Flush();
  EXPECT_EQ(f.All(), expected);
}

// A new file at local midnight and before the size limit; a name taken gets a number.
TEST(SessionLog, StartsNewFilesAtMidnightAndAtTheSizeLimit) {
  Fixture f(100);
  const std::string line(40, 'x');  // 71 bytes with its stamp and LF
  f.Set(8, 23, 59, 59, 900);
  f.log->Entry(line + "\r\n");
  f.Set(9, 0, 0, 0, 100);
  f.Write("after midnight\r\n");
  f.log->Entry(line + "\r\n");  // 45 + 71 > 100: a new file in the same second
  f.log->Entry(std::string(150, 'y') + "\r\n");
  f.Write("z\r\n");
  EXPECT_EQ(
      f.Files(),
      (FileList{
          {"session-2026-12-08-235959.log", "2026-12-08T23:59:59.900+01:00 " + line + "\n"},
          {"session-2026-12-09-000000-2.log", "2026-12-09T00:00:00.100+01:00 " + line + "\n"},
          {"session-2026-12-09-000000-3.log",
           "2026-12-09T00:00:00.100+01:00 " + std::string(150, 'y') + "\n"},
          {"session-2026-12-09-000000-4.log", "2026-12-09T00:00:00.100+01:00 z\n"},
          {"session-2026-12-09-000000.log", "2026-12-09T00:00:00.100+01:00 after midnight\n"}}));
  // Midnight alone splits a batch, also when the clock is set back over it.
  Fixture g;
  for (int day : {8, 9, 8})
    g.Set(day, day == 8 ? 23 : 0, 0, 0, 0), g.log->Entry("day " + std::to_string(day) + "\r\n");
  g.log->Flush();
  ASSERT_EQ(g.Files().size(), 3u);
  EXPECT_EQ(g.Files()[2].second, "2026-12-09T00:00:00.000+01:00 day 9\n");
}

// A full disk: the file is cut back to a whole line, told once, and resumes a second later.
TEST(SessionLog, AFullDiskIsToldOnceAndTheLogResumesWhole) {
  std::signal(SIGXFSZ, SIG_IGN);
  Fixture f;
  f.Write("before\r\n");
  const std::string path = f.log->CurrentFile();
  const std::uint64_t whole = f.All().size();
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit{whole + 50, saved.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  f.Write(std::string(60, 'a') + "\r\n" + std::string(60, 'b') + "\r\n");
  const std::string afterFailure = testing_support::Read(path);
  f.Set(8, 14, 3, 7, 500);
  f.Write("while full\r\n");  // within the second: not tried again
  f.Set(8, 14, 3, 8, 600);
  f.log->Flush();  // tried again, still full
  ::setrlimit(RLIMIT_FSIZE, &saved);
  const std::size_t reportsWhileFull = f.reports.size();
  f.log->Flush();  // within the second after the last try
  EXPECT_EQ(f.All().size(), whole);
  f.Set(8, 14, 3, 9, 700);
  f.log->Flush();
  EXPECT_EQ(afterFailure.size(), whole);  // cut back to the last whole line
  EXPECT_EQ(reportsWhileFull, 1u);
  ASSERT_EQ(f.reports.size(), 2u);
  EXPECT_NE(f.reports[0].find("cannot be written"), std::string::npos) << f.reports[0];
  EXPECT_NE(f.reports[1].find("written again"), std::string::npos) << f.reports[1];
  const std::string at = "2026-12-08T14:03:07.045+01:00 ";
  EXPECT_EQ(testing_support::Read(path), at + "before\n" + at + std::string(60, 'a') + "\n" + at +
                                             std::string(60, 'b') +
                                             "\n2026-12-08T14:03:07.500+01:00 while full\n");
  EXPECT_EQ(f.log->WaitingBytes(), 0u);
}

TEST(SessionLog, AFolderThatCannotBeMadeOrGoesAwayIsToldAndOvercome) {
  Fixture f;
  ASSERT_TRUE(platform::WriteFileAtomic(f.folder, "in the way"));
  f.Write("one\r\n");
  ASSERT_EQ(f.reports.size(), 1u);
  EXPECT_NE(f.reports[0].find(f.folder), std::string::npos) << f.reports[0];
  ASSERT_TRUE(platform::RemoveFile(f.folder));
  f.Set(8, 14, 3, 9, 0);
  f.Write("two\r\n");
  ASSERT_EQ(f.reports.size(), 2u);
  const std::string first = f.log->CurrentFile();
  EXPECT_EQ(testing_support::Read(first),
            "2026-12-08T14:03:07.045+01:00 one\n2026-12-08T14:03:09.000+01:00 two\n");
  std::filesystem::remove_all(f.folder);
  f.Set(8, 14, 3, 10, 0);
  f.Write("three\r\n");
  ASSERT_EQ(f.reports.size(), 3u);
  EXPECT_NE(f.reports[2].find("removed or moved"), std::string::npos) << f.reports[2];
  EXPECT_EQ(f.All(), "2026-12-08T14:03:10.000+01:00 three\n");
}

// A long run between flush points is written as it goes, beside the run: every line once, in
// order and in the file of its day, also when the disk fills in the middle of it and has room
// again later.
TEST(SessionLog, ALongRunBetweenFlushPointsIsWrittenWholeAndInOrder) {
  std::signal(SIGXFSZ, SIG_IGN);
  for (const bool fills : {false, true}) {
    Fixture f;
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit{1u << 20, saved.rlim_max};
    if (fills) ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
      const std::string line = std::string(1000, 'r') + std::to_string(i);
      if (i == 1500) f.Set(9, 0, 0, 0, 0);
      f.log->Entry(line + "\r\n");
      expected += (i < 1500 ? "2026-12-08T14:03:07.045+01:00 " : "2026-12-09T00:00:00.000+01:00 ") +
                  line + "\n";
    }
    EXPECT_LT(f.log->WaitingBytes(), kSessionLogWaitingLimit);
    f.log->Flush();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    f.Set(9, 0, 0, 2, 0);
    f.log->Flush();
    EXPECT_EQ(f.All(), expected) << fills;
    ASSERT_EQ(f.Files().size(), 2u);
    EXPECT_EQ(f.Files()[0].second.find("2026-12-09"), std::string::npos);
    EXPECT_EQ(f.Files()[1].second.substr(0, 10), "2026-12-09");
    ASSERT_EQ(f.reports.size(), fills ? 2u : 0u);
    if (fills) {
      EXPECT_NE(f.reports[1].find("written again"), std::string::npos) << f.reports[1];
    }
  }
}

// Lines beyond what may wait in memory are given up, oldest first, and counted.
TEST(SessionLog, LinesBeyondTheWaitingLimitAreCountedInTheLog) {
  Fixture f;
  ASSERT_TRUE(platform::WriteFileAtomic(f.folder, "in the way"));
  const std::string line(1000, 'w');
  const int lines = 5000;  // about 5 MB with their stamps
  for (int i = 0; i < lines; ++i) f.log->Entry(line + std::to_string(i) + "\r\n");
  f.log->Flush();
  ASSERT_TRUE(platform::RemoveFile(f.folder));
  f.Set(8, 14, 3, 9, 0);
  f.log->Flush();
  const std::string all = f.All();
  const std::size_t marker = all.find(" [session log: ");
  ASSERT_NE(marker, std::string::npos);
  const std::size_t lost = std::stoul(all.substr(marker + 15));
  EXPECT_GT(lost, 0u);
  // The marker, then every line that was kept, the newest last.
  EXPECT_EQ(testing_support::Occurrences(all, "\n"), lines - lost + 1);
  EXPECT_NE(all.find(line + std::to_string(lines - 1) + "\n"), std::string::npos);
  EXPECT_EQ(all.find(line + std::to_string(lost - 1) + "\n"), std::string::npos);
  EXPECT_NE(f.reports.back().find(std::to_string(lost) + " lines were lost"), std::string::npos);
}

}  // namespace
}  // namespace engine

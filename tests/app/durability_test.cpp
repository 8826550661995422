// Records are never lost without a word and never half written: the real
// program killed at any moment leaves every file whole, and a full disk
// keeps the old files, each lost record reported.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "app/program.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

using testing_support::TestFolder;
using Files = std::map<std::string, std::string>;
const std::string kAuto = "AppPrograms/AutoControl/AutoResults/";

// The real program that runs script n of a data folder, the files it leaves.
std::vector<std::string> Terminal(const TestFolder& folder, int n) {
  return testing_support::Terminal(folder.Path(), {"/A" + std::to_string(n)});
}
Files Written(const TestFolder& folder) {
  Files files;
  for (auto e = std::filesystem::recursive_directory_iterator(folder.Path());
       e != std::filesystem::recursive_directory_iterator(); ++e) {
    const std::string name = e->path().filename().string();
    // The guides copied at start; the station's database, a record with tests of its own.
    if (name == "Docs" || name == "AppResults") e.disable_recursion_pending();
    if (e->is_regular_file() && !name.starts_with("autocontrol_"))
      platform::ReadFile(e->path().string(), files[name]);
  }
  return files;
}
// `text` is `unit` repeated at least once.
bool Copies(const std::string& text, const std::string& unit) {
  std::string copies;
  while (copies.size() < text.size()) copies += unit;
  return !text.empty() && copies == text;
}

TEST(Records, KilledAtAnyMomentTheRecordsAreWholeAndNumberingGoesOn) {
  // Records of megabytes: a kill often lands in the middle of a write.
  const std::string shown(2000000, 'r'), copy = shown + "\r\n";
  TestFolder station;
  testing_support::WriteScript(
      station, 1,
      "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[VARSET1]7\n[SHOW]" + shown +
          "\n[LOOPSTART]\n[STORERESULTS]\n[SAVERESULTS1]\n[UPDATECSV]\n[SAVERESULTSAUTO]Unit\n"
          "[LOOPEND]\n");
  testing_support::WriteScript(
      station, 2, "[SHOW]" + shown + "\n[STORERESULTS]\n[SAVERESULTSAUTO]Unit\n[EXIT]\n");
  std::mt19937 random(std::random_device{}());
  std::set<int> numbers;
  for (int kill = 0; kill < 50; ++kill) {
    {
      // The display goes nowhere, so nothing waits for a reader.
      std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/null"};
      for (const std::string& arg : Terminal(station, 1)) argv.push_back(arg);
      testing_support::InteractiveProcess run(argv);
      std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 700));
      run.Signal(SIGKILL);
      ASSERT_EQ(run.Wait(10), 128 + SIGKILL);
    }
    for (const auto& [name, content] : Written(station)) {
      if (name.starts_with(".halvorn-")) continue;  // the killed writer's, removed at start
      // Old or new content: whole copies of the display, whole CSV rows.
      EXPECT_TRUE(!name.ends_with(".csv")       ? Copies(content, copy)
                  : name.ends_with("_Fail.csv") ? content.empty()
                                                : content.starts_with("Unit,Result\r\n") &&
                                                      Copies(content.substr(13), "7,Pass\r\n"))
          << name << " after kill " << kill;
      if (name.starts_with("Unit")) numbers.insert(std::stoi(name.substr(4, 4)));
    }
    // Numbers are used from 1 on without a gap.
    ASSERT_EQ(numbers.empty() ? 0 : *numbers.rbegin(), static_cast<int>(numbers.size()));
  }
  // A later run changes nothing, leaves no temporary file and takes the next number.
  Files expected = Written(station);
  std::erase_if(expected, [](const auto& file) { return file.first.starts_with(".halvorn-"); });
  const std::string next = std::to_string(numbers.size() + 1);
  expected["Unit" + std::string(4 - next.size(), '0') + next + ".txt"] = copy;
  EXPECT_EQ(testing_support::RunProcess(Terminal(station, 2)).exitCode, 0);
  EXPECT_EQ(Written(station), expected);
}

// A full tmpfs of 64 KiB (where one may be mounted) and a file-size limit of
// 16 KiB: old files stay, each lost record is reported once, the run ends
// with 4. A number any of whose names is taken is passed over whole.
TEST(Records, AFullDiskKeepsTheOldFilesAndReportsEachLostRecord) {
  std::string script = "[SHOW]" + std::string(10000, 'f') + "\n";
  for (int i = 0; i < 8; ++i) script += "[STORERESULTS]\n";
  script += "[SAVERESULTS1]\n[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n[SHOW]still running\n[EXIT]";
  for (const bool tmpfs : {true, false}) {
    TestFolder station;
    if (tmpfs && ::mount("tmpfs", station.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
      std::printf("no tmpfs may be mounted here: only the file-size limit is tried\n");
      continue;
    }
    testing_support::WriteScript(station, 3, script);
    ASSERT_TRUE(platform::WriteFileAtomic(station / "AppPrograms/AutoControl/testresults1.txt",
                                          "old slot"));
    ASSERT_TRUE(platform::WriteFileAtomic(station / (kAuto + "Unit0001.txt"), "old unit"));
    ASSERT_TRUE(platform::CreateDirectory(station / (kAuto + "Unit0002_Fail.csv")));
    ASSERT_EQ(::symlink("/nonexistent/x", (station / (kAuto + "Unit0003_Pass.csv")).c_str()), 0);
    // The limit passes on to the program started.
    rlimit saved{}, limit{16 << 10, RLIM_INFINITY};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    limit.rlim_max = saved.rlim_max;
    if (!tmpfs) ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto r = testing_support::RunProcess(Terminal(station, 3));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    const Files files = Written(station);
    if (tmpfs) ::umount2(station.Path().c_str(), MNT_DETACH);
    SCOPED_TRACE(tmpfs ? "tmpfs" : "file-size limit");
    EXPECT_EQ(r.exitCode, app::kExitRecordLost) << r.err;
    EXPECT_EQ(files, (Files{{"testresults1.txt", "old slot"},
                            {"Unit0001.txt", "old unit"},
                            {"Unit0004_Pass.csv", ""},
                            {"Unit0004_Fail.csv", ""}}));
    // Each lost record is reported and shown, and the script goes on.
    EXPECT_EQ(testing_support::Occurrences(r.err, "Result file not written: "), 2u) << r.err;
    EXPECT_EQ(testing_support::Occurrences(r.out, "Result file not written: "), 2u);
    EXPECT_NE(r.out.find("still running"), std::string::npos);
  }
}

}  // namespace

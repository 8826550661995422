// Records are never lost without a word and never half written: result files
// a script cannot write are shown, reported and counted; the files of one
// automatic save share their number; the real program killed at any moment
// leaves every file whole, and a full disk keeps the old files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "support/child_process.h"
#include "support/station.h"

namespace {

using testing_support::BinDir;
using testing_support::Station;
using testing_support::TestFolder;
namespace fs = std::filesystem;

const std::string kAuto = "AppPrograms/AutoControl/AutoResults/";

TEST(Records, ALostRecordIsShownReportedAndCountedAndTheScriptGoesOn) {
  Station s(
      "[SHOW]x\n[STORERESULTS]\n[SAVERESULTS2]\n[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n"
      "[SHOW]still running\n");
  std::vector<std::string> reported;
  s.application->onError = [&](const std::string& text) { reported.push_back(text); };
  // A folder where the slot file should be, and no result folder at all.
  ASSERT_TRUE(platform::CreateDirectory(s.folder / "AppPrograms/AutoControl/testresults2.txt"));
  ASSERT_EQ(::rmdir((s.folder / kAuto).c_str()), 0);
  s.Run();
  ASSERT_EQ(reported.size(), 4u);  // the slot file, the text file and both tables
  EXPECT_EQ(s.State().RecordsLost, 4);
  EXPECT_NE(reported[0].find("Result file not written: " + (s.folder / "AppPrograms")),
            std::string::npos);
  EXPECT_NE(reported[3].find("Unit0001_Fail.csv"), std::string::npos) << reported[3];
  for (const std::string& text : reported) EXPECT_NE(s.Display().find(text), std::string::npos);
  EXPECT_NE(s.Display().find("still running"), std::string::npos);
}

// Whatever holds one name of a number (a file, a folder, a link leading
// nowhere) moves the whole save on to the next number; "\" never makes a
// sub-folder.
TEST(Records, TheFilesOfOneSaveShareTheFirstNumberFreeForAll) {
  const std::pair<std::string, std::function<void(const std::string&)>> taken[] = {
      {"Unit0001_Fail.csv", [](const std::string& p) { platform::WriteFileAtomic(p, "old"); }},
      {"Unit0001.txt", [](const std::string& p) { platform::CreateDirectory(p); }},
      {"Unit0001_Pass.csv", [](const std::string& p) { ::symlink("/nonexistent/x", p.c_str()); }},
  };
  for (const auto& [name, take] : taken) {
    Station s("[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n[SAVERESULTSAUTO]su\\b\\Unit\n", 0, {},
              [&](const TestFolder& f) { take(f / (kAuto + name)); });
    s.Run();
    for (const char* file : {"Unit0002.txt", "Unit0002_Pass.csv", "Unit0002_Fail.csv",
                             "subUnit0001.txt", "subUnit0001_Fail.csv"})
      EXPECT_TRUE(s.Exists(kAuto + file)) << name << ": " << file;
    EXPECT_EQ(s.State().RecordsLost, 0) << s.Display();
    const std::string holder = s.folder / (kAuto + name);
    EXPECT_TRUE(platform::NameTaken(holder) &&
                (!platform::FileExists(holder) || s.Read(kAuto + name) == "old"));
  }
}

TEST(Records, AProgramTheScriptCannotRunIsAFailure) {
  Station s("[RUNPROG5]\n[RUNPROG?]gone\n[RUNPROG2]\n[RUNPROG3]\n");
  ASSERT_TRUE(platform::CreateDirectory(s.folder / "AppPrograms/test02.prg"));
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test03.prg", ""));  // no failure
  s.Run();
  EXPECT_EQ(s.FailCount(), 3);
  for (const char* line : {"Program file not found: test05.prg\r\n",
                           "Program file not found: test99gone.prg\r\n", "Program file not read: "})
    EXPECT_NE(s.Display().find(line), std::string::npos) << s.Display();
}

// The real program, its data folder, and every file of its results.
struct RealStation {
  TestFolder folder;
  std::string Path(const std::string& relative) const { return folder / relative; }
  std::vector<std::string> Terminal(const std::string& script) const {
    return {BinDir() + "/halvorn-terminal", "--headless", "--data-root", folder.Path(), script};
  }
  void Script(int number, const std::string& text) const {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    ASSERT_TRUE(platform::WriteFileAtomic(
        Path("AppPrograms/AutoControl/autocontrol_" + std::to_string(number) + ".txt"), text));
  }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder.Path())) {
      if (!e.is_regular_file() || e.path().filename().string().rfind("autocontrol_", 0) == 0)
        continue;
      platform::ReadFile(e.path().string(), files[e.path().filename().string()]);
    }
    return files;
  }
};

// `text` is `unit` repeated at least once.
bool Copies(const std::string& text, const std::string& unit) {
  if (text.empty() || text.size() % unit.size() != 0) return false;
  for (std::size_t at = 0; at < text.size(); at += unit.size())
    if (text.compare(at, unit.size(), unit) != 0) return false;
  return true;
}

TEST(Records, KilledAtAnyMomentTheRecordsAreWholeAndNumberingGoesOn) {
  // Records of megabytes: a kill often lands in the middle of a write.
  const std::string shown(2000000, 'r'), copy = shown + "\r\n";
  RealStation station;
  station.Script(1, "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[VARSET1]7\n[SHOW]" + shown +
                        "\n[LOOPSTART]\n[STORERESULTS]\n[SAVERESULTS1]\n[UPDATECSV]\n"
                        "[SAVERESULTSAUTO]Unit\n[LOOPEND]\n");
  station.Script(2, "[SHOW]" + shown + "\n[STORERESULTS]\n[SAVERESULTSAUTO]Unit\n[EXIT]\n");
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> moment(100, 800);
  int highest = 0;
  for (int kill = 0; kill < 50; ++kill) {
    {
      testing_support::BackgroundProcess run(station.Terminal("/A1"));
      ASSERT_TRUE(run.Started());
      std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
      ::kill(run.Pid(), SIGKILL);
    }
    std::set<int> numbers;
    for (const auto& [name, content] : station.Files()) {
      SCOPED_TRACE(name + " after kill " + std::to_string(kill));
      if (name.rfind(".halvorn-", 0) == 0) continue;  // the killed writer's, removed at start
      if (name == "testresults1.txt" || name.size() == 12) {
        EXPECT_TRUE(Copies(content, copy)) << content.size();
      } else if (name.find("_Pass.csv") != std::string::npos) {
        EXPECT_EQ(content.rfind("Unit,Result\r\n", 0), 0u);
        EXPECT_TRUE(Copies(content.substr(13), "7,Pass\r\n")) << content;
      } else {
        EXPECT_EQ(name.substr(8), "_Fail.csv");
        EXPECT_EQ(content, "");
      }
      if (name.rfind("Unit", 0) == 0) numbers.insert(std::stoi(name.substr(4, 4)));
    }
    // Numbers are used from 1 on without a gap.
    ASSERT_EQ(numbers.empty() ? 0 : *numbers.rbegin(), static_cast<int>(numbers.size()));
    highest = static_cast<int>(numbers.size());
  }
  const std::map<std::string, std::string> before = station.Files();
  const auto later = testing_support::RunProcess(station.Terminal("/A2"));
  EXPECT_EQ(later.exitCode, 0) << later.err;
  std::map<std::string, std::string> after = station.Files();
  std::string next = std::to_string(highest + 1);
  next = "Unit" + std::string(4 - next.size(), '0') + next + ".txt";
  EXPECT_EQ(after[next], copy);
  after.erase(next);
  for (const auto& [name, content] : before) {
    if (name.rfind(".halvorn-", 0) != 0) {
      EXPECT_EQ(after[name], content) << name;
    }
  }
  for (const auto& [name, content] : after) EXPECT_NE(name.rfind(".halvorn-", 0), 0u) << name;
}

// A file system that is full (a tmpfs of 64 KiB, where the test may mount
// one) or a file-size limit of 16 KiB: the old files stay, each record that
// did not fit is reported and counted, and the run goes on.
TEST(Records, AFullDiskKeepsTheOldFilesAndReportsEachLostRecord) {
  std::string script = "[SHOW]" + std::string(10000, 'f') + "\n";
  for (int i = 0; i < 8; ++i) script += "[STORERESULTS]\n";
  script +=
      "[SAVERESULTS1]\n[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n[SHOW]still running\n[EXIT]\n";
  for (const bool tmpfs : {true, false}) {
    SCOPED_TRACE(tmpfs ? "tmpfs" : "file-size limit");
    RealStation station;
    if (tmpfs && ::mount("tmpfs", station.folder.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
      std::printf("no tmpfs may be mounted here: only the file-size limit is tried\n");
      continue;
    }
    station.Script(3, script);
    ASSERT_TRUE(platform::WriteFileAtomic(station.Path("AppPrograms/AutoControl/testresults1.txt"),
                                          "old slot"));
    ASSERT_TRUE(platform::WriteFileAtomic(station.Path(kAuto + "Unit0001.txt"), "old unit"));
    // The limit and an ignored SIGXFSZ pass on to the program started.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    if (!tmpfs) limit.rlim_cur = 16 << 10;
    auto handler = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto r = testing_support::RunProcess(station.Terminal("/A3"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, handler);
    const std::map<std::string, std::string> files = station.Files();
    if (tmpfs) ::umount2(station.folder.Path().c_str(), MNT_DETACH);
    EXPECT_LT(r.exitCode, 128) << r.err;  // never ended in the middle
    const std::map<std::string, std::string> expected = {{"testresults1.txt", "old slot"},
                                                         {"Unit0001.txt", "old unit"},
                                                         {"Unit0002_Pass.csv", ""},
                                                         {"Unit0002_Fail.csv", ""}};
    EXPECT_EQ(files, expected);  // nothing half written, no temporary file left
    std::size_t lost = 0;
    for (std::size_t at = r.err.find("Result file not written"); at != std::string::npos;
         at = r.err.find("Result file not written", at + 1))
      ++lost;
    EXPECT_EQ(lost, 2u) << r.err;  // the slot file and the automatic text file
    EXPECT_NE(r.out.find("still running"), std::string::npos);
  }
}

}  // namespace

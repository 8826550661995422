// What the station database promises the real program, read back with
// Debian's sqlite3 shell and Python: kills, places it cannot be kept in, two
// terminals at once, odd answers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "app/program.h"
#include "platform/files.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::InteractiveProcess;
using testing_support::RunProcess;
using testing_support::SimulatedBench;
using testing_support::Sqlite;
using testing_support::TestFolder;

std::string Contents(const std::string& path) {
  std::string text;
  platform::ReadFile(path, text);
  return text;
}

// Lines of `text` that are exactly "Pass" or "Fail": the verdict dialogs a
// headless run shows on standard error, in order, as the database writes them.
std::string VerdictsShown(const std::string& text) {
  std::istringstream lines(text);
  std::string shown;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Pass" || line == "Fail") shown += (line == "Pass" ? "pass\n" : "fail\n");
  }
  return shown;
}

// /A3 in `station`: units of a serial number, a check, the verdict shown.
void PrepareUnitScript(const TestFolder& station) {
  testing_support::WriteScript(station, 3,
                               "[LOOPSTART]\n[VARINPUT1]Serial\n[ESCSTOP]\n[USERCHECK]Good\n"
                               "[PASSFAILMSG]Unit done\n[LOOPEND]\n");
}

// Answers for `units` units, SN-1 passing, SN-2 failing, and so on.
std::string Answers(int units, const std::string& prefix = "SN-") {
  std::string answers;
  for (int i = 1; i <= units; ++i)
    answers += prefix + std::to_string(i) + (i % 2 ? "\nPASS\nOK\n" : "\nFAIL\nOK\n");
  return answers;
}

TEST(RecordsGuarantees, KilledAtAnyMomentEveryShownVerdictIsKeptAndTheRunMarked) {
  SimulatedBench bench;
  const std::string db = bench.folder / "AppResults/records.db";
  testing_support::WriteScript(
      bench.folder, 1,
      "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[DEVICE1]\n[LOOPSTART]\n"
      "[VARINPUT1]Serial\n[ESCSTOP]\n[CMDREPLY1]PX\n[USERCHECK]Good\n[STORERESULTS]\n"
      "[PASSFAILMSG]Unit done\n[UPDATECSV]\n[SAVERESULTSAUTO]Unit\n[LOOPEND]\n");
  std::mt19937 random(std::random_device{}());
  std::string answers;
  for (int i = 1; i <= 200; ++i)
    answers += "SN-" + std::to_string(i) + (random() % 3 ? "\nPASS\nOK\n" : "\nFAIL\nOK\n");
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", answers));
  std::vector<int> killed;
  int shownInAll = 0;
  for (int kill = 0; kill < 50; ++kill) {
    InteractiveProcess run(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A1"}));
    const int pid = run.Pid();
    // Reads what the program shows while it waits, so it never blocks on a pipe.
    run.WaitForError("\x01 never shown", 1, (20 + random() % 2000) / 1000.0);
    run.Signal(SIGKILL);
    ASSERT_EQ(run.Wait(10), 128 + SIGKILL);
    killed.push_back(pid);
    const std::string shown = VerdictsShown(run.Err());
    shownInAll += static_cast<int>(std::count(shown.begin(), shown.end(), '\n'));
    SCOPED_TRACE("kill " + std::to_string(kill) + " after:\n" + shown);
    // A kill before the database had its tables: nothing was shown either.
    if (!std::filesystem::exists(db) ||
        Sqlite(db, "SELECT count(*) FROM sqlite_master WHERE name = 'unit'") != "1\n") {
      EXPECT_EQ(shown, "");
      continue;
    }
    ASSERT_EQ(Sqlite(db, "PRAGMA integrity_check"), "ok\n");
    // The units committed with a verdict start with those shown; the one
    // whose verdict was committed but not yet shown may follow.
    const std::string kept =
        Sqlite(db,
               "SELECT u.verdict FROM unit u JOIN run r ON r.id = u.run_id WHERE "
               "u.verdict IS NOT NULL AND r.process_id = " +
                   std::to_string(pid) + " ORDER BY u.number");
    EXPECT_EQ(kept.substr(0, shown.size()), shown);
    EXPECT_LE(kept.size(), shown.size() + 5);
  }
  EXPECT_GT(shownInAll, 0) << "no kill came after a verdict";
  // The next start marks every killed run that got as far as its record.
  EXPECT_EQ(RunProcess(bench.Terminal({"--exec", "PX"})).exitCode, 0);
  std::string pids;
  for (int pid : killed) pids += (pids.empty() ? "" : ",") + std::to_string(pid);
  EXPECT_EQ(Sqlite(db, "SELECT count(*) FROM run WHERE process_id IN (" + pids +
                           ") AND (ending IS NOT 'killed' OR ended_utc IS NOT NULL)"),
            "0\n");
  // Every result file the records name is on the disk as they describe it.
  const auto files =
      RunProcess({"/usr/bin/python3", "-c",
                  "import hashlib, sqlite3, sys\n"
                  "root = sys.argv[1]\n"
                  "rows = sqlite3.connect(sys.argv[2]).execute(\n"
                  "    \"SELECT path, size, sha256 FROM file WHERE failure = ''\").fetchall()\n"
                  "for path, size, sha in rows:\n"
                  "    data = open(root + '/' + path, 'rb').read()\n"
                  "    assert (len(data), hashlib.sha256(data).hexdigest()) == (size, sha), path\n"
                  "print(len(rows) > 0)\n",
                  bench.folder.Path(), db});
  EXPECT_EQ(files.out, "True\n") << files.err;
}

enum class Place { Folder, Garbage, Future, ReadOnly, ReadOnlyRoot, Full, Locked, Fifo, Missing };

// Each way the database cannot be kept: the run goes to its end, the reason
// is told once on each stream, status 4, nothing that was there deleted.
TEST(RecordsGuarantees, ADatabaseThatCannotBeKeptNeverStopsTheRun) {
  // Read-only places on a small mounted file system where allowed, else by mode.
  const bool mayMount = [] {
    TestFolder probe;
    if (::mount("tmpfs", probe.Path().c_str(), "tmpfs", 0, "size=64k") != 0) return false;
    ::umount2(probe.Path().c_str(), MNT_DETACH);
    return true;
  }();
  const struct {
    const char* name;
    Place place;
    const char* told;  // the report, in part
  } cases[] = {
      {"a folder in its place", Place::Folder, "records.db is not a file"},
      {"random bytes in its place", Place::Garbage, "was damaged: it was moved aside to"},
      {"a schema from the future", Place::Future, "schema version 9; this program knows up to"},
      {"a read-only file system", Place::ReadOnly, "cannot be written"},
      {"a data folder on a read-only file system", Place::ReadOnlyRoot, "cannot be written"},
      {"a file-size limit", Place::Full, "(File too large)"},
      {"a lock held past the busy time-out", Place::Locked, "database is locked"},
      {"a FIFO in its place", Place::Fifo, "records.db is not a file"},
      {"a folder that is missing", Place::Missing, "No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder station, place;
    const bool readOnlyRoot = c.place == Place::ReadOnlyRoot;
    if (readOnlyRoot && mayMount) {
      ASSERT_EQ(::mount("tmpfs", station.Path().c_str(), "tmpfs", 0, "size=1m"), 0);
    }
    PrepareUnitScript(station);
    ASSERT_TRUE(platform::WriteFileAtomic(station / "answers.txt", Answers(2)));
    std::string db = readOnlyRoot ? station / "AppResults/records.db" : place / "records.db";
    const auto terminal =
        testing_support::Terminal(station.Path(), {"--answers", station / "answers.txt", "/A3"});
    auto Run = [&] {
      std::vector<std::string> argv = terminal;
      if (!readOnlyRoot) argv.insert(argv.end() - 1, {"--records", db});
      return RunProcess(argv);
    };
    // A sound database of one earlier run, for the places that keep one.
    if (c.place == Place::Future || c.place == Place::ReadOnly || c.place == Place::Full ||
        c.place == Place::Locked) {
      ASSERT_EQ(Run().exitCode, 1);
      if (c.place == Place::Future) {
        ASSERT_EQ(RunProcess({"/usr/bin/sqlite3", db, "PRAGMA user_version = 9"}).exitCode, 0);
      }
    }
    if (c.place == Place::Folder || c.place == Place::Fifo) {
      ASSERT_EQ(c.place == Place::Folder ? ::mkdir(db.c_str(), 0700) : ::mkfifo(db.c_str(), 0600),
                0);
    }
    if (c.place == Place::Missing) db = place / "missing/records.db";
    std::string bytes(100000, '\0');
    if (c.place == Place::Garbage) {
      std::mt19937 random(7);
      for (char& b : bytes) b = static_cast<char>(random());
      ASSERT_TRUE(platform::WriteFileAtomic(db, bytes));
    }
    bool mounted = false;
    if (c.place == Place::ReadOnly) {
      if (mayMount) {
        const std::string kept = Contents(db);
        ASSERT_EQ(::mount("tmpfs", place.Path().c_str(), "tmpfs", 0, "size=1m"), 0);
        ASSERT_TRUE(platform::WriteFileAtomic(db, kept));
        ASSERT_EQ(::mount(nullptr, place.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                  0);
        mounted = true;
      } else {
        ::chmod(place.Path().c_str(), 0555);
      }
    }
    if (readOnlyRoot && mayMount) {
      ASSERT_EQ(::mount(nullptr, station.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                0);
    } else if (readOnlyRoot) {
      ::chmod((station / "AppResults").c_str(), 0555);
    }
    const std::string before = c.place == Place::Garbage ? bytes : Contents(db);
    std::unique_ptr<InteractiveProcess> holder;
    if (c.place == Place::Locked) {
      // Another program holds the write lock for longer than the busy time-out.
      holder = std::make_unique<InteractiveProcess>(
          std::vector<std::string>{"/usr/bin/python3", "-c",
                                   "import sqlite3, sys, time\n"
                                   "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                   "c.execute('BEGIN EXCLUSIVE')\n"
                                   "print('locked', file=sys.stderr, flush=True)\n"
                                   "time.sleep(30)\n",
                                   db});
      ASSERT_TRUE(holder->WaitForError("locked", 1, 30));
    }
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    if (c.place == Place::Full) {
      rlimit limit{16 << 10, saved.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    const auto run = Run();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    if (holder) holder->Signal(SIGKILL);
    const std::string after = Contents(db);
    if (mounted) ::umount2(place.Path().c_str(), MNT_DETACH);
    if (readOnlyRoot && mayMount) ::umount2(station.Path().c_str(), MNT_DETACH);
    ::chmod(place.Path().c_str(), 0755);

    EXPECT_EQ(run.exitCode, app::kExitRecordLost) << run.err;
    // The run went on to its end: both units were checked.
    EXPECT_NE(run.out.find("{Check State = FAIL}"), std::string::npos) << run.out;
    EXPECT_EQ(testing_support::Occurrences(run.err, "The station's records"), 1u) << run.err;
    EXPECT_EQ(testing_support::Occurrences(run.out, "The station's records"), 1u) << run.out;
    EXPECT_NE(run.err.find(c.told), std::string::npos) << run.err;
    if (c.place == Place::Garbage) {
      // Set aside whole; the new database holds this run.
      std::string aside;
      for (const auto& e : std::filesystem::directory_iterator(place.Path()))
        if (e.path().filename().string().starts_with("records.db.damaged-"))
          aside = e.path().string();
      EXPECT_TRUE(Contents(aside) == bytes) << aside;
      EXPECT_EQ(Sqlite(db, "SELECT count(*) FROM unit"), "2\n");
    } else {
      EXPECT_TRUE(after == before) << "the database changed";
    }
    if (c.place == Place::Missing) {
      EXPECT_FALSE(std::filesystem::exists(place / "missing"));
    }
  }
}

TEST(RecordsGuarantees, TwoTerminalsAtOnceBothRecordEveryUnit) {
  TestFolder station;
  PrepareUnitScript(station);
  const int units = 30;
  std::vector<std::unique_ptr<InteractiveProcess>> runs;
  for (const char* prefix : {"A-", "B-"}) {
    const std::string answers = station / (std::string(prefix) + "answers.txt");
    ASSERT_TRUE(platform::WriteFileAtomic(answers, Answers(units, prefix)));
    runs.push_back(std::make_unique<InteractiveProcess>(
        testing_support::Terminal(station.Path(), {"--answers", answers, "/A3"})));
  }
  for (auto& run : runs) EXPECT_EQ(run->Wait(120), 1) << run->Err();
  const std::string db = station / "AppResults/records.db";
  // Per terminal: units, serial numbers each once, the verdicts (the fail
  // count of the script goes on from unit to unit: one pass, then fails).
  EXPECT_EQ(Sqlite(db,
                   "SELECT substr(v.value, 10, 2), count(*), count(DISTINCT v.value), "
                   "sum(u.verdict = 'pass'), sum(u.verdict = 'fail'), count(DISTINCT u.run_id) "
                   "FROM unit u JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' "
                   "GROUP BY 1 ORDER BY 1"),
            "A-|30|30|1|29|1\nB-|30|30|1|29|1\n");
  EXPECT_EQ(Sqlite(db, "SELECT count(*), count(DISTINCT station_id) FROM run"), "2|1\n");
}

// 8-bit, NUL and megabyte answers kept as the script took them (as UTF-8, cut).
TEST(RecordsGuarantees, OddAnswersAreKeptAsTheyCame) {
  TestFolder station;
  PrepareUnitScript(station);
  const std::string big(2 << 20, 'x');
  const std::string answers = std::string("Gr\xfc\xdf\x65 \xb5m\nPASS\nOK\n") +
                              std::string("N\0L", 3) + "\nPASS\nOK\n" + big + "\nPASS\nOK\n";
  // A pipe: a regular answers file may not hold a NUL byte.
  const auto run = RunProcess(
      testing_support::Terminal(station.Path(), {"--answers", "/dev/stdin", "/A3"}), answers);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Sqlite(station / "AppResults/records.db",
                   "SELECT u.number, hex(substr(v.value, 1, 12)), length(CAST(v.value AS BLOB)) "
                   "FROM unit u JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' "
                   "ORDER BY u.number"),
            // "{Serial} " before each answer; the NUL byte never reaches the variable.
            "1|7B53657269616C7D204772C3BC|20\n2|7B53657269616C7D204E4C|11\n"
            "3|7B53657269616C7D20787878|" +
                std::to_string((1 << 20) + std::string(" [cut: 2097161 bytes in all]").size()) +
                "\n");
}

}  // namespace

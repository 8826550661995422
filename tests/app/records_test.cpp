// The records the real program keeps through kills, full disks, unusable database places and
// odd answers, read back by sqlite3 and Python: never lost without a word, never half written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "app/program.h"
#include "platform/files.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::InteractiveProcess;
using testing_support::Read;
using testing_support::RunProcess;
using testing_support::SimulatedBench;
using testing_support::Sqlite;
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
      auto argv = Terminal(station, 1);
      argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/null"});
      InteractiveProcess run(argv);
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
  EXPECT_EQ(RunProcess(Terminal(station, 2)).exitCode, 0);
  EXPECT_EQ(Written(station), expected);
}

// A file-size limit of 16 KiB: old files stay, each lost record is told once, the
// script goes on, 4. A number any of whose names is taken is passed over.
TEST(Records, AFullDiskKeepsTheOldFilesAndReportsEachLostRecord) {
  std::string script = "[SHOW]" + std::string(10000, 'f') + "\n";
  for (int i = 0; i < 8; ++i) script += "[STORERESULTS]\n";
  script += "[SAVERESULTS1]\n[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n[SHOW]still running\n[EXIT]";
  TestFolder station;
  testing_support::WriteScript(station, 3, script);
  ASSERT_TRUE(
      platform::WriteFileAtomic(station / "AppPrograms/AutoControl/testresults1.txt", "old slot"));
  ASSERT_TRUE(platform::WriteFileAtomic(station / (kAuto + "Unit0001.txt"), "old unit"));
  ASSERT_TRUE(platform::CreateDirectory(station / (kAuto + "Unit0002_Fail.csv")));
  ASSERT_EQ(::symlink("/nonexistent/x", (station / (kAuto + "Unit0003_Pass.csv")).c_str()), 0);
  rlimit saved{}, limit{16 << 10, RLIM_INFINITY};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit.rlim_max = saved.rlim_max;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const auto r = RunProcess(Terminal(station, 3));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(r.exitCode, app::kExitRecordLost) << r.err;
  EXPECT_EQ(Written(station), (Files{{"testresults1.txt", "old slot"},
                                     {"Unit0001.txt", "old unit"},
                                     {"Unit0004_Pass.csv", ""},
                                     {"Unit0004_Fail.csv", ""}}));
  EXPECT_EQ(testing_support::Occurrences(r.err, "Result file not written: "), 2u) << r.err;
  EXPECT_EQ(testing_support::Occurrences(r.out, "Result file not written: "), 2u);
  EXPECT_NE(r.out.find("still running"), std::string::npos);
}

std::string Contents(const std::string& path) {
  std::string text;
  platform::ReadFile(path, text);
  return text;
}

// The verdict dialogs ("Pass", "Fail") a headless run shows on standard error.
std::string VerdictsShown(const std::string& text) {
  std::istringstream lines(text);
  std::string shown;
  for (std::string line; std::getline(lines, line);)
    if (line == "Pass" || line == "Fail") shown += line == "Pass" ? "pass\n" : "fail\n";
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
                  "import hashlib, sqlite3, sys\nroot = sys.argv[1]\nrows = sqlite3.connect("
                  "sys.argv[2]).execute(\"SELECT path, size, sha256 FROM file WHERE failure = "
                  "''\").fetchall()\nfor path, size, sha in rows:\n"
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
    const Place p = c.place;
    const bool readOnly = p == Place::ReadOnly || p == Place::ReadOnlyRoot;
    const std::string top = p == Place::ReadOnly ? place.Path() : station.Path();
    ASSERT_TRUE(!readOnly || !mayMount ||
                ::mount("tmpfs", top.c_str(), "tmpfs", 0, "size=1m") == 0);
    PrepareUnitScript(station);
    ASSERT_TRUE(platform::WriteFileAtomic(station / "answers.txt", Answers(2)));
    const std::string db = p == Place::ReadOnlyRoot ? station / "AppResults/records.db"
                           : p == Place::Missing    ? place / "missing/records.db"
                                                    : place / "records.db";
    auto argv =
        testing_support::Terminal(station.Path(), {"--answers", station / "answers.txt", "/A3"});
    if (p != Place::ReadOnlyRoot) argv.insert(argv.end() - 1, {"--records", db});
    // A sound database of one earlier run, for the places that keep one.
    const bool sound =
        p == Place::Future || p == Place::ReadOnly || p == Place::Full || p == Place::Locked;
    ASSERT_TRUE(!sound || RunProcess(argv).exitCode == 1);
    ASSERT_TRUE(p != Place::Future ||
                RunProcess({"/usr/bin/sqlite3", db, "PRAGMA user_version = 9"}).exitCode == 0);
    ASSERT_TRUE(p != Place::Folder || ::mkdir(db.c_str(), 0700) == 0);
    ASSERT_TRUE(p != Place::Fifo || ::mkfifo(db.c_str(), 0600) == 0);
    std::string bytes(100000, '\0');
    std::mt19937 random(7);
    for (char& b : bytes) b = static_cast<char>(random());
    ASSERT_TRUE(p != Place::Garbage || platform::WriteFileAtomic(db, bytes));
    if (readOnly && mayMount) {
      ASSERT_EQ(::mount(nullptr, top.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    } else if (readOnly) {
      ::chmod((p == Place::ReadOnly ? top : station / "AppResults").c_str(), 0555);
    }
    const std::string before = Contents(db);
    std::unique_ptr<InteractiveProcess> holder;
    if (p == Place::Locked) {
      // Another program holds the write lock for longer than the busy time-out.
      holder = std::make_unique<InteractiveProcess>(std::vector<std::string>{
          "/usr/bin/python3", "-c",
          "import sqlite3, sys, time\nc = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
          "c.execute('BEGIN EXCLUSIVE')\nprint('locked', file=sys.stderr, flush=True)\n"
          "time.sleep(30)\n",
          db});
      ASSERT_TRUE(holder->WaitForError("locked", 1, 30));
    }
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{16 << 10, saved.rlim_max};
    if (p == Place::Full) ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto run = RunProcess(argv);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    if (holder) holder->Signal(SIGKILL);
    const std::string after = Contents(db);
    if (readOnly && mayMount) ::umount2(top.c_str(), MNT_DETACH);
    ::chmod(place.Path().c_str(), 0755);

    EXPECT_EQ(run.exitCode, app::kExitRecordLost) << run.err;
    // The run went on to its end: both units were checked.
    EXPECT_NE(run.out.find("{Check State = FAIL}"), std::string::npos) << run.out;
    EXPECT_EQ(testing_support::Occurrences(run.err, "The station's records"), 1u) << run.err;
    EXPECT_EQ(testing_support::Occurrences(run.out, "The station's records"), 1u) << run.out;
    EXPECT_NE(run.err.find(c.told), std::string::npos) << run.err;
    if (p == Place::Garbage) {
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
    EXPECT_FALSE(p == Place::Missing && std::filesystem::exists(place / "missing"));
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

// "serial verdict|" for each row of a CSV table (Serial,Top Speed,Position,Result,...).
std::string SerialsAndVerdicts(const std::string& table) {
  std::string rows;
  const std::regex row("\r\n([^,\r]*),[^,\r]*,[^,\r]*,([^,\r]*)");
  for (std::sregex_iterator m(table.begin(), table.end(), row), end; m != end; ++m)
    rows += (*m)[1].str() + " " + (*m)[2].str() + "|";
  return rows;
}

// The production example, four units: a pass, a fail, the same serial number
// passing on its retry, and ESC at the pass/fail question (nobody judged it).
TEST(StationRecords, TheProductionExampleLeavesEachUnitWithItsVerdict) {
  SimulatedBench bench;
  std::string script;
  ASSERT_TRUE(platform::ReadFile(HALVORN_SOURCE_DIR "/docs/examples/autocontrol_2.txt", script));
  testing_support::WriteScript(bench.folder, 2, script);
  ASSERT_TRUE(
      platform::WriteFileAtomic(bench.folder / "answers.txt",
                                "SN-1001\nPASS\nSN-1002\nFAIL\nOK\nSN-1002\nPASS\nSN-1003\nESC\n"));
  const auto run = RunProcess(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A2"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string db = bench.folder / "AppResults/records.db";
  EXPECT_EQ(Sqlite(db, "SELECT mode, file, length(file_sha256), ending, exit_status FROM run"),
            "script|AppPrograms/AutoControl/autocontrol_2.txt|64|esc|0\n");
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, v.value, u.verdict, u.fail_count FROM unit u "
                   "JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' ORDER BY u.number"),
            "1|{Serial Number} SN-1001|pass|0\n2|{Serial Number} SN-1002|fail|1\n"
            "3|{Serial Number} SN-1002|pass|0\n4|{Serial Number} SN-1003|aborted|0\n");
  // Each unit's exchanges: the commands of the script and [CMDVERIFY]'s, each timed, and
  // the status polls until the move has ended.
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, sum(e.command != 'MST'), sum(e.command = 'MST') > 0, "
                   "min(e.round_trip_us) > 0, sum(e.outcome = 'ok') = count(*), min(e.device) "
                   "LIKE 'Axis 01 {%' FROM exchange e JOIN unit u ON u.id = e.unit_id GROUP BY 1"),
            "1|9|1|1|1|1\n2|9|1|1|1|1\n3|9|1|1|1|1\n4|9|1|1|1|1\n");
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, a.answer, a.kind FROM answer a JOIN unit u "
                   "ON u.id = a.unit_id WHERE a.kind != 'input' ORDER BY a.id"),
            "1|PASS|pass/fail\n2|FAIL|pass/fail\n3|PASS|pass/fail\n4||esc\n");
  EXPECT_EQ(Sqlite(db, "PRAGMA integrity_check"), "ok\n");
  // The CSV tables tell the same: the unit nobody judged is in the fail
  // table as ESC, never in the pass table.
  const std::string tables = bench.folder / "AppPrograms/AutoControl/AutoResults/MotorTest0001";
  EXPECT_EQ(SerialsAndVerdicts(Read(tables + "_Pass.csv")), "SN-1001 Pass|SN-1002 Pass|");
  EXPECT_EQ(SerialsAndVerdicts(Read(tables + "_Fail.csv")), "SN-1002 Fail|SN-1003 ESC|");
  // Every verdict of each unit, the operator's with its question.
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, d.keyword, d.subject, d.outcome FROM verdict d JOIN unit u "
                   "ON u.id = d.unit_id WHERE d.keyword != '[CMDVERIFY]' OR d.outcome != 'pass' "
                   "ORDER BY d.id"),
            "1|[USERCHECK]|Does the motor run smoothly|pass\n"
            "2|[USERCHECK]|Does the motor run smoothly|fail\n2|[LOOPONFAIL]||fail\n"
            "3|[USERCHECK]|Does the motor run smoothly|pass\n"
            "4|[USERCHECK]|Does the motor run smoothly|esc\n");
}

// A PASS before an ESC at a later prompt of the unit is kept in both records.
TEST(StationRecords, AUnitJudgedBeforeAnEscKeepsItsVerdictInBothRecords) {
  SimulatedBench bench;
  testing_support::WriteScript(
      bench.folder, 5,
      "[SAVERESULTSAUTOESC]Judged\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)X(R1)Y(R2)Result(PF)\n"
      "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[USERCHECK]Good\n[VARINPUT2]Note\n"
      "[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", "SN-9\nPASS\nESC\n"));
  const auto run = RunProcess(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A5"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Sqlite(bench.folder / "AppResults/records.db", "SELECT number, verdict FROM unit"),
            "1|pass\n");
  EXPECT_EQ(SerialsAndVerdicts(
                Read(bench.folder / "AppPrograms/AutoControl/AutoResults/Judged0001_Pass.csv")),
            "SN-9 Pass|");
}

}  // namespace

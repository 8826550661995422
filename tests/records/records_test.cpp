// The result files (the names a save takes, lost records), the JUnit report, and the station
// database with its writer, read back by Python's sqlite3 (not our code).
#include "records/record_writer.h"
#include "records/result_files.h"
#include "records/run_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

using namespace records;
using testing_support::RunProcess;
using testing_support::TestFolder;
using Outcome = autocontrol::ScriptVerdict::Outcome;
using Strings = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // name -> content

const std::string kAutoControl = "AppPrograms/AutoControl/";
const std::string kAuto = kAutoControl + "AutoResults/";

// A data folder with the result files writing into it; what they tell is kept.
struct Records {
  TestFolder folder;
  Strings told;
  records::ResultFiles files;
  Records() : files(folder.Path(), [this](const std::string& text) { told.push_back(text); }) {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
  }
  // What `where` holds: each file with its content, each folder as "".
  Files Saved(const std::string& where = kAuto) {
    Files saved;
    for (const auto& entry : std::filesystem::directory_iterator(folder / where))
      saved[entry.path().filename().string()] =
          entry.is_regular_file() ? testing_support::Read(entry.path().string()) : "";
    return saved;
  }
};

// A numbered save replaces testresults<n>.txt for n 1..9, nothing for any other slot.
TEST(ResultFiles, NumberedSavesReplaceTheirSlotsFileOnly) {
  Records r;
  ASSERT_TRUE(platform::WriteFileAtomic(r.folder / (kAutoControl + "testresults3.txt"), "old"));
  r.files.OnNumberedSave(3, "one\r\ntwo\r\n");
  r.files.OnNumberedSave(9, "");
  for (int slot : {0, 10, -1}) r.files.OnNumberedSave(slot, "never");
  EXPECT_EQ(r.Saved(kAutoControl), (Files{{"AutoResults", ""},
                                          {"testresults3.txt", "one\r\ntwo\r\n"},
                                          {"testresults9.txt", ""}}));
  EXPECT_EQ(r.files.RecordsLost(), 0);
}

// An automatic save's name loses the characters a file name must not hold (none left:
// "MyTestData"); it takes the first number whose names are all free (with CSV: tests/app).
TEST(ResultFiles, AutomaticSavesTakeTheFirstNumberWhoseNamesAreAllFree) {
  const struct {
    const char* name;
    Strings taken;  // names in AutoResults before the save
    Files saved;    // the names the save wrote
  } cases[] = {
      {"a\\b\001c\177../d", {}, {{"abcd0001.txt", "text"}}},
      {" !@#$%^&*()+-={}[]:;'<,>.?/\"", {"MyTestData0001.txt"}, {{"MyTestData0002.txt", "text"}}},
      // Without CSV tracking only the text file's name counts.
      {"Unit", {"Unit0001_Pass.csv"}, {{"Unit0001.txt", "text"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Records r;
    for (const std::string& name : c.taken)
      ASSERT_TRUE(platform::WriteFileAtomic(r.folder / (kAuto + name), "taken"));
    r.files.OnAutoSave({c.name, "text", false});
    Files expected = c.saved;
    for (const std::string& name : c.taken) expected[name] = "taken";
    EXPECT_EQ(r.Saved(), expected);
    EXPECT_EQ(r.files.RecordsLost(), 0);
    EXPECT_TRUE(r.told.empty());
  }
}

TEST(ResultFiles, ASaveWithEveryNumberTakenIsLost) {
  Records r;
  for (int n = 1; n <= 9999; ++n) {
    // A link leading nowhere takes a name as well as a file, and costs less.
    const std::string path =
        r.folder / (kAuto + "Full" + std::to_string(10000 + n).substr(1) + "_Pass.csv");
    ASSERT_EQ(::symlink("/nonexistent", path.c_str()), 0) << path;
  }
  r.files.OnAutoSave({"Full", "text", true});
  EXPECT_EQ(r.told, (Strings{"Result file not written: every number of Full is taken",
                             "Result file not written: every number of Full_Pass is taken",
                             "Result file not written: every number of Full_Fail is taken"}));
  EXPECT_EQ(r.files.RecordsLost(), 3);
  // A save without tables still finds its number.
  r.files.OnAutoSave({"Full", "text", false});
  EXPECT_EQ(r.files.RecordsLost(), 3);
  EXPECT_TRUE(platform::FileExists(r.folder / (kAuto + "Full0001.txt")));
}

// The JUnit report holds 8-bit text as XML can; a failed verification names each difference.
TEST(RunReport, TextIsEscapedAndVerificationsNameEveryDifference) {
  app::RunReport report("exec", true, true, [] { return 0.0; });
  report.OnExchange({"X<&\"", "\xE9\x01", "'1'", 3, true, false, engine::Check::Failed, 0.25});
  report.OnExchange({"PX", "(SERIAL Timeout)", "", 4, false, true, engine::Check::None, 10});
  report.OnVerdict({"[CMDVERIFY]", "LSPD,HSPD,ID ", Outcome::Failed, "100|200",
                    "Warning: Serial Timeout!\r\nLSPD = 100\r\nHSPD = 250\r\nID = X\r\n", 2, 1});
  report.Finish();
  const std::string xml = report.JUnitXml();
  for (const char* part : {
           "<testcase name=\"3: X&lt;&amp;&quot;\" classname=\"exec\" time=\"0.250000\">",
           "message=\"X&lt;&amp;&quot;: expected '1', got \xC3\xA9\\x01\"",
           "<error message=\"PX: no reply, (SERIAL Timeout)\" type=\"no reply\"/>",
           "name=\"[CMDVERIFY] LSPD,HSPD,ID (attempt 2)\"",
           "message=\"Warning: Serial Timeout!; HSPD: expected 200, got 250; "
           "ID: expected &quot;&quot;, got X\"",
           "tests=\"3\" failures=\"2\" errors=\"1\" skipped=\"0\"",
       }) {
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
  }
  EXPECT_EQ(report.NoReplyCount(), 1);
}

// What Python's sqlite3 prints for `query` on `db`: one repr() per row.
std::string Query(const std::string& db, const std::string& query) {
  const auto run = RunProcess({"/usr/bin/python3", "-c",
                               "import sqlite3, sys\n"
                               "for row in sqlite3.connect(sys.argv[1]).execute(sys.argv[2]):\n"
                               "  print(repr(row))",
                               db, query});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.out;
}

WriterSettings Settings(const std::string& db, const std::string& station = "Bench 1") {
  return {.path = db, .station = station, .host = "host1", .alive = {}};
}

RunStart Start(const std::string& uuid, std::int64_t pid = 1) {
  return {uuid, "1.0", "script", "autocontrol_1.txt", "ab12", "op", "2026-12-08T10:00:00Z",
          60,   pid,   "boot"};
}

// One unit of `number` with one exchange and the verdict `verdict`.
void Unit(RecordWriter& w, int number, const std::string& verdict, const std::string& serial) {
  w.Add(UnitStart{number, "2026-12-08T10:00:01Z"});
  w.Add(ExchangeRecord{number, number, "Axis 01", "PX", "1234", "==1234", "ok", 812, "t"});
  w.Add(UnitEnd{number, "s", "2026-12-08T10:00:02Z", verdict, verdict == "fail", {{"V1", serial}}});
}

// A station's database in a folder of its own.
class StationDatabase : public ::testing::Test {
 protected:
  TestFolder folder;
  const std::string db = folder / "records.db";
};

// Answers, verdicts and result files: tests/app/real_program_test.cpp.
TEST_F(StationDatabase, ARunIsReadBackWholeByAnotherReader) {
  {
    RecordWriter w(Settings(db));
    w.Add(Start("u-1"));
    Unit(w, 1, "pass", std::string("SN-1\0\xE9", 6));  // a NUL and an 8-bit byte
    Unit(w, 2, "fail", "SN-2");
    // A long line outside any unit: its exchanges go many to a statement.
    for (int i = 1; i <= 70; ++i) {
      const std::string n = std::to_string(i);
      w.Add(ExchangeRecord{0, 100 + i, "Axis 01", "C" + n, "R\xB0" + n, "", "ok", i, "t" + n});
    }
    w.Add(RunEnd{"2026-12-08T10:00:03Z", "end", 1, 1});
    w.Finish();
    EXPECT_EQ(w.Lost(), 0);
    EXPECT_FALSE(w.TakeFailure());
  }
  EXPECT_EQ(Query(db,
                  "SELECT s.name, s.host, r.uuid, r.mode, r.file, r.ending, r.exit_status, "
                  "r.fail_count FROM run r JOIN station s ON s.id = r.station_id"),
            "('Bench 1', 'host1', 'u-1', 'script', 'autocontrol_1.txt', 'end', 1, 1)\n");
  EXPECT_EQ(Query(db,
                  "SELECT u.number, u.verdict, v.value, e.command, e.reply, e.outcome, "
                  "e.round_trip_us FROM unit u JOIN unit_value v ON v.unit_id = u.id "
                  "JOIN exchange e ON e.unit_id = u.id ORDER BY u.number"),
            "(1, 'pass', 'SN-1\\x00é', 'PX', '1234', 'ok', 812)\n"
            "(2, 'fail', 'SN-2', 'PX', '1234', 'ok', 812)\n");
  EXPECT_EQ(Query(db,
                  "SELECT count(DISTINCT sequence), sum(sequence = 100 + round_trip_us AND command "
                  "= 'C' || "
                  "round_trip_us AND reply = 'R°' || round_trip_us AND at_utc = 't' || "
                  "round_trip_us), max(id) - min(id) FROM exchange WHERE unit_id IS NULL"),
            "(70, 70, 69)\n");
  EXPECT_EQ(Query(db, "PRAGMA integrity_check") + Query(db, "PRAGMA journal_mode"),
            "('ok',)\n('wal',)\n");
}

// A record that cannot be written takes its unit's others with it, counted, told once.
TEST_F(StationDatabase, AUnitThatCannotBeWrittenWholeIsLostWholeAndReportedOnce) {
  RecordWriter w(Settings(db));
  w.Add(Start("u-1"));
  w.Sync();
  w.Add(UnitStart{1, "t"});
  w.Add(ExchangeRecord{1, 1, "Axis 01", "PX", "1", "", "ok", 1, "t"});
  w.Add(ExchangeRecord{7, 2, "Axis 01", "PX", "1", "", "ok", 1, "t"});  // unit 7 never started
  w.Add(UnitEnd{1, "t", "t", "pass", 0, {}});
  Unit(w, 2, "pass", "SN-2");
  w.Sync();
  EXPECT_EQ(w.Lost(), 4);
  const auto reason = w.TakeFailure();
  ASSERT_TRUE(reason);
  EXPECT_NE(reason->find("unit 7 never started"), std::string::npos) << *reason;
  EXPECT_FALSE(w.TakeFailure());
  EXPECT_EQ(Query(db, "SELECT number, verdict FROM unit"), "(2, 'pass')\n");
  // In a long line, the exchanges after the statement that fails are tried anew.
  for (int i = 1; i <= 100; ++i)
    w.Add(ExchangeRecord{i == 40 ? 7 : 0, 1000 + i, "Axis 01", "PX", "1", "", "ok", 1, "t"});
  w.Sync();
  EXPECT_EQ(
      Query(db, "SELECT sum(sequence > 1071), sum(sequence BETWEEN 1001 AND 1040) FROM exchange"),
      "(29, 0)\n");
}

// A version-1 database (other indexes) is upgraded at the next start.
TEST_F(StationDatabase, AnOlderSchemaIsUpgradedInPlaceWithItsRecords) {
  {
    RecordWriter w(Settings(db));
    w.Add(Start("u-1"));
    Unit(w, 1, "fail", "SN-1");
    w.Finish();
  }
  const auto downgraded = RunProcess({"/usr/bin/sqlite3", db,
                                      "DROP INDEX unit_started; DROP INDEX exchange_not_ok; "
                                      "CREATE INDEX exchange_run ON exchange(run_id, sequence); "
                                      "CREATE INDEX exchange_unit ON exchange(unit_id); "
                                      "DROP TABLE forward_mark; DROP TABLE forward_done; "
                                      "PRAGMA user_version = 1"});
  ASSERT_EQ(downgraded.exitCode, 0) << downgraded.err;
  {
    RecordWriter w(Settings(db));
    w.Add(Start("u-2"));
    Unit(w, 1, "pass", "SN-1");
    w.Finish();
    EXPECT_FALSE(w.TakeFailure());
  }
  EXPECT_EQ(Query(db,
                  "SELECT group_concat(name), (SELECT group_concat(verdict) FROM unit) FROM "
                  "(SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name IN "
                  "('unit', 'exchange') AND sql IS NOT NULL ORDER BY name)"),
            "('exchange_not_ok,unit_started', 'fail,pass')\n");
  EXPECT_EQ(Query(db, "PRAGMA user_version"), "(4,)\n");
}

// A run of 10,000 units, each committed at its end as a script's are: every unit is kept,
// and the journal stays small while the run lasts (its pages go into the database).
TEST_F(StationDatabase, TenThousandUnitsOfOneRunAreAllKept) {
  RecordWriter w(Settings(db));
  w.Add(Start("u-1"));
  std::uintmax_t journal = 0;
  for (int n = 1; n <= 10000; ++n) {
    Unit(w, n, n % 3 ? "pass" : "fail", "SN-" + std::to_string(n));
    w.Sync();
    if (n % 1000 == 0) journal = std::max(journal, std::filesystem::file_size(db + "-wal"));
  }
  w.Finish();
  EXPECT_EQ(w.Lost(), 0);
  EXPECT_LT(journal, 16u << 20);
  EXPECT_EQ(Query(db,
                  "SELECT count(*), count(DISTINCT v.value), sum(u.verdict = 'fail'), "
                  "max(u.number) FROM unit u JOIN unit_value v ON v.unit_id = u.id"),
            "(10000, 10000, 3333, 10000)\n");
}

// A run without an end whose program is gone was killed: the next start on the station marks
// it so; a run whose program still runs and other stations' runs are left open.
TEST_F(StationDatabase, RunsLeftOpenByKilledProgramsAreMarkedAtTheNextStart) {
  for (const auto& [station, uuid, pid] : {std::tuple{"Bench 1", "gone", 100},
                                           {"Bench 1", "running", 200},
                                           {"Bench 2", "other", 100}}) {
    RecordWriter w(Settings(db, station));
    w.Add(Start(uuid, pid));
    w.Finish();
  }
  RecordWriter next(
      {db, "Bench 1", "host1", 5000, 16,
       [](std::int64_t pid, const std::string& boot) { return pid == 200 && boot == "boot"; }});
  next.Sync();
  EXPECT_EQ(next.KilledRunsMarked(), 1);
  EXPECT_EQ(Query(db, "SELECT uuid, ending FROM run ORDER BY id"),
            "('gone', 'killed')\n('running', None)\n('other', None)\n");
}

}  // namespace

// The station database as the real program leaves it, read back with
// Debian's sqlite3 shell.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::Read;
using testing_support::RunProcess;
using testing_support::SimulatedBench;
using testing_support::Sqlite;

// The serial number and the verdict of each row of a CSV table
// (Serial,Top Speed,Position,Result,...), as "serial verdict|".
std::string SerialsAndVerdicts(const std::string& table) {
  std::string rows;
  std::size_t start = table.find("\r\n");
  while (start != std::string::npos && start + 2 < table.size()) {
    const std::size_t end = table.find("\r\n", start + 2);
    std::vector<std::string> fields;
    std::stringstream line(table.substr(start + 2, end - start - 2));
    for (std::string field; std::getline(line, field, ',');) fields.push_back(field);
    rows += (fields.size() > 3 ? fields[0] + " " + fields[3] : "?") + "|";
    start = end;
  }
  return rows;
}

// The production example, four units: a pass, a fail, the same serial
// number passing on its retry, and ESC at the pass/fail question (the
// unit nobody judged). One run with its units, their serial numbers and
// verdicts, every exchange with its time, every answer with its kind.
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
                   "min(e.round_trip_us) > 0, "
                   "sum(e.outcome = 'ok') = count(*), min(e.device) LIKE 'Axis 01 {%' "
                   "FROM exchange e "
                   "JOIN unit u ON u.id = e.unit_id GROUP BY u.number"),
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

  // halvorn-results on the same database: both units of SN-1002, the first
  // with the check the operator failed; the yield of the four units, where
  // SN-1001 passed first, SN-1002 failed first and SN-1003 was never judged.
  const std::string results = testing_support::BinDir() + "/halvorn-results";
  const auto unit = RunProcess({results, "--records", db, "--format", "csv", "unit", "SN-1002"});
  EXPECT_EQ(unit.exitCode, 0) << unit.err;
  EXPECT_NE(unit.out.find(",2,fail,verdict,[USERCHECK],Does the motor run smoothly,,,fail\r\n"),
            std::string::npos)
      << unit.out;
  EXPECT_NE(unit.out.find(",2,fail,value,V1,{Serial Number} SN-1002,,,\r\n"), std::string::npos);
  EXPECT_NE(unit.out.find(",3,pass,value,V1,{Serial Number} SN-1002,,,\r\n"), std::string::npos);
  EXPECT_EQ(unit.out.find(",3,pass,verdict,[USERCHECK],Does the motor run smoothly,,,fail"),
            std::string::npos);
  EXPECT_EQ(unit.out.find("SN-1001"), std::string::npos);
  const auto yield = RunProcess({results, "--records", db, "--format", "csv", "yield"});
  EXPECT_EQ(yield.exitCode, 0) << yield.err;
  EXPECT_EQ(yield.out,
            "units,passed,failed,aborted,keys_judged,first_pass,first_pass_yield\r\n"
            "4,2,1,1,2,1,50.0%\r\n");
}

// The operator's PASS before an ESC at a later prompt of the same unit:
// the unit was judged, and both records keep its verdict.
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

// The station database as the real program leaves it, read back with
// Debian's sqlite3 shell.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::RunProcess;
using testing_support::SimulatedBench;
using testing_support::Sqlite;

// The production example, four units: a pass, a fail, the same serial
// number passing on its retry, and ESC at the pass/fail question (the
// unit nobody judged). One run with its units, their serial numbers and
// verdicts, every exchange with its time, every answer with its kind.
TEST(StationRecords, TheProductionExampleLeavesEachUnitWithItsVerdict) {
  SimulatedBench bench;
  std::string script;
  ASSERT_TRUE(platform::ReadFile(HALVORN_SOURCE_DIR "/docs/examples/autocontrol_2.txt", script));
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "AppPrograms/AutoControl/autocontrol_2.txt",
                                        script));
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
  // Each unit's exchanges: the commands of the script and [CMDVERIFY]'s, each timed.
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, count(*), min(e.round_trip_us) > 0, "
                   "sum(e.outcome = 'ok') = count(*), min(e.device) LIKE 'Axis 01 {%' "
                   "FROM exchange e "
                   "JOIN unit u ON u.id = e.unit_id GROUP BY u.number"),
            "1|9|1|1|1\n2|9|1|1|1\n3|9|1|1|1\n4|9|1|1|1\n");
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, a.answer, a.kind FROM answer a JOIN unit u "
                   "ON u.id = a.unit_id WHERE a.kind != 'input' ORDER BY a.id"),
            "1|PASS|pass/fail\n2|FAIL|pass/fail\n3|PASS|pass/fail\n4||esc\n");
  EXPECT_EQ(Sqlite(db, "PRAGMA integrity_check"), "ok\n");

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

}  // namespace

// halvorn-results as the operator runs it: the real program on databases the
// terminal's own writer made, its output and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fixture.h"
#include "platform/files.h"
#include "records/station_db.h"

namespace {

using results_testing::Results;
using results_testing::ResultsOnTerminal;
using results_testing::WriteStationRecords;
using testing_support::RunProcess;
using testing_support::TestFolder;

const std::string kA = "2026-12-07T09:00:00.000Z,Bench 1,AppPrograms/AutoControl/autocontrol_1.txt";
const std::string kB = "2026-12-08T10:00:00.000Z,Bench 2,AppPrograms/AutoControl/autocontrol_2.txt";

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class ResultsProgram : public testing::Test {
 protected:
  void SetUp() override { WriteStationRecords(db); }
  TestFolder folder;
  const std::string db = folder / "records.db";
};

struct Case {
  std::vector<std::string> args;
  std::vector<std::string> lines;  // the CSV output, the header first
};

void ExpectCases(const std::string& db, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--records", db};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = Results(args);
    std::string name;
    for (const std::string& arg : c.args) name += arg + " ";
    EXPECT_EQ(run.exitCode, 0) << name << run.err;
    EXPECT_EQ(run.out, Lines(c.lines)) << name;
  }
}

TEST_F(ResultsProgram, RunsListsEachRunAndFiltersByTimeScriptAndStation) {
  const std::string header =
      "started_utc,ended_utc,station,mode,file,ending,exit_status,fail_count,units";
  const std::string a =
      "2026-12-07T09:00:00.000Z,2026-12-07T09:59:00.000Z,Bench 1,script,"
      "AppPrograms/AutoControl/autocontrol_1.txt,end,0,0,3";
  const std::string b =
      "2026-12-08T10:00:00.000Z,2026-12-08T10:59:00.000Z,Bench 2,script,"
      "AppPrograms/AutoControl/autocontrol_2.txt,end,0,0,4";
  const std::string c =
      "2026-12-08T11:00:00.000Z,2026-12-08T11:59:00.000Z,Bench 1,script,"
      "AppPrograms/AutoControl/autocontrol_1.txt,end,0,0,1";
  ExpectCases(
      db, {
              {{"runs"}, {header, a, b, c}},
              {{"runs", "--since", "2026-12-08"}, {header, b, c}},
              {{"runs", "--since", "2026-12-08T10:00:00.001Z"}, {header, c}},
              {{"runs", "--since", "2026-12-08T11:00:00+01:00"}, {header, b, c}},
              {{"runs", "--script", "autocontrol_2.txt"}, {header, b}},
              {{"runs", "--script", "AppPrograms/AutoControl/autocontrol_1.txt"}, {header, a, c}},
              {{"runs", "--station", "Bench 1"}, {header, a, c}},
              {{"runs", "--station=Bench 1", "--since", "2026-12-08"}, {header, c}},
          });
}

// Part of a file's name is no script's name.
TEST_F(ResultsProgram, NothingFoundEndsWithOne) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"runs", "--script", "control_1.txt"},
           {"runs", "--since", "2027-01-01"},
           {"unit", "SN-9"},
           {"yield", "--since", "2027-01-01"},
           {"failures", "--since", "2026-12-08T11:30:00.001Z"},
           {"export", "--since", "2027-01-01"},
           {"export", "--per", "unit", "--since", "2027-01-01"}}) {
    std::vector<std::string> full = {"--records", db};
    full.insert(full.end(), args.begin(), args.end());
    const auto run = Results(full);
    EXPECT_EQ(run.exitCode, 1) << args[0] << " " << args.back();
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_NE(run.err.find("nothing found"), std::string::npos) << run.err;
  }
}

TEST_F(ResultsProgram, UnitShowsEveryUnitOfTheSerialNumberWithItsFailedChecks) {
  ExpectCases(
      db,
      {{{"unit", "SN-1"},
        {"run_started_utc,station,file,unit,verdict,item,name,text,expected,reply,outcome",
         kA + ",1,fail,value,V1,SN-1,,,", kA + ",1,fail,answer,Enter Serial Number,SN-1,,,input",
         kA + ",1,fail,verdict,[LOOPONFAIL],,,,fail",
         kA + ",1,fail,failed,Axis 01,PX,1000,999,mismatch", kB + ",1,pass,value,V1,SN-1,,,",
         kB + ",1,pass,answer,Enter Serial Number,SN-1,,,input",
         kB + ",1,pass,verdict,[LOOPONFAIL],,,,pass"}},
       // Any variable holds it: R1 of A2 and B4.
       {{"unit", "5000"},
        {"run_started_utc,station,file,unit,verdict,item,name,text,expected,reply,outcome",
         kA + ",2,pass,value,V1,SN-2,,,", kA + ",2,pass,value,V2,\"say \"\"hi\"\", then\nbye\",,,",
         kA + ",2,pass,value,V3," + std::string("\x01\x1f A\0B \xc3\xa9 \xc3\xbc", 12) + ",,,",
         kA + ",2,pass,value,R1,5000,,,", kA + ",2,pass,verdict,[LOOPONFAIL],,,,pass",
         kB + ",4,pass,value,R1,5000,,,", kB + ",4,pass,verdict,[LOOPONFAIL],,,,pass"}},
       {{"unit", "SN-3"},
        {"run_started_utc,station,file,unit,verdict,item,name,text,expected,reply,outcome",
         kB + ",2,fail,value,V1,SN-3,,,", kB + ",2,fail,verdict,[LOOPONFAIL],,,,fail",
         kB + ",2,fail,failed,Axis 01,PX,1000,5,mismatch",
         kB + ",2,fail,failed,Axis 01,ID,,(SERIAL Timeout),time-out"}}});
}

// First-pass yield counts a serial number once, by its first judged unit:
// SN-1 failed in A and passed in B; SN-4 was only aborted; the unit
// without V1 counts by itself.
TEST_F(ResultsProgram, YieldCountsVerdictsAndTheFirstPassOfEachSerialNumber) {
  const std::string header = "units,passed,failed,aborted,keys_judged,first_pass,first_pass_yield";
  const std::string day07 = "3,2,1,0,3,2,66.7%";
  const std::string day08 = "5,2,2,1,2,1,50.0%";
  const std::string bench2 = "4,2,1,1,2,1,50.0%";
  const std::string bench1 = "4,2,2,0,3,2,66.7%";
  ExpectCases(db,
              {
                  {{"yield"}, {header, "8,4,3,1,5,3,60.0%"}},
                  // SN-1 came back on the 8th after failing on the 7th: not a first pass.
                  {{"yield", "--since", "2026-12-08"}, {header, day08}},
                  {{"yield", "--by", "day"},
                   {"day," + header, "2026-12-07," + day07, "2026-12-08," + day08}},
                  {{"yield", "--by", "hour"},
                   {"hour," + header, "2026-12-07T09," + day07, "2026-12-08T10," + bench2,
                    "2026-12-08T11,1,0,1,0,0,0,"}},
                  {{"yield", "--by", "station"},
                   {"station," + header, "Bench 1," + bench1, "Bench 2," + bench2}},
                  {{"yield", "--by", "script", "--since", "2026-12-08"},
                   {"script," + header, "AppPrograms/AutoControl/autocontrol_1.txt,1,0,1,0,0,0,",
                    "AppPrograms/AutoControl/autocontrol_2.txt," + bench2}},
                  // Only A2 has V2: every other unit is a physical unit of its own.
                  {{"yield", "--key", "v2"}, {header, "8,4,3,1,7,4,57.1%"}},
              });
}

TEST_F(ResultsProgram, FailuresRanksChecksByCountWithTheLastThreeSerialNumbers) {
  ExpectCases(db,
              {
                  {{"failures"},
                   {"command,expected,count,last_utc,last_V1",
                    "PX,1000,5,2026-12-08T11:01:00.000Z,SN-2; SN-4; SN-3",
                    "ID,,2,2026-12-08T11:30:00.000Z,SN-3"}},
                  // One each: the later first.
                  {{"failures", "--since", "2026-12-08T10:30Z"},
                   {"command,expected,count,last_utc,last_V1", "ID,,1,2026-12-08T11:30:00.000Z,",
                    "PX,1000,1,2026-12-08T11:01:00.000Z,SN-2"}},
              });
}

TEST_F(ResultsProgram, ExportWritesAnExchangeOrAUnitALine) {
  const auto all = Results({"--records", db, "export"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_TRUE(all.out.starts_with(
      "run_uuid,run_started_utc,station,mode,file,unit,V1,verdict,sequence,at_utc,device,command,"
      "expected,reply,outcome,round_trip_us\r\n"))
      << all.out;
  // The CSV read back by Python's csv module: 12 exchanges and the header,
  // every row as wide as the header.
  const auto parsed = RunProcess({"/usr/bin/python3", "-c",
                                  "import csv,sys\n"
                                  "rows=list(csv.reader(sys.stdin))\n"
                                  "print(len(rows), set(len(r) for r in rows))\n"
                                  "print(rows[-1])"},
                                 all.out);
  EXPECT_EQ(parsed.out,
            "13 {16}\n['run-c', '2026-12-08T11:00:00.000Z', 'Bench 1', 'script', "
            "'AppPrograms/AutoControl/autocontrol_1.txt', '', '', '', '2', "
            "'2026-12-08T11:30:00.000Z', 'Axis 01', 'ID', '', '(link error)', 'link error', '5']\n")
      << parsed.err;
  std::string b4 = "run-b," + kB.substr(0, 24) +
                   ",Bench 2,script,AppPrograms/AutoControl/autocontrol_2.txt,"
                   "4,2026-12-08T10:04:00.000Z,2026-12-08T10:04:00.000Z,pass,0";
  // V1..V9 empty, R1 5000, R2..C9 empty.
  b4 += std::string(10, ',') + "5000" + std::string(17, ',');
  const auto units =
      Results({"--records", db, "export", "--per", "unit", "--since", "2026-12-08T10:04Z"});
  EXPECT_EQ(units.exitCode, 0) << units.err;
  EXPECT_EQ(units.out.substr(units.out.find("\r\n") + 2, b4.size() + 2), b4 + "\r\n");
  EXPECT_EQ(std::count(units.out.begin(), units.out.end(), '\n'), 3);  // header, B4, C1
}

// Python's csv and json modules read every text back as it was stored:
// commas, quotes, line ends, control bytes, a NUL and letters beyond ASCII.
TEST_F(ResultsProgram, CsvAndJsonLinesGiveEveryTextBackExactly) {
  const std::string v2 = "say \"hi\", then\nbye";
  const std::string v3 = std::string("\x01\x1f A\0B \xc3\xa9 \xc3\xbc", 12);
  const std::string check =
      "import csv,json,sys,io\n"
      "data=sys.stdin.buffer.read().decode('utf-8')\n"
      "if sys.argv[1]=='csv':\n"
      "  rows=list(csv.DictReader(io.StringIO(data, newline='')))\n"
      "else:\n"
      "  rows=[json.loads(l) for l in data.split('\\n') if l]\n"
      "for r in rows:\n"
      "  if r['name'] in ('V2','V3'): "
      "sys.stdout.buffer.write((r['name']+'='+r['text']+'|').encode())\n"
      "print(rows[0]['unit'].__class__.__name__, rows[0]['expected'])\n";
  for (const std::string format : {"csv", "jsonl"}) {
    const auto run = Results({"--records", db, "--format", format, "unit", "say"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto parsed = RunProcess({"/usr/bin/python3", "-c", check, format}, run.out);
    EXPECT_EQ(parsed.out,
              "V2=" + v2 + "|V3=" + v3 + "|" + (format == "csv" ? "str \n" : "int None\n"))
        << format << parsed.err << run.out;
  }
  const auto jsonl = Results({"--records", db, "--format", "jsonl", "unit", "say"});
  EXPECT_NE(jsonl.out.find(R"("text":"\u0001\u001f A\u0000B )"
                           "\xc3\xa9 \xc3\xbc\""),
            std::string::npos)
      << jsonl.out;
  EXPECT_NE(jsonl.out.find(R"("text":"say \"hi\", then\nbye")"), std::string::npos);
}

// On a terminal the rows are a table: columns as wide as their widest
// text, control bytes shown, not sent; through a pipe they are CSV.
TEST_F(ResultsProgram, ATerminalGetsAnAlignedTableAndAPipeCsv) {
  const auto table = ResultsOnTerminal({"--records", db, "yield", "--by", "station"});
  EXPECT_EQ(table.exitCode, 0) << table.out;
  EXPECT_EQ(table.out,
            "station  units  passed  failed  aborted  keys_judged  first_pass  first_pass_yield\n"
            "Bench 1  4      2       2       0        3            2           66.7%\n"
            "Bench 2  4      2       1       1        2            1           50.0%\n");
  const auto values = ResultsOnTerminal({"--records", db, "unit", "say"});
  EXPECT_NE(values.out.find("  ^A^_ A^@B \xc3\xa9 \xc3\xbc\n"), std::string::npos) << values.out;
  EXPECT_NE(values.out.find("say \"hi\", then^Jbye"), std::string::npos) << values.out;
  const auto csv = ResultsOnTerminal({"--records", db, "--format", "csv", "yield"});
  EXPECT_EQ(csv.out, Lines({"units,passed,failed,aborted,keys_judged,first_pass,first_pass_yield",
                            "8,4,3,1,5,3,60.0%"}));
  const auto piped = Results({"--records", db, "--format", "table", "yield"});
  EXPECT_EQ(piped.out,
            "units  passed  failed  aborted  keys_judged  first_pass  first_pass_yield\n"
            "8      4       3       1        5            3           60.0%\n");
}

TEST_F(ResultsProgram, UsageErrorsEndWithTwoAndTheUsageHint) {
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"bogus"},
      {"runs", "--bogus"},
      {"runs", "--since"},
      {"runs", "--since", ""},
      {"runs", "--since", "2026-13-01"},
      {"runs", "--since", "2026-02-29"},
      {"runs", "--since", "yesterday"},
      {"runs", "--since", "2026-12-08T25:00Z"},
      {"runs", "--since", "2026-12-08", "--since", "2026-12-09"},
      {"runs", "--by", "day"},
      {"runs", "extra"},
      {"unit"},
      {"unit", "SN-1", "SN-2"},
      {"yield", "--by", "week"},
      {"yield", "--key", "V0"},
      {"yield", "--key", "X1"},
      {"export", "--per", "run"},
      {"--format", "xml", "runs"},
      {"check", "--since", "2026-12-08"},
  };
  for (const auto& args : mistakes) {
    std::vector<std::string> full = {"--records", db};
    full.insert(full.end(), args.begin(), args.end());
    const auto run = Results(full);
    const std::string name = args.empty() ? "(none)" : args[0] + " ... " + args.back();
    EXPECT_EQ(run.exitCode, 2) << name;
    EXPECT_EQ(run.out, "") << name;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << name << run.err;
    EXPECT_NE(run.err.find("usage: halvorn-results"), std::string::npos) << name;
  }
}

// Rows that never reached a full disk are no results.
TEST_F(ResultsProgram, OutputThatCannotBeWrittenEndsWithFour) {
  for (const char* command : {"export", "runs", "--help"}) {
    const auto run = RunProcess({"/bin/sh", "-c", "\"$0\" --records \"$1\" $2 >/dev/full",
                                 testing_support::BinDir() + "/halvorn-results", db, command});
    EXPECT_EQ(run.exitCode, 4) << command << run.err;
    EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
  }
}

TEST_F(ResultsProgram, HelpNamesTheCommandsOptionsAndExitStatuses) {
  const auto help = Results({"runs", "--bogus", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* word : {"runs", "unit TEXT", "yield", "failures", "export", "check", "--since",
                           "--key", "--format", "Exit status", "3  the database"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

// The data folder as the terminal reads it: AppResults/records.db, or what
// AppConfig/Records.cfg names; RECORDS=OFF is said in words.
TEST(ResultsDataRoot, TheDatabaseIsFoundAsTheTerminalFindsIt) {
  TestFolder root;
  ASSERT_EQ(::mkdir((root / "AppResults").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root / "AppConfig").c_str(), 0755), 0);
  WriteStationRecords(root / "AppResults/records.db");
  EXPECT_EQ(Results({"--data-root", root.Path(), "yield", "--since", "2026-12-08"}).out,
            Lines({"units,passed,failed,aborted,keys_judged,first_pass,first_pass_yield",
                   "5,2,2,1,2,1,50.0%"}));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppConfig/Records.cfg", "RECORDS=elsewhere.db\n"));
  const auto moved = Results({"--data-root", root.Path(), "runs"});
  EXPECT_EQ(moved.exitCode, 3);
  EXPECT_NE(moved.err.find(root / "elsewhere.db"), std::string::npos) << moved.err;
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppConfig/Records.cfg", "RECORDS=OFF\n"));
  const auto off = Results({"--data-root", root.Path(), "runs"});
  EXPECT_EQ(off.exitCode, 3);
  EXPECT_NE(off.err.find("RECORDS=OFF"), std::string::npos) << off.err;
  // --records wins over the file.
  EXPECT_EQ(
      Results({"--data-root", root.Path(), "--records", root / "AppResults/records.db", "runs"})
          .exitCode,
      0);
}

std::string Bytes(const std::string& path) {
  std::string bytes;
  platform::ReadFile(path, bytes);
  return bytes;
}

// Whatever lies where the database should be, every command ends with 3
// and names the file, and the file keeps every byte.
TEST(ResultsDatabase, AFileThatIsNoSoundDatabaseEndsWithThreeAndStaysAsItWas) {
  struct Damage {
    const char* name;
    const char* reason;
    int checkStatus;  // of the check command
  };
  for (const Damage& damage :
       {Damage{"missing", "no such file", 3}, Damage{"folder", "a folder", 3},
        Damage{"empty", "empty", 3}, Damage{"random", "not an SQLite database", 3},
        Damage{"other", "without station records", 3}, Damage{"future", "schema version 99", 1},
        Damage{"damaged", "damaged", 1}, Damage{"schema", "malformed database schema", 1}}) {
    TestFolder folder;
    const std::string db = folder / "records.db";
    const std::string what = damage.name;
    if (what == "folder") {
      ASSERT_EQ(::mkdir(db.c_str(), 0755), 0);
    }
    if (what == "empty") {
      ASSERT_TRUE(platform::WriteFileAtomic(db, ""));
    }
    if (what == "random") {
      std::mt19937 random(7);
      std::string bytes(8192, '\0');
      for (char& byte : bytes) byte = static_cast<char>(random());
      ASSERT_TRUE(platform::WriteFileAtomic(db, bytes));
    }
    if (what == "other") RunProcess({"/usr/bin/sqlite3", db, "CREATE TABLE t (x)"});
    if (what == "future" || what == "damaged" || what == "schema") WriteStationRecords(db);
    if (what == "future") RunProcess({"/usr/bin/sqlite3", db, "PRAGMA user_version = 99"});
    if (what == "damaged") {
      // Every page after the first (the schema) overwritten.
      std::string bytes = Bytes(db);
      ASSERT_GT(bytes.size(), 8192u);
      for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
      ASSERT_TRUE(platform::WriteFileAtomic(db, bytes));
    }
    if (what == "schema") {
      // An unclosed "[" in the schema: SQLite's message quotes it with its line ends.
      std::string bytes = Bytes(db);
      const std::string column = "number INTEGER NOT NULL";
      ASSERT_NE(bytes.find(column), std::string::npos);
      for (std::size_t at; (at = bytes.find(column)) != std::string::npos;)
        bytes.replace(at, column.size(), "number [NTEGER NOT NULL");
      ASSERT_TRUE(platform::WriteFileAtomic(db, bytes));
    }
    const std::string before = Bytes(db);
    for (const char* command : {"runs", "unit", "yield", "failures", "export", "check"}) {
      std::vector<std::string> args = {"--records", db, command};
      if (std::string(command) == "unit") args.push_back("SN-1");
      const auto run = Results(args);
      const int expected = std::string(command) == "check" ? damage.checkStatus : 3;
      EXPECT_EQ(run.exitCode, expected) << what << " " << command << run.err;
      EXPECT_NE(run.err.find(db), std::string::npos) << what << " " << command << run.err;
      EXPECT_NE(run.err.find(damage.reason), std::string::npos)
          << what << " " << command << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << what << run.err;
    }
    EXPECT_EQ(Bytes(db), before) << what;
    EXPECT_EQ(platform::FileExists(db), what != "missing" && what != "folder") << what;
  }
}

// A database in a folder this user cannot write (as the station's records
// may be for a user who only reads them): read as it is, the commits a
// running terminal holds in its WAL journal too; only a -wal file without
// its writer's shared memory cannot be read, and the message says why.
TEST(ResultsDatabase, AFolderTheUserCannotWriteIsReadAllTheSame) {
  for (const std::string journal : {"none", "writer", "wal alone"}) {
    TestFolder folder;
    const std::string db = folder / "records.db";
    WriteStationRecords(db);
    std::unique_ptr<records::StationDatabase> writer;
    if (journal == "writer") {
      auto opened = records::StationDatabase::Open(db, 1000);
      ASSERT_TRUE(opened) << opened.Text();
      writer = std::move(*opened);
      records::RunStart start;
      start.uuid = "run-d";
      start.startedUtc = "2026-12-09T08:00:00.000Z";
      ASSERT_TRUE(writer->Begin() && writer->StartRun("Bench 3", "host", start) &&
                  writer->Commit());
    }
    if (journal == "wal alone") {
      ASSERT_TRUE(platform::WriteFileAtomic(db + "-wal", ""));
    }
    // As root, the program runs as nobody (a copy of it where nobody may run
    // it); as anyone else, the folder is theirs and made read-only.
    std::vector<std::string> argv;
    std::string program = testing_support::BinDir() + "/halvorn-results";
    if (::geteuid() == 0) {
      if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv to drop root";
      argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
      ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
      for (const char* file : {"", "-wal", "-shm"}) ::chmod((db + file).c_str(), 0644);
      std::string bytes = Bytes(program);
      program = folder / "halvorn-results";
      ASSERT_TRUE(platform::WriteFileAtomic(program, bytes));
      ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    } else {
      ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
    }
    argv.insert(argv.end(), {program, "--records", db, "--format", "csv", "runs", "--since",
                             "2026-12-08T11:00Z"});
    const std::string before = Bytes(db);
    const auto run = RunProcess(argv);
    ::chmod(folder.Path().c_str(), 0700);
    EXPECT_EQ(Bytes(db), before) << journal;
    if (journal == "wal alone") {
      EXPECT_EQ(run.exitCode, 3) << run.out;
      EXPECT_NE(run.err.find("a program is writing it"), std::string::npos) << run.err;
      continue;
    }
    EXPECT_EQ(run.exitCode, 0) << journal << run.err;
    const std::string runC = "2026-12-08T11:00:00.000Z,2026-12-08T11:59:00.000Z,Bench 1";
    EXPECT_TRUE(run.out.find(runC) != std::string::npos) << journal << run.out;
    EXPECT_EQ(run.out.find("2026-12-09T08:00:00.000Z,,Bench 3") != std::string::npos,
              journal == "writer")
        << journal << run.out;
  }
}

TEST_F(ResultsProgram, CheckReportsASoundDatabaseOfThisSchema) {
  const auto run = Results({"--records", db, "check"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, Lines({"check,result", "integrity,ok", "schema_version,2",
                            "known_schema_version,2", "verdict,ok"}));
}

}  // namespace

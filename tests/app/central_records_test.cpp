// Three stations (each its own data folder, simulator and halvorn-terminal) run the production
// example and forward their records to one PostgreSQL server of the test's own, as the station
// role; the server is stopped in the middle of their runs and started again, and one station is
// killed while it forwards and started again.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <random>
#include <regex>
#include <thread>

#include "platform/files.h"
#include "support/child_process.h"
#include "support/private_postgres.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::InteractiveProcess;
using testing_support::RunProcess;
using testing_support::Sqlite;

struct Station {
  testing_support::SimulatedBench bench;
  std::string name, db = bench.folder / "AppResults/records.db";
  int serials = 0;

  Station(int n, const std::string& central) : name("Bench " + std::to_string(n)) {
    std::string script;
    EXPECT_TRUE(platform::ReadFile(HALVORN_SOURCE_DIR "/docs/examples/autocontrol_2.txt", script));
    testing_support::WriteScript(bench.folder, 2, script);
    EXPECT_TRUE(platform::WriteFileAtomic(bench.folder / "AppConfig/Records.cfg",
                                          "STATION=" + name + "\nCENTRAL=" + central + "\n"));
  }
  // The production example for `units` more serial numbers, every third failing once and
  // passing on its retry, then ESC at the serial number's prompt.
  std::vector<std::string> Script(int units) {
    std::string answers;
    for (int i = 0; i < units; ++i) {
      const std::string serial = name + "-SN-" + std::to_string(++serials) + "\n";
      answers += (serials % 3 == 0 ? serial + "FAIL\nOK\n" : "") + serial + "PASS\n";
    }
    const std::string file = bench.folder / ("answers" + std::to_string(serials) + ".txt");
    EXPECT_TRUE(platform::WriteFileAtomic(file, answers + "ESC\n"));
    return bench.Terminal({"--answers", file, "/A2"});
  }
  // The longest a unit of run `run` (its place among the station's runs) took, in seconds.
  double LongestUnit(int run) const {
    return std::stod(Sqlite(db,
                            "SELECT max(julianday(u.ended_utc) - julianday(u.started_utc)) * "
                            "86400 FROM unit u WHERE u.run_id = (SELECT id FROM run ORDER BY id "
                            "LIMIT 1 OFFSET " +
                                std::to_string(run) + ")"));
  }
};

// halvorn-results with `args`, CSV on standard output; its status, and its output without the
// header line.
std::pair<int, std::string> Results(std::vector<std::string> args) {
  args.insert(args.begin(), testing_support::BinDir() + "/halvorn-results");
  args.insert(args.end() - 1, {"--format", "csv"});
  const auto run = RunProcess(args);
  return {run.exitCode, run.out.substr(std::min(run.out.size(), run.out.find('\n') + 1))};
}

// The run `argv` gives each station, all at once; each one's exit status and standard error.
template <typename Argv>
std::vector<testing_support::ProcessResult> AllAtOnce(
    const std::vector<std::unique_ptr<Station>>& stations, Argv argv) {
  std::vector<std::future<testing_support::ProcessResult>> started;
  for (const auto& station : stations)
    started.push_back(
        std::async(std::launch::async, RunProcess, argv(*station), "", std::vector<std::string>{}));
  std::vector<testing_support::ProcessResult> ended;
  for (auto& run : started) ended.push_back(run.get());
  return ended;
}

// Every unit, run and exchange of `station` is on `server` once, with its verdict.
void ExpectOnTheServer(const testing_support::PrivatePostgres& server, const Station& station) {
  SCOPED_TRACE(station.name);
  const std::string where = "station = '" + station.name + "'";
  EXPECT_EQ(server.Psql("SELECT u.run_uuid, u.number, coalesce(e.verdict, '-') FROM unit u "
                        "LEFT JOIN unit_end e USING (run_uuid, number) WHERE u." +
                        where + " ORDER BY 1, 2"),
            Sqlite(station.db,
                   "SELECT r.uuid, u.number, CASE WHEN u.ended_utc IS NULL THEN '-' ELSE "
                   "u.verdict END FROM unit u JOIN run r ON r.id = u.run_id ORDER BY 1, 2"));
  EXPECT_EQ(
      server.Psql("SELECT (SELECT count(*) FROM run WHERE " + where +
                  "), (SELECT count(*) FROM run_end WHERE " + where +
                  "), (SELECT count(*) FROM exchange WHERE " + where + ")"),
      Sqlite(station.db, "SELECT count(*), count(*), (SELECT count(*) FROM exchange) FROM run"));
}

// The central questions (`db`) answer what the stations' own files answer, and no station has
// anything waiting.
void ExpectTheSameAnswers(const std::string& db,
                          const std::vector<std::unique_ptr<Station>>& stations) {
  std::string yields;
  for (const auto& station : stations) {
    yields +=
        Results({"--data-root", station->bench.folder.Path(), "--by", "station", "yield"}).second;
  }
  EXPECT_EQ(Results({"--db", db, "--by", "station", "yield"}), std::pair(0, yields));
  const auto unit = Results({"--db", db, "unit", "Bench 2-SN-3"});
  EXPECT_EQ(unit.first, 0);
  EXPECT_NE(unit.second.find(",fail,verdict,[USERCHECK],"), std::string::npos) << unit.second;
  EXPECT_EQ(unit,
            Results({"--data-root", stations[1]->bench.folder.Path(), "unit", "Bench 2-SN-3"}));
  const std::regex nothingWaits("Bench [123],[-0-9T:.Z]+,0,0,0,0,0,[-0-9T:.Z]+\r\n");
  const auto [status, rows] = Results({"--db", db, "status"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::distance(std::sregex_iterator(rows.begin(), rows.end(), nothingWaits),
                          std::sregex_iterator()),
            3);
  EXPECT_EQ(std::regex_replace(rows, nothingWaits, ""), "") << rows;
}

TEST(CentralRecords, ThreeStationsAServerAwayAndAKilledStationEveryUnitOnceOnTheServer) {
  testing_support::PrivatePostgres server;
  ASSERT_EQ(server.Trouble(), "");
  server.MakeCentral();
  std::vector<std::unique_ptr<Station>> stations;
  for (int n = 1; n <= 3; ++n)
    stations.push_back(std::make_unique<Station>(n, server.StationUrl()));

  // The server takes every unit as it ends.
  for (const auto& run : AllAtOnce(stations, [](Station& s) { return s.Script(4); }))
    EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(server.Psql("SELECT station, count(*) FROM unit_end GROUP BY 1 ORDER BY 1"),
            "Bench 1|5\nBench 2|5\nBench 3|5\n");

  // The server stops while the stations test: they go on, and say once that their records wait.
  auto away = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    server.Stop();
  });
  const auto outage = AllAtOnce(stations, [](Station& s) { return s.Script(6); });
  away.get();
  for (const auto& run : outage) EXPECT_EQ(run.exitCode, 0) << run.err;
  // No unit waited for the server (a unit that did would take the connection's 10 s).
  for (const auto& station : stations) {
    std::printf("%s: longest unit %.3f s with the server, %.3f s during the outage\n",
                station->name.c_str(), station->LongestUnit(0), station->LongestUnit(1));
    EXPECT_LT(station->LongestUnit(1), 5.0);
  }

  // The first station's outage run and its units wait there, as its status tells.
  const auto waiting = Results({"--data-root", stations[0]->bench.folder.Path(), "status"});
  EXPECT_TRUE(std::regex_match(waiting.second, std::regex("Bench 1,[^,]*,1,[1-9][0-9]*,[1-9][0-9]*,"
                                                          "[1-9][0-9]*,0,[^,]*\r\n")))
      << waiting.second;

  // Back: the third station, with its backlog, is killed at a moment of a run that forwards.
  server.Start();
  std::mt19937 random(std::random_device{}());
  {
    InteractiveProcess run(stations[2]->Script(30));
    run.WaitForError("\x01 never shown", 1, (200 + random() % 1500) / 1000.0);
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait(10), 128 + SIGKILL);
  }
  // Every station starts once more, and its backlog goes.
  const auto again = [](Station& s) { return s.bench.Terminal({"--exec", "ID"}); };
  for (const auto& run : AllAtOnce(stations, again)) EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const auto& station : stations) ExpectOnTheServer(server, *station);
  ExpectTheSameAnswers(server.Url("postgres", "halvorn_reader"), stations);
}

}  // namespace

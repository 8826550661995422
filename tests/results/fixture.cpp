#include "fixture.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "records/station_db.h"

namespace results_testing {

namespace {

using records::StationDatabase;

struct Unit {
  int number;
  std::string verdict;
  std::vector<std::pair<std::string, std::string>> values;
  // command, expected, reply, outcome
  std::vector<std::vector<std::string>> exchanges;
};

void WriteRun(StationDatabase& db, const std::string& station, const std::string& uuid,
              const std::string& file, const std::string& day, int hour,
              const std::vector<Unit>& units) {
  const auto at = [&day, hour](int minute) {
    char text[40];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:00.000Z", day.c_str(), hour, minute);
    return std::string(text);
  };
  ASSERT_TRUE(db.Begin());
  records::RunStart start;
  start.uuid = uuid;
  start.programVersion = "2.49";
  start.mode = "script";
  start.file = file;
  start.operatorName = "op";
  start.startedUtc = at(0);
  start.processId = 1;
  ASSERT_TRUE(db.StartRun(station, "host", start));
  std::int64_t sequence = 0;
  for (const Unit& unit : units) {
    ASSERT_TRUE(db.StartUnit(unit.number, at(unit.number)));
    if (unit.number == 1) {
      ASSERT_TRUE(db.AddAnswer({1, "Enter Serial Number", unit.values.at(0).second, "input"}));
    }
    int fails = 0;
    for (const auto& e : unit.exchanges) {
      ASSERT_TRUE(db.AddExchange(
          {unit.number, ++sequence, "Axis 01", e[0], e[2], e[1], e[3], 900, at(unit.number)}));
      fails += e[3] != "ok";
    }
    ASSERT_TRUE(db.AddVerdict(
        {unit.number, "[LOOPONFAIL]", "", unit.verdict == "aborted" ? "esc" : unit.verdict}));
    ASSERT_TRUE(db.EndUnit(
        {unit.number, at(unit.number), at(unit.number), unit.verdict, fails, unit.values}));
  }
  if (uuid == "run-c") {
    ASSERT_TRUE(db.AddExchange(
        {0, ++sequence, "Axis 01", "ID", "(link error)", "", "link error", 5, at(30)}));
  }
  ASSERT_TRUE(db.EndRun({at(59), "end", 0, 0}));
  ASSERT_TRUE(db.Commit());
}

}  // namespace

void WriteStationRecords(const std::string& path) {
  auto opened = StationDatabase::Open(path, 1000);
  ASSERT_TRUE(opened) << opened.Text();
  StationDatabase& db = **opened;
  const std::vector<std::string> ok = {"PX", "", "2000", "ok"};
  WriteRun(db, "Bench 1", "run-a", "AppPrograms/AutoControl/autocontrol_1.txt", "2026-12-07", 9,
           {{1, "fail", {{"V1", "SN-1"}}, {ok, {"PX", "1000", "999", "mismatch"}}},
            {2,
             "pass",
             {{"V1", "SN-2"},
              {"V2", "say \"hi\", then\nbye"},
              {"V3", std::string("\x01\x1f A\0B \xe9 \xfc", 10)},
              {"R1", "5000"}},
             {ok}},
            {3, "pass", {{"V1", "SN-5"}}, {ok}}});
  WriteRun(db, "Bench 2", "run-b", "AppPrograms/AutoControl/autocontrol_2.txt", "2026-12-08", 10,
           {{1, "pass", {{"V1", "SN-1"}}, {ok}},
            {2,
             "fail",
             {{"V1", "SN-3"}},
             {{"PX", "1000", "5", "mismatch"}, {"ID", "", "(SERIAL Timeout)", "time-out"}}},
            {3,
             "aborted",
             {{"V1", "SN-4"}},
             {{"PX", "1000", "6", "mismatch"}, {"PX", "1000", "4", "mismatch"}}},
            {4, "pass", {{"R1", "5000"}}, {ok}}});
  WriteRun(db, "Bench 1", "run-c", "AppPrograms/AutoControl/autocontrol_1.txt", "2026-12-08", 11,
           {{1, "fail", {{"V1", "SN-2"}}, {{"PX", "1000", "7", "mismatch"}}}});
}

testing_support::ProcessResult Results(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {testing_support::BinDir() + "/halvorn-results"};
  argv.insert(argv.end(), args.begin(), args.end());
  return testing_support::RunProcess(argv);
}

testing_support::ProcessResult ResultsOnTerminal(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {testing_support::BinDir() + "/halvorn-results"};
  argv.insert(argv.end(), args.begin(), args.end());
  testing_support::ProcessResult result;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  if (pid < 0) return result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n > 0) {
      result.out.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO: the program has ended and closed the terminal
    }
  }
  ::close(master);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::string out;
  for (std::size_t i = 0; i < result.out.size(); ++i) {
    if (result.out[i] == '\r' && i + 1 < result.out.size() && result.out[i + 1] == '\n') continue;
    out += result.out[i];
  }
  result.out = out;
  return result;
}

}  // namespace results_testing

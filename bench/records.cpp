// The station's records, measured side by side in one run:
//  (a) the real headless program with the in-process HID stand-in (a link
//      that answers at once), one line of 100,000 commands, recording on
//      against --no-records, interleaved on one data folder whose database
//      already exists (a station's usual case): the ratio of wall times
//      (target <= 1.05), and the bytes each exchange adds to the database;
//  (b) the writer alone: units a second it keeps with a commit at each
//      unit's end, as a script run asks (each unit: 10 exchanges, an answer,
//      a verdict, 27 values), and exchanges a second without units.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "records/record_writer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

double Best(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

// halvorn-terminal --headless on `root` with `line` on standard input and
// its output thrown away; the wall time in seconds (negative on failure).
double RunProgram(const std::string& program, const std::string& root, const std::string& input,
                  bool records) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> env{"HALVORN_SIM_HID_BOARDS=1"};
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args{program, "--headless", "--data-root", root};
  if (!records) args.push_back("--no-records");
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  const bool spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (!spawned || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return -1;
  }
  return SecondsSince(start);
}

std::uintmax_t DatabaseBytes(const std::string& db) {
  std::uintmax_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(db + suffix, error);
    if (!error) bytes += size;
  }
  return bytes;
}

records::RunStart Start(int n) {
  return {"bench-" + std::to_string(n),
          "bench",
          "script",
          "autocontrol_1.txt",
          std::string(64, 'a'),
          "operator",
          "2026-12-08T10:00:00.000Z",
          60,
          1,
          "boot"};
}

// (b): `units` units through one writer; units a second.
records::WriterSettings Settings(const std::string& db) {
  records::WriterSettings settings;
  settings.path = db;
  settings.station = "bench";
  settings.host = "bench";
  return settings;
}

double WriterUnits(const std::string& db, int units) {
  records::RecordWriter writer(Settings(db));
  writer.Add(Start(units));
  writer.Sync();
  const auto start = Clock::now();
  std::int64_t sequence = 0;
  for (int unit = 1; unit <= units; ++unit) {
    writer.Add(records::UnitStart{unit, "2026-12-08T10:00:01.000Z"});
    writer.Add(
        records::AnswerRecord{unit, "Enter Serial Number", "SN-" + std::to_string(unit), "input"});
    for (int i = 0; i < 10; ++i) {
      writer.Add(records::ExchangeRecord{unit, ++sequence, "Axis 01 {/dev/ttyUSB0:115200}", "PX",
                                         std::to_string(unit * 10 + i), "", "ok", 812,
                                         "2026-12-08T10:00:01.123Z"});
    }
    writer.Add(records::VerdictRecord{unit, "[PASSFAILMSG]", "", "pass"});
    records::UnitEnd end{unit, "2026-12-08T10:00:01.000Z", "2026-12-08T10:00:02.000Z", "pass", 0,
                         {}};
    for (const char bank : {'V', 'R', 'C'}) {
      for (int v = 1; v <= 9; ++v)
        end.values.emplace_back(std::string(1, bank) + std::to_string(v), "12345");
    }
    writer.Add(std::move(end));
    writer.Sync();
  }
  const double seconds = SecondsSince(start);
  writer.Finish();
  return writer.Lost() == 0 ? units / seconds : -1;
}

// (b): `count` exchanges without units, as a line terminal's; exchanges a second.
double WriterExchanges(const std::string& db, int count) {
  records::RecordWriter writer(Settings(db));
  writer.Add(Start(-count));
  writer.Sync();
  const auto start = Clock::now();
  for (int i = 1; i <= count; ++i) {
    writer.Add(records::ExchangeRecord{0, i, "Torvane Sim Board 1", "LSPD=500", "OK", "", "ok", 3,
                                       "2026-12-08T10:00:01.123Z"});
  }
  writer.Sync();
  const double seconds = SecondsSince(start);
  writer.Finish();
  return writer.Lost() == 0 ? count / seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string bin = std::filesystem::path(argc > 0 ? argv[0] : ".").parent_path().string();
  const std::string program = (bin.empty() ? std::string(".") : bin) + "/halvorn-terminal";
  char root[] = "/tmp/halvorn-bench-XXXXXX";
  if (!::mkdtemp(root)) return 1;
  const std::string input = std::string(root) + "/line.txt";
  {
    std::string line;
    for (int i = 0; i < 100'000; ++i)
      line += (i ? ",LSPD=" : "LSPD=") + std::to_string(100 + i % 900);
    line += "\n";
    FILE* f = std::fopen(input.c_str(), "w");
    if (!f) return 1;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
  const std::string db = std::string(root) + "/AppResults/records.db";

  // (a) A first run creates the data folders and the database.
  if (RunProgram(program, root, input, true) < 0) {
    std::printf("(a) the program did not run: %s\n", program.c_str());
    return 1;
  }
  std::vector<double> on, off;
  std::uintmax_t added = 0;
  for (int round = 0; round < 7; ++round) {
    const std::uintmax_t before = DatabaseBytes(db);
    on.push_back(RunProgram(program, root, input, true));
    added = DatabaseBytes(db) - before;
    off.push_back(RunProgram(program, root, input, false));
  }
  std::printf(
      "(a) one line of 100,000 commands, HID stand-in: recording on %.3f s, off %.3f s "
      "(medians of %zu)\n"
      "    ratio %.2f by medians, %.2f by best runs (target <= 1.05); %.0f bytes a exchange\n",
      Median(on), Median(off), on.size(), Median(on) / Median(off), Best(on) / Best(off),
      static_cast<double>(added) / 100'000);

  // (b)
  std::vector<double> units, exchanges;
  for (int round = 0; round < 3; ++round) {
    units.push_back(WriterUnits(std::string(root) + "/units.db", 2000));
    exchanges.push_back(WriterExchanges(std::string(root) + "/exchanges.db", 200'000));
  }
  std::printf(
      "(b) the writer: %.0f units a second with a commit at each (best of %zu; 10 exchanges, "
      "27 values each), %.0f exchanges a second without units\n",
      *std::max_element(units.begin(), units.end()), units.size(),
      *std::max_element(exchanges.begin(), exchanges.end()));
  std::filesystem::remove_all(root);
  return 0;
}

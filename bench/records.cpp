// The station's records, measured side by side in one run:
//  (a) the real headless program with the in-process HID stand-in (a link
//      that answers at once), one line of 100,000 commands, recording on
//      against --no-records, interleaved on one data folder whose database
//      already exists (a station's usual case): the ratio of wall times
//      (target <= 1.05), and the bytes each exchange adds to the database;
//  (b) the writer alone: units a second it keeps with a commit at each
//      unit's end, as a script run asks (each unit: 10 exchanges, an answer,
//      a verdict, 27 values), and exchanges a second without units;
//  (c) SQLite's own floor: the same 100,000 exchange rows inserted by a bare
//      loop (the exchange table alone, no checks, no index, each statement
//      prepared once, texts bound without a copy), one row a statement and
//      32 rows a statement, beside the run without recording. A writer of
//      one row an exchange cannot cost less than this.
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

#include <sqlite3.h>

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

// (c): `count` exchange rows, `perStatement` to an INSERT, into a new
// database at `db` in one transaction; seconds (negative on failure).
double BareInserts(const std::string& db, int count, int perStatement) {
  std::filesystem::remove(db);
  sqlite3* connection = nullptr;
  if (sqlite3_open(db.c_str(), &connection) != SQLITE_OK) return -1;
  std::string insert =
      "INSERT INTO exchange (run_id, unit_id, sequence, device, command, reply, expected, "
      "outcome, round_trip_us, at_utc) VALUES ";
  for (int row = 0; row < perStatement; ++row)
    insert += row ? ",(?,?,?,?,?,?,?,?,?,?)" : "(?,?,?,?,?,?,?,?,?,?)";
  sqlite3_stmt* statement = nullptr;
  bool ok =
      sqlite3_exec(connection,
                   "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE exchange ("
                   "id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL, unit_id INTEGER, sequence "
                   "INTEGER NOT NULL, device TEXT NOT NULL, command TEXT NOT NULL, reply TEXT NOT "
                   "NULL, expected TEXT NOT NULL, outcome TEXT NOT NULL, round_trip_us INTEGER "
                   "NOT NULL, at_utc TEXT NOT NULL)",
                   nullptr, nullptr, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(connection, insert.c_str(), -1, &statement, nullptr) == SQLITE_OK;
  const auto text = [&](int at, const char* value) {
    sqlite3_bind_text(statement, at, value, -1, SQLITE_STATIC);
  };
  const auto start = Clock::now();
  ok = ok && sqlite3_exec(connection, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  for (int i = 0; ok && i < count; i += perStatement) {
    for (int row = 0; row < perStatement; ++row) {
      const int at = row * 10;
      sqlite3_bind_int64(statement, at + 1, 1);
      sqlite3_bind_null(statement, at + 2);
      sqlite3_bind_int64(statement, at + 3, i + row + 1);
      text(at + 4, "Torvane Sim Board 1");
      text(at + 5, "LSPD=500");
      text(at + 6, "OK");
      text(at + 7, "");
      text(at + 8, "ok");
      sqlite3_bind_int64(statement, at + 9, 3);
      text(at + 10, "2026-12-08T10:00:01.123Z");
    }
    ok = sqlite3_step(statement) == SQLITE_DONE && sqlite3_reset(statement) == SQLITE_OK;
  }
  ok = ok && sqlite3_exec(connection, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  const double seconds = SecondsSince(start);
  sqlite3_finalize(statement);
  sqlite3_close(connection);
  return ok ? seconds : -1;
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

  // (c)
  for (const int perStatement : {1, 32}) {
    std::vector<double> bare;
    for (int round = 0; round < 5; ++round)
      bare.push_back(BareInserts(std::string(root) + "/bare.db", 100'000, perStatement));
    std::printf(
        "(c) SQLite alone, 100,000 bare exchange rows, %d a statement: %.3f s (median of %zu), "
        "%.2f times the run without recording\n",
        perStatement, Median(bare), bare.size(), Median(bare) / Median(off));
  }
  std::filesystem::remove_all(root);
  return 0;
}

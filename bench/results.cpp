// halvorn-results answers the questions asked at the station's desk
// (a serial number's units, the yield) in well under 100 ms on a year's
// records of a busy station: 20,000 units with 50 exchanges and 9 values
// each.
//
// Builds that database in a temporary folder with the terminal's own writer
// (records::StationDatabase), then prints for each query the wall time of
// opening the database read-only and answering, as halvorn-results does:
// the median and the slowest of the rounds. The database is then given
// the indexes of schema version 1 instead and timed again, to show what the
// later ones buy.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "records/station_db.h"
#include "results/queries.h"
#include "results/records_reader.h"

namespace {

constexpr int kRuns = 200;
constexpr int kUnitsPerRun = 100;      // 20,000 units
constexpr int kExchangesPerUnit = 50;  // 1,000,000 exchanges

std::string At(int run, int unit, int exchange) {
  // Each run on its own day and hour; units a minute apart.
  char text[40];
  std::snprintf(text, sizeof text, "2026-%02d-%02dT%02d:%02d:%02d.%03dZ", 1 + run / 28 % 12,
                1 + run % 28, 6 + run % 12, unit * 59 / kUnitsPerRun, exchange % 60,
                exchange * 7 % 1000);
  return text;
}

bool Build(const std::string& path) {
  auto opened = records::StationDatabase::Open(path, 5000);
  if (!opened) {
    std::printf("cannot build the database: %s\n", opened.Text().c_str());
    return false;
  }
  records::StationDatabase& db = **opened;
  int serial = 0;
  for (int run = 0; run < kRuns; ++run) {
    if (!db.Begin()) return false;
    records::RunStart start;
    start.uuid = "run-" + std::to_string(run);
    start.programVersion = "2.49";
    start.mode = "script";
    start.file = "AppPrograms/AutoControl/autocontrol_" + std::to_string(1 + run % 3) + ".txt";
    start.operatorName = "op";
    start.startedUtc = At(run, 0, 0);
    if (!db.StartRun("Bench " + std::to_string(1 + run % 4), "host", start)) return false;
    for (int unit = 1; unit <= kUnitsPerRun; ++unit) {
      // One unit in 20 fails its position check and comes back as the next.
      const bool fails = (run * kUnitsPerRun + unit) % 20 == 0;
      if (!db.StartUnit(unit, At(run, unit, 0))) return false;
      for (int e = 0; e < kExchangesPerUnit; ++e) {
        const bool mismatch = fails && e == 17;
        if (!db.AddExchange({unit, unit * 100 + e, "Axis 01 {COM3:9600}",
                             e % 2 ? "PX" : "HSPD=5000,HSPD", mismatch ? "1999" : "2000",
                             e % 2 ? "2000" : "", mismatch ? "mismatch" : "ok", 850,
                             At(run, unit, e)})) {
          return false;
        }
      }
      char text[32];
      std::snprintf(text, sizeof text, "{Serial Number} SN-%06d", serial);
      if (!fails) ++serial;
      if (!db.EndUnit({unit,
                       At(run, unit, 0),
                       At(run, unit, 59),
                       fails ? "fail" : "pass",
                       fails ? 1 : 0,
                       {{"V1", text},
                        {"V2", "Operator 7"},
                        {"R1", "5000"},
                        {"R2", "2000"},
                        {"R3", "500"},
                        {"R4", "HALVORN SIM 01"},
                        {"R5", "OK"},
                        {"C1", "Line 3"},
                        {"C2", "Batch 2026-12"}}})) {
        return false;
      }
    }
    if (!db.EndRun({At(run, kUnitsPerRun, 59), "end", 0, 0}) || !db.Commit()) return false;
  }
  return true;
}

struct Timing {
  double median = 0, slowest = 0;
  std::int64_t rows = 0;
};

Timing Time(const std::string& path, int rounds,
            const std::function<platform::Result<std::int64_t>(const results::RecordsReader&,
                                                               std::ostream&)>& query) {
  std::vector<double> times;
  Timing timing;
  for (int r = 0; r < rounds; ++r) {
    std::ostringstream out;
    const auto begin = std::chrono::steady_clock::now();
    auto reader = results::RecordsReader::Open(path, false);
    if (!reader) {
      std::printf("%s\n", reader.Text().c_str());
      return timing;
    }
    const auto rows = query(**reader, out);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
            .count());
    timing.rows = rows ? *rows : -1;
  }
  std::sort(times.begin(), times.end());
  timing.median = times[times.size() / 2];
  timing.slowest = times.back();
  return timing;
}

void Report(const std::string& path, const char* schema) {
  using results::Format;
  results::Filters all, byDay, recent;
  byDay.by = "day";
  recent.since = "2026-08-01";
  const struct {
    const char* name;
    int rounds;
    std::function<platform::Result<std::int64_t>(const results::RecordsReader&, std::ostream&)>
        query;
  } queries[] = {
      {"unit SN-004321", 21,
       [](const auto& db, auto& out) { return results::Units(db, "SN-004321", out, Format::Csv); }},
      {"unit SN-000019 (failed, retested)", 21,
       [](const auto& db, auto& out) { return results::Units(db, "SN-000019", out, Format::Csv); }},
      {"yield", 21,
       [&](const auto& db, auto& out) { return results::Yield(db, all, out, Format::Csv); }},
      {"yield --by day", 21,
       [&](const auto& db, auto& out) { return results::Yield(db, byDay, out, Format::Csv); }},
      {"runs", 21,
       [&](const auto& db, auto& out) { return results::Runs(db, all, out, Format::Csv); }},
      {"failures", 5,
       [&](const auto& db, auto& out) { return results::Failures(db, all, out, Format::Csv); }},
      {"failures --since 2026-08-01", 5,
       [&](const auto& db, auto& out) { return results::Failures(db, recent, out, Format::Csv); }},
  };
  for (const auto& q : queries) {
    const Timing t = Time(path, q.rounds, q.query);
    std::printf("%-10s %-32s %8.1f ms median %8.1f ms slowest (%lld rows)\n", schema, q.name,
                t.median, t.slowest, static_cast<long long>(t.rows));
  }
}

}  // namespace

// bench_results [FOLDER]: with a folder, the database is built there and
// kept (FOLDER/records.db, as schema 1 after the run) to be looked into.
int main(int argc, char** argv) {
  char temporary[] = "/tmp/halvorn-bench-results-XXXXXX";
  const bool keep = argc > 1;
  if (!keep && !::mkdtemp(temporary)) return 1;
  const std::string folder = keep ? argv[1] : temporary;
  const std::string path = folder + "/records.db";
  const auto begin = std::chrono::steady_clock::now();
  const bool built = Build(path);
  std::printf("%d runs, %d units, %d exchanges written in %.1f s (%.0f MB)\n", kRuns,
              kRuns * kUnitsPerRun, kRuns * kUnitsPerRun * kExchangesPerUnit,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(),
              static_cast<double>(std::filesystem::file_size(path)) / 1e6);
  if (built) {
    Report(path, "schema 3");
    // The same records as a version-1 program keeps them.
    if (std::system(("sqlite3 '" + path +
                     "' 'DROP INDEX unit_started; DROP INDEX exchange_not_ok; "
                     "CREATE INDEX exchange_run ON exchange(run_id, sequence); "
                     "CREATE INDEX exchange_unit ON exchange(unit_id); PRAGMA user_version=1'")
                        .c_str()) == 0) {
      Report(path, "schema 1");
    }
  }
  if (!keep) std::filesystem::remove_all(folder);
  return built ? 0 : 1;
}

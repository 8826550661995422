// Runs written by the station's own writer, for the tests of what reads station records.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "records/station_db.h"

namespace testing_support {

struct RecordedUnit {
  int number;
  std::string verdict;  // "" for a unit that has not ended
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::vector<std::string>> exchanges;  // command, expected, reply, outcome
};
// Run `uuid` of `station` (its script `file`, started at `hour`, "2026-12-07T09" UTC) into the
// station database `path`: each unit started at minute `number` of the hour, unit 2 with an
// answer (its first value); `linkError`: an ID outside any unit at minute 30. A run whose last
// unit has not ended goes on.
inline void WriteRun(const std::string& path, const std::string& station, const std::string& uuid,
                     const std::string& file, const std::string& hour,
                     const std::vector<RecordedUnit>& units, bool linkError = false) {
  auto opened = records::StationDatabase::Open(path, 1000);
  ASSERT_TRUE(opened) << opened.Text();
  records::StationDatabase& db = **opened;
  const auto at = [&hour](int minute) {
    return hour + (minute < 10 ? ":0" : ":") + std::to_string(minute) + ":00.000Z";
  };
  ASSERT_TRUE(db.Begin() &&
              db.StartRun(station, "host", {uuid, "", "script", file, "", "", at(0), 0, 0, ""}));
  std::int64_t sequence = 0;
  for (const RecordedUnit& unit : units) {
    const int n = unit.number;
    ASSERT_TRUE(db.StartUnit(n, at(n)));
    ASSERT_TRUE(n != 2 || db.AddAnswer({2, "Serial", unit.values.at(0).second, "input"}));
    int fails = 0;
    for (const auto& e : unit.exchanges) {
      ASSERT_TRUE(db.AddExchange({n, ++sequence, "Axis 01", e[0], e[2], e[1], e[3], 900, at(n)}));
      fails += e[3] != "ok";
    }
    if (unit.verdict.empty()) continue;
    const std::string outcome = unit.verdict == "aborted" ? "esc" : unit.verdict;
    ASSERT_TRUE(db.AddVerdict({n, "[LOOPONFAIL]", "", outcome}) &&
                db.EndUnit({n, at(n), at(n), unit.verdict, fails, unit.values}));
  }
  ASSERT_TRUE(!linkError ||
              db.AddExchange({0, ++sequence, "Axis 01", "ID", "-", "", "link error", 5, at(30)}));
  const bool ends = !units.back().verdict.empty();
  ASSERT_TRUE((!ends || db.EndRun({at(59), "end", 0, 0})) && db.Commit());
}

}  // namespace testing_support

#include "results/queries.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "records/central_store.h"
#include "records/outbox.h"
#include "records/station_db.h"

namespace results {

using platform::Result;

namespace {

// The central database's times in the station's form, "2026-12-08T10:15:02.123Z":
// the same text in both, so they print, group by day and hour and compare
// with --since alike.
std::string Utc(const std::string& column) {
  return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

// The central form of --since (parameter `n`, "" for all) to compare a
// timestamptz with.
std::string Since(int n) {
  return "coalesce(nullif($" + std::to_string(n) + ", '')::timestamptz, '-infinity')";
}

// The rows written, or the failure that ended them.
Result<std::int64_t> Done(const Rows& query, Output& output) {
  output.Finish();
  if (!query.Status()) return query.Status();
  return output.Rows();
}

// Every row of `query`, its first `columns` columns as they are.
Result<std::int64_t> CopyRows(Rows& query, Output& output, std::size_t columns) {
  while (query.Step()) {
    std::vector<Cell> row;
    for (int column = 0; column < static_cast<int>(columns); ++column)
      row.push_back(query.CellAt(column));
    output.Row(std::move(row));
  }
  return Done(query, output);
}

std::string Percent(std::int64_t part, std::int64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

// The group a unit falls in for `by`.
std::string GroupOf(const std::string& by, const std::string& started, const std::string& file,
                    const std::string& station) {
  if (by == "day") return started.substr(0, 10);
  if (by == "hour") return started.substr(0, 13);
  if (by == "script") return file;
  if (by == "station") return station;
  return "";
}

}  // namespace

Result<std::int64_t> Runs(const Source& db, const Filters& filters, std::ostream& out,
                          Format format) {
  Output output(out, format,
                {"started_utc", "ended_utc", "station", "mode", "file", "ending", "exit_status",
                 "fail_count", "units"});
  // A script is named by its file as recorded (relative to the data folder)
  // or by the file's own name.
  const std::unique_ptr<Rows> query =
      db.Ask({"SELECT r.started_utc, r.ended_utc, s.name, r.mode, r.file, r.ending, "
              "r.exit_status, r.fail_count, (SELECT count(*) FROM unit WHERE run_id = r.id) "
              "FROM run r JOIN station s ON s.id = r.station_id "
              "WHERE r.started_utc >= ?1 "
              "AND (?2 = '' OR r.file = ?2 OR (length(r.file) > length(?2) "
              "AND substr(r.file, length(r.file) - length(?2)) = '/' || ?2)) "
              "AND (?3 = '' OR s.name = ?3) "
              "ORDER BY r.started_utc, r.id",
              "SELECT " + Utc("r.started_utc") + ", " + Utc("e.ended_utc") +
                  ", r.station, r.mode, r.file, e.ending, e.exit_status, e.fail_count, "
                  "(SELECT count(*) FROM unit WHERE run_uuid = r.uuid) "
                  "FROM run r LEFT JOIN run_end e ON e.run_uuid = r.uuid "
                  "WHERE r.started_utc >= " +
                  Since(1) +
                  " AND ($2 = '' OR r.file = $2 OR (length(r.file) > length($2) "
                  "AND right(r.file, length($2) + 1) = '/' || $2)) "
                  "AND ($3 = '' OR r.station = $3) "
                  "ORDER BY r.started_utc, r.station, r.uuid"});
  query->Bind(filters.since).Bind(filters.script).Bind(filters.station);
  return CopyRows(*query, output, 9);
}

namespace {

// Each part of a unit's story as five columns: name, text, expected,
// reply, outcome; a unit is named by its run ($1: the station's run id or
// the central run's UUID) and its number ($2). The values go in the order
// of the script's banks (V1..V9, R1..R9, C1..C9); the script's verdicts
// show a [USERCHECK] answered FAIL, a failed check without a failed
// exchange.
const std::pair<const char*, Sql>* UnitParts(std::size_t& count) {
  static const std::string kUnit =
      "unit_id = (SELECT id FROM unit WHERE run_id = CAST(?1 AS INTEGER) AND number = ?2)";
  static const std::string kCentralUnit = "run_uuid = $1::uuid AND unit_number = $2::integer";
  static const std::pair<const char*, Sql> kParts[] = {
      {"value",
       {"SELECT name, value, NULL, NULL, NULL FROM unit_value WHERE " + kUnit +
            " ORDER BY CASE substr(name, 1, 1) WHEN 'V' THEN 0 WHEN 'R' THEN 1 ELSE 2 END, name",
        "SELECT name, value, NULL, NULL, NULL FROM unit_value WHERE " + kCentralUnit +
            " ORDER BY CASE left(name, 1) WHEN 'V' THEN 0 WHEN 'R' THEN 1 ELSE 2 END, "
            "name COLLATE \"C\""}},
      {"answer",
       {"SELECT prompt, answer, NULL, NULL, kind FROM answer WHERE " + kUnit + " ORDER BY id",
        "SELECT prompt, answer, NULL, NULL, kind FROM answer WHERE " + kCentralUnit +
            " ORDER BY number"}},
      {"verdict",
       {"SELECT keyword, subject, NULL, NULL, outcome FROM verdict WHERE " + kUnit + " ORDER BY id",
        "SELECT keyword, subject, NULL, NULL, outcome FROM verdict WHERE " + kCentralUnit +
            " ORDER BY number"}},
      {"failed",
       {"SELECT device, command, expected, reply, outcome FROM exchange WHERE " + kUnit +
            " AND outcome != 'ok' ORDER BY sequence, id",
        "SELECT device, command, expected, reply, outcome FROM exchange WHERE " + kCentralUnit +
            " AND outcome <> 'ok' ORDER BY sequence"}},
  };
  count = std::size(kParts);
  return kParts;
}

}  // namespace

Result<std::int64_t> Units(const Source& db, const std::string& text, std::ostream& out,
                           Format format) {
  Output output(out, format,
                {"run_started_utc", "station", "file", "unit", "verdict", "item", "name", "text",
                 "expected", "reply", "outcome"});
  struct Found {
    std::string run, number;  // the unit's run and its number there
    std::vector<Cell> cells;  // run_started_utc .. verdict
  };
  std::vector<Found> units;
  {
    const std::unique_ptr<Rows> query =
        db.Ask({"SELECT u.run_id, u.number, r.started_utc, s.name, r.file, u.number, u.verdict "
                "FROM unit u JOIN run r ON r.id = u.run_id JOIN station s ON s.id = r.station_id "
                "WHERE u.id IN (SELECT unit_id FROM unit_value WHERE instr(value, ?1) > 0) "
                "ORDER BY r.started_utc, r.id, u.number",
                "SELECT u.run_uuid, u.number, " + Utc("r.started_utc") +
                    ", r.station, r.file, u.number, e.verdict "
                    "FROM unit u JOIN run r ON r.uuid = u.run_uuid "
                    "LEFT JOIN unit_end e ON e.run_uuid = u.run_uuid AND e.number = u.number "
                    "WHERE EXISTS (SELECT 1 FROM unit_value v WHERE v.run_uuid = u.run_uuid "
                    "AND v.unit_number = u.number AND strpos(v.value, $1) > 0) "
                    "ORDER BY r.started_utc, r.station, r.uuid, u.number"});
    query->Bind(text);
    while (query->Step()) {
      units.push_back({query->Text(0),
                       query->Text(1),
                       {query->CellAt(2), query->CellAt(3), query->CellAt(4), query->CellAt(5),
                        query->CellAt(6)}});
    }
    if (!query->Status()) return query->Status();
  }
  std::size_t count = 0;
  const std::pair<const char*, Sql>* parts = UnitParts(count);
  for (const Found& unit : units) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::unique_ptr<Rows> part = db.Ask(parts[i].second);
      part->Bind(unit.run).Bind(unit.number);
      while (part->Step()) {
        std::vector<Cell> row = unit.cells;
        row.push_back(Cell::Text(parts[i].first));
        for (int column = 0; column < 5; ++column) row.push_back(part->CellAt(column));
        output.Row(std::move(row));
      }
      if (!part->Status()) return part->Status();
    }
  }
  output.Finish();
  return output.Rows();
}

// First-pass yield: a physical unit is named by its key variable; the
// first of its units judged (pass or fail) decides whether it passed the
// first time, and a later retest does not count again. A unit without a
// key value is a physical unit of its own. With --since, a key counts only
// when its first judged unit is in the period: one retested in it after an
// earlier failure did not pass the first time.
Result<std::int64_t> Yield(const Source& db, const Filters& filters, std::ostream& out,
                           Format format) {
  struct Group {
    std::int64_t units = 0, passed = 0, failed = 0, aborted = 0, judged = 0, firstPass = 0;
  };
  std::map<std::string, Group> groups;
  std::unordered_map<std::string, bool> judgedKeys;  // key -> its first judgement was counted
  // Every station's units in the order they started: a key retested at
  // another station counts by its first unit wherever that was.
  const std::unique_ptr<Rows> query =
      db.Ask({"SELECT u.id, u.started_utc, u.verdict, v.value, r.file, s.name FROM unit u "
              "JOIN run r ON r.id = u.run_id JOIN station s ON s.id = r.station_id "
              "LEFT JOIN unit_value v ON v.unit_id = u.id AND v.name = ?1 "
              "WHERE u.verdict IS NOT NULL ORDER BY u.started_utc, u.id",
              "SELECT u.run_uuid || '/' || u.number, " + Utc("u.started_utc") +
                  ", e.verdict, v.value, r.file, r.station FROM unit u "
                  "JOIN unit_end e ON e.run_uuid = u.run_uuid AND e.number = u.number "
                  "JOIN run r ON r.uuid = u.run_uuid "
                  "LEFT JOIN unit_value v ON v.run_uuid = u.run_uuid AND v.unit_number = u.number "
                  "AND v.name = $1 ORDER BY u.started_utc, u.station, u.run_uuid, u.number"});
  query->Bind(filters.key);
  while (query->Step()) {
    const std::string started = query->Text(1), verdict = query->Text(2);
    const bool inPeriod = started >= filters.since;
    const bool judged = verdict == "pass" || verdict == "fail";
    std::string key = query->IsNull(3) ? "" : query->Text(3);
    // Keys and unit ids cannot meet: a key is never empty, an id key starts with NUL.
    if (key.empty()) key = std::string(1, '\0') + query->Text(0);
    bool first = false;
    if (judged && judgedKeys.emplace(key, true).second) first = true;
    if (!inPeriod) continue;
    Group& group = groups[GroupOf(filters.by, started, query->Text(4), query->Text(5))];
    ++group.units;
    if (verdict == "pass") ++group.passed;
    if (verdict == "fail") ++group.failed;
    if (!judged) ++group.aborted;
    if (first) {
      ++group.judged;
      if (verdict == "pass") ++group.firstPass;
    }
  }
  if (!query->Status()) return query->Status();
  std::vector<std::string> columns;
  if (!filters.by.empty()) columns.push_back(filters.by);
  for (const char* name :
       {"units", "passed", "failed", "aborted", "keys_judged", "first_pass", "first_pass_yield"})
    columns.emplace_back(name);
  Output output(out, format, std::move(columns));
  for (const auto& [name, group] : groups) {
    std::vector<Cell> row;
    if (!filters.by.empty()) row.push_back(Cell::Text(name));
    for (const std::int64_t n :
         {group.units, group.passed, group.failed, group.aborted, group.judged, group.firstPass})
      row.push_back(Cell::Number(n));
    row.push_back(group.judged > 0 ? Cell::Text(Percent(group.firstPass, group.judged))
                                   : Cell::Null());
    output.Row(std::move(row));
  }
  output.Finish();
  return output.Rows();
}

Result<std::int64_t> Status(const Source& db, std::ostream& out, Format format) {
  // A unit is on the server once its end is: every end up to the mark is,
  // but for one the server refused.
  const std::unique_ptr<Rows> query = db.Ask(
      {"SELECT (SELECT group_concat(name, ', ') FROM station), (SELECT u.ended_utc FROM unit u "
       "WHERE u.id <= coalesce((SELECT last_id FROM forward_mark WHERE kind = 'unit_end'), 0) "
       "AND u.ended_utc IS NOT NULL AND NOT EXISTS (SELECT 1 FROM forward_done f WHERE f.kind = "
       "'unit_end' AND f.id = u.id) ORDER BY u.id DESC LIMIT 1), w.*, "
       "strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM (" +
           std::string(records::kBacklogSql) + ") AS w",
       "SELECT s.name, " +
           Utc("(SELECT max(e.ended_utc) FROM unit_end e WHERE e.station = "
               "s.name)") +
           ", r.runs, r.units, r.exchanges, r.others, r.refused, " + Utc("r.reported_utc") +
           " FROM station s LEFT JOIN LATERAL (SELECT * FROM forward_report f WHERE f.station = "
           "s.name ORDER BY f.reported_utc DESC LIMIT 1) r ON true ORDER BY s.name"});
  Output output(out, format,
                {"station", "last_unit_forwarded_utc", "runs_waiting", "units_waiting",
                 "exchanges_waiting", "others_waiting", "refused", "counted_utc"});
  std::int64_t rows = 0;
  while (query->Step()) {
    std::vector<Cell> row;
    for (int column = 0; column < 8; ++column) row.push_back(query->CellAt(column));
    output.Row(row);
    ++rows;
  }
  output.Finish();
  if (!query->Status()) return query->Status();
  return rows;
}

Result<std::int64_t> Failures(const Source& db, const Filters& filters, std::ostream& out,
                              Format format) {
  constexpr std::size_t kLastKeys = 3;
  struct Check {
    std::int64_t count = 0;
    std::string lastAt;
    std::vector<std::string> lastKeys;  // distinct, oldest first
  };
  std::map<std::pair<std::string, std::string>, Check> checks;
  // "+e.id": the order of the rows is the exchanges', but not the way to
  // find them; the index of the exchanges that were not ok is.
  const std::unique_ptr<Rows> query =
      db.Ask({"SELECT e.command, e.expected, e.at_utc, v.value FROM exchange e "
              "LEFT JOIN unit_value v ON v.unit_id = e.unit_id AND v.name = ?1 "
              "WHERE e.outcome != 'ok' AND e.at_utc >= ?2 ORDER BY +e.id",
              "SELECT e.command, e.expected, " + Utc("e.at_utc") +
                  ", v.value FROM exchange e LEFT JOIN unit_value v ON v.run_uuid = e.run_uuid "
                  "AND v.unit_number = e.unit_number AND v.name = $1 "
                  "WHERE e.outcome <> 'ok' AND e.at_utc >= " +
                  Since(2) + " ORDER BY e.at_utc, e.run_uuid, e.sequence"});
  query->Bind(filters.key).Bind(filters.since);
  while (query->Step()) {
    Check& check = checks[{query->Text(0), query->Text(1)}];
    ++check.count;
    check.lastAt = std::max(check.lastAt, query->Text(2));
    if (query->IsNull(3)) continue;
    const std::string key = query->Text(3);
    std::erase(check.lastKeys, key);
    check.lastKeys.push_back(key);
    if (check.lastKeys.size() > kLastKeys) check.lastKeys.erase(check.lastKeys.begin());
  }
  if (!query->Status()) return query->Status();
  std::vector<std::pair<const std::pair<std::string, std::string>*, const Check*>> order;
  for (const auto& [what, check] : checks) order.emplace_back(&what, &check);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    if (a.second->count != b.second->count) return a.second->count > b.second->count;
    return a.second->lastAt > b.second->lastAt;
  });
  Output output(out, format, {"command", "expected", "count", "last_utc", "last_" + filters.key});
  for (const auto& [what, check] : order) {
    std::string last;
    for (auto key = check->lastKeys.rbegin(); key != check->lastKeys.rend(); ++key)
      last += (last.empty() ? "" : "; ") + *key;
    output.Row({Cell::Text(what->first), Cell::Text(what->second), Cell::Number(check->count),
                Cell::Text(check->lastAt), Cell::Text(last)});
  }
  output.Finish();
  return output.Rows();
}

namespace {

// export --per unit: a unit's fields and its 27 variables, a column each.
Result<std::int64_t> ExportUnits(const Source& db, const Filters& filters, std::ostream& out,
                                 Format format) {
  std::vector<std::string> columns = {
      "run_uuid", "run_started_utc", "station",   "mode",    "file",
      "unit",     "started_utc",     "ended_utc", "verdict", "fail_count"};
  Sql sql = {
      "SELECT r.uuid, r.started_utc, s.name, r.mode, r.file, u.number, u.started_utc, "
      "u.ended_utc, u.verdict, u.fail_count",
      "SELECT u.run_uuid, " + Utc("r.started_utc") + ", r.station, r.mode, r.file, " +
          "u.number, " + Utc("u.started_utc") + ", " + Utc("e.ended_utc") +
          ", e.verdict, e.fail_count"};
  std::string pivot;  // the central values read once per unit, a column each
  for (const char bank : {'V', 'R', 'C'}) {
    for (char n = '1'; n <= '9'; ++n) {
      const std::string name = {bank, n};
      columns.push_back(name);
      sql.station +=
          ", (SELECT value FROM unit_value WHERE unit_id = u.id AND name = '" + name + "')";
      sql.central += ", x." + name;
      pivot += std::string(pivot.empty() ? "" : ", ") + "max(value) FILTER (WHERE name = '" + name +
               "') AS " + name;
    }
  }
  sql.station +=
      " FROM unit u JOIN run r ON r.id = u.run_id JOIN station s ON s.id = r.station_id "
      "WHERE u.started_utc >= ?1 ORDER BY u.started_utc, u.id";
  sql.central +=
      " FROM unit u JOIN run r ON r.uuid = u.run_uuid "
      "LEFT JOIN unit_end e ON e.run_uuid = u.run_uuid AND e.number = u.number "
      "CROSS JOIN LATERAL (SELECT " +
      pivot +
      " FROM unit_value WHERE run_uuid = u.run_uuid AND unit_number = u.number) x "
      "WHERE u.started_utc >= " +
      Since(1) + " ORDER BY u.started_utc, u.station, u.run_uuid, u.number";
  Output output(out, format, columns);
  const std::unique_ptr<Rows> query = db.Ask(sql);
  query->Bind(filters.since);
  return CopyRows(*query, output, columns.size());
}

}  // namespace

Result<std::int64_t> Export(const Source& db, const Filters& filters, std::ostream& out,
                            Format format) {
  if (filters.per == "unit") return ExportUnits(db, filters, out, format);
  const std::vector<std::string> columns = {
      "run_uuid",  "run_started_utc", "station",  "mode",         "file",   "unit",
      filters.key, "verdict",         "sequence", "at_utc",       "device", "command",
      "expected",  "reply",           "outcome",  "round_trip_us"};
  Output output(out, format, columns);
  const std::unique_ptr<Rows> query = db.Ask(
      {"SELECT r.uuid, r.started_utc, s.name, r.mode, r.file, u.number, v.value, "
       "u.verdict, e.sequence, e.at_utc, e.device, e.command, e.expected, e.reply, "
       "e.outcome, e.round_trip_us FROM exchange e JOIN run r ON r.id = e.run_id "
       "JOIN station s ON s.id = r.station_id LEFT JOIN unit u ON u.id = e.unit_id "
       "LEFT JOIN unit_value v ON v.unit_id = e.unit_id AND v.name = ?1 "
       "WHERE e.at_utc >= ?2 ORDER BY e.id",
       "SELECT e.run_uuid, " + Utc("r.started_utc") +
           ", r.station, r.mode, r.file, e.unit_number, v.value, u.verdict, e.sequence, " +
           Utc("e.at_utc") +
           ", e.device, e.command, e.expected, e.reply, e.outcome, e.round_trip_us "
           "FROM exchange e JOIN run r ON r.uuid = e.run_uuid "
           "LEFT JOIN unit_end u ON u.run_uuid = e.run_uuid AND u.number = e.unit_number "
           "LEFT JOIN unit_value v ON v.run_uuid = e.run_uuid AND v.unit_number = e.unit_number "
           "AND v.name = $1 WHERE e.at_utc >= " +
           Since(2) + " ORDER BY e.at_utc, e.run_uuid, e.sequence"});
  query->Bind(filters.key).Bind(filters.since);
  return CopyRows(*query, output, columns.size());
}

Result<std::int64_t> Check(const RecordsReader& db, std::ostream& out, Format format,
                           std::string& fault) {
  std::vector<std::string> problems;
  {
    // A problem a line; the heading SQLite may put above them is no problem.
    Query query(db, "PRAGMA integrity_check");
    while (query.Step()) {
      const std::string text = query.Text(0);
      for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (!line.empty() && !line.starts_with("*** ")) problems.push_back(line);
        at = end + 1;
      }
    }
    // A page so damaged that the check itself cannot go on is damage too.
    if (!query.Status()) problems.push_back(query.Status().Text());
    if (problems.empty()) problems.push_back("no answer from the integrity check");
  }
  const bool intact = problems.size() == 1 && problems.front() == "ok";
  const bool known = db.SchemaVersion() <= records::kSchemaVersion;
  fault.clear();
  if (!intact) {
    fault = "damaged (the integrity check found " + std::to_string(problems.size()) +
            (problems.size() == 1 ? " problem: " : " problems, the first: ") + problems.front() +
            ")";
  } else if (!known) {
    fault = "records of schema version " + std::to_string(db.SchemaVersion()) +
            ", newer than this program knows (" + std::to_string(records::kSchemaVersion) + ")";
  }
  Output output(out, format, {"check", "result"});
  for (const std::string& problem : problems)
    output.Row({Cell::Text("integrity"), Cell::Text(problem)});
  output.Row({Cell::Text("schema_version"), Cell::Number(db.SchemaVersion())});
  output.Row({Cell::Text("known_schema_version"), Cell::Number(records::kSchemaVersion)});
  output.Row({Cell::Text("verdict"), Cell::Text(!intact  ? "damaged"
                                                : !known ? "newer than this program"
                                                         : "ok")});
  output.Finish();
  return output.Rows();
}

Result<std::int64_t> CentralCheck(const CentralReader& db, std::ostream& out, Format format,
                                  std::string& fault) {
  const bool known = db.SchemaVersion() <= records::kCentralSchemaVersion;
  fault.clear();
  if (!known) {
    fault = "central schema version " + std::to_string(db.SchemaVersion()) +
            ", newer than this program knows (" + std::to_string(records::kCentralSchemaVersion) +
            ")";
  }
  Output output(out, format, {"check", "result"});
  output.Row({Cell::Text("server_version"), Cell::Text(db.ServerVersion())});
  output.Row({Cell::Text("schema_version"), Cell::Number(db.SchemaVersion())});
  output.Row({Cell::Text("known_schema_version"), Cell::Number(records::kCentralSchemaVersion)});
  output.Row({Cell::Text("verdict"), Cell::Text(known ? "ok" : "newer than this program")});
  output.Finish();
  return output.Rows();
}

}  // namespace results

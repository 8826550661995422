#include "records/outbox.h"

#include <sqlite3.h>

#include <map>

namespace records {

using platform::Result;

namespace {

// How a table's rows are remembered once sent: by the highest id (rows
// only added), one by one (ends), or with another kind's rows (stations
// with their runs, a unit's values with its end).
enum class Marked { ById, OneByOne, WithOther };

struct Kind {
  const char* kind;
  const char* mark;  // the mark its rows are read above
  Marked marked;
  bool limited;  // runs and unit starts come whole: every later row may need them
  const char* insert;
  const char* casts;
  const char* select;  // ?1: the mark, ?2: the most rows; the first column is the id
};

// The station's column "number" of answers, verdicts and files on the
// server is the station's id of the row: unique in the run, stable.
constexpr const char* kFrom =
    " JOIN run r ON r.id = x.run_id JOIN station s ON s.id = r.station_id"
    " LEFT JOIN unit u ON u.id = x.unit_id WHERE x.id > ?1 ORDER BY x.id LIMIT ?2";

// A unit is finished when it ended and its run ended or went on to a later unit.
#define HALVORN_FINISHED_UNIT                                                             \
  "u.ended_utc IS NOT NULL AND (r.ending IS NOT NULL OR "                                 \
  "EXISTS (SELECT 1 FROM unit n WHERE n.run_id = u.run_id AND n.number > u.number)) AND " \
  "NOT EXISTS (SELECT 1 FROM forward_done f WHERE f.kind = 'unit_end' AND f.id = u.id)"

const std::string kExchange =
    std::string(
        "SELECT x.id, r.uuid, x.sequence, s.name, u.number, x.device, x.command, x.reply, "
        "x.expected, x.outcome, x.round_trip_us, x.at_utc FROM exchange x") +
    kFrom;
const std::string kAnswer =
    std::string(
        "SELECT x.id, r.uuid, x.id, s.name, u.number, x.prompt, x.answer, x.kind "
        "FROM answer x") +
    kFrom;
const std::string kVerdict =
    std::string(
        "SELECT x.id, r.uuid, x.id, s.name, u.number, x.keyword, x.subject, x.outcome "
        "FROM verdict x") +
    kFrom;
const std::string kFile =
    std::string(
        "SELECT x.id, r.uuid, x.id, s.name, u.number, x.path, x.kind, x.number, x.size, x.sha256, "
        "x.failure FROM file x") +
    kFrom;

const Kind kKinds[] = {
    {"station", "run", Marked::WithOther, false, "INSERT INTO station (name, host)", "tt",
     "SELECT s.id, s.name, s.host FROM station s WHERE s.id IN "
     "(SELECT station_id FROM run WHERE id > ?1) LIMIT ?2"},
    {"run", "run", Marked::ById, false,
     "INSERT INTO run (uuid, station, program_version, mode, file, file_sha256, operator, "
     "started_utc, utc_offset_minutes)",
     "uttttttzi",
     "SELECT r.id, r.uuid, s.name, r.program_version, r.mode, r.file, r.file_sha256, r.operator, "
     "r.started_utc, r.utc_offset_minutes FROM run r JOIN station s ON s.id = r.station_id "
     "WHERE r.id > ?1 ORDER BY r.id LIMIT ?2"},
    {"unit", "unit", Marked::ById, false,
     "INSERT INTO unit (run_uuid, number, station, started_utc)", "uitz",
     "SELECT u.id, r.uuid, u.number, s.name, u.started_utc FROM unit u JOIN run r ON r.id = "
     "u.run_id JOIN station s ON s.id = r.station_id WHERE u.id > ?1 ORDER BY u.id LIMIT ?2"},
    {"exchange", "exchange", Marked::ById, true,
     "INSERT INTO exchange (run_uuid, sequence, station, unit_number, device, command, reply, "
     "expected, outcome, round_trip_us, at_utc)",
     "uititttttiz", kExchange.c_str()},
    {"answer", "answer", Marked::ById, true,
     "INSERT INTO answer (run_uuid, number, station, unit_number, prompt, answer, kind)", "uitittt",
     kAnswer.c_str()},
    {"verdict", "verdict", Marked::ById, true,
     "INSERT INTO verdict (run_uuid, number, station, unit_number, keyword, subject, outcome)",
     "uitittt", kVerdict.c_str()},
    {"file", "file", Marked::ById, true,
     "INSERT INTO file (run_uuid, number, station, unit_number, path, kind, file_number, size, "
     "sha256, failure)",
     "uitittiitt", kFile.c_str()},
    {"unit_end", "unit_end", Marked::OneByOne, true,
     "INSERT INTO unit_end (run_uuid, number, station, ended_utc, verdict, fail_count)", "uitzti",
     "SELECT u.id, r.uuid, u.number, s.name, u.ended_utc, u.verdict, u.fail_count FROM unit u "
     "JOIN run r ON r.id = u.run_id JOIN station s ON s.id = r.station_id WHERE u.id > ?1 "
     "AND " HALVORN_FINISHED_UNIT " ORDER BY u.id LIMIT ?2"},
    // A killed run has no end time: its last unit's, or its start.
    {"run_end", "run_end", Marked::OneByOne, true,
     "INSERT INTO run_end (run_uuid, station, ended_utc, ending, exit_status, fail_count)",
     "utztii",
     "SELECT r.id, r.uuid, s.name, coalesce(r.ended_utc, (SELECT max(coalesce(u.ended_utc, "
     "u.started_utc)) FROM unit u WHERE u.run_id = r.id), r.started_utc), r.ending, "
     "r.exit_status, r.fail_count FROM run r JOIN station s ON s.id = r.station_id "
     "WHERE r.id > ?1 AND r.ending IS NOT NULL AND NOT EXISTS (SELECT 1 FROM forward_done f "
     "WHERE f.kind = 'run_end' AND f.id = r.id) ORDER BY r.id LIMIT ?2"},
};

const Kind kUnitValues{
    "unit_value",
    "",
    Marked::WithOther,
    false,
    "INSERT INTO unit_value (run_uuid, unit_number, station, name, value)",
    "uittt",
    "SELECT v.unit_id, r.uuid, u.number, s.name, v.name, v.value FROM unit_value v JOIN unit u "
    "ON u.id = v.unit_id JOIN run r ON r.id = u.run_id JOIN station s ON s.id = r.station_id "
    "WHERE v.unit_id = ?1"};

// Each floor moves up over the ends that are done: sent, refused, or of a
// unit that can never end (left open when its run was killed).
constexpr const char* kFloors = R"sql(
INSERT INTO forward_mark (kind, last_id) SELECT 'unit_end', coalesce(
  (SELECT min(u.id) - 1 FROM unit u JOIN run r ON r.id = u.run_id
   WHERE u.id > coalesce((SELECT last_id FROM forward_mark WHERE kind = 'unit_end'), 0)
     AND NOT EXISTS (SELECT 1 FROM forward_done f WHERE f.kind = 'unit_end' AND f.id = u.id)
     AND NOT (r.ending IS NOT NULL AND u.ended_utc IS NULL)),
  (SELECT max(id) FROM unit), 0) WHERE true
ON CONFLICT (kind) DO UPDATE SET last_id = max(last_id, excluded.last_id);
INSERT INTO forward_mark (kind, last_id) SELECT 'run_end', coalesce(
  (SELECT min(r.id) - 1 FROM run r
   WHERE r.id > coalesce((SELECT last_id FROM forward_mark WHERE kind = 'run_end'), 0)
     AND NOT EXISTS (SELECT 1 FROM forward_done f WHERE f.kind = 'run_end' AND f.id = r.id)),
  (SELECT max(id) FROM run), 0) WHERE true
ON CONFLICT (kind) DO UPDATE SET last_id = max(last_id, excluded.last_id);
DELETE FROM forward_done WHERE refused IS NULL AND id <= (SELECT last_id FROM forward_mark m
  WHERE m.kind = forward_done.kind);
)sql";

#define HALVORN_MARK(kind) "coalesce((SELECT last_id FROM forward_mark WHERE kind = '" kind "'), 0)"

}  // namespace

const char* const kBacklogSql =
    "SELECT (SELECT count(*) FROM run WHERE id > " HALVORN_MARK("run") " AND ending IS NULL) + "
    "(SELECT count(*) FROM run r WHERE r.id > " HALVORN_MARK("run_end") " AND r.ending IS NOT "
    "NULL AND NOT EXISTS (SELECT 1 FROM forward_done f WHERE f.kind = 'run_end' AND f.id = "
    "r.id)), (SELECT count(*) FROM unit u JOIN run r ON r.id = u.run_id WHERE u.id > " HALVORN_MARK(
        "unit_end") " AND " HALVORN_FINISHED_UNIT "), "
    "(SELECT count(*) FROM exchange WHERE id > " HALVORN_MARK("exchange") "), "
    "(SELECT count(*) FROM unit WHERE id > " HALVORN_MARK("unit") ") + "
    "(SELECT count(*) FROM answer WHERE id > " HALVORN_MARK("answer") ") + "
    "(SELECT count(*) FROM verdict WHERE id > " HALVORN_MARK("verdict") ") + "
    "(SELECT count(*) FROM file WHERE id > " HALVORN_MARK("file") "), "
    "(SELECT count(*) FROM forward_done WHERE refused IS NOT NULL)";

namespace {

Result<> Failure(sqlite3* db, const std::string& what) {
  return Result<>::SystemFailureSaying(what + ": " + sqlite3_errmsg(db), sqlite3_system_errno(db));
}

// One statement, finalized with its scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool Ready() const { return statement_ != nullptr; }
  Statement& Bind(int at, std::int64_t value) {
    sqlite3_bind_int64(statement_, at, value);
    return *this;
  }
  Statement& Bind(int at, const std::string& text) {
    sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or the failure's code.
  int Step() { return statement_ ? sqlite3_step(statement_) : SQLITE_ERROR; }
  std::int64_t Number(int column) const { return sqlite3_column_int64(statement_, column); }
  OutboxValue Value(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    // Bytes as stored: a text may hold NUL bytes.
    const auto* text = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    return std::string(text ? text : "",
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
  }
  int Columns() const { return sqlite3_column_count(statement_); }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// The rows `kind` gives above `mark`, at most `limit` (-1: all).
Result<> ReadRows(sqlite3* db, const Kind& kind, std::int64_t mark, std::int64_t limit,
                  OutboxTable& table) {
  Statement read(db, kind.select);
  read.Bind(1, mark).Bind(2, limit);
  int code = read.Step();
  for (; code == SQLITE_ROW; code = read.Step()) {
    OutboxRow row{read.Number(0), {}};
    for (int column = 1; column < read.Columns(); ++column)
      row.values.push_back(read.Value(column));
    table.rows.push_back(std::move(row));
  }
  if (code != SQLITE_DONE) return Failure(db, "cannot read the records to forward");
  return {};
}

}  // namespace

std::size_t OutboxBatch::Rows() const {
  std::size_t rows = 0;
  for (const OutboxTable& table : tables) rows += table.rows.size();
  return rows;
}

std::string DescribeBacklog(const Backlog& b) {
  std::vector<std::string> parts;
  const auto add = [&parts](std::int64_t n, const char* one, const char* many) {
    if (n > 0) parts.push_back(std::to_string(n) + " " + (n == 1 ? one : many));
  };
  add(b.units, "unit", "units");
  add(b.runs, "run", "runs");
  add(b.exchanges, "exchange", "exchanges");
  add(b.others, "other record", "other records");
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  text = parts.empty() ? "nothing waits" : text + " wait";
  if (b.refused > 0) text += "; " + std::to_string(b.refused) + " refused by the server";
  return text;
}

Result<std::unique_ptr<Outbox>> Outbox::Open(const std::string& path, int busyMilliseconds) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    Result<> failed = Failure(db, "cannot open the records database " + path);
    sqlite3_close(db);
    return failed;
  }
  sqlite3_busy_timeout(db, busyMilliseconds);
  std::unique_ptr<Outbox> outbox(new Outbox(db));
  outbox->busyMilliseconds_ = busyMilliseconds;
  return outbox;
}

Outbox::~Outbox() {
  sqlite3_close(db_);
}

Result<> Outbox::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  return Failure(db_, "cannot read or mark the records to forward");
}

Result<OutboxBatch> Outbox::Next(std::size_t limit) {
  // One read transaction: every row read belongs to the same moment, so a
  // row's run is either sent already or in this batch.
  if (Result<> begun = Execute("BEGIN"); !begun) return begun;
  OutboxBatch batch;
  std::map<std::string, std::int64_t> marks;
  Result<> read;
  {
    Statement marked(db_, "SELECT kind, last_id FROM forward_mark");
    int code = marked.Step();
    for (; code == SQLITE_ROW; code = marked.Step()) marks[*marked.Value(0)] = marked.Number(1);
    if (code != SQLITE_DONE) read = Failure(db_, "cannot read what was forwarded");
  }
  for (const Kind& kind : kKinds) {
    if (!read) break;
    OutboxTable table{kind.kind, kind.insert, kind.casts, {}};
    const std::int64_t most = kind.limited ? static_cast<std::int64_t>(limit) : -1;
    read = ReadRows(db_, kind, marks[kind.mark], most, table);
    if (kind.limited && table.rows.size() >= limit) batch.more = true;
    if (read && table.kind == "unit_end") {
      OutboxTable values{kUnitValues.kind, kUnitValues.insert, kUnitValues.casts, {}};
      for (const OutboxRow& end : table.rows) {
        if (read) read = ReadRows(db_, kUnitValues, end.id, 1, values);
      }
      if (!values.rows.empty()) batch.tables.push_back(std::move(values));
    }
    if (!table.rows.empty()) batch.tables.push_back(std::move(table));
  }
  Execute("COMMIT");
  if (!read) return read;
  return batch;
}

Result<> Outbox::Sent(const OutboxBatch& batch, const std::vector<Refusal>& refused) {
  if (Result<> begun = Execute("BEGIN IMMEDIATE"); !begun) return begun;
  Statement mark(db_,
                 "INSERT INTO forward_mark (kind, last_id) VALUES (?1, ?2) ON CONFLICT (kind) "
                 "DO UPDATE SET last_id = max(last_id, excluded.last_id)");
  Statement done(db_, "INSERT OR IGNORE INTO forward_done (kind, id) VALUES (?1, ?2)");
  Statement refuse(db_,
                   "INSERT OR REPLACE INTO forward_done (kind, id, refused) VALUES (?1, ?2, ?3)");
  bool ok = true;
  const auto run = [&ok](Statement& statement) {
    ok = ok && statement.Step() == SQLITE_DONE;
    statement.Reset();
  };
  for (const OutboxTable& table : batch.tables) {
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds) kind = table.kind == k.kind ? &k : kind;
    if (kind && kind->marked == Marked::ById)
      run(mark.Bind(1, table.kind).Bind(2, table.rows.back().id));
    for (const OutboxRow& row : table.rows) {
      if (kind && kind->marked == Marked::OneByOne) run(done.Bind(1, table.kind).Bind(2, row.id));
    }
  }
  for (const Refusal& r : refused) run(refuse.Bind(1, r.kind).Bind(2, r.id).Bind(3, r.why));
  Result<> marked = ok ? Execute(kFloors) : Failure(db_, "cannot mark what was forwarded");
  if (!marked) {
    Execute("ROLLBACK");
    return marked;
  }
  return Execute("COMMIT");
}

Result<Backlog> Outbox::Waiting() {
  Statement count(db_, kBacklogSql);
  if (count.Step() != SQLITE_ROW) return Failure(db_, "cannot count the records to forward");
  return Backlog{count.Number(0), count.Number(1), count.Number(2), count.Number(3),
                 count.Number(4)};
}

}  // namespace records

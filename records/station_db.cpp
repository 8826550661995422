#include "records/station_db.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <thread>

#include "platform/text.h"

namespace records {

using platform::Result;

namespace {

// Each entry takes the schema from its index to the next version; a new
// version is one more entry, never a change to an old one.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE station (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  host TEXT NOT NULL
);
CREATE TABLE run (
  id INTEGER PRIMARY KEY,
  uuid TEXT NOT NULL UNIQUE,
  station_id INTEGER NOT NULL REFERENCES station(id),
  program_version TEXT NOT NULL,
  mode TEXT NOT NULL,
  file TEXT NOT NULL,
  file_sha256 TEXT NOT NULL,
  operator TEXT NOT NULL,
  started_utc TEXT NOT NULL,
  utc_offset_minutes INTEGER NOT NULL,
  process_id INTEGER NOT NULL,
  boot_id TEXT NOT NULL,
  ended_utc TEXT,
  ending TEXT,
  exit_status INTEGER,
  fail_count INTEGER
);
CREATE INDEX run_started ON run(started_utc);
CREATE TABLE unit (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES run(id),
  number INTEGER NOT NULL,
  started_utc TEXT NOT NULL,
  ended_utc TEXT,
  verdict TEXT,
  fail_count INTEGER,
  UNIQUE (run_id, number)
);
CREATE TABLE unit_value (
  unit_id INTEGER NOT NULL REFERENCES unit(id),
  name TEXT NOT NULL,
  value TEXT NOT NULL,
  PRIMARY KEY (unit_id, name)
) WITHOUT ROWID;
CREATE TABLE exchange (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES run(id),
  unit_id INTEGER REFERENCES unit(id),
  sequence INTEGER NOT NULL,
  device TEXT NOT NULL,
  command TEXT NOT NULL,
  reply TEXT NOT NULL,
  expected TEXT NOT NULL,
  outcome TEXT NOT NULL,
  round_trip_us INTEGER NOT NULL,
  at_utc TEXT NOT NULL
);
CREATE INDEX exchange_run ON exchange(run_id, sequence);
CREATE INDEX exchange_unit ON exchange(unit_id);
CREATE TABLE answer (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES run(id),
  unit_id INTEGER REFERENCES unit(id),
  prompt TEXT NOT NULL,
  answer TEXT NOT NULL,
  kind TEXT NOT NULL
);
CREATE INDEX answer_unit ON answer(unit_id);
CREATE TABLE verdict (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES run(id),
  unit_id INTEGER REFERENCES unit(id),
  keyword TEXT NOT NULL,
  subject TEXT NOT NULL,
  outcome TEXT NOT NULL
);
CREATE INDEX verdict_unit ON verdict(unit_id);
CREATE TABLE file (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES run(id),
  unit_id INTEGER REFERENCES unit(id),
  path TEXT NOT NULL,
  kind TEXT NOT NULL,
  number INTEGER NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  failure TEXT NOT NULL
);
)sql",
    // The questions asked of the records afterwards: a unit's start for a
    // period, and the exchanges that did not go well without reading them all.
    R"sql(
CREATE INDEX unit_started ON unit(started_utc);
CREATE INDEX exchange_not_ok ON exchange(unit_id) WHERE outcome != 'ok';
)sql",
    // No question reads a unit's or a run's exchanges by these two: a
    // unit's failed exchanges have their own index and the rest are read in
    // the order they were written. Keeping them up to date cost the writer
    // about 40% of its time for each exchange.
    R"sql(
DROP INDEX IF EXISTS exchange_run;
DROP INDEX IF EXISTS exchange_unit;
)sql",
    // What has reached the factory's central database: the rows of a table
    // up to an id (rows are only ever added, in the order of their ids), and
    // the runs' and units' ends one by one, below a floor up to which every
    // one is done. A row the server refused is kept here with the reason.
    R"sql(
CREATE TABLE forward_mark (
  kind TEXT PRIMARY KEY,
  last_id INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE forward_done (
  kind TEXT NOT NULL,
  id INTEGER NOT NULL,
  refused TEXT,
  PRIMARY KEY (kind, id)
) WITHOUT ROWID;
)sql",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

Result<> Failure(sqlite3* db, const std::string& what) {
  const int code = sqlite3_extended_errcode(db);
  std::string text = what + ": " + sqlite3_errmsg(db);
  // "disk I/O error" alone leaves the operator guessing; the system says why.
  if ((code & 0xff) == SQLITE_IOERR && sqlite3_system_errno(db) != 0)
    text += " (" + std::string(std::strerror(sqlite3_system_errno(db))) + ")";
  if ((code & 0xff) == SQLITE_FULL) return Result<>::SystemFailureSaying(text, ENOSPC);
  if ((code & 0xff) == SQLITE_READONLY) return Result<>::SystemFailureSaying(text, EROFS);
  return Result<>::SystemFailureSaying(text, sqlite3_system_errno(db));
}

// "20261208T014502Z": the moment in a name a file system takes.
std::string StampForName() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

// Moves the damaged database and its journal files aside under a name no
// file holds yet; returns the database's new name.
Result<std::string> SetAside(const std::string& path) {
  const std::string base = path + ".damaged-" + StampForName();
  std::string target = base;
  for (int n = 2; ::access(target.c_str(), F_OK) == 0; ++n) target = base + "-" + std::to_string(n);
  if (std::rename(path.c_str(), target.c_str()) != 0)
    return Result<>::SystemFailure("cannot move the damaged " + path + " aside", errno);
  for (const char* journal : {"-wal", "-shm"}) {
    const std::string from = path + journal;
    if (::access(from.c_str(), F_OK) == 0)
      (void)std::rename(from.c_str(), (target + journal).c_str());
  }
  return target;
}

// One thread (the writer's) uses a connection: SQLite's own locking of each
// call is not needed.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

// Opens `path` and reads its schema version; kind CallerMistake when the
// file is no database or its schema cannot be read. (A check of every page
// would take the longer the more a station has recorded, at every start; a
// page damaged further in shows as a record that cannot be written.)
Result<int> OpenAndCheck(const std::string& path, int busyMilliseconds, sqlite3*& db) {
  if (sqlite3_open_v2(path.c_str(), &db, kOpenFlags, nullptr) != SQLITE_OK) {
    return Failure(db, "cannot open the records database " + path);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyMilliseconds);
  sqlite3_stmt* check = nullptr;
  int version = -1;
  std::string verdict;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &check, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    verdict = "ok";
  }
  sqlite3_finalize(check);
  // Only a file that is no database or a damaged one is moved aside; one
  // that cannot be read now (locked, an I/O error) is left as it is.
  const int code = sqlite3_errcode(db) & 0xFF;
  if (verdict != "ok" && (!verdict.empty() || code == SQLITE_NOTADB || code == SQLITE_CORRUPT))
    return Result<>::CallerMistake(path + " is not a sound records database");
  if (verdict != "ok") return Failure(db, "cannot read the records database " + path);
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &check, nullptr) == SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    version = sqlite3_column_int(check, 0);
  }
  sqlite3_finalize(check);
  return version;
}

}  // namespace

// A prepared statement, kept for the database's life and reset after each use.
class StationDatabase::Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
  }
  ~Statement() { sqlite3_finalize(statement_); }
  bool Prepared() const { return statement_ != nullptr; }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // The text stays bound without a copy until Run(): a record's text may be
  // an answer of 16 MiB, and memory must stay bounded whatever it holds.
  Statement& Text(std::string_view text) {
    std::string_view utf8 = text;
    if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
      converted_.push_back(platform::Latin1ToUtf8(text));
      utf8 = converted_.back();
    }
    sqlite3_bind_text64(statement_, ++bound_, utf8.data(), utf8.size(), SQLITE_STATIC, SQLITE_UTF8);
    return *this;
  }
  Statement& Integer(std::int64_t value) {
    sqlite3_bind_int64(statement_, ++bound_, value);
    return *this;
  }
  Statement& IdOrNull(std::int64_t id) {
    if (id == 0) {
      sqlite3_bind_null(statement_, ++bound_);
      return *this;
    }
    return Integer(id);
  }
  // Runs it; `row` gets the first column of a row it returns (0 for none).
  Result<> Run(const std::string& what, std::int64_t* row = nullptr) {
    if (!statement_) {
      converted_.clear();
      bound_ = 0;
      return Failure(db_, what);
    }
    int code = sqlite3_step(statement_);
    if (row) *row = code == SQLITE_ROW ? sqlite3_column_int64(statement_, 0) : 0;
    while (code == SQLITE_ROW) code = sqlite3_step(statement_);
    Result<> result = code == SQLITE_DONE ? Result<>() : Failure(db_, what);
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    converted_.clear();
    bound_ = 0;
    return result;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  int bound_ = 0;
  std::deque<std::string> converted_;  // texts bound after conversion, until Run()
};

Result<std::unique_ptr<StationDatabase>> StationDatabase::Open(const std::string& path,
                                                               int busyMilliseconds,
                                                               std::string* setAside) {
  struct stat status;
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode))
    return Result<>::CallerMistake(path + " is not a file: no records database can be kept there");
  // A file or folder that cannot be written is said so before SQLite would
  // open it read-only or take it for a damaged database.
  const std::string slash = path.substr(0, path.find_last_of('/') + 1);
  const std::string folder = slash.empty() ? "." : slash;
  // (The journal files go beside it, so its folder must be written too.)
  if (::access(folder.c_str(), W_OK) != 0)
    return Result<>::SystemFailure("the folder of " + path + " cannot be written", errno);
  if (exists && ::access(path.c_str(), W_OK) != 0)
    return Result<>::SystemFailure(path + " cannot be written", errno);
  sqlite3* db = nullptr;
  Result<int> version = OpenAndCheck(path, busyMilliseconds, db);
  if (!version && version.Kind() == platform::ResultKind::CallerMistake) {
    sqlite3_close(db);
    db = nullptr;
    Result<std::string> moved = SetAside(path);
    if (!moved) return moved.Failure();
    if (setAside) *setAside = *moved;
    version = OpenAndCheck(path, busyMilliseconds, db);
  }
  std::unique_ptr<StationDatabase> database(new StationDatabase(db));
  if (!version) return version.Failure();
  if (*version > kSchemaVersion) {
    return Result<>::Unsupported(path + " has records of schema version " +
                                 std::to_string(*version) + "; this program knows up to " +
                                 std::to_string(kSchemaVersion));
  }
  database->busyMilliseconds_ = busyMilliseconds;
  if (Result<> wal = database->ExecuteWhenFree("PRAGMA journal_mode=WAL"); !wal) return wal;
  // With the WAL journal a commit is safe from a kill of the program; only a
  // power cut may take the last commits, never the file's consistency.
  if (Result<> settings = database->Execute(
          "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA cache_size=-16384");
      !settings) {
    return settings;
  }
  if (Result<> migrated = database->Migrate(); !migrated) return migrated;
  return database;
}

StationDatabase::StationDatabase(sqlite3* db) : db_(db) {}

StationDatabase::~StationDatabase() {
  statements_.clear();
  sqlite3_close(db_);
}

Result<> StationDatabase::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  return Failure(db_, "cannot write the records database");
}

// Two programs may start on one data root at once: the version is read and
// raised inside one write transaction, so only one of them migrates.
Result<> StationDatabase::Migrate() {
  if (Result<> begun = ExecuteWhenFree("BEGIN IMMEDIATE"); !begun) return begun;
  sqlite3_stmt* read = nullptr;
  int version = 0;
  if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &read, nullptr) == SQLITE_OK &&
      sqlite3_step(read) == SQLITE_ROW) {
    version = sqlite3_column_int(read, 0);
  }
  sqlite3_finalize(read);
  for (; version < kSchemaVersion; ++version) {
    if (Result<> step = Execute(kMigrations[version]); !step) {
      Rollback();
      return step;
    }
  }
  const std::string raise = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
  if (Result<> set = Execute(raise.c_str()); !set) {
    Rollback();
    return set;
  }
  return Commit();
}

StationDatabase::Statement& StationDatabase::Prepared(const char* sql) {
  for (auto& [text, statement] : statements_) {
    // One that could not be prepared (the schema was locked) is tried again.
    if (text == sql && !statement->Prepared()) statement = std::make_unique<Statement>(db_, sql);
    if (text == sql) return *statement;
  }
  statements_.emplace_back(sql, std::make_unique<Statement>(db_, sql));
  return *statements_.back().second;
}

Result<> StationDatabase::Begin() {
  return ExecuteWhenFree("BEGIN IMMEDIATE");
}

// SQLite answers "database is locked" at once, without waiting its busy
// time, in a few cases: while another program recovers the WAL file, or
// where waiting could deadlock. Two terminals on one data root meet them,
// so taking the database is tried again until the busy time is up.
Result<> StationDatabase::ExecuteWhenFree(const char* sql) {
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMilliseconds_);
  for (;;) {
    Result<> done = Execute(sql);
    if (done || (sqlite3_errcode(db_) & 0xFF) != SQLITE_BUSY ||
        std::chrono::steady_clock::now() >= until) {
      return done;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Result<> StationDatabase::Commit() {
  return Execute("COMMIT");
}

void StationDatabase::Rollback() {
  lastUnit_ = {0, 0};  // it may have gone with the transaction
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

Result<int> StationDatabase::MarkKilledRuns(
    const std::string& station,
    const std::function<bool(std::int64_t processId, const std::string& bootId)>& alive) {
  sqlite3_stmt* open = nullptr;
  std::vector<std::int64_t> killed;
  if (sqlite3_prepare_v2(db_,
                         "SELECT run.id, process_id, boot_id FROM run JOIN station ON "
                         "station.id = station_id WHERE ending IS NULL AND station.name = ?",
                         -1, &open, nullptr) != SQLITE_OK) {
    return Failure(db_, "cannot read the records database");
  }
  const std::string name = platform::Latin1ToUtf8(station);
  sqlite3_bind_text(open, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  while (sqlite3_step(open) == SQLITE_ROW) {
    const unsigned char* boot = sqlite3_column_text(open, 2);
    if (!alive(sqlite3_column_int64(open, 1), boot ? reinterpret_cast<const char*>(boot) : ""))
      killed.push_back(sqlite3_column_int64(open, 0));
  }
  sqlite3_finalize(open);
  for (const std::int64_t id : killed) {
    Result<> marked = Prepared("UPDATE run SET ending = 'killed' WHERE id = ? AND ending IS NULL")
                          .Integer(id)
                          .Run("cannot mark a killed run");
    if (!marked) return marked;
  }
  return static_cast<int>(killed.size());
}

Result<> StationDatabase::StartRun(const std::string& station, const std::string& host,
                                   const RunStart& run) {
  Result<> added = Prepared(
                       "INSERT INTO station (name, host) VALUES (?, ?) "
                       "ON CONFLICT (name) DO UPDATE SET host = excluded.host")
                       .Text(station)
                       .Text(host)
                       .Run("cannot record the station");
  if (!added) return added;
  std::int64_t stationId = 0;
  Result<> found = Prepared("SELECT id FROM station WHERE name = ?")
                       .Text(station)
                       .Run("cannot read the station", &stationId);
  if (!found) return found;
  Result<> started =
      Prepared(
          "INSERT INTO run (uuid, station_id, program_version, mode, file, file_sha256, "
          "operator, started_utc, utc_offset_minutes, process_id, boot_id) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
          .Text(run.uuid)
          .Integer(stationId)
          .Text(run.programVersion)
          .Text(run.mode)
          .Text(run.file)
          .Text(run.fileSha256)
          .Text(run.operatorName)
          .Text(run.startedUtc)
          .Integer(run.utcOffsetMinutes)
          .Integer(run.processId)
          .Text(run.bootId)
          .Run("cannot record the run");
  if (!started) return started;
  runId_ = sqlite3_last_insert_rowid(db_);
  lastUnit_ = {0, 0};
  return {};
}

Result<std::int64_t> StationDatabase::UnitId(int number) {
  if (number == 0) return std::int64_t{0};
  if (lastUnit_.first == number) return lastUnit_.second;
  std::int64_t id = 0;
  Result<> found = Prepared("SELECT id FROM unit WHERE run_id = ? AND number = ?")
                       .Integer(runId_)
                       .Integer(number)
                       .Run("cannot read the unit", &id);
  if (!found) return found;
  if (id == 0) return Result<>::CallerMistake("unit " + std::to_string(number) + " never started");
  lastUnit_ = {number, id};
  return id;
}

Result<> StationDatabase::StartUnit(int number, const std::string& startedUtc) {
  Result<> started = Prepared("INSERT INTO unit (run_id, number, started_utc) VALUES (?, ?, ?)")
                         .Integer(runId_)
                         .Integer(number)
                         .Text(startedUtc)
                         .Run("cannot record the unit");
  if (started) lastUnit_ = {number, sqlite3_last_insert_rowid(db_)};
  return started;
}

Result<> StationDatabase::EndUnit(const UnitEnd& unit) {
  Result<std::int64_t> id = UnitId(unit.number);
  if (!id) return id.Failure();
  Result<> ended =
      Prepared("UPDATE unit SET ended_utc = ?, verdict = ?, fail_count = ? WHERE id = ?")
          .Text(unit.endedUtc)
          .Text(unit.verdict)
          .Integer(unit.failCount)
          .Integer(*id)
          .Run("cannot record the unit's end");
  for (const auto& [name, value] : unit.values) {
    if (!ended) break;
    ended = Prepared("INSERT OR REPLACE INTO unit_value (unit_id, name, value) VALUES (?, ?, ?)")
                .Integer(*id)
                .Text(name)
                .Text(value)
                .Run("cannot record the unit's values");
  }
  return ended;
}

namespace {

// The INSERT of `rows` exchanges; kept for the program's life, as the
// prepared statements are found by its address.
const char* ExchangeInsert(std::size_t rows) {
  static const auto text = [](std::size_t n) {
    std::string sql =
        "INSERT INTO exchange (run_id, unit_id, sequence, device, command, reply, expected, "
        "outcome, round_trip_us, at_utc) VALUES ";
    for (std::size_t row = 0; row < n; ++row)
      sql += row ? ", (?,?,?,?,?,?,?,?,?,?)" : "(?,?,?,?,?,?,?,?,?,?)";
    return sql;
  };
  static const std::string one = text(1), many = text(StationDatabase::kExchangesAtOnce);
  return rows == 1 ? one.c_str() : many.c_str();
}

}  // namespace

Result<> StationDatabase::AddExchanges(std::span<const ExchangeRecord* const> exchanges) {
  while (!exchanges.empty()) {
    const std::size_t rows = exchanges.size() >= kExchangesAtOnce ? kExchangesAtOnce : 1;
    // The units first: a statement is bound whole or not at all.
    std::int64_t units[StationDatabase::kExchangesAtOnce];
    for (std::size_t row = 0; row < rows; ++row) {
      Result<std::int64_t> unit = UnitId(exchanges[row]->unit);
      if (!unit) return unit.Failure();
      units[row] = *unit;
    }
    Statement& insert = Prepared(ExchangeInsert(rows));
    for (std::size_t row = 0; row < rows; ++row) {
      const ExchangeRecord& e = *exchanges[row];
      insert.Integer(runId_)
          .IdOrNull(units[row])
          .Integer(e.sequence)
          .Text(e.device)
          .Text(e.command)
          .Text(e.reply)
          .Text(e.expected)
          .Text(e.outcome)
          .Integer(e.roundTripMicroseconds)
          .Text(e.atUtc);
    }
    if (Result<> added = insert.Run("cannot record an exchange"); !added) return added;
    exchanges = exchanges.subspan(rows);
  }
  return {};
}

Result<> StationDatabase::AddAnswer(const AnswerRecord& a) {
  Result<std::int64_t> unit = UnitId(a.unit);
  if (!unit) return unit.Failure();
  return Prepared(
             "INSERT INTO answer (run_id, unit_id, prompt, answer, kind) VALUES (?, ?, ?, ?, ?)")
      .Integer(runId_)
      .IdOrNull(*unit)
      .Text(a.prompt)
      .Text(a.answer)
      .Text(a.kind)
      .Run("cannot record an answer");
}

Result<> StationDatabase::AddVerdict(const VerdictRecord& v) {
  Result<std::int64_t> unit = UnitId(v.unit);
  if (!unit) return unit.Failure();
  return Prepared(
             "INSERT INTO verdict (run_id, unit_id, keyword, subject, outcome) "
             "VALUES (?, ?, ?, ?, ?)")
      .Integer(runId_)
      .IdOrNull(*unit)
      .Text(v.keyword)
      .Text(v.subject)
      .Text(v.outcome)
      .Run("cannot record a verdict");
}

Result<> StationDatabase::AddFile(const FileRecord& f) {
  Result<std::int64_t> unit = UnitId(f.unit);
  if (!unit) return unit.Failure();
  return Prepared(
             "INSERT INTO file (run_id, unit_id, path, kind, number, size, sha256, failure) "
             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
      .Integer(runId_)
      .IdOrNull(*unit)
      .Text(f.path)
      .Text(f.kind)
      .Integer(f.number)
      .Integer(f.size)
      .Text(f.sha256)
      .Text(f.failure)
      .Run("cannot record a file");
}

Result<> StationDatabase::EndRun(const RunEnd& end) {
  return Prepared(
             "UPDATE run SET ended_utc = ?, ending = ?, exit_status = ?, fail_count = ? "
             "WHERE id = ?")
      .Text(end.endedUtc)
      .Text(end.ending)
      .Integer(end.exitStatus)
      .Integer(end.failCount)
      .Integer(runId_)
      .Run("cannot record the run's end");
}

}  // namespace records

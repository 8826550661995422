// The station's results database: every run, every unit of a production
// script, every device exchange, answer, verdict and file written, in one
// SQLite file beside the result files (docs/records.md has the schema).
//
// Text arrives as the program's 8-bit text and is stored as UTF-8 (read as
// Latin-1), so any reader (the sqlite3 shell, Python) gets every byte back,
// NUL bytes included.
//
// One StationDatabase belongs to one thread (the record writer's). Each
// record is written inside the transaction the caller opens with Begin()
// and ends with Commit(); a kill between the two loses only that
// transaction, never the file's consistency (WAL journal).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result.h"

struct sqlite3;

namespace records {

// The schema this program writes; a database with a newer one is refused.
inline constexpr int kSchemaVersion = 4;

struct RunStart {
  std::string uuid;
  std::string programVersion;
  std::string mode;  // "window", "terminal", "exec", "program", "script"
  std::string file;  // the script or program file; "" for none
  std::string fileSha256;
  std::string operatorName;
  std::string startedUtc;  // ISO 8601, "2026-12-08T10:15:02.123Z"
  int utcOffsetMinutes = 0;
  // The process that records it and the boot it runs in: a run left open
  // whose process is gone was killed; one whose process still runs is
  // another program's on the same data root.
  std::int64_t processId = 0;
  std::string bootId;
};

struct RunEnd {
  std::string endedUtc;
  std::string ending;  // "end", "exit", "esc", "signal 15"; "killed" is set at the next start
  int exitStatus = 0;
  int failCount = 0;
};

struct UnitEnd {
  int number = 0;  // 1 for the first unit of the run
  std::string startedUtc, endedUtc;
  std::string verdict;  // "pass", "fail", "aborted"
  int failCount = 0;
  std::vector<std::pair<std::string, std::string>> values;  // "V1" .. "C9" and their text
};

struct ExchangeRecord {
  int unit = 0;  // the unit's number; 0 outside any unit
  std::int64_t sequence = 0;
  std::string device, command, reply, expected;
  std::string outcome;  // "ok", "mismatch", "time-out", "link error", "not available"
  std::int64_t roundTripMicroseconds = 0;
  std::string atUtc;
};

struct AnswerRecord {
  int unit = 0;
  std::string prompt, answer;
  std::string kind;  // "input", "pass/fail", "esc"
};

struct VerdictRecord {
  int unit = 0;
  std::string keyword, subject, outcome;
};

struct FileRecord {
  int unit = 0;
  std::string path;  // relative to the data root
  std::string kind;  // "results", "csv", "report", "display"
  int number = 0;
  std::int64_t size = 0;
  std::string sha256;
  std::string failure;  // why it could not be written; "" when it was
};

class StationDatabase {
 public:
  // Opens the database at `path`, creating it and its schema when there is
  // none, and upgrades an older schema. A file that is not a database (or
  // whose schema cannot be read) is moved aside under its name with the time
  // added and a new one is started there; `setAside` then names where it
  // went. Refused, leaving the file as it is: a folder or another non-file
  // in its place, a schema newer than kSchemaVersion, a file that cannot be
  // opened for writing. `busyMilliseconds`: how long each write waits for
  // another program's lock before it fails.
  static platform::Result<std::unique_ptr<StationDatabase>> Open(const std::string& path,
                                                                 int busyMilliseconds,
                                                                 std::string* setAside = nullptr);
  ~StationDatabase();
  StationDatabase(const StationDatabase&) = delete;
  StationDatabase& operator=(const StationDatabase&) = delete;

  // Marks every run of `station` left without an end whose process is gone
  // (`alive` tells, from the process id and boot id it was recorded with)
  // as ended "killed"; returns how many.
  platform::Result<int> MarkKilledRuns(
      const std::string& station,
      const std::function<bool(std::int64_t processId, const std::string& bootId)>& alive);

  platform::Result<> Begin();
  platform::Result<> Commit();
  // Drops what was written since Begin().
  void Rollback();

  // The run's records; StartRun first, its station is created when new.
  platform::Result<> StartRun(const std::string& station, const std::string& host,
                              const RunStart& run);
  platform::Result<> StartUnit(int number, const std::string& startedUtc);
  platform::Result<> EndUnit(const UnitEnd& unit);
  // Exchanges in their order; a long line's are written kExchangesAtOnce
  // rows a statement, which takes SQLite a good part less time a row.
  static constexpr std::size_t kExchangesAtOnce = 32;
  platform::Result<> AddExchanges(std::span<const ExchangeRecord* const> exchanges);
  platform::Result<> AddExchange(const ExchangeRecord& exchange) {
    const ExchangeRecord* one[] = {&exchange};
    return AddExchanges(one);
  }
  platform::Result<> AddAnswer(const AnswerRecord& answer);
  platform::Result<> AddVerdict(const VerdictRecord& verdict);
  platform::Result<> AddFile(const FileRecord& file);
  platform::Result<> EndRun(const RunEnd& end);

 private:
  explicit StationDatabase(sqlite3* db);
  platform::Result<> Migrate();
  platform::Result<> Execute(const char* sql);
  platform::Result<std::int64_t> UnitId(int number);
  class Statement;
  Statement& Prepared(const char* sql);

  // `sql`, tried again while the database is busy, up to the busy time.
  platform::Result<> ExecuteWhenFree(const char* sql);
  sqlite3* db_;
  int busyMilliseconds_ = 0;
  std::vector<std::pair<const char*, std::unique_ptr<Statement>>> statements_;
  std::int64_t runId_ = 0;
  std::pair<int, std::int64_t> lastUnit_{0, 0};  // number, row id
};

}  // namespace records

// Writes a run's records into the station database on a thread of its own,
// behind a bounded queue: the run hands each record over and goes on; it
// waits only when the queue is full (the disk cannot keep up) or when it
// asks for everything so far to be committed (Sync, at a unit's verdict).
//
// The writer commits at each unit's end, at the run's end and at least once
// a second in between. A database that cannot be written (it cannot be
// opened, the disk is full, another program holds its lock past the busy
// time-out) never stops the run: the records are counted as lost and the
// first reason is kept for the run to report once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "records/station_db.h"

namespace records {

struct UnitStart {
  int number = 0;
  std::string startedUtc;
};

using Record = std::variant<RunStart, UnitStart, UnitEnd, ExchangeRecord, AnswerRecord,
                            VerdictRecord, FileRecord, RunEnd>;

struct WriterSettings {
  std::string path;  // the database file
  std::string station, host;
  int busyTimeoutMilliseconds = 5000;
  std::size_t capacity = 1 << 16;  // records the queue holds
  // Whether the process a run left open was recorded with still runs (see
  // StationDatabase::MarkKilledRuns).
  std::function<bool(std::int64_t processId, const std::string& bootId)> alive;
};

class RecordWriter {
 public:
  // Starts the writer, which opens the database (and marks the station's
  // killed runs) before it writes the first record.
  explicit RecordWriter(WriterSettings settings);
  // Finish().
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  void Add(Record record);
  // Returns once every record added so far is committed (or lost).
  void Sync();
  // Writes what is queued, commits and stops the writer; later records are lost.
  void Finish();

  // Records that could not be written so far.
  std::int64_t Lost() const;
  // Why records are being lost: the first reason, once (later calls give
  // nothing, so the run reports it once).
  std::optional<std::string> TakeFailure();
  // Where a damaged database was moved before a new one was started ("" for
  // none); known once the database is open (after the first Sync).
  std::string SetAside() const;
  // Runs found open from earlier, killed programs and marked so.
  int KilledRunsMarked() const;

 private:
  void Work();
  void Open();
  // Records a batch in order, a run of exchanges at once.
  void ApplyAll(std::vector<Record>& batch);
  void Apply(Record& record);
  void ApplyExchanges(std::span<const ExchangeRecord* const> exchanges);
  // A transaction open for the next records; false when there is none.
  bool InTransaction(std::int64_t records);
  // After a write: one that failed loses its whole transaction.
  void Written(const platform::Result<>& written);
  void Commit();
  void Lose(std::int64_t count, const std::string& why);

  // Records the writer takes at once at most before it is woken again, and
  // how long it waits for a batch to fill.
  static constexpr std::size_t kBatch = 1024;
  static constexpr std::chrono::milliseconds kGather{10};

  WriterSettings settings_;
  std::unique_ptr<StationDatabase> db_;
  bool inTransaction_ = false;
  std::int64_t pending_ = 0;  // records in the open transaction
  std::chrono::steady_clock::time_point begun_;

  mutable std::mutex mutex_;
  std::condition_variable wake_, space_, committed_;
  std::vector<Record> queue_;
  std::vector<Record> batch_;           // the writer's, out of the lock
  std::uint64_t added_ = 0, done_ = 0;  // records handed over; committed or lost
  bool opened_ = false, syncWanted_ = false, stopping_ = false, stopped_ = false;
  std::int64_t lost_ = 0;
  std::string failure_;
  bool failureTaken_ = false;
  std::string setAside_;
  int killed_ = 0;
  std::thread thread_;
};

}  // namespace records

#include "records/record_writer.h"

#include <algorithm>
#include <utility>

namespace records {

using platform::Result;

RecordWriter::RecordWriter(WriterSettings settings)
    : settings_(std::move(settings)), thread_([this] { Work(); }) {}

RecordWriter::~RecordWriter() {
  Finish();
}

void RecordWriter::Add(Record record) {
  std::unique_lock lock(mutex_);
  space_.wait(lock, [this] { return queue_.size() < settings_.capacity || stopped_; });
  if (stopped_) {
    ++lost_;
    return;
  }
  queue_.push_back(std::move(record));
  ++added_;
  // The writer is woken by the first record of a batch and again when the
  // batch is full, not by each one: a line of a million exchanges must not
  // pay a thread switch for every record.
  if (queue_.size() == 1 || queue_.size() == kBatch) wake_.notify_one();
}

void RecordWriter::Sync() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = added_;
  syncWanted_ = true;
  wake_.notify_one();
  committed_.wait(lock, [&] { return (opened_ && done_ >= target) || stopped_; });
}

void RecordWriter::Finish() {
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
    wake_.notify_one();
  }
  thread_.join();
}

std::int64_t RecordWriter::Lost() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

std::optional<std::string> RecordWriter::TakeFailure() {
  std::lock_guard lock(mutex_);
  if (failure_.empty() || failureTaken_) return std::nullopt;
  failureTaken_ = true;
  return failure_;
}

std::string RecordWriter::SetAside() const {
  std::lock_guard lock(mutex_);
  return setAside_;
}

int RecordWriter::KilledRunsMarked() const {
  std::lock_guard lock(mutex_);
  return killed_;
}

void RecordWriter::Lose(std::int64_t count, const std::string& why) {
  std::lock_guard lock(mutex_);
  lost_ += count;
  if (failure_.empty()) failure_ = why;
}

void RecordWriter::Open() {
  std::string setAside;
  Result<std::unique_ptr<StationDatabase>> database =
      StationDatabase::Open(settings_.path, settings_.busyTimeoutMilliseconds, &setAside);
  if (!database) {
    Lose(0, database.Text());
    return;
  }
  db_ = std::move(*database);
  const auto alive =
      settings_.alive ? settings_.alive : [](std::int64_t, const std::string&) { return true; };
  Result<int> killed = db_->MarkKilledRuns(settings_.station, alive);
  std::lock_guard lock(mutex_);
  setAside_ = setAside;
  killed_ = killed ? *killed : 0;
}

bool RecordWriter::InTransaction(std::int64_t records) {
  if (!db_) {
    Lose(records, "");
    return false;
  }
  if (!inTransaction_) {
    if (Result<> begun = db_->Begin(); !begun) {
      Lose(records, begun.Text());
      return false;
    }
    inTransaction_ = true;
    begun_ = std::chrono::steady_clock::now();
  }
  pending_ += records;
  return true;
}

void RecordWriter::Written(const Result<>& written) {
  if (written) return;
  // The transaction goes as a whole: a unit is in the database complete
  // or not at all.
  db_->Rollback();
  inTransaction_ = false;
  Lose(std::exchange(pending_, 0), written.Text());
}

void RecordWriter::ApplyAll(std::vector<Record>& batch) {
  std::vector<const ExchangeRecord*> exchanges;
  for (Record& record : batch) {
    if (const ExchangeRecord* exchange = std::get_if<ExchangeRecord>(&record)) {
      exchanges.push_back(exchange);
      continue;
    }
    ApplyExchanges(exchanges);
    exchanges.clear();
    Apply(record);
  }
  ApplyExchanges(exchanges);
}

void RecordWriter::ApplyExchanges(std::span<const ExchangeRecord* const> exchanges) {
  // A statement's worth at a time: where one fails, it goes with its
  // transaction and the rest are tried in a new one, as single records are.
  while (!exchanges.empty()) {
    const std::size_t rows = std::min(exchanges.size(), StationDatabase::kExchangesAtOnce);
    if (InTransaction(static_cast<std::int64_t>(rows)))
      Written(db_->AddExchanges(exchanges.first(rows)));
    exchanges = exchanges.subspan(rows);
  }
}

void RecordWriter::Apply(Record& record) {
  if (!InTransaction(1)) return;
  const Result<> written = std::visit(
      [this](auto& r) -> Result<> {
        using T = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<T, RunStart>) {
          return db_->StartRun(settings_.station, settings_.host, r);
        } else if constexpr (std::is_same_v<T, UnitStart>) {
          return db_->StartUnit(r.number, r.startedUtc);
        } else if constexpr (std::is_same_v<T, UnitEnd>) {
          return db_->EndUnit(r);
        } else if constexpr (std::is_same_v<T, ExchangeRecord>) {
          return db_->AddExchange(r);
        } else if constexpr (std::is_same_v<T, AnswerRecord>) {
          return db_->AddAnswer(r);
        } else if constexpr (std::is_same_v<T, VerdictRecord>) {
          return db_->AddVerdict(r);
        } else if constexpr (std::is_same_v<T, FileRecord>) {
          return db_->AddFile(r);
        } else {
          return db_->EndRun(r);
        }
      },
      record);
  Written(written);
  if (!written) return;
  if (std::holds_alternative<UnitEnd>(record) || std::holds_alternative<RunEnd>(record)) Commit();
}

void RecordWriter::Commit() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  if (Result<> done = db_->Commit(); !done) {
    db_->Rollback();
    Lose(pending_, done.Text());
  }
  pending_ = 0;
}

void RecordWriter::Work() {
  Open();
  std::uint64_t applied = 0;
  std::unique_lock lock(mutex_);
  opened_ = true;  // however it went, a Sync() may return from now on
  committed_.notify_all();
  for (;;) {
    const auto woken = [this] { return !queue_.empty() || syncWanted_ || stopping_; };
    if (inTransaction_) {
      wake_.wait_until(lock, begun_ + std::chrono::seconds(1), woken);
    } else {
      wake_.wait(lock, woken);
    }
    // A batch is gathered for a moment unless someone waits for it.
    wake_.wait_for(lock, kGather,
                   [this] { return queue_.size() >= kBatch || syncWanted_ || stopping_; });
    // The two buffers change places: after the first batches neither
    // allocates a slot again.
    batch_.swap(queue_);
    const bool sync = std::exchange(syncWanted_, false);
    const bool stop = stopping_;
    space_.notify_all();
    lock.unlock();
    ApplyAll(batch_);
    if (sync || stop || std::chrono::steady_clock::now() >= begun_ + std::chrono::seconds(1))
      Commit();
    applied += batch_.size();
    // A burst's room is given back once the records come slowly again.
    if (batch_.size() < kBatch && batch_.capacity() > 4 * kBatch) {
      std::vector<Record>().swap(batch_);
    } else {
      batch_.clear();
    }
    lock.lock();
    // Only a closed transaction settles its records (committed or lost).
    if (!inTransaction_) done_ = applied;
    committed_.notify_all();
    if (stop && queue_.empty()) break;
  }
  stopped_ = true;
  space_.notify_all();
  committed_.notify_all();
  lock.unlock();
  db_.reset();
}

}  // namespace records

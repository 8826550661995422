#include "records/forwarder.h"

#include <algorithm>
#include <tuple>

#include "records/central_store.h"

namespace records {

using platform::Result;
using Clock = std::chrono::steady_clock;

Forwarder::Forwarder(ForwarderSettings settings) : settings_(std::move(settings)) {
  thread_ = std::thread([this] { Work(); });
}

Forwarder::~Forwarder() {
  Stop(0);
}

void Forwarder::Stop(double graceSeconds) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      stopping_ = true;
      stopBy_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(graceSeconds));
    }
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> Forwarder::TakeReports() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(reports_, {});
}

Backlog Forwarder::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return backlog_;
}

std::string Forwarder::Trouble() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return trouble_;
}

std::int64_t Forwarder::Forwarded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return forwarded_;
}

// Asked while a connection or a statement waits: past the grace of a stop.
bool Forwarder::GiveUp(void* self) {
  auto* forwarder = static_cast<Forwarder*>(self);
  std::lock_guard<std::mutex> lock(forwarder->mutex_);
  return forwarder->stopping_ && Clock::now() >= forwarder->stopBy_;
}

void Forwarder::Pause(double seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_; });
}

Result<> Forwarder::Pass(bool& more) {
  more = false;
  if (!outbox_) {
    Result<std::unique_ptr<Outbox>> opened =
        Outbox::Open(settings_.database, settings_.busyMilliseconds);
    if (!opened) return opened.Failure();
    outbox_ = std::move(*opened);
  }
  Result<OutboxBatch> batch = outbox_->Next(settings_.batchRows);
  if (!batch) return batch.Failure();
  if (!batch->tables.empty()) {
    if (!store_ || store_->Broken()) {
      store_.reset();
      Result<std::unique_ptr<CentralStore>> connected =
          CentralStore::Connect(settings_.central, settings_.connectSeconds, &GiveUp, this);
      if (!connected) return connected.Failure();
      Result<int> version = (*connected)->SchemaVersion();
      if (!version) return version.Failure();
      if (*version != kCentralSchemaVersion) {
        return Result<>::SystemFailureSaying(
            "the central database " + (*connected)->Masked() + " has schema version " +
            std::to_string(*version) + "; this program writes version " +
            std::to_string(kCentralSchemaVersion) + " (halvorn-results init makes it)");
      }
      store_ = std::move(*connected);
      if (!stalled_.empty()) {
        // Best effort: if it cannot be ended, the next try waits for it again.
        (void)store_->EndBackend(stalled_, settings_.answerSeconds);
        stalled_.clear();
      }
      Result<std::string> backend = store_->Backend(settings_.answerSeconds);
      if (!backend) return backend.Failure();
      backend_ = *backend;
    }
    std::vector<Outbox::Refusal> refused;
    if (Result<> sent = store_->Send(*batch, refused, settings_.answerSeconds, &GiveUp, this);
        !sent) {
      if (store_->Broken()) stalled_ = backend_;
      return sent;
    }
    if (Result<> marked = outbox_->Sent(*batch, refused); !marked) return marked;
    std::lock_guard<std::mutex> lock(mutex_);
    forwarded_ += static_cast<std::int64_t>(batch->Rows() - refused.size());
    if (!refused.empty()) {
      const Outbox::Refusal& first = refused.front();
      reports_.push_back("The central database " + store_->Masked() + " refused " +
                         std::to_string(refused.size()) +
                         (refused.size() == 1 ? " record" : " records") +
                         "; they stay in the station's records (the first, " + first.kind + " " +
                         std::to_string(first.id) + ": " + first.why + ")");
    }
    more = batch->more;
  }
  return {};
}

void Forwarder::Report(const Backlog& b, bool last) {
  const auto key = [](const Backlog& x) { return std::tuple(x.units, x.runs, x.refused); };
  const auto now = Clock::now();
  if (!store_ || store_->Broken() || settings_.station.empty() ||
      (everReported_ && key(b) == key(reported_)) ||
      (everReported_ && !last &&
       now - reportedAt_ < std::chrono::duration<double>(settings_.reportSeconds))) {
    return;
  }
  // A report that does not get through is no reason to hold the records up.
  if (store_->ReportBacklog(settings_.station, b, settings_.answerSeconds)) {
    reported_ = b;
    everReported_ = true;
    reportedAt_ = now;
  }
}

void Forwarder::Work() {
  double pause = settings_.firstPause;
  bool told = false;  // the trouble was reported and not yet its end
  for (;;) {
    // A pass that began before the stop may have missed the run's last
    // records: the last pass is one that began after it.
    bool last = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      last = stopping_;
    }
    bool more = false;
    const Result<> pass = Pass(more);
    // The backlog is counted whether the server took the batch or not.
    const Result<Backlog> waiting = outbox_ ? outbox_->Waiting() : Result<Backlog>(Backlog{});
    if (pass && waiting) Report(*waiting, last);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (waiting) backlog_ = *waiting;
      if (!pass) {
        trouble_ = pass.Text();
        if (!told) {
          reports_.push_back(
              "The station's records wait for the central database (they go when it takes "
              "them): " +
              trouble_);
        }
        told = true;
      } else {
        if (told) {
          reports_.push_back("The station's records reach the central database again; " +
                             DescribeBacklog(backlog_) + ".");
        }
        told = false;
        trouble_.clear();
      }
      // At a stop, what waits is sent while the server takes it.
      if (last && (!pass || !more || Clock::now() >= stopBy_)) break;
    }
    if (!pass) {
      store_.reset();
      Pause(pause);
      pause = std::min(pause * 2, settings_.longestPause);
      continue;
    }
    pause = settings_.firstPause;
    if (!more) Pause(settings_.idleSeconds);
  }
  store_.reset();
  outbox_.reset();
}

}  // namespace records

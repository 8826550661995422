// Carries the station's records to the factory's central database, on a
// thread of its own: the station's database is the outbox (records/
// outbox.h), read in batches, each sent in one transaction and marked as
// forwarded only after the server committed it. A batch sent twice (the
// program killed between the server's commit and the mark) is stored once:
// the server keeps a row it already has.
//
// A run never waits for the server. While it cannot be reached, is slow or
// refuses, the records wait in the station's database; the forwarder tries
// again after a pause that grows (1 s, 2 s, 4 s ... up to a minute), and
// sends the backlog when the server is back, also after a restart of the
// program. What the operator must learn (the server is away, it takes the
// records again, it refused rows) is told once, through TakeReports().
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "records/outbox.h"

namespace records {

struct ForwarderSettings {
  std::string database;       // the station's records
  std::string central;        // a libpq connection string
  std::string station;        // whose backlog the server is told
  double reportSeconds = 60;  // the server hears of a changed backlog at most this often
  int busyMilliseconds = 5000;
  std::size_t batchRows = 2000;  // rows of a kind a batch takes at most
  double firstPause = 1;         // seconds after a failure before the next try
  double longestPause = 60;      // the pause doubles up to this
  double idleSeconds = 1;        // how often the outbox is looked at
  int connectSeconds = 10;       // how long the server may take to be reached
  int answerSeconds = 30;        // and to answer a statement
};

class Forwarder {
 public:
  explicit Forwarder(ForwarderSettings settings);
  // Stop(0).
  ~Forwarder();
  Forwarder(const Forwarder&) = delete;
  Forwarder& operator=(const Forwarder&) = delete;

  // Ends forwarding. While the server takes the records, what waits is
  // sent for at most `graceSeconds` more; a server that is away is not
  // waited for. What is left goes at the next start.
  void Stop(double graceSeconds);

  // Messages for the operator, each told once.
  std::vector<std::string> TakeReports();
  // What waits for the server, as last counted.
  Backlog Waiting() const;
  // Why the records do not reach the server now ("" while they do).
  std::string Trouble() const;
  // Rows the server committed since the start.
  std::int64_t Forwarded() const;

 private:
  void Work();
  // One batch; `more` tells whether rows were left for the next one.
  platform::Result<> Pass(bool& more);
  // Waits `seconds`, or less when Stop() comes.
  void Pause(double seconds);
  // Tells the server the backlog when it changed (at most every
  // reportSeconds, unless `last`).
  void Report(const Backlog& backlog, bool last);
  static bool GiveUp(void* self);

  ForwarderSettings settings_;
  std::unique_ptr<Outbox> outbox_;
  std::unique_ptr<class CentralStore> store_;
  std::string backend_;  // the server's process of store_
  std::string stalled_;  // one given up in a transaction, to be ended
  Backlog reported_;     // as the server last heard it
  bool everReported_ = false;
  std::chrono::steady_clock::time_point reportedAt_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point stopBy_;
  std::vector<std::string> reports_;
  Backlog backlog_;
  std::string trouble_;
  std::int64_t forwarded_ = 0;
  std::thread thread_;
};

}  // namespace records

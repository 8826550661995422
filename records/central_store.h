// The factory's record: one PostgreSQL database that holds the units and
// runs of every station. Its schema is the station's, with the station's
// name on every row and each row keyed by what the station itself knows
// (the run's UUID, the unit's number, the exchange's sequence), so a row
// sent twice is the same row. The exchanges, by far the most rows, are kept
// in a table of monthly partitions: an old month is detached or dropped
// without touching the rest.
//
// A server is named by a libpq connection string, either a URL
// ("postgresql://station@factory-db/records?sslmode=verify-full") or
// key=value pairs ("host=factory-db dbname=records"); what the string
// leaves out comes from libpq's environment variables (PGHOST, PGPASSWORD
// ...). A password never reaches a message: MaskedConnection() stands for
// the string wherever it is shown.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/result.h"
#include "records/outbox.h"

struct pg_conn;

namespace records {

// The central schema this program writes and reads; an older one is
// brought up to it, a newer one is left alone and refused.
inline constexpr int kCentralSchemaVersion = 2;

// `connection` with every password in it replaced by "***".
std::string MaskedConnection(const std::string& connection);
// libpq's `text` about `connection` (which may quote it) on one line and
// without its passwords.
std::string CentralReason(const char* text, const std::string& connection);

// Asked while a connection or a statement waits for the server: true ends
// the wait with a failure (a program that stops).
using CentralGiveUp = bool (*)(void* context);
// A connection to the server `connection` names, as `application`, waiting
// at most `timeoutSeconds`; in libpq's blocking mode, owned by the caller
// (PQfinish). Fails with a caller's mistake for a string libpq cannot read
// and with the server's or the network's reason otherwise, the string
// masked. The station and the tool connect alike: texts as UTF-8.
platform::Result<pg_conn*> ConnectCentral(const std::string& connection, const char* application,
                                          int timeoutSeconds, CentralGiveUp giveUp = nullptr,
                                          void* context = nullptr);
// The central schema's version on `pg` (0 where there is none yet).
platform::Result<int> CentralSchemaVersion(pg_conn* pg, const std::string& masked);

class CentralStore {
 public:
  // Connects, waiting at most `timeoutSeconds` for the server. Fails with
  // a caller's mistake for a string libpq cannot read, and with the
  // server's or the network's reason otherwise (the string masked).
  // `giveUp`, when given, is asked while it waits and ends the wait with
  // a failure when it says so (a program that stops).
  using GiveUp = CentralGiveUp;
  static platform::Result<std::unique_ptr<CentralStore>> Connect(const std::string& connection,
                                                                 int timeoutSeconds = 10,
                                                                 GiveUp giveUp = nullptr,
                                                                 void* context = nullptr);
  ~CentralStore();
  CentralStore(const CentralStore&) = delete;
  CentralStore& operator=(const CentralStore&) = delete;

  // The schema's version on the server: 0 where there is none yet.
  platform::Result<int> SchemaVersion();
  // Creates the schema, or brings an older one up to kCentralSchemaVersion,
  // in one transaction; a schema newer than this program's fails and is
  // left as it is. The version found before (0: none).
  platform::Result<int> Migrate();
  // The partition of the exchanges of the month of `utcTime` (ISO 8601),
  // made when it is missing.
  platform::Result<> EnsureExchangeMonth(const std::string& utcTime);

  // Adds the rows of `batch` in one transaction; a row the server already
  // has is left as it is. Rows the server refuses for what they hold (a
  // NUL byte, a time it cannot read, a missing run) are tried one by one
  // and those it still refuses are named in `refused`, the others added.
  // Each statement may take `answerSeconds`; a server that takes longer
  // (or `giveUp` saying so) fails the batch and leaves the connection
  // unusable (Broken()).
  platform::Result<> Send(const OutboxBatch& batch, std::vector<Outbox::Refusal>& refused,
                          int answerSeconds, GiveUp giveUp = nullptr, void* context = nullptr);
  // The connection can no longer be used: a new one is needed.
  bool Broken() const;
  // Tells the server what waits on `station` (forward_report).
  platform::Result<> ReportBacklog(const std::string& station, const Backlog& backlog,
                                   int answerSeconds);
  // The server's process of this connection ("pid start"; "" when unknown).
  // A connection given up in the middle of a transaction (the network
  // stalled) leaves that process waiting with the transaction's locks,
  // which hold every later try of the same rows; a new connection ends it
  // with EndBackend (allowed for the same role).
  platform::Result<std::string> Backend(int answerSeconds);
  platform::Result<> EndBackend(const std::string& backend, int answerSeconds);
  const std::string& Masked() const { return masked_; }

 private:
  struct Answer {
    bool ok = false;
    std::string state;  // the SQLSTATE of a failure; "" when the connection failed
    std::string message;
  };
  struct Limits {
    int answerSeconds;
    GiveUp giveUp;
    void* context;
  };
  CentralStore(pg_conn* connection, std::string masked);
  // `first`, when given, gets the first value of the first row.
  Answer Run(const std::string& sql, const std::vector<const char*>& values,
             const std::vector<int>& lengths, const std::vector<int>& formats, const Limits& limits,
             std::string* first = nullptr);
  Answer Insert(const OutboxTable& table, std::size_t first, std::size_t count,
                const Limits& limits);
  platform::Result<> SendOneByOne(const OutboxBatch& batch, std::vector<Outbox::Refusal>& refused,
                                  const Limits& limits);
  platform::Result<> Execute(const std::string& sql, const std::string& what);
  platform::Result<> Failure(const std::string& what) const;

  pg_conn* connection_;
  std::string masked_;
  bool broken_ = false;
  std::set<std::string> months_;  // "2026-12": the months whose partition is there
};

}  // namespace records

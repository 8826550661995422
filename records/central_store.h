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
#include <string>

#include "platform/result.h"

struct pg_conn;

namespace records {

// The central schema this program writes and reads; an older one is
// brought up to it, a newer one is left alone and refused.
inline constexpr int kCentralSchemaVersion = 1;

// `connection` with every password in it replaced by "***".
std::string MaskedConnection(const std::string& connection);

class CentralStore {
 public:
  // Connects, waiting at most `timeoutSeconds` for the server. Fails with
  // a caller's mistake for a string libpq cannot read, and with the
  // server's or the network's reason otherwise (the string masked).
  static platform::Result<std::unique_ptr<CentralStore>> Connect(const std::string& connection,
                                                                 int timeoutSeconds = 10);
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

 private:
  CentralStore(pg_conn* connection, std::string masked);
  platform::Result<> Execute(const std::string& sql, const std::string& what);
  platform::Result<> Failure(const std::string& what) const;

  pg_conn* connection_;
  std::string masked_;
};

}  // namespace records

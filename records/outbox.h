// The station's records database seen as the outbox of the factory's
// central database: which rows have not reached the server yet, read in
// batches in the order the server needs them (a run before its units and
// exchanges), and marked once the server has committed them.
//
// Rows are only ever added to the station's tables, each with an id above
// every committed one, so what has been sent is one id per table (a mark).
// A run's and a unit's end are changes of rows already there: they are
// sent when the run ended, or when the unit ended and a later unit of its
// run began (its values are final then), and remembered one by one above
// a floor below which every end is sent or can never come (a unit left
// open in a killed run).
//
// One Outbox belongs to one thread (the forwarder's); it has a connection
// of its own beside the record writer's (WAL: readers never wait for it).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

struct sqlite3;

namespace records {

// A value for the server: text (sent as its bytes), or NULL.
using OutboxValue = std::optional<std::string>;

struct OutboxRow {
  std::int64_t id = 0;  // the station's id of the row (a unit's for its values)
  std::vector<OutboxValue> values;
};

// The rows of one central table in a batch.
struct OutboxTable {
  std::string kind;    // "run", "unit", "exchange", ..., "unit_end", "run_end"
  std::string insert;  // "INSERT INTO exchange (run_uuid, ...)": the statement's head
  std::string casts;   // per value: 'u' uuid, 'z' timestamptz, 'i' bigint, 't' text
  std::vector<OutboxRow> rows;
};

struct OutboxBatch {
  std::vector<OutboxTable> tables;  // in the order they must be sent
  bool more = false;                // rows were left for the next batch
  std::size_t Rows() const;
};

// What waits for the server.
struct Backlog {
  std::int64_t runs = 0;       // runs or their ends not sent
  std::int64_t units = 0;      // finished units whose end is not sent
  std::int64_t exchanges = 0;  // exchanges not sent
  std::int64_t others = 0;     // unit starts, answers, verdicts, files not sent
  std::int64_t refused = 0;    // rows the server refused, kept here
  bool Empty() const { return runs + units + exchanges + others == 0; }
};

// A statement on a station's records giving one row: the Backlog's counts
// in its order (runs, units, exchanges, others, refused).
extern const char* const kBacklogSql;

// The text an operator reads: "12 units, 3 runs and 5,000 exchanges wait".
std::string DescribeBacklog(const Backlog& backlog);

class Outbox {
 public:
  static platform::Result<std::unique_ptr<Outbox>> Open(const std::string& path,
                                                        int busyMilliseconds);
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  // The next rows for the server, at most about `limit` of each kind.
  platform::Result<OutboxBatch> Next(std::size_t limit);
  // The server committed `batch`; `refused` names its rows it would not
  // take (kind, id, why), kept here and never sent again.
  struct Refusal {
    std::string kind;
    std::int64_t id = 0;
    std::string why;
  };
  platform::Result<> Sent(const OutboxBatch& batch, const std::vector<Refusal>& refused);
  platform::Result<Backlog> Waiting();

 private:
  explicit Outbox(sqlite3* db) : db_(db) {}
  platform::Result<> Execute(const char* sql);
  sqlite3* db_;
  int busyMilliseconds_ = 0;
};

}  // namespace records

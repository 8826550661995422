// The station's records database (records/station_db.h) opened for reading
// only: nothing in it or beside it is changed, moved aside or migrated, so a
// query never disturbs the terminal that writes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "results/output.h"
#include "results/rows.h"

struct sqlite3;
struct sqlite3_stmt;

namespace results {

class RecordsReader : public Source {
 public:
  // Opens `path`. Refused with a text that names the file and the reason: a
  // file that is missing, a folder or another non-file, one that is not an
  // SQLite database or holds no station records, and, unless `newerAllowed`,
  // one of a schema newer than this program knows. A database in the WAL
  // journal whose folder this user cannot write is read all the same when
  // no program is writing it (no -wal file beside it). `damaged` (when
  // given) tells whether it was refused because SQLite found it damaged.
  static platform::Result<std::unique_ptr<RecordsReader>> Open(const std::string& path,
                                                               bool newerAllowed,
                                                               bool* damaged = nullptr);
  ~RecordsReader() override;
  RecordsReader(const RecordsReader&) = delete;
  RecordsReader& operator=(const RecordsReader&) = delete;

  const std::string& Path() const { return path_; }
  int SchemaVersion() const { return version_; }
  sqlite3* Handle() const { return db_; }
  std::unique_ptr<Rows> Ask(const Sql& sql) const override;

 private:
  RecordsReader(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}
  std::string path_;
  sqlite3* db_;
  int version_ = 0;
};

// One statement on the station's records (results/rows.h); a failure is a
// damaged page found on the way, named with the file.
class Query : public Rows {
 public:
  Query(const RecordsReader& reader, const char* sql);
  ~Query() override;
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(std::string_view text) override;
  Query& Bind(std::int64_t number) override;
  bool Step() override;
  bool IsNull(int column) const override;
  std::string Text(int column) const override;
  std::int64_t Number(int column) const override;
  Cell CellAt(int column) const override;
  const platform::Result<>& Status() const override { return status_; }

 private:
  const RecordsReader& reader_;
  sqlite3_stmt* statement_ = nullptr;
  int bound_ = 0;
  platform::Result<> status_;
};

}  // namespace results

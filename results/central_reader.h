// The factory's central database (records/central_store.h) opened for the
// questions of halvorn-results: one libpq connection that only reads. The
// rows come one at a time (libpq's single-row mode), so an export of a
// year's exchanges never waits for, or holds, all of them at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "results/rows.h"

struct pg_conn;
struct pg_result;

namespace results {

class CentralReader : public Source {
 public:
  // Connects to the server `connection` names (a libpq connection string).
  // Refused as a caller's mistake for a string libpq cannot read, and as a
  // system failure for a server that cannot be reached or refuses, one
  // without the central schema, and, unless `newerAllowed`, one of a schema
  // newer than this program knows. Every text shows the string masked.
  static platform::Result<std::unique_ptr<CentralReader>> Open(const std::string& connection,
                                                               bool newerAllowed);
  ~CentralReader() override;
  CentralReader(const CentralReader&) = delete;
  CentralReader& operator=(const CentralReader&) = delete;

  // The connection string with its passwords masked.
  const std::string& Masked() const { return masked_; }
  int SchemaVersion() const { return version_; }
  // The server's PostgreSQL version, as it reports it ("15.5").
  std::string ServerVersion() const;
  std::unique_ptr<Rows> Ask(const Sql& sql) const override;

 private:
  CentralReader(pg_conn* connection, std::string masked, std::string text);
  friend class CentralQuery;
  // libpq's text of the last failure, on one line, without the password.
  std::string Why(const char* text) const;

  pg_conn* connection_;
  std::string masked_;
  std::string text_;  // the connection string, whose passwords stay out of every text
  int version_ = 0;
};

// One statement on the central database (results/rows.h), sent when first
// stepped; a failure is the server's or the network's, named with the
// masked connection.
class CentralQuery : public Rows {
 public:
  CentralQuery(const CentralReader& reader, std::string sql);
  ~CentralQuery() override;
  CentralQuery(const CentralQuery&) = delete;
  CentralQuery& operator=(const CentralQuery&) = delete;

  CentralQuery& Bind(std::string_view text) override;
  CentralQuery& Bind(std::int64_t number) override;
  bool Step() override;
  bool IsNull(int column) const override;
  std::string Text(int column) const override;
  std::int64_t Number(int column) const override;
  Cell CellAt(int column) const override;
  const platform::Result<>& Status() const override { return status_; }

 private:
  bool Send();
  // Reads what is left of the answer, so the connection is free again.
  void Drain();

  const CentralReader& reader_;
  std::string sql_;
  std::vector<std::string> parameters_;
  pg_result* row_ = nullptr;
  bool sent_ = false;
  bool done_ = false;
  platform::Result<> status_;
};

}  // namespace results

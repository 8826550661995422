// A PostgreSQL server of the test's own: a cluster made with initdb in a temporary folder,
// listening only on a socket in that folder, stopped and removed when the test ends. Run as the
// "postgres" user when the test runs as root (the server refuses root). Never the machine's own.
#pragma once

#include <string>
#include <vector>

#include "support/test_folder.h"

namespace testing_support {

class PrivatePostgres {
 public:
  PrivatePostgres();
  ~PrivatePostgres();
  PrivatePostgres(const PrivatePostgres&) = delete;
  PrivatePostgres& operator=(const PrivatePostgres&) = delete;

  // Why the server is not there ("" when it runs).
  const std::string& Trouble() const { return trouble_; }
  // The connection string of database `db` for `user`.
  std::string Url(const std::string& db = "postgres", const std::string& user = "halvorn") const;
  // What psql prints for `sql` (unaligned, tuples only); the test fails when psql does.
  std::string Psql(const std::string& sql, const std::string& db = "postgres") const;
  // psql's exit status and standard error for `sql` as `user`.
  std::pair<int, std::string> PsqlAs(const std::string& user, const std::string& sql) const;
  void Stop();
  void Start();
  // The factory's central schema and the roles of docs/records.md on it.
  void MakeCentral();
  // A role `user` that must give `password` (every other role is let in without one).
  void RequirePassword(const std::string& user, const std::string& password);
  // The server's socket, for a proxy of the test's.
  std::string SocketPath() const { return folder_ / ".s.PGSQL.5432"; }
  // The station role's connection string, with a password the server never asks for (so
  // messages can be checked for it).
  std::string StationUrl() const { return Url("postgres", "halvorn_station") + "&password=s3cret"; }

 private:
  // `argv` as the server's user.
  std::vector<std::string> AsServerUser(std::vector<std::string> argv) const;
  TestFolder folder_;
  std::string bin_;
  std::string trouble_;
  bool running_ = false;
};

}  // namespace testing_support

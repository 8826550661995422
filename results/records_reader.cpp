#include "results/records_reader.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "records/station_db.h"

namespace results {

using platform::Result;

namespace {

// The file's name as an SQLite URI path: every byte but the plain ones
// percent-encoded, so that "?", "#" and "%" in a name stay part of it.
std::string UriPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || std::strchr("/-._~", byte) != nullptr) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

Result<> Refused(const std::string& path, const std::string& reason) {
  return Result<>::CallerMistake(path + ": " + reason);
}

// SQLite's text on one short line: a damaged schema is quoted in it, line
// ends and whatever bytes the damage left included.
std::string OneLine(const char* text) {
  constexpr std::size_t kLongest = 160;
  std::string line;
  for (const char* c = text; *c && line.size() < kLongest; ++c)
    line += static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F ? ' ' : *c;
  if (std::strlen(text) > kLongest) line += "...";
  return line;
}

// Why SQLite could not read `path`, in words for the operator.
Result<> ReadFailure(const std::string& path, sqlite3* db) {
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_NOTADB) return Refused(path, "not an SQLite database");
  if (code == SQLITE_CORRUPT) {
    return Refused(path, "damaged (" + OneLine(sqlite3_errmsg(db)) +
                             "); \"halvorn-results check\" tells more");
  }
  return Refused(path, "cannot be read: " + OneLine(sqlite3_errmsg(db)));
}

sqlite3* OpenReadOnly(const std::string& path, bool immutable) {
  const std::string uri =
      "file:" + UriPath(path) + (immutable ? "?mode=ro&immutable=1" : "?mode=ro");
  sqlite3* db = nullptr;
  sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  if (db) {
    // Another program may be writing; its commits are short.
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
  }
  return db;
}

// The schema version, or -1 with the failure left in `db`.
int ReadVersion(sqlite3* db) {
  sqlite3_stmt* read = nullptr;
  int version = -1;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &read, nullptr) == SQLITE_OK &&
      sqlite3_step(read) == SQLITE_ROW) {
    version = sqlite3_column_int(read, 0);
  }
  sqlite3_finalize(read);
  return version;
}

// Whether the tables every version of the schema has are there.
bool HasRecordTables(sqlite3* db) {
  sqlite3_stmt* read = nullptr;
  int found = 0;
  if (sqlite3_prepare_v2(db,
                         "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                         "('station', 'run', 'unit', 'unit_value', 'exchange', 'answer', "
                         "'verdict', 'file')",
                         -1, &read, nullptr) == SQLITE_OK &&
      sqlite3_step(read) == SQLITE_ROW) {
    found = sqlite3_column_int(read, 0);
  }
  sqlite3_finalize(read);
  return found == 8;
}

}  // namespace

Result<std::unique_ptr<RecordsReader>> RecordsReader::Open(const std::string& path,
                                                           bool newerAllowed, bool* damaged) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Refused(path, "no such file");
    return Refused(path, std::string("cannot be read: ") + std::strerror(errno));
  }
  if (S_ISDIR(status.st_mode)) return Refused(path, "a folder, not a records database");
  if (!S_ISREG(status.st_mode)) return Refused(path, "not a regular file");
  if (::access(path.c_str(), R_OK) != 0)
    return Refused(path, std::string("cannot be read: ") + std::strerror(errno));
  if (status.st_size == 0) return Refused(path, "empty: it holds no station records");
  std::unique_ptr<RecordsReader> reader(new RecordsReader(path, OpenReadOnly(path, false)));
  if (!reader->db_) return Refused(path, "cannot be opened (out of memory)");
  int version = ReadVersion(reader->db_);
  const int code = sqlite3_errcode(reader->db_) & 0xff;
  if (version < 0 && (code == SQLITE_CANTOPEN || code == SQLITE_READONLY)) {
    // A WAL database wants its shared-memory file beside it, which a folder
    // this user cannot write cannot take. With no -wal file, no program is
    // writing it and the file alone is the whole database.
    if (::access((path + "-wal").c_str(), F_OK) == 0) {
      return Refused(path,
                     "cannot be read: a program is writing it (or was killed while writing) "
                     "and this user cannot write its folder, which reading it then needs");
    }
    sqlite3_close(reader->db_);
    reader->db_ = OpenReadOnly(path, true);
    version = reader->db_ ? ReadVersion(reader->db_) : -1;
  }
  const auto failure = [&]() {
    if (damaged) *damaged = sqlite3_errcode(reader->db_) == SQLITE_CORRUPT;
    return ReadFailure(path, reader->db_);
  };
  if (version < 0) return failure();
  if (!HasRecordTables(reader->db_)) {
    if (sqlite3_errcode(reader->db_) != SQLITE_OK && sqlite3_errcode(reader->db_) != SQLITE_DONE)
      return failure();
    return Refused(path, "an SQLite database, but without station records");
  }
  if (version > records::kSchemaVersion && !newerAllowed) {
    return Refused(path, "records of schema version " + std::to_string(version) +
                             ", newer than this program knows (" +
                             std::to_string(records::kSchemaVersion) +
                             "); a newer halvorn-results reads them");
  }
  reader->version_ = version;
  return reader;
}

RecordsReader::~RecordsReader() {
  sqlite3_close(db_);
}

std::unique_ptr<Rows> RecordsReader::Ask(const Sql& sql) const {
  return std::make_unique<Query>(*this, sql.station.c_str());
}

Query::Query(const RecordsReader& reader, const char* sql) : reader_(reader) {
  if (sqlite3_prepare_v2(reader.Handle(), sql, -1, &statement_, nullptr) != SQLITE_OK)
    status_ = ReadFailure(reader.Path(), reader.Handle());
}

Query::~Query() {
  sqlite3_finalize(statement_);
}

Query& Query::Bind(std::string_view text) {
  if (statement_) {
    sqlite3_bind_text64(statement_, ++bound_, text.data(), text.size(), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
  }
  return *this;
}

Query& Query::Bind(std::int64_t number) {
  if (statement_) sqlite3_bind_int64(statement_, ++bound_, number);
  return *this;
}

bool Query::Step() {
  if (!statement_ || !status_) return false;
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code != SQLITE_DONE) status_ = ReadFailure(reader_.Path(), reader_.Handle());
  return false;
}

bool Query::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string Query::Text(int column) const {
  // As bytes: a NUL inside a text is kept.
  const void* bytes = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
               : std::string();
}

std::int64_t Query::Number(int column) const {
  return sqlite3_column_int64(statement_, column);
}

Cell Query::CellAt(int column) const {
  switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_NULL:
      return Cell::Null();
    case SQLITE_INTEGER:
      return Cell::Number(Number(column));
    default:
      return Cell::Text(Text(column));
  }
}

}  // namespace results

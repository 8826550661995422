#include "results/central_reader.h"

#include <libpq-fe.h>

#include <cstdlib>

#include "records/central_store.h"

namespace results {

using platform::Result;

namespace {

// The types of PostgreSQL's whole numbers (pg_type's oids), shown as numbers
// as the station's INTEGER columns are.
constexpr Oid kInt8 = 20, kInt2 = 21, kInt4 = 23;

}  // namespace

Result<std::unique_ptr<CentralReader>> CentralReader::Open(const std::string& connection,
                                                           bool newerAllowed) {
  Result<pg_conn*> pg = records::ConnectCentral(connection, "halvorn-results", 10);
  if (!pg) return pg.Failure();
  std::unique_ptr<CentralReader> reader(
      new CentralReader(*pg, records::MaskedConnection(connection), connection));
  // Nothing this program asks may change a row, whatever the role may do.
  PQclear(PQexec(*pg, "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
  const Result<int> version = records::CentralSchemaVersion(*pg, reader->masked_);
  if (!version) return version.Failure();
  const std::string known = std::to_string(records::kCentralSchemaVersion);
  if (*version == 0) {
    return Result<>::SystemFailureSaying(
        "the central database " + reader->masked_ +
        " holds no central schema (halvorn-results init makes it)");
  }
  if (*version > records::kCentralSchemaVersion && !newerAllowed) {
    return Result<>::SystemFailureSaying("the central database " + reader->masked_ +
                                         " has schema version " + std::to_string(*version) +
                                         ", newer than this program knows (" + known +
                                         "); a newer halvorn-results reads it");
  }
  reader->version_ = *version;
  return reader;
}

CentralReader::CentralReader(pg_conn* connection, std::string masked, std::string text)
    : connection_(connection), masked_(std::move(masked)), text_(std::move(text)) {}

CentralReader::~CentralReader() {
  PQfinish(connection_);
}

std::string CentralReader::Why(const char* text) const {
  return records::CentralReason(text, text_);
}

std::string CentralReader::ServerVersion() const {
  const char* version = PQparameterStatus(connection_, "server_version");
  return version ? version : "";
}

std::unique_ptr<Rows> CentralReader::Ask(const Sql& sql) const {
  return std::make_unique<CentralQuery>(*this, sql.central);
}

CentralQuery::CentralQuery(const CentralReader& reader, std::string sql)
    : reader_(reader), sql_(std::move(sql)) {}

CentralQuery::~CentralQuery() {
  if (sent_ && !done_) Drain();
}

CentralQuery& CentralQuery::Bind(std::string_view text) {
  parameters_.emplace_back(text);
  return *this;
}

CentralQuery& CentralQuery::Bind(std::int64_t number) {
  parameters_.push_back(std::to_string(number));
  return *this;
}

bool CentralQuery::Send() {
  std::vector<const char*> values;
  for (const std::string& parameter : parameters_) values.push_back(parameter.c_str());
  sent_ = PQsendQueryParams(reader_.connection_, sql_.c_str(), static_cast<int>(values.size()),
                            nullptr, values.data(), nullptr, nullptr, 0) == 1;
  if (sent_) PQsetSingleRowMode(reader_.connection_);
  return sent_;
}

bool CentralQuery::Step() {
  if (done_ || !status_) return false;
  if (!sent_ && !Send()) {
    done_ = true;
    status_ = Result<>::SystemFailureSaying("the central database " + reader_.masked_ + ": " +
                                            reader_.Why(PQerrorMessage(reader_.connection_)));
    return false;
  }
  PQclear(row_);
  row_ = PQgetResult(reader_.connection_);
  const ExecStatusType status = row_ ? PQresultStatus(row_) : PGRES_TUPLES_OK;
  if (status == PGRES_SINGLE_TUPLE) return true;
  if (status != PGRES_TUPLES_OK) {
    status_ = Result<>::SystemFailureSaying("the central database " + reader_.masked_ + ": " +
                                            reader_.Why(PQresultErrorMessage(row_)));
  }
  Drain();
  return false;
}

void CentralQuery::Drain() {
  PQclear(row_);
  row_ = nullptr;
  while (PGresult* rest = PQgetResult(reader_.connection_)) PQclear(rest);
  done_ = true;
}

bool CentralQuery::IsNull(int column) const {
  return PQgetisnull(row_, 0, column) == 1;
}

std::string CentralQuery::Text(int column) const {
  return std::string(PQgetvalue(row_, 0, column),
                     static_cast<std::size_t>(PQgetlength(row_, 0, column)));
}

std::int64_t CentralQuery::Number(int column) const {
  return std::strtoll(PQgetvalue(row_, 0, column), nullptr, 10);
}

Cell CentralQuery::CellAt(int column) const {
  if (IsNull(column)) return Cell::Null();
  const Oid type = PQftype(row_, column);
  if (type == kInt8 || type == kInt4 || type == kInt2) return Cell::Number(Number(column));
  return Cell::Text(Text(column));
}

}  // namespace results

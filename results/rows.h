// What the questions of halvorn-results (results/queries.h) ask their
// records through: the station's SQLite file (results/records_reader.h) or
// the factory's PostgreSQL database (results/central_reader.h). Each
// question is written once, with its SQL in both dialects side by side, so
// the two stores answer with the same columns and the same meaning.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "results/output.h"

namespace results {

// One statement in the two dialects. Parameters are numbered alike: ?1 in
// the station's, $1 in the central one's, bound in that order.
struct Sql {
  std::string station;
  std::string central;
};

// One statement on the records: bound, then stepped row by row. A failure
// (a damaged page, a lost server) ends the rows and is kept in Status().
class Rows {
 public:
  virtual ~Rows() = default;
  virtual Rows& Bind(std::string_view text) = 0;
  virtual Rows& Bind(std::int64_t number) = 0;
  // The next row; false at the end or on a failure.
  virtual bool Step() = 0;
  virtual bool IsNull(int column) const = 0;
  virtual std::string Text(int column) const = 0;
  virtual std::int64_t Number(int column) const = 0;
  // The column as a cell of the output: text, number or null as stored.
  virtual Cell CellAt(int column) const = 0;
  // Success, or why the rows ended early: the store's name and the reason.
  virtual const platform::Result<>& Status() const = 0;
};

// A store of records the questions can be asked of.
class Source {
 public:
  virtual ~Source() = default;
  // The statement in this store's dialect, ready to be bound.
  virtual std::unique_ptr<Rows> Ask(const Sql& sql) const = 0;
};

}  // namespace results

// The questions halvorn-results answers from the station's records or the
// factory's central database (results/rows.h), alike in columns and meaning.
// Each writes its rows to an Output and returns how many it wrote, or the
// store's failure (a damaged page, a lost server) met on the way.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/result.h"
#include "results/central_reader.h"
#include "results/output.h"
#include "results/records_reader.h"

namespace results {

struct Filters {
  std::string since;             // records' time form (results/since.h); "" for all
  std::string script;            // runs: the script or program file; "" for any
  std::string station;           // runs: the station's name; "" for any
  std::string by;                // yield: "", "day", "hour", "script", "station"
  std::string key = "V1";        // the variable that names a physical unit
  std::string per = "exchange";  // export: "exchange" or "unit"
};

// One row per run: when, where, what it ran, how it ended, its units.
platform::Result<std::int64_t> Runs(const Source& db, const Filters& filters, std::ostream& out,
                                    Format format);
// Every unit with `text` in any of its variables: its values, answers,
// verdicts and failed exchanges, a row each.
platform::Result<std::int64_t> Units(const Source& db, const std::string& text, std::ostream& out,
                                     Format format);
// Units by verdict and the first-pass yield, in one row or a row per group.
platform::Result<std::int64_t> Yield(const Source& db, const Filters& filters, std::ostream& out,
                                     Format format);
// The checks that failed, most often first, with the last units they failed.
platform::Result<std::int64_t> Failures(const Source& db, const Filters& filters, std::ostream& out,
                                        Format format);
// Every exchange (or unit) with the fields that identify its run and unit.
platform::Result<std::int64_t> Export(const Source& db, const Filters& filters, std::ostream& out,
                                      Format format);
// What waits to be forwarded to the central database: the station's file
// tells its own backlog now; the central database, each station's as the
// station last told it, and the last unit it has of each.
platform::Result<std::int64_t> Status(const Source& db, std::ostream& out, Format format);
// SQLite's integrity check and the schema version; `fault` is left empty
// when both are good (the check found nothing, the version is one this
// program knows), and otherwise says what is wrong.
platform::Result<std::int64_t> Check(const RecordsReader& db, std::ostream& out, Format format,
                                     std::string& fault);
// The central database's schema version against this program's, and the
// server's version; `fault` as for Check.
platform::Result<std::int64_t> CentralCheck(const CentralReader& db, std::ostream& out,
                                            Format format, std::string& fault);

}  // namespace results

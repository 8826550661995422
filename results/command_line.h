// halvorn-results: questions to the station's records from the command line.
//
//   halvorn-results [--data-root DIR | --records FILE] COMMAND [OPTIONS]
//
// Exit status: 0 with results, 1 with none (and for `check`: damaged or of
// a newer schema), 2 for a usage error, 3 when the database cannot be read
// (missing, not a database, no station records, damaged, of a newer schema),
// 4 when the output could not be written in full.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace results {

inline constexpr int kExitResults = 0;
inline constexpr int kExitNone = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDatabase = 3;
inline constexpr int kExitOutput = 4;

// Runs the command of `args` (without the program's name). `outIsTerminal`
// chooses the table over CSV when no --format is given; `nowSeconds` (since
// 1970) is the time "today" means.
int RunResults(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool outIsTerminal, std::int64_t nowSeconds);

}  // namespace results

// Station databases for the tests of halvorn-results, written the way the
// terminal writes them (records::StationDatabase), and the program run on
// them as a child process.
#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_folder.h"

namespace results_testing {

// Three runs on two stations over two days (all times UTC):
//
//   run  station  script             started           unit: V1, verdict
//   A    Bench 1  autocontrol_1.txt  2026-12-07 09:00  1: SN-1 fail, 2: SN-2 pass, 3: SN-5 pass
//   B    Bench 2  autocontrol_2.txt  2026-12-08 10:00  1: SN-1 pass, 2: SN-3 fail,
//                                                       3: SN-4 aborted, 4: (no V1) pass
//   C    Bench 1  autocontrol_1.txt  2026-12-08 11:00  1: SN-2 fail
//
// Failed exchanges: PX expected 1000 in A1, B2, twice in B3 and in C1
// (replies 999, 5, 6, 4, 7); ID expected "" timed out in B2 and had a link error outside any
// unit in C. A2 holds V2 `say "hi", then` LF `bye` and V3 with control
// bytes, a NUL and Latin-1 letters (stored as UTF-8: "\x01\x1f A\0B é ü").
void WriteStationRecords(const std::string& path);

// halvorn-results with `args`, its output captured (standard output a pipe).
testing_support::ProcessResult Results(const std::vector<std::string>& args);

// The same with standard output on a pseudo-terminal; `out` is what the
// terminal received, with the terminal's CR before each LF taken out.
testing_support::ProcessResult ResultsOnTerminal(const std::vector<std::string>& args);

}  // namespace results_testing

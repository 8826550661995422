// Where the station's records are kept and under which station's name: the
// terminal that writes them and halvorn-results that reads them find the
// database by the same rule.
//
// AppConfig/Records.cfg (NAME=value lines, "#" comments):
//   RECORDS=<file>   the database; relative to the data root; OFF: none
//   STATION=<name>   the station's name in the records (default: host name)
//   CENTRAL=<conn>   the factory's central PostgreSQL the records are
//                    forwarded to: a libpq connection string (default: none)
// The command line's --records FILE, --records-central and --no-records win
// over the file.
#pragma once

#include <string>
#include <vector>

namespace app {

struct RecordsSettings {
  bool enabled = true;
  std::string path;     // the database file; "" for <data root>/AppResults/records.db
  std::string station;  // "" for the host name
  std::string central;  // "" for none
};

// `settings` with what AppConfig/Records.cfg under `dataRoot` sets; each
// line it cannot use is named in `notes` and left out.
RecordsSettings ReadRecordsSettings(const std::string& dataRoot, RecordsSettings settings,
                                    std::vector<std::string>& notes);

}  // namespace app

// The program's command line:
//
//   halvorn-terminal [/A<n>] [--data-root DIR] [--headless] [--answers FILE]
//                    [--device N] [--exec LINE] [--program N|FILE] [--list-devices]
//                    [--report FILE] [--records FILE | --no-records]
//                    [--records-central CONNECTION] [--session-log]
//                    [--plot FILE] [--help] [--version]
//
// "/A<n>" selects the numbered start-up script. It is read the way the
// program has always read its switches: the arguments are joined, upper-cased
// and split at "/"; a field starting with "A" holds a number, 1 to 999, the
// last valid one winning. Only arguments that are not "--" options or their
// values take part, so a path such as "--data-root /data/A5" selects nothing.
//
// Parsing checks the words only; whether the data root, the answers file, a
// program file or the report's folder exist is checked at start-up.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/headless_driver.h"
#include "platform/result.h"

namespace app {

// What to run (console/headless_driver.h) and how to start.
struct CommandOptions : HeadlessOptions {
  std::string dataRoot;  // empty: the default data folder
  bool headless = false;
  std::string recordsFile;     // empty: AppConfig/Records.cfg's, else the default
  std::string recordsCentral;  // empty: AppConfig/Records.cfg's, else none
  bool noRecords = false;
  bool help = false;
  bool version = false;
};

// Reads the arguments (without the program name). Every option that takes a
// value needs a non-empty one and may be given once; a word starting with
// "--" that is no option is an error; --exec, --program, a start-up script
// and --list-devices exclude each other, --report needs a headless run, and
// --records and --no-records exclude each other; --plot needs a headless run
// and a file name ending in .png or .csv; --records-central needs records.
// An error is a caller mistake whose text names the option at fault (the
// first error found). With --help or --version the words are read the same
// way but an error is not one: their text is what was asked for.
platform::Result<CommandOptions> ParseCommandOptions(const std::vector<std::string>& arguments);

// The script number of a switch text such as "x/a 3" (0 when none is valid).
int ReadScriptSwitch(const std::string& commandLine);

inline constexpr const char* kUsage =
    "usage: halvorn-terminal [/A<n>] [--data-root DIR] [--headless] [--answers FILE]\n"
    "                        [--device N] [--exec LINE] [--program N|FILE] [--list-devices]\n"
    "                        [--report FILE] [--records FILE | --no-records]\n"
    "                        [--records-central CONNECTION]\n"
    "                        [--session-log] [--plot FILE] [--help] [--version]\n";

// --help: the usage, what each option does and the exit statuses.
inline constexpr const char* kHelp =
    "\n"
    "  /A<n>             run the start-up script autocontrol_<n>.txt (1 to 999)\n"
    "  --data-root DIR   the data folder (it must exist)\n"
    "  --headless        no window: the display on standard output, dialogs on\n"
    "                    standard error answered from standard input\n"
    "  --answers FILE    the dialogs' answers, one a line, instead of standard input\n"
    "  --device N        select position N (0, 1, ...) of the device list\n"
    "  --exec LINE       run LINE on the selected device, then exit\n"
    "  --program N|FILE  run stored program N (1 to 10) or FILE with its expected\n"
    "                    values on the selected device, then exit\n"
    "  --list-devices    print the device list, one entry a line\n"
    "  --report FILE     write a JUnit XML report of the run's verdicts\n"
    "  --plot FILE       at the run's end, write the plot of the replies that are\n"
    "                    numbers: FILE.png a picture, FILE.csv one row a sample\n"
    "  --records FILE    keep the station's records in the database FILE\n"
    "                    (default: AppResults/records.db in the data folder)\n"
    "  --no-records      keep no station records for this run\n"
    "  --records-central CONNECTION\n"
    "                    forward the station's records to the factory's central\n"
    "                    PostgreSQL (a libpq connection string: postgresql://...)\n"
    "  --session-log     append every display line, time-stamped, to\n"
    "                    TermDisplay/session-<date>-<time>.log in the data folder\n"
    "  --help, --version this text; the version\n"
    "\n"
    "Exit status, the first that applies: 2 usage error, 3 device not available or\n"
    "not in the list, 4 a record was lost (also the plot), 5 a command got no reply (--exec,\n"
    "--program), 1 a check or verdict failed, 0 otherwise; 128 + the signal's\n"
    "number when a signal ended the run.\n";

}  // namespace app

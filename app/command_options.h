// The program's command line:
//
//   halvorn-terminal [/A<n>] [--data-root DIR] [--headless] [--answers FILE]
//                    [--device N] [--exec LINE] [--list-devices]
//
// "/A<n>" selects the numbered start-up script. It is read the way the
// program has always read its switches: the arguments are joined, upper-cased
// and split at "/"; a field starting with "A" holds a number, 1 to 999, the
// last valid one winning. Only arguments that are not "--" options or their
// values take part, so a path such as "--data-root /data/A5" selects nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

struct CommandOptions {
  int scriptNumber = 0;  // 0: no switch
  std::string dataRoot;  // empty: the executable's folder
  bool headless = false;
  std::string answersFile;
  std::optional<int> device;
  std::optional<std::string> execLine;
  bool listDevices = false;
  std::string error;  // not empty: a usage error
};

CommandOptions ParseCommandOptions(const std::vector<std::string>& arguments);

// The script number of a switch text such as "x/a 3" (0 when none is valid).
int ReadScriptSwitch(const std::string& commandLine);

inline constexpr const char* kUsage =
    "usage: halvorn-terminal [/A<n>] [--data-root DIR] [--headless] [--answers FILE]\n"
    "                        [--device N] [--exec LINE] [--list-devices]\n";

}  // namespace app

// halvorn-results: questions to the station's records from the command line
// (results/command_line.h).
#include <unistd.h>

#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "results/command_line.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return results::RunResults(args, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1,
                             static_cast<std::int64_t>(std::time(nullptr)));
}

// Any arguments (the input cut at NUL bytes) as the program's command line:
// the options are read without a crash, and whatever they hold stays in the
// ranges the program relies on.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> arguments;
  for (std::size_t start = 0; start <= input.size();) {
    const std::size_t nul = std::min(input.find('\0', start), input.size());
    arguments.emplace_back(input.substr(start, nul - start));
    start = nul + 1;
  }
  const platform::Result<app::CommandOptions> options = app::ParseCommandOptions(arguments);
  if (!options && options.Text().empty()) __builtin_trap();
  if (options && (options->scriptNumber < 0 || options->scriptNumber > 999)) __builtin_trap();
  if (options && !options->help && !options->version && options->device && *options->device < 0)
    __builtin_trap();
  const int number = app::ReadScriptSwitch(std::string(input));
  if (number < 0 || number > 999) __builtin_trap();
  return 0;
}

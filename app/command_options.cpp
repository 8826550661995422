#include "app/command_options.h"

#include <cctype>
#include <charconv>

#include "engine/numbers.h"
#include "platform/text.h"

namespace app {
int ReadScriptSwitch(const std::string& commandLine) {
  std::string upper = platform::ToUpper(commandLine);
  int number = 0;
  std::size_t slash = upper.find('/');
  while (slash != std::string::npos) {
    std::size_t next = upper.find('/', slash + 1);
    std::string field = platform::TrimBlanks(
        upper.substr(slash + 1, next == std::string::npos ? next : next - slash - 1));
    if (!field.empty() && field[0] == 'A') {
      double value = platform::ReadDecimal(platform::TrimBlanks(field.substr(1)));
      std::int64_t n = engine::RoundToInt64(value);
      if (n >= 1 && n <= 999) number = static_cast<int>(n);
    }
    slash = next;
  }
  return number;
}

CommandOptions ParseCommandOptions(const std::vector<std::string>& arguments) {
  CommandOptions options;
  std::string switches;
  auto value = [&](std::size_t& i, const std::string& name) -> std::optional<std::string> {
    if (i + 1 >= arguments.size()) {
      options.error = name + " needs a value";
      return std::nullopt;
    }
    return arguments[++i];
  };
  for (std::size_t i = 0; i < arguments.size() && options.error.empty(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--headless") {
      options.headless = true;
    } else if (a == "--list-devices") {
      options.listDevices = true;
    } else if (a == "--data-root") {
      if (auto v = value(i, a)) options.dataRoot = *v;
    } else if (a == "--answers") {
      if (auto v = value(i, a)) options.answersFile = *v;
    } else if (a == "--exec") {
      if (auto v = value(i, a)) options.execLine = *v;
    } else if (a == "--device") {
      if (auto v = value(i, a)) {
        int n = -1;
        auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
        if (ec != std::errc() || end != v->data() + v->size() || n < 0) {
          options.error = "--device needs a list position (0, 1, 2 ...), not \"" + *v + "\"";
        } else {
          options.device = n;
        }
      }
    } else if (a.rfind("--", 0) == 0) {
      options.error = "unknown option " + a;
    } else {
      switches += ' ';
      switches += a;
    }
  }
  options.scriptNumber = ReadScriptSwitch(switches);
  return options;
}

}  // namespace app

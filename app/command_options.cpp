#include "app/command_options.h"

#include <set>

#include "engine/numbers.h"
#include "platform/text.h"
#include "ui/contract/plot_data.h"

namespace app {
namespace {

constexpr const char* kValueOptions[] = {"--data-root", "--answers", "--device",
                                         "--exec",      "--program", "--report",
                                         "--records",   "--plot",    "--records-central"};
constexpr const char* kFlags[] = {"--headless",    "--list-devices", "--no-records",
                                  "--session-log", "--help",         "--version"};

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Stores one option's value; an error text when the value is not usable.
std::string TakeValue(CommandOptions& o, const std::string& name, const std::string& v) {
  if (name == "--data-root") {
    o.dataRoot = v;
  } else if (name == "--answers") {
    o.answersFile = v;
  } else if (name == "--exec") {
    o.execLine = v;
  } else if (name == "--report") {
    o.reportFile = v;
  } else if (name == "--plot") {
    if (ui::PlotFileKindOf(v) == ui::PlotFileKind::Unknown) {
      return "--plot writes a PNG picture or a CSV table: the file's name ends in .png or .csv, "
             "not " +
             platform::Quoted(v);
    }
    o.plotFile = v;
  } else if (name == "--records") {
    o.recordsFile = v;
  } else if (name == "--records-central") {
    o.recordsCentral = v;
  } else if (name == "--device") {
    o.device = platform::ReadWholeNumber(v);
    if (!o.device)
      return "--device needs a list position (0, 1, 2 ...), not " + platform::Quoted(v);
  } else if (AllDigits(v)) {  // --program N
    std::optional<int> n = platform::ReadWholeNumber(v);
    if (!n || *n < 1 || *n > 10) {
      return "--program takes a stored program from 1 to 10 or a file, not " + platform::Quoted(v);
    }
    o.programNumber = *n;
  } else {
    o.programFile = v;
  }
  return {};
}

// The combinations that cannot run.
std::string Conflict(const CommandOptions& o) {
  if (o.execLine && o.RunsProgram()) return "--exec and --program cannot run together";
  if ((o.execLine || o.RunsProgram()) && o.scriptNumber != 0) {
    return std::string("a start-up script (/A") + std::to_string(o.scriptNumber) +
           ") cannot run together with " + (o.execLine ? "--exec" : "--program");
  }
  if (o.listDevices && (o.execLine || o.RunsProgram() || o.scriptNumber != 0)) {
    return "--list-devices runs alone, not with a script, --exec or --program";
  }
  if (o.noRecords && !o.recordsFile.empty()) return "--records and --no-records exclude each other";
  if (o.noRecords && !o.recordsCentral.empty())
    return "--records-central and --no-records exclude each other";
  const bool headlessRun = !o.listDevices && (o.headless || o.execLine || o.RunsProgram());
  if (!o.reportFile.empty() && !headlessRun) {
    return "--report needs a headless run: --headless with a script, --exec or --program";
  }
  if (!o.plotFile.empty() && !headlessRun) {
    return "--plot needs a headless run: --headless, --exec or --program";
  }
  return {};
}

}  // namespace

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

platform::Result<CommandOptions> ParseCommandOptions(const std::vector<std::string>& arguments) {
  CommandOptions options;
  std::string switches;
  std::set<std::string> given;
  std::string error;  // the first one found
  auto fail = [&error](std::string text) {
    if (error.empty()) error = std::move(text);
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    bool known = false;
    for (const char* flag : kFlags) known = known || a == flag;
    if (known) {
      // A flag given twice asks for the same thing twice.
      options.headless = options.headless || a == "--headless";
      options.listDevices = options.listDevices || a == "--list-devices";
      options.noRecords = options.noRecords || a == "--no-records";
      options.sessionLog = options.sessionLog || a == "--session-log";
      options.help = options.help || a == "--help";
      options.version = options.version || a == "--version";
      continue;
    }
    for (const char* name : kValueOptions) known = known || a == name;
    if (known) {
      if (i + 1 >= arguments.size()) {
        fail(a + " needs a value");
      } else if (!given.insert(a).second) {
        fail(a + " is given twice");
        ++i;
      } else if (arguments[++i].empty()) {
        fail(a + " needs a value, not an empty text");
      } else {
        fail(TakeValue(options, a, arguments[i]));
      }
    } else if (a.rfind("--", 0) == 0) {
      fail("unknown option " + platform::Quoted(a));
    } else {
      switches += ' ';
      switches += a;
    }
  }
  options.scriptNumber = ReadScriptSwitch(switches);
  if (error.empty()) error = Conflict(options);
  if (!error.empty() && !options.help && !options.version) {
    return platform::Result<>::CallerMistake(std::move(error));
  }
  return options;
}

}  // namespace app

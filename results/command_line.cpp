#include "results/command_line.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "platform/data_folders.h"
#include "platform/default_data_root.h"
#include "platform/files.h"
#include "records/central_store.h"
#include "results/central_reader.h"
#include "results/queries.h"
#include "results/since.h"
#include "station/records_settings.h"

namespace results {

namespace {

constexpr const char* kUsage =
    "usage: halvorn-results [--data-root DIR | --records FILE | --db CONNECTION] COMMAND"
    " [OPTIONS]"
    " (halvorn-results --help tells more)";

constexpr const char* kHelp =
    R"(halvorn-results: questions to the station's records (records.db) or the
factory's central database

usage: halvorn-results [--data-root DIR | --records FILE | --db CONNECTION]
                       COMMAND [OPTIONS]

Commands:
  runs [--since DATE] [--script NAME] [--station NAME]
                      one line per run: start, end, station, mode, file,
                      ending, exit status, fail count, units
  unit TEXT           every unit with TEXT in any of its variables (a serial
                      number): its run, verdict, values, answers, the
                      script's verdicts and failed exchanges, a line each
  yield [--by day|hour|script|station] [--since DATE] [--key NAME]
                      units, passed, failed, aborted and the first-pass yield
  failures [--since DATE] [--key NAME]
                      the checks that fail most, with the last units' keys
  export [--per exchange|unit] [--since DATE] [--key NAME]
                      every exchange (or unit) with its run's and unit's fields
  check               SQLite's integrity check and the schema version (--db:
                      the server's version and the central schema's)
  status              what waits to be forwarded to the central database, and
                      the last unit forwarded (--db: each station's, as the
                      station last told it)
  init CONNECTION     creates the factory's central PostgreSQL schema, or
                      brings an older one up to this program's; CONNECTION is
                      a libpq connection string (postgresql://user@host/db, or
                      host=... dbname=...; the rest from PGHOST, PGPASSWORD ...)

Options:
  --data-root DIR     the data folder (default: as the terminal finds it); the
                      database is AppResults/records.db there, or what
                      AppConfig/Records.cfg names (RECORDS=)
  --records FILE      the database itself
  --db CONNECTION     the factory's central PostgreSQL database instead (a
                      connection string as for init): the same commands and
                      columns over the rows of every station
  --format table|csv|jsonl
                      the output (default: a table on a terminal, CSV otherwise;
                      export: CSV)
  --since DATE        only from DATE on: YYYY-MM-DD (a UTC day), today, or an
                      ISO 8601 time (2026-12-08T05:57:24Z; without a zone: UTC)
  --script NAME       runs of this script or program file (its recorded path
                      or its file name)
  --station NAME      runs of this station
  --by GROUP          a line per UTC day, UTC hour, script or station
  --key NAME          the variable that holds a unit's serial number, V1..V9,
                      R1..R9 or C1..C9 (default V1): the first-pass yield counts
                      each key once, by its first judged (pass or fail) unit
  --per exchange|unit export a line per exchange (default) or per unit
  --help              this text

The station's database is opened read-only and never changed; the central
one is read in read-only transactions.

Exit status:
  0  results were found (check: the database is sound)
  1  nothing was found (check: damaged, or of a newer schema)
  2  a usage error: unknown command or option, missing value, bad date, a
     connection string libpq cannot read
  3  the database cannot be read: missing, a folder, not a database, without
     station records, damaged, or of a schema newer than this program knows
     (init and --db: the server cannot be reached, refuses, or has a newer
     schema; --db: or none)
  4  the output could not be written in full (a full disk)
)";

// The options each command takes besides the common ones.
const std::map<std::string, std::set<std::string>>& CommandOptions() {
  static const std::map<std::string, std::set<std::string>> kOptions = {
      {"runs", {"--since", "--script", "--station"}},
      {"unit", {}},
      {"yield", {"--by", "--since", "--key"}},
      {"failures", {"--since", "--key"}},
      {"export", {"--since", "--per", "--key"}},
      {"check", {}},
      {"status", {}},
      {"init", {}},
  };
  return kOptions;
}

const std::set<std::string> kCommonOptions = {"--data-root", "--records", "--db", "--format"};

bool ValidKey(std::string& key) {
  if (key.size() != 2) return false;
  if (key[0] >= 'a' && key[0] <= 'z') key[0] = static_cast<char>(key[0] - 'a' + 'A');
  return (key[0] == 'V' || key[0] == 'R' || key[0] == 'C') && key[1] >= '1' && key[1] <= '9';
}

struct Usage {
  std::string command;
  std::vector<std::string> words;  // the command's own words (unit TEXT)
  std::map<std::string, std::string> options;
};

// The command line read, or the one-line reason it cannot be.
std::optional<Usage> Parse(const std::vector<std::string>& args, std::string& mistake) {
  Usage usage;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word = args[i];
    if (optionsEnd || !word.starts_with("--")) {
      if (usage.command.empty()) {
        if (!CommandOptions().contains(word)) {
          mistake = "unknown command \"" + word + "\"";
          return std::nullopt;
        }
        usage.command = word;
      } else {
        usage.words.push_back(word);
      }
      continue;
    }
    if (word == "--") {
      optionsEnd = true;
      continue;
    }
    std::optional<std::string> value;
    if (const std::size_t equals = word.find('='); equals != std::string::npos) {
      value = word.substr(equals + 1);
      word.resize(equals);
    }
    bool known = kCommonOptions.contains(word);
    for (const auto& [command, options] : CommandOptions()) known = known || options.contains(word);
    if (!known) {
      mistake = "unknown option " + word;
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        mistake = word + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (value->empty()) {
      mistake = word + " needs a value";
      return std::nullopt;
    }
    if (!usage.options.emplace(word, *value).second) {
      mistake = word + " is given twice";
      return std::nullopt;
    }
  }
  if (usage.command.empty()) {
    mistake = "no command (runs, unit, yield, failures, export, check, status or init)";
    return std::nullopt;
  }
  for (const auto& [option, value] : usage.options) {
    if (!kCommonOptions.contains(option) && !CommandOptions().at(usage.command).contains(option)) {
      mistake = usage.command + " takes no " + option;
      return std::nullopt;
    }
  }
  const bool init = usage.command == "init";
  const std::size_t words = usage.command == "unit" || init ? 1 : 0;
  if (usage.words.size() < words || (init && usage.words[0].empty())) {
    mistake = init ? "init needs the central database's connection string"
                   : "unit needs the TEXT to look for";
    return std::nullopt;
  }
  if (init && !usage.options.empty()) {
    mistake = "init takes no " + usage.options.begin()->first;
    return std::nullopt;
  }
  if (usage.words.size() > words) {
    mistake = "unexpected \"" + usage.words[words] + "\" after " + usage.command;
    return std::nullopt;
  }
  if (usage.command == "unit" && usage.words[0].empty()) {
    mistake = "unit needs the TEXT to look for";
    return std::nullopt;
  }
  return usage;
}

// The database the terminal would write, found the way it finds it; the
// data folder is only looked at, never created or filled.
std::optional<std::string> DatabasePath(const Usage& usage, std::ostream& err) {
  if (const auto records = usage.options.find("--records"); records != usage.options.end())
    return records->second;
  std::string root;
  if (const auto given = usage.options.find("--data-root"); given != usage.options.end()) {
    root = given->second;
  } else {
    bool usersOwn = false;
    root = platform::ChooseDataRoot(platform::ExecutableFolder(), std::getenv("XDG_DATA_HOME"),
                                    std::getenv("HOME"), usersOwn);
  }
  std::vector<std::string> notes;
  const app::RecordsSettings settings = app::ReadRecordsSettings(root, {}, notes);
  for (const std::string& note : notes) err << "halvorn-results: " << note << '\n';
  if (!settings.enabled) {
    err << "halvorn-results: the station keeps no records: "
        << platform::DataFolders(root).DataPath("AppConfig\\Records.cfg")
        << " says RECORDS=OFF (name a database with --records FILE)\n";
    return std::nullopt;
  }
  if (!settings.path.empty()) return settings.path;
  return platform::DataFolders(root).DataPath("AppResults\\records.db");
}

// The options of `usage` into `format` and `filters`; the mistake found
// among them ("" for none).
std::string ReadOptions(const Usage& usage, std::int64_t nowSeconds, Format& format,
                        Filters& filters) {
  std::string mistake;
  const auto option = [&usage](const char* name) -> const std::string* {
    const auto found = usage.options.find(name);
    return found == usage.options.end() ? nullptr : &found->second;
  };
  if (const std::string* value = option("--format")) {
    if (*value == "table") {
      format = Format::Table;
    } else if (*value == "csv") {
      format = Format::Csv;
    } else if (*value == "jsonl") {
      format = Format::Jsonl;
    } else {
      mistake = "--format is table, csv or jsonl, not \"" + *value + "\"";
    }
  }
  if (const std::string* value = option("--since")) {
    if (std::optional<std::string> since = ParseSince(*value, nowSeconds)) {
      filters.since = *since;
    } else {
      mistake = "--since takes YYYY-MM-DD, today or an ISO 8601 time, not \"" + *value + "\"";
    }
  }
  if (const std::string* value = option("--by")) {
    filters.by = *value;
    if (*value != "day" && *value != "hour" && *value != "script" && *value != "station")
      mistake = "--by is day, hour, script or station, not \"" + *value + "\"";
  }
  if (const std::string* value = option("--per")) {
    filters.per = *value;
    if (*value != "exchange" && *value != "unit")
      mistake = "--per is exchange or unit, not \"" + *value + "\"";
  }
  if (const std::string* value = option("--key")) {
    filters.key = *value;
    if (!ValidKey(filters.key))
      mistake = "--key is a variable, V1..V9, R1..R9 or C1..C9, not \"" + *value + "\"";
  }
  if (option("--db") && (option("--records") || option("--data-root")))
    mistake = "--db names the central database: no --records or --data-root with it";
  if (const std::string* value = option("--script")) filters.script = *value;
  if (const std::string* value = option("--station")) filters.station = *value;
  return mistake;
}

// The central schema made or brought up to date on the server.
int Init(const std::string& connection, std::ostream& out, std::ostream& err) {
  auto store = records::CentralStore::Connect(connection);
  platform::Result<int> found = store ? (*store)->Migrate() : store.Failure();
  if (!found) {
    err << "halvorn-results: " << found.Text() << '\n';
    return found.Kind() == platform::ResultKind::CallerMistake ? kExitUsage : kExitDatabase;
  }
  const std::string now = std::to_string(records::kCentralSchemaVersion);
  out << records::MaskedConnection(connection) << ": schema version " << now
      << (*found == 0 ? ", created"
          : *found == records::kCentralSchemaVersion
              ? ", up to date"
              : ", brought up from version " + std::to_string(*found))
      << '\n';
  return kExitResults;
}

// The rows of `usage`'s command (any but check and init) from `db`.
platform::Result<std::int64_t> Answer(const Source& db, const Usage& usage, const Filters& filters,
                                      std::ostream& out, Format format) {
  const std::string& command = usage.command;
  if (command == "runs") return Runs(db, filters, out, format);
  if (command == "unit") return Units(db, usage.words[0], out, format);
  if (command == "yield") return Yield(db, filters, out, format);
  if (command == "failures") return Failures(db, filters, out, format);
  if (command == "status") return Status(db, out, format);
  return Export(db, filters, out, format);
}

// The exit status for what a command wrote: `rows`, or the failure met on
// the way; check's `fault` (about `store`) when it found one.
int Ending(const platform::Result<std::int64_t>& rows, bool check, const std::string& fault,
           const std::string& store, std::ostream& out, std::ostream& err) {
  out.flush();
  if (!rows) {
    err << "halvorn-results: " << rows.Text() << '\n';
    return kExitDatabase;
  }
  if (check) {
    if (!fault.empty()) err << "halvorn-results: " << store << ": " << fault << '\n';
    return fault.empty() ? kExitResults : kExitNone;
  }
  if (*rows == 0) {
    err << "halvorn-results: nothing found\n";
    return kExitNone;
  }
  return kExitResults;
}

// The command asked of the station's database.
int AskStation(const Usage& usage, const Filters& filters, std::ostream& out, std::ostream& err,
               Format format) {
  const std::optional<std::string> path = DatabasePath(usage, err);
  if (!path) return kExitDatabase;
  const bool check = usage.command == "check";
  bool damaged = false;
  platform::Result<std::unique_ptr<RecordsReader>> db = RecordsReader::Open(*path, check, &damaged);
  if (!db) {
    if (check && damaged) {
      Output output(out, format, {"check", "result"});
      output.Row({Cell::Text("integrity"), Cell::Text(db.Text())});
      output.Row({Cell::Text("verdict"), Cell::Text("damaged")});
      output.Finish();
      err << "halvorn-results: " << db.Text() << '\n';
      return kExitNone;
    }
    err << "halvorn-results: " << db.Text() << '\n';
    return kExitDatabase;
  }
  std::string fault;
  const platform::Result<std::int64_t> rows =
      check ? Check(**db, out, format, fault) : Answer(**db, usage, filters, out, format);
  return Ending(rows, check, fault, *path, out, err);
}

// The command asked of the factory's central database: a string libpq
// cannot read is a usage error, a server that cannot answer ends with 3.
int AskCentral(const Usage& usage, const std::string& connection, const Filters& filters,
               std::ostream& out, std::ostream& err, Format format) {
  const bool check = usage.command == "check";
  platform::Result<std::unique_ptr<CentralReader>> db = CentralReader::Open(connection, check);
  if (!db) {
    if (db.Kind() != platform::ResultKind::CallerMistake) {
      err << "halvorn-results: " << db.Text() << '\n';
      return kExitDatabase;
    }
    err << "halvorn-results: " << db.Text() << '\n' << kUsage << '\n';
    return kExitUsage;
  }
  std::string fault;
  const platform::Result<std::int64_t> rows =
      check ? CentralCheck(**db, out, format, fault) : Answer(**db, usage, filters, out, format);
  return Ending(rows, check, fault, (*db)->Masked(), out, err);
}

// RunResults without the last word on the output.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool outIsTerminal, std::int64_t nowSeconds) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      out << kHelp;
      return kExitResults;
    }
  }
  std::string mistake;
  std::optional<Usage> usage = Parse(args, mistake);
  Filters filters;
  Format format = outIsTerminal ? Format::Table : Format::Csv;
  if (usage) {
    if (usage->command == "export") format = Format::Csv;
    mistake = ReadOptions(*usage, nowSeconds, format, filters);
  }
  if (!mistake.empty()) {
    err << "halvorn-results: " << mistake << '\n' << kUsage << '\n';
    return kExitUsage;
  }
  if (usage->command == "init") return Init(usage->words[0], out, err);
  if (const auto db = usage->options.find("--db"); db != usage->options.end())
    return AskCentral(*usage, db->second, filters, out, err, format);
  return AskStation(*usage, filters, out, err, format);
}

}  // namespace

int RunResults(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool outIsTerminal, std::int64_t nowSeconds) {
  const int status = Run(args, out, err, outIsTerminal, nowSeconds);
  // Results that did not reach their reader (a full disk, a closed file)
  // are no results.
  if (!out.flush()) {
    err << "halvorn-results: the output could not be written in full\n";
    return kExitOutput;
  }
  return status;
}

}  // namespace results

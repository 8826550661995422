#include "records/run_report.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/process.h"
#include "platform/text.h"

namespace app {
namespace {

using Kind = RunReport::Case::Kind;

// Latin-1 to UTF-8 with XML's five characters escaped; line ends and tabs
// as character references, so attributes keep them too.
std::string Xml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
      case '\n':
      case '\r':
        out += "&#" + std::to_string(c) + ";";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
          out += escaped;
        } else {
          platform::AppendLatin1AsUtf8(out, ch);
        }
    }
  }
  return out;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", seconds > 0 ? seconds : 0.0);
  return text;
}

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// A reply or expected value as a message shows it; nothing shows as "".
std::string Shown(std::string_view text) {
  return text.empty() ? std::string("\"\"") : std::string(text);
}

std::string CheckMessage(std::string_view command, std::string_view expected,
                         std::string_view reply) {
  return std::string(command) + ": expected " + Shown(expected) + ", got " + Shown(reply);
}

// The mismatches of a verification: its "command = reply" lines against the
// "|"-separated expected replies, in order.
std::string VerifyMessage(std::string_view expected, std::string_view log) {
  std::string message;
  auto add = [&message](const std::string& part) {
    message += message.empty() ? part : "; " + part;
  };
  platform::FieldWalker lines(log, "\r\n");
  int index = 0;
  while (!lines.Done()) {
    std::string_view line = lines.Next();
    if (line.empty()) continue;
    const std::size_t equals = line.find(" = ");
    if (equals == std::string_view::npos) {
      add(std::string(line));  // the time-out warning
      continue;
    }
    const std::string_view reply = line.substr(equals + 3);
    const std::string_view wanted = platform::Field(expected, '|', ++index);
    if (!expected.empty() && reply != wanted)
      add(CheckMessage(line.substr(0, equals), wanted, reply));
  }
  return message.empty() ? "no reply matched" : message;
}

}  // namespace

RunReport::RunReport(std::string name, bool everyExchange, bool keepCases,
                     std::function<double()> clock)
    : name_(std::move(name)),
      everyExchange_(everyExchange),
      keepCases_(keepCases),
      clock_(std::move(clock)) {
  BeginSuite();
}

void RunReport::BeginSuite() {
  Suite suite;
  suite.name = name_;
  suite.timestamp = LocalTimestamp();
  suite.start = clock_();
  suites_.push_back(std::move(suite));
  answers_ = 0;
}

void RunReport::EndSuite() {
  Suite& suite = suites_.back();
  suite.seconds = clock_() - suite.start;
  if (run_) {
    for (auto& property : run_->Variables()) suite.properties.push_back(std::move(property));
  }
}

RunReport::Case& RunReport::Add(std::string classname, std::string name, Case::Kind kind,
                                double seconds) {
  Case c;
  c.classname = std::move(classname);
  c.name = std::move(name);
  c.kind = kind;
  c.seconds = seconds;
  suites_.back().cases.push_back(std::move(c));
  return suites_.back().cases.back();
}

void RunReport::OnExchange(const engine::ExchangeVerdict& e) {
  if (!e.replied) ++noReply_;
  if (!keepCases_ || (e.replied && e.check == engine::Check::None && !everyExchange_)) return;
  std::string source = run_ ? run_->ExchangeSource() : std::string();
  if (source.empty()) source = name_;
  const Kind kind = !e.replied                         ? Kind::Error
                    : e.check == engine::Check::Failed ? Kind::Failed
                                                       : Kind::Passed;
  Case& c = Add(std::move(source), std::to_string(e.position) + ": " + std::string(e.command), kind,
                e.seconds);
  if (kind == Kind::Error) {
    c.type = "no reply";
    c.message = std::string(e.command) + ": no reply, " + Shown(e.reply);
  } else if (kind == Kind::Failed) {
    c.type = "expected value";
    c.message = CheckMessage(e.command, e.expected, e.reply);
    c.body = "command: " + std::string(e.command) + "\nexpected: " + std::string(e.expected) +
             "\nreply: " + std::string(e.reply) + "\n";
  }
}

void RunReport::OnVerdict(const autocontrol::ScriptVerdict& v) {
  if (!keepCases_) return;
  using Outcome = autocontrol::ScriptVerdict::Outcome;
  std::string name(v.keyword);
  const std::string_view subject = platform::TrimmedView(v.subject);
  if (!subject.empty()) name += " " + std::string(subject);
  if (v.attempt > 1) name += " (attempt " + std::to_string(v.attempt) + ")";
  const Kind kind = v.outcome == Outcome::Passed   ? Kind::Passed
                    : v.outcome == Outcome::Failed ? Kind::Failed
                                                   : Kind::Skipped;
  Case& c = Add(name_, std::move(name), kind, v.seconds);
  c.body = std::string(v.log);
  if (kind == Kind::Skipped) {
    c.message = "ESC pressed";
  } else if (kind == Kind::Failed && v.keyword == "[USERCHECK]") {
    c.type = "user check";
    c.message = "the operator judged FAIL";
  } else if (kind == Kind::Failed && v.keyword == "[CMDVERIFY]") {
    c.type = "verification";
    c.message = VerifyMessage(v.expected, v.log);
  } else if (kind == Kind::Failed) {
    c.type = "verdict";
    c.message = std::string(v.log);
  }
}

void RunReport::OnLoopRestart() {
  EndSuite();
  BeginSuite();
}

void RunReport::DeviceNotAvailable(const std::string& entry, const std::string& reason) {
  if (!keepCases_) return;
  std::string source = run_ ? run_->ExchangeSource() : std::string();
  Case& c = Add(source.empty() ? name_ : source,
                entry.empty() ? "Device Not Available" : "Device Not Available: " + entry,
                Kind::Error, 0);
  c.type = "device";
  // No entry: no device was selected, and `reason` says why.
  c.message = entry.empty() ? reason : "Device Not Available!";
  if (!entry.empty() && !reason.empty()) c.message += " " + reason;
}

void RunReport::OperatorAnswer(const std::string& prompt, const std::string& answer) {
  if (!keepCases_) return;
  suites_.back().properties.emplace_back("answer " + std::to_string(++answers_) + ": " + prompt,
                                         answer);
}

void RunReport::Finish() {
  EndSuite();
  bool anyCase = false;
  for (const Suite& s : suites_) anyCase = anyCase || !s.cases.empty();
  if (anyCase) std::erase_if(suites_, [](const Suite& s) { return s.cases.empty(); });
  if (suites_.size() > 1) {
    for (std::size_t i = 0; i < suites_.size(); ++i) {
      suites_[i].name += " #" + std::to_string(i + 1);
    }
  }
}

std::string RunReport::JUnitXml() const {
  struct Counts {
    std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
    void Add(const Case& c) {
      ++tests;
      failures += c.kind == Kind::Failed;
      errors += c.kind == Kind::Error;
      skipped += c.kind == Kind::Skipped;
    }
    std::string Attributes() const {
      return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
             "\" errors=\"" + std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) +
             "\" time=\"" + Seconds(seconds) + "\"";
    }
  };
  Counts all;
  std::string suites;
  const std::string host = Xml(platform::HostName());
  for (const Suite& s : suites_) {
    Counts counts;
    counts.seconds = s.seconds;
    for (const Case& c : s.cases) counts.Add(c);
    all.tests += counts.tests;
    all.failures += counts.failures;
    all.errors += counts.errors;
    all.skipped += counts.skipped;
    all.seconds += s.seconds;
    suites += "  <testsuite name=\"" + Xml(s.name) + "\"" + counts.Attributes() + " timestamp=\"" +
              s.timestamp + "\" hostname=\"" + host + "\">\n";
    if (!s.properties.empty()) {
      suites += "    <properties>\n";
      for (const auto& [name, value] : s.properties) {
        suites += "      <property name=\"" + Xml(name) + "\" value=\"" + Xml(value) + "\"/>\n";
      }
      suites += "    </properties>\n";
    }
    for (const Case& c : s.cases) {
      suites += "    <testcase name=\"" + Xml(c.name) + "\" classname=\"" + Xml(c.classname) +
                "\" time=\"" + Seconds(c.seconds) + "\"";
      if (c.kind == Kind::Passed) {
        suites += "/>\n";
        continue;
      }
      const char* element = c.kind == Kind::Failed  ? "failure"
                            : c.kind == Kind::Error ? "error"
                                                    : "skipped";
      suites += ">\n      <" + std::string(element) + " message=\"" + Xml(c.message) + "\"";
      if (!c.type.empty()) suites += " type=\"" + Xml(c.type) + "\"";
      suites += c.body.empty() ? "/>\n" : ">" + Xml(c.body) + "</" + std::string(element) + ">\n";
      suites += "    </testcase>\n";
    }
    suites += "  </testsuite>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + Xml(name_) + "\"" +
         all.Attributes() + ">\n" + suites + "</testsuites>\n";
}

}  // namespace app

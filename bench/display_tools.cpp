// The display's tools, measured side by side in one run:
//  (a) the find bar's search over a 30 MB display: a word on every entry, a
//      word in either case, and one that is not there (target < 100 ms);
//  (b) the session log's cost per exchange on a link that answers at once:
//      100,000 commands shown in mode 1 on the rich display, with and
//      without the log in this thread's CPU time (target: at most 5% more,
//      a ratio <= 1.05).
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/engine_bench.h"
#include "devices/link.h"
#include "engine/command_engine.h"
#include "engine/host.h"
#include "engine/reply_capture.h"
#include "engine/session_log.h"
#include "ui/qt/find_bar.h"

namespace {

using bench::BenchHost;
using bench::Clock;
using bench::InstantLink;
using bench::Seconds;

double Search(const std::string& text, const std::string& pattern, bool matchCase,
              std::size_t& found) {
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    std::vector<std::size_t> starts;
    const auto a = Clock::now();
    ui::qt::FindMatches(text, pattern, matchCase, 0, starts);
    best = std::min(best, Seconds(a, Clock::now()));
    found = starts.size();
  }
  return best;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// CPU time of this thread: the line's own work (the log's writes included),
// whatever else the shared machine runs meanwhile.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One line of `commands` device commands, with or without a session log
// into `folder`; its CPU time in seconds.
double TimeLine(const std::string& line, const std::string* folder) {
  BenchHost host;
  InstantLink link;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine(host, capture);
  engine.Display().SwitchToRich();
  engine.State().ShowMode = 1;
  std::unique_ptr<engine::SessionLog> log;
  if (folder) {
    log = std::make_unique<engine::SessionLog>(*folder, platform::LocalTimeNow,
                                               [](const std::string&) {});
    engine.Display().SetLog(log.get());
  }
  const double a = ThreadCpu();
  engine.ExecuteCommandLine(link, 1, line, devices::LinkKind::Hid);
  engine.Display().Flush();
  return ThreadCpu() - a;
}

}  // namespace

int main() {
  // (a) 30 MB of entries as the display holds them.
  std::string text;
  for (int i = 0; text.size() < 30'000'000; ++i) {
    text += " >> PX\r\n      Reply: " + std::to_string(i % 100'000) + " (.1ms)\r\n";
  }
  const struct {
    const char* pattern;
    bool matchCase;
  } searches[] = {{"PX", true}, {"reply: 99", false}, {"NOT THERE", false}};
  for (const auto& s : searches) {
    std::size_t found = 0;
    const double t = Search(text, s.pattern, s.matchCase, found);
    std::printf("search %.1f MB for \"%s\"%s: %zu matches in %.1f ms (target < 100)\n",
                text.size() / 1e6, s.pattern, s.matchCase ? "" : " in either case", found, t * 1e3);
  }

  // (b) The same line with and without the log in pairs, which comes first
  // alternating; the cost is the median of the pairs' ratios, beside their
  // range: runs side by side see the same shared machine.
  char pattern[] = "/tmp/halvorn-bench-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) return 1;
  const std::string folder = made;
  std::string line;
  for (int i = 0; i < 100'000; ++i) line += i ? ", PX" : "PX";
  std::vector<double> without, with, ratios;
  for (int pair = 0; pair < 15; ++pair) {
    for (const bool log : {pair % 2 == 1, pair % 2 == 0}) {
      (log ? with : without).push_back(TimeLine(line, log ? &folder : nullptr));
    }
    ratios.push_back(with.back() / without.back());
  }
  std::filesystem::remove_all(folder);
  std::printf(
      "per exchange (show mode 1): %.0f ns without the session log, %.0f ns with it, ratio %.3f "
      "[%.3f .. %.3f] (median of %zu pairs; target <= 1.05)\n",
      Median(without) / 100'000 * 1e9, Median(with) / 100'000 * 1e9, Median(ratios),
      *std::min_element(ratios.begin(), ratios.end()),
      *std::max_element(ratios.begin(), ratios.end()), ratios.size());
  return 0;
}

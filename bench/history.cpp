// Recording a line in the command history costs the same however long the
// history already is, so a script that records lines for hours does not slow
// down as it goes.
//
// Prints, measured side by side in one run: 100,000 lines of 100 characters
// recorded with FIFO off (each new line goes first) and with FIFO on, the
// CPU time of the first 10,000 records and of the last 10,000, and their
// ratio (the limit is 1.3). Each round records into a fresh history; the
// figures are medians over the rounds.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "programs/history.h"

namespace {

// CPU time (the program has one thread): on a shared machine a wall clock
// would also count the time other processes held the core.
double CpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

constexpr int kLines = 100000;
constexpr int kTenth = kLines / 10;

struct Round {
  double first = 0;  // the first tenth of the records
  double last = 0;   // the last tenth
};

// The lines are made before the clock runs, so only recording is timed.
Round RecordAll(bool fifo) {
  std::vector<std::string> lines;
  lines.reserve(kLines);
  for (int i = 0; i < kLines; ++i) {
    std::string line = "LSPD=" + std::to_string(i) + ",HSPD=5000,ABS,X-9000,";
    line.resize(100, 'A');
    lines.push_back(std::move(line));
  }
  programs::History history;
  Round round;
  double start = 0;
  for (int i = 0; i < kLines; ++i) {
    if (i == 0 || i == kLines - kTenth) start = CpuSeconds();
    history.RecordHistory(std::move(lines[static_cast<std::size_t>(i)]), fifo);
    if (i == kTenth - 1) round.first = CpuSeconds() - start;
  }
  round.last = CpuSeconds() - start;
  if (history.Size() != static_cast<std::size_t>(kLines) + 1) std::printf("lines were lost\n");
  return round;
}

void Report(const char* what, bool fifo, int rounds) {
  std::vector<double> firsts, lasts, ratios;
  RecordAll(fifo);  // the first run pays for memory the process does not hold yet
  for (int r = 0; r < rounds; ++r) {
    Round round = RecordAll(fifo);
    firsts.push_back(round.first);
    lasts.push_back(round.last);
    ratios.push_back(round.last / round.first);
  }
  for (auto* values : {&firsts, &lasts, &ratios})  // the medians
    std::nth_element(values->begin(), values->begin() + rounds / 2, values->end());
  const double ratio = ratios[static_cast<std::size_t>(rounds / 2)];
  std::printf("%-22s %9.3f ms  %9.3f ms  ratio %5.2f  (limit 1.3) %s\n", what,
              firsts[static_cast<std::size_t>(rounds / 2)] * 1e3,
              lasts[static_cast<std::size_t>(rounds / 2)] * 1e3, ratio,
              ratio <= 1.3 ? "OK" : "TOO SLOW");
}

}  // namespace

int main() {
  std::printf("%-22s %12s  %12s\n", "100,000 lines", "first 10%", "last 10%");
  Report("RecordHistory, FIFO off", false, 15);
  Report("RecordHistory, FIFO on", true, 15);
  return 0;
}

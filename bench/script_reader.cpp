// The script reader costs the same per line whatever the length of the
// script: it moves a position forward instead of counting separators from
// the start, so a step of a long script is as cheap as one of a short script.
//
// Prints the cost per line read over scripts of 1,000 and 100,000 lines
// (the same number of lines read in both, best of several runs) and their
// ratio (the limit is 1.2), plus the cost of a loop jump back.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "autocontrol/script_file.h"

namespace {

std::string Script(int lines) {
  std::string raw;
  for (int i = 0; i < lines; ++i) {
    raw += i % 3 == 0 ? "[VARSET1] Serial " + std::to_string(i % 100) + "\n"
                      : (i % 3 == 1 ? "[CMDVERIFY] PX,{0}\n" : "[SHOWVAR1]\n");
  }
  return autocontrol::BuildScriptText(raw);
}

std::size_t sink = 0;

// CPU time of this thread (other processes on a shared machine do not count).
double CpuNanos() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Nanoseconds per line for reading `total` lines, the script over and over.
double NanosPerLine(const std::string& text, std::size_t total) {
  double best = 1e30;
  for (int run = 0; run < 7; ++run) {
    autocontrol::ScriptReader reader(text);
    const double start = CpuNanos();
    for (std::size_t n = 0; n < total; ++n) {
      if (reader.AtEnd()) reader.SetPosition(0);  // a loop jump back to the start
      sink += reader.NextLine().size();
    }
    best = std::min(best, (CpuNanos() - start) / static_cast<double>(total));
  }
  return best;
}

}  // namespace

int main() {
  const std::string small = Script(1000), large = Script(100000);
  const std::size_t total = 2000000;
  const double a = NanosPerLine(small, total);
  const double b = NanosPerLine(large, total);
  const double ratio = std::max(a, b) / std::min(a, b);
  std::printf("lines in script   ns per line read\n");
  std::printf("%15d   %8.2f\n", 1000, a);
  std::printf("%15d   %8.2f\n", 100000, b);
  std::printf("ratio %.3f (limit 1.2) %s\n", ratio, ratio <= 1.2 ? "OK" : "TOO SLOW");
  std::printf("line count of 100,000: %zu (checksum %zu)\n",
              autocontrol::ScriptReader::CountLines(large), sink);
  return 0;
}

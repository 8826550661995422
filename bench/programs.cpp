// Program files and script files are parsed in time linear in their size.
//
// Prints, measured side by side in one run:
//   - ParseProgram on 10,000 and 100,000 lines and the ratio (linear: ~10,
//     the limit is 12);
//   - BuildScriptText on 10,000 and 100,000 lines and the ratio;
//   - one line of 1 MB against 1 MB of short lines, for both parsers.
//
// Each round times the small text ten times over and the large text once,
// back to back, so both blocks are equally long and meet the same machine
// (clock speed, other processes); the figures are medians over the rounds.
// Times are the thread's CPU time.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "autocontrol/script_file.h"
#include "programs/program_file.h"

namespace {

// CPU time of this thread: on a shared machine a wall clock would also count
// the time other processes held the core.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Comparison {
  double small = 0;  // one run of the small case
  double large = 0;  // one run of the large case
  double ratio = 0;  // median of the rounds' ratios
};

// `small` is run `times` times per round and counted as the mean of those.
Comparison Compare(const std::function<void()>& small, int times,
                   const std::function<void()>& large, int rounds) {
  std::vector<double> smalls, larges, ratios;
  small();  // the first run of each pays for memory the process does not hold yet
  large();
  for (int r = 0; r < rounds; ++r) {
    double start = CpuSeconds();
    for (int i = 0; i < times; ++i) small();
    const double s = (CpuSeconds() - start) / times;
    start = CpuSeconds();
    large();
    const double l = CpuSeconds() - start;
    smalls.push_back(s);
    larges.push_back(l);
    ratios.push_back(l / s);
  }
  return {Median(smalls), Median(larges), Median(ratios)};
}

std::string ProgramText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0:
        text += "LSPD=" + std::to_string(i) + "\r\n";
        break;
      case 1:
        text += "HSPD=5000,OK\r\n";
        break;
      case 2:
        text += "' move out, then check\r\n";
        break;
      default:
        text += "PX,1,0,0 ' position\r\n";
        break;
    }
  }
  return text;
}

std::string ScriptText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0:
        text += "[VarSet1]  Serial " + std::to_string(i) + "  ' board\r\n";
        break;
      case 1:
        text += "[CMDVERIFY] PX,ABS,{0,OK}\r\n";
        break;
      case 2:
        text += "' a comment line\r\n";
        break;
      default:
        text += "[CONST2] 1,000;\r\n";
        break;
    }
  }
  return text;
}

std::size_t sink = 0;

// The way the loader drives the parser: an abort check before every line and
// a bar that is rewritten when the percentage changes.
void ParseLikeTheLoader(const std::string& text) {
  int shown = 1;
  int rewrites = 0;
  auto parsed = programs::ParseProgram(
      text, [] { return false; },
      [&](int percent) {
        if (percent != shown) {
          shown = percent;
          ++rewrites;
        }
      });
  sink += parsed.commandLine.size() + static_cast<std::size_t>(rewrites);
}

void BuildScript(const std::string& text) {
  sink += autocontrol::BuildScriptText(text).size();
}

void Print(const char* what, const Comparison& c, double limit) {
  std::printf("%-30s %9.3f ms  %9.3f ms  ratio %6.2f  (limit %.0f) %s\n", what, c.small * 1e3,
              c.large * 1e3, c.ratio, limit, c.ratio <= limit ? "OK" : "TOO SLOW");
}

}  // namespace

int main() {
  // Keep freed memory in the process: otherwise the C library hands the
  // megabytes of a large run back to the system after every run and the
  // next one pays a page fault per 4 KB again, which small runs (served from
  // memory the process keeps) never do. That would measure the allocator,
  // not the parser.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);

  std::printf("%-30s %12s  %12s\n", "", "10,000 lines", "100,000 lines");
  const std::string program10k = ProgramText(10000), program100k = ProgramText(100000);
  Print("ParseProgram",
        Compare([&] { ParseLikeTheLoader(program10k); }, 10,
                [&] { ParseLikeTheLoader(program100k); }, 21),
        12);
  const std::string script10k = ScriptText(10000), script100k = ScriptText(100000);
  Print("BuildScriptText",
        Compare([&] { BuildScript(script10k); }, 10, [&] { BuildScript(script100k); }, 21), 12);

  // One line of 1 MB against the same size in short lines: a long line must
  // not cost more per byte than many short ones (limit: twice).
  const std::size_t mb = 1 << 20;
  std::string shortLines;
  while (shortLines.size() < mb) shortLines += "JX+,OK ' jog\r\n";
  const std::string longProgramLine = "JX+," + std::string(mb, 'A') + "'x,y";
  std::string shortScript;
  while (shortScript.size() < mb) shortScript += "[SHOW] text ' c\r\n";
  const std::string longShow = "[SHOW]" + std::string(mb, 'B');
  const std::string longCommands =
      "[CMDREPLY1]" + std::string(mb / 2, ',') + std::string(mb / 2, 'C');

  std::printf("\n%-30s %12s  %12s\n", "", "1 MB of lines", "one 1 MB line");
  Print("ParseProgram",
        Compare([&] { ParseLikeTheLoader(shortLines); }, 1,
                [&] { ParseLikeTheLoader(longProgramLine); }, 9),
        2);
  Print("BuildScriptText, [SHOW]",
        Compare([&] { BuildScript(shortScript); }, 1, [&] { BuildScript(longShow); }, 9), 2);
  Print("BuildScriptText, [CMDREPLY1]",
        Compare([&] { BuildScript(shortScript); }, 1, [&] { BuildScript(longCommands); }, 9), 2);
  std::printf("(checksum %zu)\n", sink);
  return 0;
}

// Any bytes as a program file: ParseProgram must not crash, must run in
// linear time, and must give a command line and an expected line with the
// same number of pieces, free of line-end and TAB bytes, with a progress
// that climbs to 100. The first byte chooses a line at which ESC arrives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "programs/program_file.h"

namespace {

std::size_t Count(const std::string& text, char c) {
  std::size_t n = 0;
  for (char x : text) n += x == c ? 1 : 0;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t escAt = data[0];  // 0: never
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::size_t asked = 0;
  int last = 0;
  std::size_t reports = 0;
  const programs::ParsedProgram p = programs::ParseProgram(
      bytes, [&] { return ++asked == escAt; },
      [&](int percent) {
        if (percent < 1 || percent > 100 || percent < last) __builtin_trap();
        last = percent;
        ++reports;
      });

  if (p.aborted) {
    if (!p.commandLine.empty() || !p.expectedLine.empty() || reports + 1 != escAt) {
      __builtin_trap();
    }
    return 0;
  }
  if (last != 100 || reports != programs::NormalisedLines(bytes).Count()) __builtin_trap();
  if (Count(p.commandLine, ',') != Count(p.expectedLine, ',')) __builtin_trap();
  for (const std::string* line : {&p.commandLine, &p.expectedLine}) {
    if (Count(*line, '\r') + Count(*line, '\n') + Count(*line, '\t') != 0) __builtin_trap();
  }
  return 0;
}

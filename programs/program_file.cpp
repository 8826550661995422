#include "programs/program_file.h"

#include <cstdint>
#include <cstring>

namespace programs {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] == ' ') ++first;
  while (last > first && text[last - 1] == ' ') --last;
  return text.substr(first, last - first);
}

// An expected slot is never empty: a single blank keeps its place in the
// comma-separated line without expecting anything.
std::string SlotOrBlank(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  return trimmed.empty() ? std::string(" ") : std::string(trimmed);
}

}  // namespace

std::string NormaliseLineEnds(std::string_view text) {
  const bool hasCr = std::memchr(text.data(), '\r', text.size()) != nullptr;
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\t') continue;
    if (c == '\n') {
      if (!hasCr) out += '\r';
      continue;
    }
    out += c;
  }
  return out;
}

std::string StoredProgramFileName(int n) {
  if (n < 1 || n > 10) return {};
  std::string number = n < 10 ? "0" + std::to_string(n) : std::to_string(n);
  return "test" + number + ".prg";
}

std::string CleanProgramName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (kProgramNameStrip.find(c) == std::string_view::npos) out += c;
  }
  return out;
}

std::string NamedProgramFileName(std::string_view name) {
  return "test99" + CleanProgramName(name) + ".prg";
}

ProgramLine ClassifyProgramLine(std::string_view raw) {
  ProgramLine result;
  std::string_view line = TrimBlanks(raw);
  if (line.empty()) return result;
  result.empty = false;

  if (line.front() == '\'') {
    // A comment travels to the display in the expected slot; its commas
    // would split the slot, so they become blanks.
    std::string text(line.substr(1));
    for (char& c : text) {
      if (c == ',') c = ' ';
    }
    result.command = "'";
    result.expected = SlotOrBlank(text);
    return result;
  }

  std::size_t remark = line.find('\'');
  if (remark != std::string_view::npos) line = TrimBlanks(line.substr(0, remark));

  std::size_t comma = line.find(',');
  if (comma == std::string_view::npos) {
    result.command = std::string(line);
    result.expected = " ";
    return result;
  }
  result.command = std::string(TrimBlanks(line.substr(0, comma)));
  std::string expected;
  for (char c : line.substr(comma + 1)) {
    if (c != ',') expected += c;
  }
  result.expected = SlotOrBlank(expected);
  return result;
}

int ProgressPercent(std::size_t i, std::size_t count) {
  if (count == 0) return 100;
  // 100 * i / count rounded to the nearest integer, ties to even, in
  // integers so that no line count loses precision.
  const std::uint64_t scaled = 100 * static_cast<std::uint64_t>(i);
  const std::uint64_t n = count;
  std::uint64_t q = scaled / n;
  const std::uint64_t r = scaled % n;
  if (2 * r > n || (2 * r == n && (q & 1) != 0)) ++q;
  return q < 1 ? 1 : static_cast<int>(q);
}

ParsedProgram ParseProgram(std::string_view text, const std::function<bool()>& beforeLine,
                           const std::function<void(int percent)>& afterLine) {
  const std::string normalised = NormaliseLineEnds(text);
  const std::string_view all(normalised);
  std::size_t count = 1;
  for (char c : all) count += c == '\r' ? 1 : 0;

  ParsedProgram result;
  bool first = true;
  std::size_t start = 0;
  for (std::size_t i = 1; i <= count; ++i) {
    if (beforeLine && beforeLine()) {
      result.commandLine.clear();
      result.expectedLine.clear();
      result.aborted = true;
      return result;
    }
    std::size_t end = all.find('\r', start);
    if (end == std::string_view::npos) end = all.size();
    ProgramLine line = ClassifyProgramLine(all.substr(start, end - start));
    start = end + 1;
    if (!line.empty) {
      if (!first) {
        result.commandLine += ',';
        result.expectedLine += ',';
      }
      first = false;
      result.commandLine += line.command;
      result.expectedLine += line.expected;
    }
    if (afterLine) afterLine(ProgressPercent(i, count));
  }
  return result;
}

}  // namespace programs

#include "programs/program_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/text.h"

namespace programs {
namespace {

bool HasCr(std::string_view text) {
  return !text.empty() && std::memchr(text.data(), '\r', text.size()) != nullptr;
}

}  // namespace

NormalisedLines::NormalisedLines(std::string_view file)
    : text_(platform::WithoutByteOrderMark(file)) {
  const std::string_view text = text_;
  const bool hasCr = HasCr(text);
  // Without any CR every LF ends a line; with one, only CR does and LFs vanish.
  separator_ = hasCr ? '\r' : '\n';
  dropLf_ = hasCr;
  count_ = 1;
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    const void* found = std::memchr(at, separator_, static_cast<std::size_t>(end - at));
    if (!found) break;
    ++count_;
    at = static_cast<const char*>(found) + 1;
  }
}

bool NormalisedLines::Next(std::string& line) {
  if (position_ > text_.size()) {
    line.clear();
    return false;
  }
  const char* begin = text_.data() + position_;
  const std::size_t left = text_.size() - position_;
  const void* found = left == 0 ? nullptr : std::memchr(begin, separator_, left);
  const std::size_t length =
      found ? static_cast<std::size_t>(static_cast<const char*>(found) - begin) : left;
  position_ += length + 1;
  // Most lines hold neither TAB nor a stray LF and are copied whole.
  line.assign(begin, length);
  auto dropped = [this](char c) { return c == '\t' || (dropLf_ && c == '\n'); };
  auto first = std::find_if(line.begin(), line.end(), dropped);
  if (first != line.end()) line.erase(std::remove_if(first, line.end(), dropped), line.end());
  return true;
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

namespace {

bool IsBlankOrComma(char c) {
  return c == ' ' || c == ',';
}

// Appends the command and the expected slot of a line that is trimmed and
// not empty. Writes straight into the (long) results so a file is parsed
// without a temporary string per line.
void AppendClassified(std::string_view line, std::string& command, std::string& expected) {
  std::string_view slot;
  bool commasToBlanks = false;
  if (line.front() == '\'') {
    // A comment travels to the display in the expected slot; its commas
    // would split the slot, so they become blanks.
    command += '\'';
    slot = line.substr(1);
    commasToBlanks = true;
  } else {
    std::size_t remark = line.find('\'');
    if (remark != std::string_view::npos) line = platform::TrimmedView(line.substr(0, remark));
    std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
      command.append(line);
      expected += ' ';
      return;
    }
    command.append(platform::TrimmedView(line.substr(0, comma)));
    slot = line.substr(comma + 1);
  }
  // Commas either vanish or become blanks; both ways the slot is trimmed of
  // blanks afterwards, so commas at its ends go with the blanks.
  std::size_t first = 0;
  std::size_t last = slot.size();
  while (first < last && IsBlankOrComma(slot[first])) ++first;
  while (last > first && IsBlankOrComma(slot[last - 1])) --last;
  if (first == last) {
    expected += ' ';
    return;
  }
  for (char c : slot.substr(first, last - first)) {
    if (c != ',') {
      expected += c;
    } else if (commasToBlanks) {
      expected += ' ';
    }
  }
}

}  // namespace

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
  NormalisedLines lines(text);
  const std::size_t count = lines.Count();

  ParsedProgram result;
  // Neither line can outgrow the file by more than a character per line.
  result.commandLine.reserve(text.size() + count);
  result.expectedLine.reserve(text.size() + count);
  std::string raw;
  bool first = true;
  for (std::size_t i = 1; lines.Next(raw); ++i) {
    if (beforeLine && beforeLine()) {
      result = ParsedProgram();
      result.aborted = true;
      return result;
    }
    const std::string_view line = platform::TrimmedView(raw);
    if (!line.empty()) {
      if (!first) {
        result.commandLine += ',';
        result.expectedLine += ',';
      }
      first = false;
      AppendClassified(line, result.commandLine, result.expectedLine);
    }
    if (afterLine) afterLine(ProgressPercent(i, count));
  }
  return result;
}

}  // namespace programs

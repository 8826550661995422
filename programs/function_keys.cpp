#include "programs/function_keys.h"

#include <cstdint>

#include "engine/numbers.h"
#include "platform/text.h"

namespace programs {
namespace {

const std::string kEmpty;

bool IsKey(std::int64_t n) {
  return n >= 1 && n <= FunctionKeys::kCount;
}

// The key number a selector text names, 0 for none.
int KeyNumber(std::string_view selectorText) {
  std::string_view name = platform::TrimmedView(platform::TrimmedView(selectorText).substr(0, 3));
  if (name.size() < 2) return 0;
  std::int64_t n = engine::RoundToInt64(platform::ReadDecimal(name.substr(1)));
  return IsKey(n) ? static_cast<int>(n) : 0;
}

}  // namespace

const std::string& FunctionKeys::Text(int n) const {
  return IsKey(n) ? keys_[static_cast<std::size_t>(n - 1)] : kEmpty;
}

std::optional<std::string> FunctionKeys::ApplyFunctionKey(int n, std::string_view entryText) const {
  std::string_view key = platform::TrimmedView(Text(n));
  if (key.empty()) return std::nullopt;
  std::string entry = platform::TrimBlanks(entryText);
  if (!entry.empty()) entry += ',';
  entry += key;
  return entry;
}

int FunctionKeys::AttachToFunctionKey(std::string_view text, std::string_view selectorText) {
  std::string_view trimmed = platform::TrimmedView(text);
  if (trimmed.empty()) return 0;
  int n = KeyNumber(selectorText);
  if (n != 0) keys_[static_cast<std::size_t>(n - 1)] = std::string(trimmed);
  return n;
}

std::string FunctionKeys::ShowFunctionKeys() const {
  std::string lines;
  for (int n = 1; n <= kCount; ++n) {
    std::string_view text = platform::TrimmedView(Text(n));
    if (text.empty()) continue;
    std::string name = "F" + std::to_string(n);
    name.resize(3, ' ');
    lines += name + ' ';
    lines += text;
    lines += "\r\n";
  }
  return lines.empty() ? "No Function keys defined!\r\n" : "\r\n" + lines;
}

}  // namespace programs

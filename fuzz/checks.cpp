// Splits the input into reply, expected value and command at the first two
// NUL bytes (the first byte picks show mode, line kind and position) and runs
// the expected-value check and the entry formatter on them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/reply_format.h"
#include "platform/text.h"

namespace {

std::string_view NextPart(std::string_view& rest) {
  const std::size_t nul = rest.find('\0');
  std::string_view part = rest.substr(0, nul);
  rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view reply = NextPart(rest);
  const std::string_view expected = NextPart(rest);
  const std::string_view command = rest;

  const std::int64_t mask = (selector & 0x80) ? -1 : (selector & 0x0F);
  const bool fails = engine::CheckExpected(reply, expected, mask);
  // An exact match or an empty expectation never fails.
  if (fails && (reply == expected || platform::TrimmedView(expected).empty())) {
    std::abort();
  }

  const int showMode = selector % 7;
  const int lineKind = (selector & 0x40) ? engine::kMessageLine : engine::kExchangeLine;
  const int position = static_cast<int>(selector) - 100;
  const engine::Entry entry =
      engine::FormatEntry(command, reply, expected, lineKind, position, showMode, 0.0123, mask);
  if (!entry.text.empty() && entry.text.substr(entry.text.size() - 2) != "\r\n") std::abort();
  if (!entry.append && !entry.text.empty()) std::abort();
  (void)engine::ExchangeTimeText(static_cast<double>(selector) / 1000.0);
  return 0;
}

// Runs the display directives on an arbitrary command and last reply, split
// at the first NUL byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/reply_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view command = input.substr(0, nul);
  const std::string_view lastReply =
      nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

  (void)engine::IsLocalDirective(command);
  std::int64_t mask = -1;
  const std::string reply = engine::DisplayDirectiveReply(command, lastReply, mask);
  if (reply.empty()) std::abort();
  // Every prefix of the directive family, so each form is reached.
  static const char* const kNames[] = {"SHOWDC", "SHOW32", "SHOW16", "SHOW08", "SHOWHX", "BTMASK"};
  for (const char* name : kNames) {
    std::string full = std::string(name) + std::string(command);
    const std::string shown = engine::DisplayDirectiveReply(full, lastReply, mask);
    if (shown.empty()) std::abort();
  }
  return 0;
}

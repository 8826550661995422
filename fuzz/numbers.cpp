// Feeds arbitrary bytes to the number readers and writers, the unit
// conversion and SETPAR. Besides the sanitizers, it checks the rules that
// must hold for every input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/numbers.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::int64_t parsed = engine::ParseNumber(text);
  const double plain = platform::ReadDecimal(text);
  const long double extended = platform::ReadDecimalExtended(text);
  // Readings are always finite: what does not fit reads as 0.
  if (!std::isfinite(plain) || !std::isfinite(extended)) std::abort();

  // Number text reads back as the value it was written from, to 15 digits.
  const std::string written = engine::NumberText(extended);
  const long double back = platform::ReadDecimalExtended(written);
  const long double magnitude = std::fabs(extended);
  // Away from the ends of the extended range, where 15 rounded digits may
  // fall outside it.
  if (magnitude < 1e4900L && (magnitude > 1e-4900L || magnitude == 0) &&
      std::fabs(back - extended) > magnitude * 1e-14L) {
    std::abort();
  }
  const std::string integer = engine::NumberText(static_cast<long double>(parsed));
  if (engine::ParseNumber(integer) != parsed) std::abort();

  engine::UnitTable table;
  table.SetFactor(engine::UnitCode("XU"), 1);
  table.SetFactor(engine::UnitCode("XT"), 7.5L);
  table.SetFactor(engine::UnitCode("XS"), extended);
  std::string command(text);
  engine::ConvertUnits(command, table);
  if (command.size() > text.size() + 32) std::abort();

  const std::string reply = engine::SetParReply(text, table);
  if (reply.empty()) std::abort();
  (void)engine::UnitCode(text);
  (void)engine::RoundToInt64(extended * extended);
  return 0;
}

// Feeds arbitrary bytes to the language file reader: damaged heads, lengths
// that are negative, huge or disagree with each other, truncated headers.
// Address sanitizer catches any read outside the input; the checks below
// catch a reader that invents bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lang/language_file.h"
#include "lang/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lang::LanguageFileContent content;
  const bool intact = static_cast<bool>(lang::ReadLanguageFile(bytes, content));

  std::size_t used = size < lang::kHeaderSize ? 0 : lang::kHeaderSize;
  for (const lang::LanguageRecord& record : content.records) {
    used += lang::kRecordHeadSize + 2 * record.text.size();
    lang::TextModifiers modifiers;
    std::u16string_view drawn = lang::SplitModifiers(record.text, &modifiers);
    if (modifiers.sizeIndex < 0 || modifiers.sizeIndex >= lang::kSizeCount) std::abort();
    (void)lang::ToUtf8(drawn);
  }
  if (used > size) std::abort();
  const std::size_t announced = content.recordCount > 0 ? content.recordCount : 0;
  if (content.records.size() > announced) std::abort();
  // Fewer records than announced is always reported as damage.
  if (intact != (content.records.size() == announced || size < lang::kHeaderSize)) std::abort();
  return 0;
}

// Arbitrary bytes through the shared text rules: field walking and splitting,
// trimming, letter case, the caption cut and whole numbers. The first byte picks the field
// separators. Each rule must give back pieces that rebuild the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kSeparators[] = {":", "|", ",", "|,\r", "\\/"};
  const std::string_view separators = kSeparators[data[0] % 5];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // The fields and the separators between them are the text again.
  platform::FieldWalker walker(text, separators);
  std::vector<std::string_view> fields;
  std::string rebuilt;
  while (!walker.Done()) {
    fields.push_back(walker.Next());
    rebuilt += fields.back();
    if (rebuilt.size() < text.size()) rebuilt += text[rebuilt.size()];
  }
  if (rebuilt != text || !walker.Next().empty()) __builtin_trap();
  if (separators.size() == 1) {
    const char separator = separators[0];
    // Field(n) walks from the start, so asking it for every field would cost
    // the square of the field count: the first fields, the last ones and a
    // few between them stand for all.
    const std::size_t count = fields.size();
    for (std::size_t i = 0; i < count; ++i) {
      if (i >= 8 && i + 8 < count && (i < count / 2 || i >= count / 2 + 4)) continue;
      if (platform::Field(text, separator, static_cast<int>(i + 1)) != fields[i]) __builtin_trap();
    }
    for (int beyond : {0, -1, static_cast<int>(count + 1)}) {
      if (!platform::Field(text, separator, beyond).empty()) __builtin_trap();
    }
    const std::vector<std::string> list = platform::SplitFields(text, separator);
    if (list.size() != (text.empty() ? 0 : fields.size())) __builtin_trap();
  }

  // Trimming takes a piece from the middle that neither starts nor ends
  // with a trimmed character.
  const std::string_view trimmed = platform::TrimmedView(text, separators);
  if (!trimmed.empty()) {
    if (trimmed.data() < text.data() || trimmed.data() + trimmed.size() > text.data() + text.size())
      __builtin_trap();
    if (separators.find(trimmed.front()) != std::string_view::npos ||
        separators.find(trimmed.back()) != std::string_view::npos)
      __builtin_trap();
  }

  const std::string upper = platform::ToUpper(text);
  if (!platform::EqualsNoCase(upper, text) || platform::ToUpper(upper) != upper) __builtin_trap();

  // The cut is at the first mark: the text before it holds none.
  const platform::CaptionCut<char> cut = platform::CutCaption(text);
  const std::string whole =
      std::string(cut.text) + (cut.marked ? "//" : "") + std::string(cut.after);
  if (whole != text || cut.text.find("//") != std::string_view::npos) __builtin_trap();
  if (platform::CaptionId(cut.after) < 0) __builtin_trap();

  // A whole number reads back as its digits, leading zeros aside; digits
  // that fit an int always read.
  const std::string_view significant =
      text.substr(std::min(text.find_first_not_of('0'), text.size()));
  const bool digitsOnly =
      !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  const std::optional<int> n = platform::ReadWholeNumber(text);
  if (n ? std::to_string(*n) != (significant.empty() ? "0" : significant)
        : digitsOnly && significant.size() < 10)
    __builtin_trap();
  return 0;
}

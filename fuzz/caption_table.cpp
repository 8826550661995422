// Any bytes as a translators' caption table: a table that is read must read
// back the same from its written form (which writes the same again), and
// its records must survive a language file built from them.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lang/language_file.h"
#include "lang/tool/caption_table.h"

namespace {

bool Same(const std::vector<lang::LanguageRecord>& a, const std::vector<lang::LanguageRecord>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].captionId != b[i].captionId || a[i].text != b[i].text) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view table(reinterpret_cast<const char*>(data), size);
  std::vector<lang::LanguageRecord> records;
  std::vector<std::string> warnings;
  if (!lang::ParseCaptionTable(table, records, &warnings)) {
    if (!records.empty()) __builtin_trap();  // a refused table gives nothing
    return 0;
  }
  const std::string written = lang::FormatCaptionTable(records);
  std::vector<lang::LanguageRecord> again;
  if (!lang::ParseCaptionTable(written, again) || !Same(records, again)) __builtin_trap();
  if (lang::FormatCaptionTable(again) != written) __builtin_trap();

  lang::LanguageFileContent content;
  content.name = "Fuzz";
  content.fontFace = "Arial";
  content.records = records;
  std::string bytes;
  if (!lang::WriteLanguageFile(content, bytes)) return 0;
  lang::LanguageFileContent back;
  if (!lang::ReadLanguageFile(bytes, back) || !Same(records, back.records)) __builtin_trap();
  if (back.name != "Fuzz" || back.fontFace != "Arial") __builtin_trap();
  return 0;
}

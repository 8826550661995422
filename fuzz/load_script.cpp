// Any bytes as a script file: BuildScriptText must not crash, must run in
// linear time, and must give a ScriptText whose every line starts with a
// keyword of the table and holds no TAB, ESC or line-end byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "autocontrol/script_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = autocontrol::BuildScriptText(bytes);
  if (text.empty()) return 0;

  autocontrol::ScriptReader reader(text);
  std::size_t lines = 0;
  while (!reader.AtEnd()) {
    const std::string_view line = reader.NextLine();
    ++lines;
    for (char c : line) {
      if (c == '\r' || c == '\n' || c == '\t' || c == '\x1b') __builtin_trap();
    }
    if (!autocontrol::FindKeyword(autocontrol::SplitKeywordLine(line).keyword)) __builtin_trap();
  }
  if (lines != autocontrol::ScriptReader::CountLines(text)) __builtin_trap();
  return 0;
}

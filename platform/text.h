// Small text rules used throughout: trimming removes blanks only (never tabs),
// letter case changes only ASCII letters, and controller traffic is 8-bit text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Without leading and trailing blanks (the character 32 only).
std::string_view TrimmedView(std::string_view text);
inline std::string TrimBlanks(std::string_view text) {
  return std::string(TrimmedView(text));
}
// ASCII letters in upper case; every other byte unchanged.
inline char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string ToUpper(std::string_view text);
// Every occurrence of `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// Without any of the characters in `set`.
std::string RemoveChars(std::string_view text, std::string_view set);

}  // namespace platform

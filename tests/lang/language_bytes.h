// Builds language file bytes for the tests, including damaged ones that the
// writer refuses to produce.
#pragma once

#include <cstdint>
#include <string>

#include "lang/language_file.h"

namespace lang_test {

inline std::string Field(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  return out + std::string(width - out.size(), ' ');
}

inline std::string Header(const std::string& name, const std::string& face,
                          const std::string& charset, const std::string& count) {
  return Field(name, 32) + Field(face, 32) + Field(charset, 6) + Field(count, 6) + "  ";
}

inline std::string Int32(std::uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

inline std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

// A record with the given head fields and payload, valid or not.
inline std::string RawRecord(std::int32_t id, std::int32_t byteLength, std::int32_t charLength,
                             std::uint32_t check, const std::string& payload) {
  return Int32(static_cast<std::uint32_t>(id)) + Int32(static_cast<std::uint32_t>(byteLength)) +
         Int32(static_cast<std::uint32_t>(charLength)) + Int32(check) + payload;
}

inline std::string Record(std::int32_t id, const std::u16string& text) {
  auto chars = static_cast<std::int32_t>(text.size());
  return RawRecord(id, 2 * chars, chars, lang::RecordCheckValue(id, 2 * chars, chars), Utf16(text));
}

}  // namespace lang_test

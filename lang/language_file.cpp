#include "lang/language_file.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/text.h"

namespace lang {
namespace {

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kFaceOffset = 32;
constexpr std::size_t kCharSetOffset = 64;
constexpr std::size_t kCountOffset = 70;
constexpr std::int32_t kMaxSixDigits = 999999;

// Header texts are padded with blanks; files written by C programs sometimes
// pad with NUL bytes instead, which are treated as padding too.
constexpr std::string_view kPadding(" \0", 2);

// A number field: decimal digits with blanks anywhere, read as a number and
// rounded to the nearest integer.
std::int32_t ReadNumberField(std::string_view field) {
  const double value = std::nearbyint(platform::ReadDecimal(platform::RemoveChars(field, " ")));
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

std::int32_t ReadInt32(const char* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<std::int32_t>(v);
}

std::uint32_t ReadUInt32(const char* p) {
  return static_cast<std::uint32_t>(ReadInt32(p));
}

void AppendUInt32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::uint32_t RecordCheckValue(std::int32_t captionId, std::int32_t byteLength,
                               std::int32_t charLength) {
  std::uint32_t sum = (static_cast<std::uint32_t>(captionId) & 0x4000u) << 14;
  sum += static_cast<std::uint32_t>(byteLength) & 0x400u;
  sum <<= 10;
  sum += static_cast<std::uint32_t>(charLength) & 0x100u;
  return sum;
}

platform::Result<> ReadLanguageFile(std::string_view bytes, LanguageFileContent& content) {
  content = LanguageFileContent();
  if (bytes.size() < kHeaderSize) return platform::Result<>::Success();
  content.name = platform::TrimmedView(bytes.substr(kNameOffset, kNameFieldSize), kPadding);
  content.fontFace = platform::TrimmedView(bytes.substr(kFaceOffset, kNameFieldSize), kPadding);
  content.characterSet = ReadNumberField(bytes.substr(kCharSetOffset, kNumberFieldSize));
  content.recordCount = ReadNumberField(bytes.substr(kCountOffset, kNumberFieldSize));

  std::string_view data = bytes.substr(kHeaderSize);
  std::size_t pos = 0;
  for (std::int32_t n = 0; n < content.recordCount; ++n) {
    auto damaged = [&](const char* why) {
      return platform::Result<>::CallerMistake(
          "record " + std::to_string(n + 1) + " of " + std::to_string(content.recordCount) +
          " at byte " + std::to_string(kHeaderSize + pos) + " is damaged (" + why + ")");
    };
    if (data.size() - pos < kRecordHeadSize) {
      return damaged("the record head runs past the end of the file");
    }
    const char* head = data.data() + pos;
    std::int32_t id = ReadInt32(head);
    std::int32_t byteLength = ReadInt32(head + 4);
    std::int32_t charLength = ReadInt32(head + 8);
    std::uint32_t check = ReadUInt32(head + 12);
    if (check != RecordCheckValue(id, byteLength, charLength)) {
      return damaged("the check value does not match");
    }
    if (byteLength < 0 || charLength < 0) return damaged("a text length is negative");
    if (static_cast<std::int64_t>(byteLength) != 2 * static_cast<std::int64_t>(charLength)) {
      return damaged("the byte length is not twice the character length");
    }
    std::size_t rest = data.size() - pos - kRecordHeadSize;
    if (static_cast<std::size_t>(byteLength) > rest) {
      return damaged("the text runs past the end of the file");
    }
    const char* text = head + kRecordHeadSize;
    LanguageRecord record;
    record.captionId = id;
    record.text.resize(static_cast<std::size_t>(charLength));
    for (std::size_t i = 0; i < record.text.size(); ++i) {
      record.text[i] = static_cast<char16_t>(static_cast<unsigned char>(text[2 * i]) |
                                             static_cast<unsigned char>(text[2 * i + 1]) << 8);
    }
    content.records.push_back(std::move(record));
    pos += kRecordHeadSize + static_cast<std::size_t>(byteLength);
  }
  return platform::Result<>::Success();
}

platform::Result<> WriteLanguageFile(const LanguageFileContent& content, std::string& out) {
  out.clear();
  using platform::Result;
  if (content.name.size() > kNameFieldSize)
    return Result<>::CallerMistake("the language name is longer than 32 bytes");
  if (content.fontFace.size() > kNameFieldSize)
    return Result<>::CallerMistake("the font face name is longer than 32 bytes");
  if (content.characterSet < 0 || content.characterSet > kMaxSixDigits)
    return Result<>::CallerMistake("the character set must be a number from 0 to 999999");
  if (content.records.size() > static_cast<std::size_t>(kMaxSixDigits))
    return Result<>::CallerMistake("a language file holds at most 999999 records");

  auto padded = [](const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
  };
  auto number = [](std::int32_t value) {
    std::string digits = std::to_string(value);
    return std::string(kNumberFieldSize - digits.size(), ' ') + digits;
  };
  out += padded(content.name, kNameFieldSize);
  out += padded(content.fontFace, kNameFieldSize);
  out += number(content.characterSet);
  out += number(static_cast<std::int32_t>(content.records.size()));
  out += "  ";

  constexpr std::size_t kMaxChars = std::numeric_limits<std::int32_t>::max() / 2;
  for (const LanguageRecord& record : content.records) {
    if (record.text.size() > kMaxChars) {
      out.clear();
      return Result<>::CallerMistake("text of caption " + std::to_string(record.captionId) +
                                     " is too long");
    }
    auto chars = static_cast<std::int32_t>(record.text.size());
    std::int32_t bytes = 2 * chars;
    AppendUInt32(out, static_cast<std::uint32_t>(record.captionId));
    AppendUInt32(out, static_cast<std::uint32_t>(bytes));
    AppendUInt32(out, static_cast<std::uint32_t>(chars));
    AppendUInt32(out, RecordCheckValue(record.captionId, bytes, chars));
    for (char16_t unit : record.text) {
      out += static_cast<char>(unit & 0xFF);
      out += static_cast<char>(unit >> 8);
    }
  }
  return Result<>::Success();
}

}  // namespace lang

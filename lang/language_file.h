// The binary language file "terminal_??.lng": reading and writing its bytes.
//
// Layout (little-endian, fixed-width header fields):
//   0   32 bytes  language name, 8-bit text padded with blanks
//   32  32 bytes  font face name, 8-bit text padded with blanks
//   64   6 bytes  character set of the font, decimal digits (blanks allowed)
//   70   6 bytes  number of records, decimal digits (blanks allowed)
//   76   2 bytes  unused
//   78   records, one after the other:
//        int32 caption identifier, int32 text length in bytes,
//        int32 text length in UTF-16 units, uint32 check value,
//        then the text as UTF-16LE without terminator.
//
// These functions work on bytes in memory only; Languages (languages.h) finds
// and reads the files, the translators' tool (tool/language_tool.h) writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace lang {

inline constexpr std::size_t kHeaderSize = 78;
inline constexpr std::size_t kRecordHeadSize = 16;
inline constexpr std::size_t kNameFieldSize = 32;   // language name and font face
inline constexpr std::size_t kNumberFieldSize = 6;  // character set and record count

// The check value of a record head. Computed in unsigned 32-bit arithmetic
// where bits shifted out are lost, so the identifier's bit drops out and
// only bit 0x400 of the byte length and bit 0x100 of the character length
// remain. Writers must use the same computation.
std::uint32_t RecordCheckValue(std::int32_t captionId, std::int32_t byteLength,
                               std::int32_t charLength);

struct LanguageRecord {
  std::int32_t captionId = 0;
  std::u16string text;  // with its modifier part, if any
};

struct LanguageFileContent {
  std::string name;      // trimmed
  std::string fontFace;  // trimmed
  std::int32_t characterSet = 0;
  std::int32_t recordCount = 0;  // as the header states it
  // The intact records in file order, any identifier, duplicates included.
  std::vector<LanguageRecord> records;
};

// Reads a language file from its bytes into `content`. Never reads outside
// `bytes`. A file shorter than the header gives an empty name, face and no
// records.
//
// A record is damaged, and ends the reading, when its head does not fit in
// the rest of the file, its check value does not match, either length is
// negative, its byte length is not twice its character length (the two
// lengths disagree, so where the next record starts cannot be known), or its
// text does not fit in the rest of the file. The records before it stay in
// `content`, and the result (a caller mistake: the file is bad input) names
// the record, its offset in the file and the damage, e.g. "record 2 of 3 at
// byte 102 is damaged (the check value does not match)".
platform::Result<> ReadLanguageFile(std::string_view bytes, LanguageFileContent& content);

// Writes a language file. A caller mistake, naming the field, when the name
// or face does not fit its 32-byte field, the character set or the number of
// records does not fit its six digits, or a text is too long for a record.
platform::Result<> WriteLanguageFile(const LanguageFileContent& content, std::string& out);

}  // namespace lang

// The translators' caption table: UTF-8 text, one caption a line, the
// identifier, a tab, then the text with its optional modifier part:
//
//   9<TAB>Verlauf//B
//   14<TAB>Abbruch mit ESC//+6B
//
// Inside a text, "\\" stands for a backslash, "\t" for a tab, "\n" for a line
// break, "\r" for a carriage return and "\uXXXX" (four hex digits) for any
// single UTF-16 unit, so every text of a language file has a spelling. Empty
// lines and lines starting with "#" are ignored; a UTF-8 byte order mark and
// CR LF line ends are accepted.
//
// FormatCaptionTable() writes the canonical form (no comments, "\uXXXX" only
// for control characters and lone surrogates, LF line ends), which
// ParseCaptionTable() reads back to the same records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lang/language_file.h"
#include "platform/result.h"

namespace lang {

// Reads a caption table. Identifiers must be 1..300 and appear once. A table
// that breaks a rule is a caller mistake whose text names the line and the
// fault ("line 3: identifier 7 appears twice"), and leaves `records` empty;
// `warnings` (when given) collects lines that are valid but probably not
// meant, such as an unknown modifier part.
platform::Result<> ParseCaptionTable(std::string_view table, std::vector<LanguageRecord>& records,
                                     std::vector<std::string>* warnings = nullptr);

// Writes records as a caption table, in the given order.
std::string FormatCaptionTable(const std::vector<LanguageRecord>& records);

// Strict UTF-8 to UTF-16: false for malformed or overlong sequences,
// surrogates and values beyond U+10FFFF.
bool Utf8ToUtf16(std::string_view text, std::u16string& out);

}  // namespace lang

#include "lang/tool/caption_table.h"

#include <set>

#include "lang/languages.h"
#include "platform/text.h"

namespace lang {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Turns the escapes of a table text into the characters they stand for,
// then the UTF-8 pieces between them into UTF-16.
platform::Result<std::u16string> Unescape(std::string_view text) {
  std::u16string out;
  std::string error;
  std::string plain;
  auto flush = [&]() {
    std::u16string piece;
    if (!Utf8ToUtf16(plain, piece)) {
      error = "the text is not valid UTF-8";
      return false;
    }
    out += piece;
    plain.clear();
    return true;
  };
  auto failed = [&error] { return platform::Result<>::CallerMistake(error); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      plain += text[i];
      continue;
    }
    if (!flush()) return failed();
    if (i + 1 >= text.size()) {
      error = "the text ends in a lone backslash (write \\\\ for a backslash)";
      return failed();
    }
    char kind = text[++i];
    switch (kind) {
      case '\\':
        out += u'\\';
        break;
      case 't':
        out += u'\t';
        break;
      case 'n':
        out += u'\n';
        break;
      case 'r':
        out += u'\r';
        break;
      case 'u': {
        int value = 0;
        for (int k = 0; k < 4; ++k) {
          int digit = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
          if (digit < 0) {
            error = "\\u needs four hex digits";
            return failed();
          }
          value = value * 16 + digit;
          ++i;
        }
        out += static_cast<char16_t>(value);
        break;
      }
      default:
        error = std::string("unknown escape \\") + kind + " (write \\\\ for a backslash)";
        return failed();
    }
  }
  if (!flush()) return failed();
  return out;
}

// A modifier part holds at most one size marker and at most one "B"; blanks
// are harmless. Anything else is probably a typing error.
bool PlausibleModifiers(std::u16string_view text) {
  const platform::CaptionCut<char16_t> cut = platform::CutCaption(text);
  if (!cut.marked) return true;
  std::u16string_view part = cut.after;
  int markers = 0;
  int bold = 0;
  for (std::size_t i = 0; i < part.size(); ++i) {
    char16_t c = part[i];
    if (c == u' ') continue;
    if (c == u'B') {
      ++bold;
      continue;
    }
    if ((c == u'+' || c == u'-') && i + 1 < part.size()) {
      int step = part[i + 1] - u'0';
      if ((c == u'+' && step >= 1 && step <= 6) || (c == u'-' && step >= 1 && step <= 4)) {
        ++markers;
        ++i;
        continue;
      }
    }
    return false;
  }
  return markers <= 1 && bold <= 1;
}

std::string Escape(std::u16string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool pairedHigh = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pairedHigh) {
      out += ToUtf8(text.substr(i, 2));
      ++i;
    } else if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    } else {
      out += ToUtf8(text.substr(i, 1));
    }
  }
  return out;
}

}  // namespace

bool Utf8ToUtf16(std::string_view text, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    char32_t cp;
    std::size_t length;
    if (byte < 0x80) {
      cp = byte;
      length = 1;
    } else if ((byte & 0xE0) == 0xC0) {
      cp = byte & 0x1F;
      length = 2;
    } else if ((byte & 0xF0) == 0xE0) {
      cp = byte & 0x0F;
      length = 3;
    } else if ((byte & 0xF8) == 0xF0) {
      cp = byte & 0x07;
      length = 4;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += length;
  }
  return true;
}

platform::Result<> ParseCaptionTable(std::string_view table, std::vector<LanguageRecord>& records,
                                     std::vector<std::string>* warnings) {
  records.clear();
  table = platform::WithoutByteOrderMark(table);
  std::set<int> seen;
  int lineNumber = 0;
  while (!table.empty()) {
    ++lineNumber;
    std::size_t end = table.find('\n');
    std::string_view line = table.substr(0, end);
    table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const std::string& why) {
      records.clear();
      return platform::Result<>::CallerMistake("line " + std::to_string(lineNumber) + ": " + why);
    };
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return fail("expected an identifier, a tab and the text");
    std::string_view digits = line.substr(0, tab);
    int id = 0;
    bool valid = !digits.empty() && digits.size() <= 3;
    for (char c : digits) {
      valid = valid && c >= '0' && c <= '9';
      if (valid) id = id * 10 + (c - '0');
    }
    if (!valid || id < 1 || id > kMaxCaptionId)
      return fail("the identifier must be a number from 1 to 300, not \"" + std::string(digits) +
                  "\"");
    if (!seen.insert(id).second) return fail("identifier " + std::to_string(id) + " appears twice");
    LanguageRecord record;
    record.captionId = id;
    platform::Result<std::u16string> text = Unescape(line.substr(tab + 1));
    if (!text) return fail(text.Text());
    record.text = std::move(text).value();
    if (warnings && !PlausibleModifiers(record.text))
      warnings->push_back("line " + std::to_string(lineNumber) +
                          ": the part after \"//\" should hold one size marker (-4..-1, +1..+6) "
                          "and \"B\" only");
    records.push_back(std::move(record));
  }
  return platform::Result<>::Success();
}

std::string FormatCaptionTable(const std::vector<LanguageRecord>& records) {
  std::string out;
  for (const LanguageRecord& record : records)
    out += std::to_string(record.captionId) + "\t" + Escape(record.text) + "\n";
  return out;
}

}  // namespace lang

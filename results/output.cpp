#include "results/output.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "platform/text.h"

namespace results {

namespace {

// The length of the valid UTF-8 sequence at the start of `text`; 0 when its
// first byte does not start one (overlong forms and surrogates are invalid).
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (first < 0x80) return 1;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\r') {
      json += "\\r";
    } else if (c == '\t') {
      json += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else if (c < 0x80) {
      json += static_cast<char>(c);
    } else if (const std::size_t length = Utf8Length(text.substr(i)); length > 0) {
      json.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      json += "\\ufffd";
    }
    ++i;
  }
  return json + '"';
}

std::string Visible(std::string_view text) {
  std::string visible;
  const auto hex = [&visible](unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
    visible += escaped;
  };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8Length(text.substr(i));
    if (byte < 0x20) {
      visible += '^';
      visible += static_cast<char>(byte + '@');
    } else if (byte == 0x7F) {
      visible += "^?";
    } else if (length == 0) {
      hex(byte);  // not UTF-8: shown, never sent as it is
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // U+0080..U+009F, the 8-bit controls (U+009B starts a terminal's
      // command sequence): shown as the terminal shows them in its display.
      hex(static_cast<unsigned char>(text[i + 1]));
      i += 2;
      continue;
    } else {
      visible.append(text.substr(i, length));
      i += length;
      continue;
    }
    ++i;
  }
  return visible;
}

std::size_t DisplayWidth(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

Output::Output(std::ostream& out, Format format, std::vector<std::string> columns)
    : out_(out), format_(format), columns_(std::move(columns)) {}

void Output::Row(std::vector<Cell> cells) {
  cells.resize(columns_.size());
  if (format_ == Format::Table) {
    if (table_.empty()) table_.push_back(columns_);
    std::vector<std::string> texts;
    for (const Cell& cell : cells) texts.push_back(Visible(cell.text));
    table_.push_back(std::move(texts));
  } else if (format_ == Format::Csv) {
    std::string line;
    const auto write = [&line](const std::vector<std::string>& fields) {
      line.clear();
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += platform::CsvField(fields[i]);
      }
      line += "\r\n";
    };
    if (rows_ == 0) {
      write(columns_);
      out_ << line;
    }
    std::vector<std::string> fields;
    for (const Cell& cell : cells) fields.push_back(cell.text);
    write(fields);
    out_ << line;
  } else {
    std::string line = "{";
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (i > 0) line += ',';
      line += JsonString(columns_[i]) + ':';
      switch (cells[i].kind) {
        case Cell::Kind::Null:
          line += "null";
          break;
        case Cell::Kind::Number:
          line += cells[i].text;
          break;
        case Cell::Kind::Text:
          line += JsonString(cells[i].text);
          break;
      }
    }
    out_ << line << "}\n";
  }
  ++rows_;
}

void Output::Finish() {
  if (format_ == Format::Table && !table_.empty()) {
    std::vector<std::size_t> widths(columns_.size(), 0);
    for (const auto& row : table_) {
      for (std::size_t i = 0; i < row.size(); ++i)
        widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
    for (const auto& row : table_) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size()) line.append(widths[i] - DisplayWidth(row[i]) + 2, ' ');
      }
      // The last column is not padded; nor are empty cells at the line's end.
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out_ << line << '\n';
    }
    table_.clear();
  }
  out_.flush();
}

}  // namespace results

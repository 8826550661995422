// How halvorn-results prints what it found: an aligned table for a person at
// a terminal, CSV (RFC 4180) or JSON Lines for other programs.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace results {

enum class Format { Table, Csv, Jsonl };

// One value of a row: text, a whole number, or nothing (an SQL NULL, such as
// the end of a run that has not ended).
struct Cell {
  enum class Kind { Null, Text, Number };
  Kind kind = Kind::Null;
  std::string text;  // the number's digits for a Number

  static Cell Null() { return {}; }
  static Cell Text(std::string text) { return {Kind::Text, std::move(text)}; }
  static Cell Number(std::int64_t number) { return {Kind::Number, std::to_string(number)}; }
};

// A JSON string with its quotes: control bytes as \uXXXX (or \n, \t ...),
// UTF-8 kept; a byte that is not part of valid UTF-8 becomes U+FFFD, so the
// line is always valid JSON.
std::string JsonString(std::string_view text);
// Text for a table cell: control bytes shown as ^X (^J for LF, ^? for DEL),
// the 8-bit controls (U+0080..U+009F) and bytes that are not UTF-8 as \xNN,
// so that no value breaks a line or sends the terminal a command.
std::string Visible(std::string_view text);
// The width of `text` on a terminal: its UTF-8 characters.
std::size_t DisplayWidth(std::string_view text);

// Rows of named columns, written as they come (CSV, JSON Lines) or when
// Finish() is called (a table, whose widths need every row). Nothing at all
// is written for no rows, not even the header.
class Output {
 public:
  Output(std::ostream& out, Format format, std::vector<std::string> columns);
  void Row(std::vector<Cell> cells);
  void Finish();
  std::int64_t Rows() const { return rows_; }

 private:
  std::ostream& out_;
  Format format_;
  std::vector<std::string> columns_;
  std::vector<std::vector<std::string>> table_;  // the visible texts, header first
  std::int64_t rows_ = 0;
};

}  // namespace results

// Program files: prepared test sequences, one controller command per line,
// each optionally followed by the reply the controller should give:
//
//   LSPD=500
//   HSPD=5000,OK
//   'move out
//
// Parsing turns a file into one command line ("LSPD=500,HSPD=5000,'") and a
// parallel line of expected replies (" ,OK,move out") that the command engine
// walks in step with it. Both lines always hold the same number of commas.
//
// This header also holds the line-end rule shared with the AutoControl script
// files, because script loading sits above this layer and reuses it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace programs {

// Walks the lines of a text with every line end reduced to a single CR and
// TABs dropped: in a text without any CR every LF ends a line; in a text with
// a CR only CR does, and LFs vanish. So LF, CR LF and CR files all read the
// same, and no normalised copy of the text is built. A UTF-8 byte order mark
// at the start of the file is skipped, so a file saved by a Windows editor
// keeps its first line.
class NormalisedLines {
 public:
  // `file` must outlive the walker.
  explicit NormalisedLines(std::string_view file);
  // The number of lines (a text that ends with a line end has an empty last line).
  std::size_t Count() const { return count_; }
  // Replaces `line` with the next line; false once every line has been given.
  bool Next(std::string& line);

 private:
  std::string_view text_;
  char separator_;
  bool dropLf_;
  std::size_t count_;
  std::size_t position_ = 0;
};

// The characters a program name loses before it becomes part of a file name
// (the set ends with a blank).
inline constexpr std::string_view kProgramNameStrip = "/\\<>,.:;'{}[]|+=-_!@#$%^&*() ";

// The stored program file of key n: 1..10 give "test01.prg".."test10.prg";
// any other n gives "".
std::string StoredProgramFileName(int n);

// `name` without any character of kProgramNameStrip ("my-test.1" -> "mytest1").
std::string CleanProgramName(std::string_view name);

// The named program file: "test99" + CleanProgramName(name) + ".prg".
std::string NamedProgramFileName(std::string_view name);

struct ParsedProgram {
  std::string commandLine;   // every command, joined by ","
  std::string expectedLine;  // every expected slot, joined by ","
  bool aborted = false;      // the load was stopped: both lines are empty
};

// Parses the text of a program file, in time linear in its size. Each line,
// trimmed of blanks, is
//   empty                  -> ignored
//   "'" + text             -> command "'" (shown, never sent); expected = text
//                             with every "," turned into a blank, trimmed
//   command                -> expected " "
//   command "," expected   -> split at the first ","; further "," removed
// On a line that is not a comment, everything from the first "'" on is a
// remark and is dropped before the line is split. Blanks are trimmed
// throughout; an empty expected slot becomes a single blank.
//
// Before each line `beforeLine` is asked whether the load must stop (the
// operator pressed ESC): when it returns true, parsing ends with both lines
// empty and `aborted` set. After each line has been classified, `afterLine`
// receives the progress 100 * i / count rounded to the nearest integer (ties
// to even, at least 1) for line i of count; this is where the caller updates
// its progress bar and lets the window process events. Either callback may
// be empty.
ParsedProgram ParseProgram(std::string_view text, const std::function<bool()>& beforeLine,
                           const std::function<void(int percent)>& afterLine);

// The progress of line i (1-based) of count, as ParseProgram reports it.
int ProgressPercent(std::size_t i, std::size_t count);

}  // namespace programs

// halvorn-lang, the translators' tool, as a function the tests can call:
//
//   halvorn-lang build TABLE OUT.lng --name NAME --font FACE [--charset N]
//       writes a language file from a caption table (caption_table.h);
//       the character set defaults to 0.
//   halvorn-lang dump FILE.lng
//       prints the file's records as a caption table on standard output;
//       "build" of that output gives the same file back.
//   halvorn-lang info FILE.lng
//       prints the header: name, font face, character set, record count.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lang {

// Exit codes of the tool.
inline constexpr int kToolOk = 0;
inline constexpr int kToolFailed = 1;  // unreadable, invalid or damaged input; write failed
inline constexpr int kToolUsage = 2;   // wrong arguments

// Runs the tool with `args` (without the program name). The table and the
// dump go to `out`, messages and warnings to `err`.
int RunLanguageTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lang

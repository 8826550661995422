#include "lang/tool/language_tool.h"

#include "lang/language_file.h"
#include "lang/tool/caption_table.h"
#include "platform/files.h"
#include "platform/text.h"

namespace lang {
namespace {

constexpr const char* kUsage =
    "usage: halvorn-lang build TABLE OUT.lng --name NAME --font FACE [--charset N]\n"
    "       halvorn-lang dump FILE.lng\n"
    "       halvorn-lang info FILE.lng\n";

int Usage(std::ostream& err, const std::string& why) {
  err << "halvorn-lang: " << why << "\n" << kUsage;
  return kToolUsage;
}

// Checks what the header fields can hold and what the program does with
// the name: it is trimmed when read and the selector separates names by "|".
platform::Result<> CheckHeaderText(const std::string& what, const std::string& text) {
  using platform::Result;
  if (text.empty()) return Result<>::CallerMistake(what + " must not be empty");
  if (text.size() > kNameFieldSize) {
    return Result<>::CallerMistake(what + " \"" + text + "\" is longer than 32 bytes");
  }
  if (text.front() == ' ' || text.back() == ' ') {
    return Result<>::CallerMistake(what + " must not start or end with a blank");
  }
  if (text.find('|') != std::string::npos) {
    return Result<>::CallerMistake(what + " must not hold \"|\"");
  }
  return Result<>::Success();
}

int Build(const std::vector<std::string>& args, std::ostream& err) {
  std::vector<std::string> files;
  std::string name;
  std::string face;
  std::string charset = "0";
  bool haveName = false;
  bool haveFace = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--name" || arg == "--font" || arg == "--charset") {
      if (i + 1 >= args.size()) return Usage(err, arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--name") {
        name = value;
        haveName = true;
      } else if (arg == "--font") {
        face = value;
        haveFace = true;
      } else {
        charset = value;
      }
    } else if (arg.size() > 1 && arg.front() == '-') {
      return Usage(err, "unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return Usage(err, "build needs a table and an output file");
  if (!haveName) return Usage(err, "build needs --name");
  if (!haveFace) return Usage(err, "build needs --font");

  LanguageFileContent content;
  for (const auto& [what, text] :
       {std::pair<const char*, const std::string&>{"the language name", name},
        {"the font face", face}}) {
    if (const platform::Result<> fits = CheckHeaderText(what, text); !fits) {
      return Usage(err, fits.Text());
    }
  }
  content.name = name;
  content.fontFace = face;
  const std::optional<int> characterSet = platform::ReadWholeNumber(charset);
  if (!characterSet || *characterSet > 255)
    return Usage(err, "--charset must be a number from 0 to 255, not \"" + charset + "\"");
  content.characterSet = *characterSet;

  std::string table;
  if (platform::Result<> read = platform::ReadFile(files[0], table); !read) {
    err << "halvorn-lang: " << read.Text() << "\n";
    return kToolFailed;
  }
  std::vector<std::string> warnings;
  if (platform::Result<> parsed = ParseCaptionTable(table, content.records, &warnings); !parsed) {
    err << files[0] << ": " << parsed.Text() << "\n";
    return kToolFailed;
  }
  for (const std::string& warning : warnings) err << files[0] << ": warning: " << warning << "\n";

  std::string bytes;
  platform::Result<> written = WriteLanguageFile(content, bytes);
  if (written) written = platform::WriteFileAtomic(files[1], bytes);
  if (!written) {
    err << "halvorn-lang: " << written.Text() << "\n";
    return kToolFailed;
  }
  return kToolOk;
}

// Reads a language file for dump and info; false (reported) when it cannot
// be read or is too short to be one. `damage` tells why the reading of the
// records ended early.
bool Load(const std::string& path, LanguageFileContent& content, platform::Result<>& damage,
          std::ostream& err) {
  std::string bytes;
  if (platform::Result<> read = platform::ReadFile(path, bytes); !read) {
    err << "halvorn-lang: " << read.Text() << "\n";
    return false;
  }
  if (bytes.size() < kHeaderSize) {
    err << path << ": not a language file: shorter than its 78-byte header\n";
    return false;
  }
  damage = ReadLanguageFile(bytes, content);
  return true;
}

int ReportDamage(const std::string& path, const platform::Result<>& damage, std::ostream& err) {
  if (damage) return kToolOk;
  err << path << ": " << damage.Text() << "; the program reads the records before it only\n";
  return kToolFailed;
}

int Dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) return Usage(err, "dump needs one language file");
  LanguageFileContent content;
  platform::Result<> damage;
  if (!Load(args[1], content, damage, err)) return kToolFailed;
  out << FormatCaptionTable(content.records);
  return ReportDamage(args[1], damage, err);
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) return Usage(err, "info needs one language file");
  LanguageFileContent content;
  platform::Result<> damage;
  if (!Load(args[1], content, damage, err)) return kToolFailed;
  out << "name: " << content.name << "\n"
      << "font: " << content.fontFace << "\n"
      << "character set: " << content.characterSet << "\n"
      << "records: " << content.records.size() << " of " << content.recordCount << "\n";
  return ReportDamage(args[1], damage, err);
}

}  // namespace

int RunLanguageTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "no command");
  if (args[0] == "build") return Build(args, err);
  if (args[0] == "dump") return Dump(args, out, err);
  if (args[0] == "info") return Info(args, out, err);
  return Usage(err, "unknown command " + args[0]);
}

}  // namespace lang

#include "records/result_files.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace records {
namespace {

constexpr const char* kResultNameRemoved = " !@#$%^&*()+-={}[]:;'<,>.?/\"";
constexpr const char* kDefaultResultName = "MyTestData";

// A result name as it becomes part of a file name: without the characters
// the name rule removes, and without "\\" and control characters either, so
// it never names a folder or ends early (a NUL byte), and stays inside the
// results folder.
std::string CleanResultName(std::string_view name) {
  std::string base;
  for (char c : platform::RemoveChars(name, kResultNameRemoved)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c != '\\' && byte >= 0x20 && byte != 0x7F) base += c;
  }
  return base.empty() ? kDefaultResultName : base;
}

// The fields joined by commas, CR LF at the end. A title left empty is
// written as one blank, so the header keeps a column a reader can see.
std::string CsvLine(const std::vector<std::string>& fields, bool titles) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += platform::CsvField(titles && fields[i].empty() ? std::string(" ") : fields[i]);
  }
  return line + "\r\n";
}

// One file of an automatic save.
struct AutoResultFile {
  const char* suffix;
  const char* extension;
  const char* kind;
  std::string_view content;
};

}  // namespace

ResultFiles::ResultFiles(std::string dataRoot, TellLost tellLost, TellFile tellFile)
    : folders_(std::move(dataRoot)),
      tellLost_(std::move(tellLost)),
      tellFile_(std::move(tellFile)) {}

void ResultFiles::Tell(const std::string& path, const char* kind, int number,
                       std::string_view content, std::string failure) {
  if (!tellFile_) return;
  const std::string& root = folders_.GetDataRoot();
  std::string relative = path.starts_with(root) ? path.substr(root.size()) : path;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  tellFile_({relative, kind, number, content, std::move(failure)});
}

void ResultFiles::ReportLostRecord(const std::string& text) {
  if (tellLost_) tellLost_(text);
  ++recordsLost_;
}

void ResultFiles::OnScriptStart() {
  passCsvText_.clear();
  failCsvText_.clear();
}

void ResultFiles::OnCsvReset() {
  passCsvText_.clear();
  failCsvText_.clear();
}

void ResultFiles::OnCsvUpdate(const autocontrol::CsvUpdate& update) {
  std::string& target = update.passed ? passCsvText_ : failCsvText_;
  if (target.empty()) target = CsvLine(update.titles, true);
  target += CsvLine(update.values, false);
}

void ResultFiles::OnNumberedSave(int slot, std::string_view resultsText) {
  if (slot < 1 || slot > 9) return;
  const std::string path =
      folders_.DataPath("AppPrograms\\AutoControl\\testresults" + std::to_string(slot) + ".txt");
  platform::Result written = platform::WriteFileAtomic(path, resultsText);
  if (!written) ReportLostRecord("Result file not written: " + path + " (" + written.Text() + ")");
  Tell(path, "results", slot, resultsText, written ? "" : written.Text());
}

void ResultFiles::OnAutoSave(const autocontrol::AutoSave& save) {
  const std::string base = CleanResultName(save.name);
  std::vector<AutoResultFile> files = {{"", ".txt", "results", save.resultsText}};
  if (save.csvTables) {
    files.push_back({"_Pass", ".csv", "csv", passCsvText_});
    files.push_back({"_Fail", ".csv", "csv", failCsvText_});
  }
  const std::string folder = folders_.DataPath("AppPrograms\\AutoControl\\AutoResults");
  std::size_t next = 0;  // the first file not written yet
  for (int number = 1; number <= 9999 && next < files.size(); ++number) {
    std::string digits = std::to_string(number);
    digits.insert(0, 4 - digits.size(), '0');
    auto pathOf = [&](const AutoResultFile& f) {
      return platform::JoinPath(folder, base + digits + f.suffix + f.extension);
    };
    // A number any of whose names is taken (a file, a folder, a link leading
    // nowhere) is passed over whole.
    if (std::any_of(files.begin() + static_cast<std::ptrdiff_t>(next), files.end(),
                    [&](const AutoResultFile& f) { return platform::NameTaken(pathOf(f)); })) {
      continue;
    }
    for (; next < files.size(); ++next) {
      const std::string path = pathOf(files[next]);
      const platform::Result written = platform::WriteFileExclusive(path, files[next].content);
      // Another station took the name first: the rest go to the next number.
      if (written.Kind() == platform::ResultKind::CallerMistake) break;
      if (!written)
        ReportLostRecord("Result file not written: " + path + " (" + written.Text() + ")");
      Tell(path, files[next].kind, number, files[next].content, written ? "" : written.Text());
    }
  }
  for (; next < files.size(); ++next) {
    ReportLostRecord("Result file not written: every number of " + base + files[next].suffix +
                     " is taken");
    Tell(platform::JoinPath(folder, base + files[next].suffix + files[next].extension),
         files[next].kind, 0, files[next].content, "every number is taken");
  }
}

}  // namespace records

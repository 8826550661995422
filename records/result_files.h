// The result text files and the CSV tables of a script run, written from
// what the script publishes (autocontrol::ScriptListener): a numbered save
// with its results text, an automatic save with its name, a CSV row with its
// titles and values, the tables' reset and the script's start. The script
// decides what is kept and when; this class decides how it looks on disk.
//
// Files, all below DataRoot's "AppPrograms\AutoControl":
//   - testresults1.txt .. testresults9.txt: a numbered save, replaced
//     atomically;
//   - AutoResults\<name><nnnn>.txt and, while CSV tracking is on,
//     <name><nnnn>_Pass.csv and <name><nnnn>_Fail.csv: an automatic save,
//     under the first number 0001 .. 9999 whose names are all free, so the
//     files of one unit always share it; each file is new (never overwrites
//     one, even one another station wrote at the same moment).
// A CSV table is a header line of the column titles and one line a row,
// CR LF after each; a value is quoted only when it holds a CR, an LF, a
// comma or a double quote (RFC 4180), so a table that never needed quotes
// keeps the bytes it always had.
//
// A file that cannot be written is a lost record: told through `tellLost`
// (the display and standard error) and counted in RecordsLost(), which the
// exit status of a run without a window reads; the script goes on. Every
// file, written or lost, is also told through `tellFile` for the station's
// records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "autocontrol/script.h"
#include "platform/data_folders.h"

namespace records {

// A result file as it was written, or could not be.
struct ResultFile {
  std::string path;  // relative to the data root, "/" between names
  std::string kind;  // "results" (a text file) or "csv"
  int number = 0;    // 1 .. 9 of a numbered save; 1 .. 9999 of an automatic one
  std::string_view content;
  std::string failure;  // why it was not written; "" when it was
};

class ResultFiles : public autocontrol::ScriptListener {
 public:
  using TellLost = std::function<void(const std::string& text)>;
  using TellFile = std::function<void(const ResultFile& file)>;

  // `dataRoot`: the data folder the files go below (empty: the default).
  ResultFiles(std::string dataRoot, TellLost tellLost, TellFile tellFile = {});

  void OnScriptStart() override;
  void OnNumberedSave(int slot, std::string_view resultsText) override;
  void OnAutoSave(const autocontrol::AutoSave& save) override;
  void OnCsvUpdate(const autocontrol::CsvUpdate& update) override;
  void OnCsvReset() override;

  // The tables as an automatic save writes them now: empty, or a header
  // line and the rows since the script's start or the last reset.
  const std::string& PassCsvText() const { return passCsvText_; }
  const std::string& FailCsvText() const { return failCsvText_; }
  // Files that could not be written, one per file.
  std::int32_t RecordsLost() const { return recordsLost_; }

 private:
  void ReportLostRecord(const std::string& text);
  void Tell(const std::string& path, const char* kind, int number, std::string_view content,
            std::string failure = {});

  platform::DataFolders folders_;
  TellLost tellLost_;
  TellFile tellFile_;
  std::string passCsvText_;
  std::string failCsvText_;
  std::int32_t recordsLost_ = 0;
};

}  // namespace records

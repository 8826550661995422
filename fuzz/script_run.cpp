// A whole AutoControl script run: any bytes as the script file, a device
// link whose replies, an operator whose answers and dialogs whose verdicts
// come from the fuzz data. Loops that never end get ESC after a budget of
// steps. Result files are really written (to a folder in memory where one
// exists) and checked as the run goes and at its end: every file of a run
// lies in the results folders under a name of the result rules, the files
// of one automatic save share their number, CSV tables hold whole rows, and
// a [SHELLAPP] command reaches the program as the arguments it was written
// as.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "autocontrol/script.h"
#include "autocontrol/script_file.h"
#include "devices/link.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "engine/reply_format.h"
#include "platform/data_folders.h"
#include "records/result_files.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_transport.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A file of the data folder.
struct File {
  std::string folder, name;
};

// A data folder for all runs, emptied of results after each one. Its
// folders are watched: the watch names the files a run wrote, so no run
// walks the folders (which took longer than most runs) unless it made a
// folder.
class DataRoot {
 public:
  std::string path;
  std::string autoControl, autoResults;
  DataRoot() {
    char name[] = "/dev/shm/halvorn-fuzz-XXXXXX";
    char fallback[] = "/tmp/halvorn-fuzz-XXXXXX";
    const char* made = ::mkdtemp(name);
    if (!made) made = ::mkdtemp(fallback);
    Check(made != nullptr);
    path = std::string(made) + "/";
    platform::DataFolders folders(path);
    folders.EnsureDataFolders();
    autoControl = folders.DataPath("AppPrograms\\AutoControl");
    autoResults = folders.DataPath("AppPrograms\\AutoControl\\AutoResults");
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    Check(watch_ >= 0);
    std::vector<File> none;
    Walk(none);
  }
  ~DataRoot() {
    ::close(watch_);
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }

  // Takes away the files made, moved in or written since the last call, as
  // an operator collects results, and lists them; false when nothing was
  // written. A name whose file is gone again (a temporary file) is no file.
  bool Take(std::vector<File>& files) {
    files.clear();
    bool written = false, walk = false;
    std::set<std::pair<int, std::string>> named;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(watch_, events, sizeof events)) > 0;) {
      written = true;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        // A new folder (and what is in it already) or lost events: walk.
        if ((event->mask & (IN_ISDIR | IN_Q_OVERFLOW)) != 0 || event->len == 0 ||
            folders_.count(event->wd) == 0) {
          walk = true;
        } else {
          named.emplace(event->wd, event->name);
        }
      }
    }
    if (walk) {
      Walk(files);
      for (const File& file : files) ::unlink((file.folder + "/" + file.name).c_str());
    } else {
      for (const auto& [wd, name] : named) {
        const std::string& folder = folders_[wd];
        if (::unlink((folder + "/" + name).c_str()) == 0) files.push_back({folder, name});
      }
    }
    return written;
  }

 private:
  // Every file there is, and a watch on every folder.
  void Walk(std::vector<File>& files) {
    folders_[::inotify_add_watch(watch_, path.c_str(), kEvents)] = fs::path(path).parent_path();
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(path)) {
      if (e.is_directory()) {
        folders_[::inotify_add_watch(watch_, e.path().c_str(), kEvents)] = e.path().string();
      } else {
        files.push_back({e.path().parent_path().string(), e.path().filename().string()});
      }
    }
  }

  static constexpr std::uint32_t kEvents = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE;
  int watch_ = -1;
  std::map<int, std::string> folders_;  // by watch
};

class FuzzHost : public autocontrol::ScriptHost {
 public:
  FuzzHost(FuzzedDataProvider& data, engine::CommandEngine& engine,
           const engine::PlainReplyCapture& capture)
      : data_(data), engine_(engine), capture_(capture) {
    link_.answer = [this](const std::string&) { return data_.ConsumeRandomLengthString(24); };
    link_.afterSend = [this](const std::string&) {
      link_.status = static_cast<devices::LinkStatus>(data_.ConsumeIntegralInRange<int>(0, 3));
    };
  }

  void ExecuteOnSelectedDevice(const std::string& line) override {
    // A verification compares replies without the braces around them.
    Check(capture_.VerifyExpected.find_first_of("{}") == std::string::npos);
    if (data_.ConsumeIntegralInRange<int>(0, 7) == 0) return;  // no device selected
    engine_.ExecuteCommandLine(link_, 1, line, devices::LinkKind::Serial);
  }
  void SelectDeviceSlot(int slot) override { Check(slot >= 1 && slot <= 8); }
  void RefreshDevices() override {}
  void ResetDeviceSlot() override {}
  std::string SelectedDevice() override { return "Axis 01 {COM1:9600}"; }
  void SetShowMode(int mode) override { Check(mode >= 1 && mode <= 5); }
  platform::Result<> LoadProgram(int number, const std::string&) override {
    Check((number >= 1 && number <= 10) || number == 11);
    const int outcome = data_.ConsumeIntegralInRange<int>(0, 3);
    if (outcome == 0) return platform::Result<>::Cancelled("nothing loaded");
    if (outcome == 1) return platform::Result<>::NotFound("Program file not found: x");
    if (outcome == 2) return platform::Result<>::CallerMistake("Program file not read: x");
    program_ = data_.ConsumeRandomLengthString(64);
    engine_.State().ExpectedValuesLine = data_.ConsumeRandomLengthString(64);
    engine_.State().ExpectedValuesPresent = true;
    return platform::Result<>::Success();
  }
  std::string ProgramCommandLine() override { return program_; }
  std::string AskOperator(const std::string&, bool, bool passFail) override {
    static const char* const kVerdicts[] = {"PASS", "FAIL", "", "pass", "maybe"};
    if (passFail) return kVerdicts[data_.ConsumeIntegralInRange<int>(0, 4)];
    return data_.ConsumeRandomLengthString(32);
  }
  bool ShowPassFail(const std::string&, const std::string&, int) override {
    return data_.ConsumeBool();
  }
  void SelectLanguage(int index) override { Check(index >= 0 && index <= 8); }
  void PlaceMainWindow(const std::string&) override {}
  void Wait(double seconds) override { Check(seconds == 2.0); }
  std::tm LocalTime() override {
    std::tm t{};
    t.tm_year = data_.ConsumeIntegralInRange<int>(-1900, 8000);
    t.tm_mon = data_.ConsumeIntegralInRange<int>(0, 11);
    t.tm_mday = data_.ConsumeIntegralInRange<int>(1, 31);
    t.tm_hour = data_.ConsumeIntegralInRange<int>(0, 23);
    t.tm_min = data_.ConsumeIntegralInRange<int>(0, 59);
    t.tm_sec = data_.ConsumeIntegralInRange<int>(0, 60);
    return t;
  }
  bool StartProgram(const std::vector<std::string>& argv, bool) override {
    Check(!argv.empty() && !argv[0].empty());
    return data_.ConsumeBool();
  }
  void ReportError(const std::string& text) override { Check(!text.empty()); }

 private:
  FuzzedDataProvider& data_;
  engine::CommandEngine& engine_;
  const engine::PlainReplyCapture& capture_;
  testing_support::FakeTransport link_;
  std::string program_;
};

// "name" + four digits + ("" | "_Pass" | "_Fail") + (".txt" | ".csv"); the
// name and number part (the save's key) in `key`.
bool IsAutoResultName(const std::string& file, std::string& key, std::string& kind) {
  for (const char* suffix : {"_Pass.csv", "_Fail.csv", ".txt"}) {
    const std::string s = suffix;
    if (file.size() < s.size() + 5 || file.compare(file.size() - s.size(), s.size(), s) != 0)
      continue;
    key = file.substr(0, file.size() - s.size());
    kind = s;
    const std::string digits = key.substr(key.size() - 4);
    return digits.find_first_not_of("0123456789") == std::string::npos && digits != "0000";
  }
  return false;
}

// Every file of the run lies where results go, under a name the rules make;
// the CSV tables of a save have its text file's number.
void CheckResultFiles(const DataRoot& root, const std::vector<File>& files,
                      const records::ResultFiles& results) {
  std::set<std::string> texts, tables;
  for (const File& f : files) {
    Check(!f.name.empty() && f.name.front() != '.');  // no temporary file is left
    if (f.folder == root.autoControl) {
      Check(f.name.size() == 16 && f.name.rfind("testresults", 0) == 0 && f.name[11] >= '1' &&
            f.name[11] <= '9' && f.name.substr(12) == ".txt");
      continue;
    }
    Check(f.folder == root.autoResults);
    std::string key, kind;
    Check(IsAutoResultName(f.name, key, kind));
    for (unsigned char c : key) Check(c >= 0x20 && c != 0x7F && c != '\\');
    (kind == ".txt" ? texts : tables).insert(key);
  }
  if (results.RecordsLost() == 0) {
    for (const std::string& key : tables) Check(texts.count(key) == 1);
  }
}

// Takes away the files written since the last check, and checks them.
void CheckWritten(DataRoot& root, const records::ResultFiles& results) {
  std::vector<File> files;
  if (root.Take(files)) CheckResultFiles(root, files, results);
}

bool WholeRows(const std::string& table) {
  return table.empty() || (table.size() >= 2 && table.compare(table.size() - 2, 2, "\r\n") == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static DataRoot root;
  FuzzedDataProvider data(bytes, size);
  const std::string file = data.ConsumeRandomLengthString(4096);

  testing_support::FakeHost window;
  window.keepAppends = false;
  window.keepHistory = false;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine(window, capture);
  FuzzHost host(data, engine, capture);
  autocontrol::Script script(host, engine, capture, root.path, 0);
  records::ResultFiles results(root.path, [&](const std::string& text) {
    engine.DisplayExchange(text, "", "", engine::kMessageLine, 0);
    host.ReportError(text);
  });
  script.AddListener(results);
  if (!script.LoadScriptText(autocontrol::BuildScriptText(file))) {
    CheckWritten(root, results);
    return 0;
  }

  // The operator presses ESC after a budget of steps, and while a line runs
  // after a budget of event pumps: a block whose condition never holds runs
  // until ESC, as it would at a station. A loop shows what it does in its
  // first passes; larger budgets (400 steps, 3000 pumps) reached no more
  // code and made most of the time go to loops repeating themselves.
  const int budget = data.ConsumeIntegralInRange<int>(1, 150);
  const int pumps = data.ConsumeIntegralInRange<int>(1, 500);
  window.onDoEvents = [&] {
    if (window.doEventsCalls < pumps || !engine.State().EngineRunning) return;
    engine.State().AbortRequest = true;
    script.OnEscape();
  };
  using autocontrol::StepResult;
  StepResult result = StepResult::Idle;
  for (int step = 0;
       step < budget + 60 && (result == StepResult::GoOn || result == StepResult::Idle); ++step) {
    if (step == budget) script.OnEscape();
    result = script.ScriptStep();
    Check(capture.ReplyCaptureSlot == 0 && !engine.State().EngineRunning);
    // A save looks for the first free number from 0001 on, so saves in a
    // loop would cost the square of their count: the files are checked and
    // taken away now and then, as an operator collects them.
    if (step % 8 == 7) CheckWritten(root, results);
  }
  Check(WholeRows(results.PassCsvText()) && WholeRows(results.FailCsvText()));
  Check(capture.FailCount >= 0 && results.RecordsLost() >= 0);
  Check(script.SubstituteVariables(file).find(' ') == std::string::npos);
  // [SHELLAPP] arguments: without quotes and backslashes, the words of the
  // text between blanks and tabs, nothing else.
  if (file.find_first_of("\"\\") == std::string::npos) {
    std::vector<std::string> words;
    std::string word;
    for (char c : file + " ") {
      if (c != ' ' && c != '\t') {
        word += c;
      } else if (!word.empty()) {
        words.push_back(std::move(word));
        word.clear();
      }
    }
    Check(autocontrol::SplitCommandLine(file) == words);
  }
  CheckWritten(root, results);
  return 0;
}

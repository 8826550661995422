#include "programs/program_loader.h"

#include <utility>

#include "engine/reply_format.h"
#include "platform/files.h"
#include "programs/program_file.h"

namespace programs {
namespace {

constexpr const char* kDialogTitle = "Select Program File";
constexpr const char* kDialogFilter =
    "Program Files (*.prg)|*.prg|CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt";
constexpr const char* kDialogOptions = "NZI";

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ProgramBarMarkup(int percent) {
  if (percent >= 100) return "100%BLUE";
  return std::to_string(percent) + "%BLUE|" + std::to_string(100 - percent) + "%GRAY";
}

// The progress display of one load: the loading flags, the busy window and
// the bar with the percentage it shows. Whatever way a load ends, the flags
// are cleared with this object, so a key is never refused for good.
struct ProgramLoader::Progress {
  ProgramLoader& loader;
  int shown = 1;

  explicit Progress(ProgramLoader& owner) : loader(owner) {
    loader.ProgramLoading = true;
    loader.ProgramLoadAbort = false;
    loader.host_.EnterBusyState();
    loader.host_.ShowProgramBar(ProgramBarMarkup(shown));
  }
  ~Progress() {
    loader.ProgramLoading = false;
    loader.ProgramLoadAbort = false;
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Show(int percent) {
    if (percent == shown) return;
    shown = percent;
    loader.host_.ShowProgramBar(ProgramBarMarkup(percent));
  }
};

ProgramLoader::ProgramLoader(engine::CommandEngine& engine, ProgramHost& host, std::string dataRoot)
    : engine_(engine), host_(host), folders_(std::move(dataRoot)) {}

std::string ProgramLoader::ProgramFolder() const {
  return folders_.DataPath("AppPrograms");
}

void ProgramLoader::Message(const std::string& text) {
  engine_.DisplayExchange(text, "", "", engine::kMessageLine, 0);
}

void ProgramLoader::DiscardProgram() {
  ProgramCommandLine.clear();
  engine_.State().ExpectedValuesLine.clear();
  engine_.State().ExpectedValuesPresent = false;
}

bool ProgramLoader::LoadProgram(int n, const std::string& name) {
  // Loading pumps events after every line, and a script tick can arrive
  // meanwhile; a second load would tear the first one's lines apart.
  if (ProgramLoading) return false;

  engine::EngineState& state = engine_.State();
  state.LastReply.clear();
  state.BitMask = -1;
  // A program that was loaded but never ran must not lend its expected
  // replies to whatever runs next.
  DiscardProgram();

  bool loaded = false;
  error_ = LoadError();
  if (n >= 1 && n <= 10) {
    // A name that cleans down to nothing still names test99.prg: a script
    // that asked for a named program never runs a stored one by accident.
    fileName_ = name.empty() ? StoredProgramFileName(n) : NamedProgramFileName(name);
    const std::string path = folders_.DataPath("AppPrograms\\" + fileName_);
    if (platform::NameTaken(path)) {
      loaded = LoadFile(path, fileName_);
    } else {
      error_ = {LoadError::Kind::NotFound, "Program file not found: " + fileName_};
    }
  } else if (n == 11 || n == 12) {
    const std::string path =
        host_.ChooseFile(kDialogTitle, ProgramFolder(), kDialogFilter, kDialogOptions);
    if (!path.empty()) {
      fileName_ = BaseName(path);
      loaded = LoadFile(path, fileName_);
    }
  }

  if (!loaded) {
    host_.HideProgramBar();
    host_.LeaveBusyState();
    return false;
  }
  Message("Run: " + fileName_);
  return true;
}

bool ProgramLoader::LoadFile(const std::string& path, const std::string& fileName) {
  Message("Load: " + fileName);
  host_.SetRunningName(fileName);
  Progress progress(*this);

  std::string bytes;
  if (platform::Result read = platform::ReadFile(path, bytes); !read) {
    error_ = {LoadError::Kind::NotRead, "Program file not read: " + read.Text()};
    Message(error_.text);
    return false;
  }
  if (bytes.empty()) return false;

  ParsedProgram parsed = ParseProgram(
      bytes, [this] { return ProgramLoadAbort; },
      [this, &progress](int percent) {
        progress.Show(percent);
        host_.DoEvents();
      });
  // ESC that reaches the window during the pump after the last line still
  // stops the run the operator asked to abort.
  if (parsed.aborted || ProgramLoadAbort) return false;
  // Nothing to send (blank lines or remarks only): an empty line would make
  // the window run whatever stands in its command entry instead.
  if (parsed.commandLine.empty()) return false;

  ProgramCommandLine = std::move(parsed.commandLine);
  engine::EngineState& state = engine_.State();
  state.ExpectedValuesLine = std::move(parsed.expectedLine);
  state.ExpectedValuesPresent = true;
  return true;
}

}  // namespace programs

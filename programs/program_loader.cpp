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

platform::Result<> ProgramLoader::LoadProgram(int n, const std::string& name) {
  using platform::Result;
  // Loading pumps events after every line, and a script tick can arrive
  // meanwhile; a second load would tear the first one's lines apart.
  if (ProgramLoading) return Result<>::Cancelled("another program is being loaded");

  engine::EngineState& state = engine_.State();
  state.LastReply.clear();
  state.BitMask = -1;
  // A program that was loaded but never ran must not lend its expected
  // replies to whatever runs next.
  DiscardProgram();

  Result<> loaded = Result<>::Cancelled("program " + std::to_string(n) + " names no program");
  if (n >= 1 && n <= 10) {
    // A name that cleans down to nothing still names test99.prg: a script
    // that asked for a named program never runs a stored one by accident.
    fileName_ = name.empty() ? StoredProgramFileName(n) : NamedProgramFileName(name);
    const std::string path = folders_.DataPath("AppPrograms\\" + fileName_);
    if (platform::NameTaken(path)) {
      loaded = LoadFile(path, fileName_);
    } else {
      loaded = Result<>::NotFound("Program file not found: " + fileName_);
    }
  } else if (n == 11 || n == 12) {
    const std::string path =
        host_.ChooseFile(kDialogTitle, ProgramFolder(), kDialogFilter, kDialogOptions);
    if (path.empty()) {
      loaded = Result<>::Cancelled("no program file was chosen");
    } else {
      fileName_ = BaseName(path);
      loaded = LoadFile(path, fileName_);
    }
  }

  if (!loaded) {
    host_.HideProgramBar();
    host_.LeaveBusyState();
    return loaded;
  }
  Message("Run: " + fileName_);
  return loaded;
}

platform::Result<> ProgramLoader::LoadFile(const std::string& path, const std::string& fileName) {
  using platform::Result;
  Message("Load: " + fileName);
  host_.SetRunningName(fileName);
  Progress progress(*this);

  std::string bytes;
  if (Result<> read = platform::ReadFile(path, bytes); !read) {
    const std::string text = "Program file not read: " + read.Text();
    Message(text);
    return read.Kind() == platform::ResultKind::SystemFailure
               ? Result<>::SystemFailureSaying(text, read.ErrorNumber())
               : Result<>::CallerMistake(text);
  }
  if (bytes.empty()) return Result<>::Cancelled(fileName + " is empty");

  ParsedProgram parsed = ParseProgram(
      bytes, [this] { return ProgramLoadAbort; },
      [this, &progress](int percent) {
        progress.Show(percent);
        host_.DoEvents();
      });
  // ESC that reaches the window during the pump after the last line still
  // stops the run the operator asked to abort.
  if (parsed.aborted || ProgramLoadAbort) return Result<>::Cancelled("loading was aborted");
  // Nothing to send (blank lines or remarks only): an empty line would make
  // the window run whatever stands in its command entry instead.
  if (parsed.commandLine.empty()) return Result<>::Cancelled(fileName + " holds no command");

  ProgramCommandLine = std::move(parsed.commandLine);
  engine::EngineState& state = engine_.State();
  state.ExpectedValuesLine = std::move(parsed.expectedLine);
  state.ExpectedValuesPresent = true;
  return Result<>::Success();
}

}  // namespace programs

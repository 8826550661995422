#include "console/headless_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "autocontrol/script_file.h"
#include "console/line_editor.h"
#include "console/stop_signals.h"
#include "platform/files.h"
#include "platform/text.h"
#include "programs/program_file.h"
#include "records/run_report.h"
#include "screens/dialogs.h"
#include "screens/main_form.h"
#include "ui/contract/plot_data.h"
#include "ui/contract/window.h"

namespace app {
namespace {

// An answers file is read whole at the start; a program file for --program
// is a list of commands. Anything larger is a mistake, not a test.
constexpr std::uint64_t kAnswersLimit = 16 << 20;
constexpr std::uint64_t kProgramLimit = 1 << 20;

// Standard output as a reader of the display: every entry written as it is
// appended, the stream flushed only at the display's flush points. Once a
// write fails (its reader went away, a full disk) nothing more is written
// there, and onLost hears of it once.
class StandardOutput : public engine::DisplayListener {
 public:
  explicit StandardOutput(std::ostream& out) : out_(out) {}
  void Entry(std::string_view text) override {
    if (lost_) return;
    if (showControls) {
      const std::string shown = ShownOnATerminal(text);
      out_.write(shown.data(), static_cast<std::streamsize>(shown.size()));
    } else {
      out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    Check();
  }
  void Flush() override {
    if (lost_) return;
    out_.flush();
    Check();
  }
  std::function<void()> onLost;
  // Standard output is a terminal: control bytes are shown, not obeyed.
  bool showControls = false;

 private:
  void Check() {
    if (out_.good() || lost_) return;
    lost_ = true;
    if (onLost) onLost();
  }
  std::ostream& out_;
  bool lost_ = false;
};

}  // namespace

std::string ShownOnATerminal(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n' || c == '\t' || (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0) {
      shown += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      shown += '^';
      shown += static_cast<char>(byte ^ 0x40);  // ^[ for ESC, ^? for DEL
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return shown;
}

namespace {

void Drain(ui::headless::HeadlessGui& gui) {
  while (gui.PendingEvents() > 0) gui.DoEvents();
}

// One headless run, from its checks to its exit status.
class HeadlessRun : public StationListener, private OperatorAnswers, private RunReport::Run {
 public:
  HeadlessRun(ui::headless::HeadlessGui& gui, Application& application,
              const HeadlessOptions& options, ProgramIo& io)
      : gui_(gui),
        app_(application),
        options_(options),
        io_(io),
        standardOutput_(io.out),
        report_(RunName(), options.execLine || options.RunsProgram(), !options.reportFile.empty(),
                [&gui] { return gui.Now(); }) {}
  ~HeadlessRun() override {
    app_.RemoveListener(*this);
    app_.RemoveExchangeListener(report_);
    app_.RemoveScriptListener(report_);
    app_.SetDisplayListener(nullptr);
    stop_signals::Uninstall();
    if (answersFd_ >= 0) ::close(answersFd_);
  }
  HeadlessRun(const HeadlessRun&) = delete;
  HeadlessRun& operator=(const HeadlessRun&) = delete;

  int Run();

  // The script's end ends the run; the operator's answers and the devices
  // that could not be opened go into the report.
  void OnScriptEnded(autocontrol::StepResult /*result*/) override { gui_.Quit(0); }
  void OnOperatorAnswer(const std::string& prompt, const std::string& answer,
                        bool /*passFail*/) override {
    report_.OperatorAnswer(prompt, answer);
  }
  void OnDeviceNotAvailable(const std::string& entry, const std::string& reason) override {
    // An entry that did not open, and why, is on standard error with its message box.
    if (entry.empty()) io_.err << "halvorn-terminal: " << reason << ": the line was not sent\n";
    report_.DeviceNotAvailable(entry, reason);
  }

 private:
  std::string RunName() const;
  int Usage(const std::string& text);
  bool OpenAnswers();
  void Listen();
  std::optional<std::string> Answer(const std::string& form, const std::string& shown) override;
  // RunReport::Run
  std::string ExchangeSource() const override;
  RunReport::Properties Variables() const override;
  bool SelectDevice();
  bool DeliverSignals();
  void Escape() { gui_.Inject({kMainForm, tmain::kEscKey, ui::event::kClick, 0}); }
  void Enter(const std::string& line);
  int RunOneLine();
  int RunProgramFile();
  int RunLineTerminal();
  int Stop();
  int Finish(int status);
  int Status() const;

  ui::headless::HeadlessGui& gui_;
  Application& app_;
  const HeadlessOptions& options_;
  ProgramIo& io_;
  StandardOutput standardOutput_;
  RunReport report_;
  std::istringstream answersText_;
  int answersFd_ = -1;
  std::unique_ptr<ProgramIo> answerIo_;
  std::unique_ptr<LineReader> answers_;
  int delivered_ = 0;         // SIGINTs delivered as ESC keys
  bool stopping_ = false;     // a stop signal has been acted on
  bool lineAborted_ = false;  // ... and its ESC reached a running line
  bool deviceMissing_ = false;
  bool reportLost_ = false;
  bool plotLost_ = false;
};

std::string HeadlessRun::RunName() const {
  if (options_.execLine) return "exec";
  if (options_.programNumber != 0) return programs::StoredProgramFileName(options_.programNumber);
  if (!options_.programFile.empty()) {
    return options_.programFile.substr(options_.programFile.find_last_of('/') + 1);
  }
  const std::string path =
      autocontrol::ScriptFilePath(app_.Folders().GetDataRoot(), options_.scriptNumber);
  return path.substr(path.find_last_of('/') + 1);
}

int HeadlessRun::Usage(const std::string& text) {
  io_.err << "halvorn-terminal: " << text << "\n";
  return kExitUsage;
}

bool HeadlessRun::OpenAnswers() {
  const std::string& path = options_.answersFile;
  if (path.empty()) {
    answerIo_ = std::make_unique<ProgramIo>(ProgramIo{io_.in, io_.out, io_.err, io_.inputFd});
  } else {
    // A pipe or a terminal passes: it is read as it comes.
    if (const platform::Result<> readable =
            platform::CheckReadableFileOrStream(path, kAnswersLimit);
        !readable) {
      Usage("cannot read the answers file " + platform::Quoted(path) + ": " + readable.Text());
      return false;
    }
    if (platform::FileExists(path)) {
      std::string bytes;
      const platform::Result<> read = platform::ReadFile(path, bytes);
      if (!read) {
        Usage("cannot read the answers file " + platform::Quoted(path) + ": " + read.Text());
        return false;
      }
      if (bytes.find('\0') != std::string::npos) {
        Usage("the answers file " + platform::Quoted(path) +
              " holds NUL bytes: it is no text file");
        return false;
      }
      answersText_.str(std::move(bytes));
      answerIo_ = std::make_unique<ProgramIo>(ProgramIo{answersText_, io_.out, io_.err, -1});
    } else {
      // A pipe (such as a shell's process substitution) is read as it comes.
      // Opened without waiting for a writer: the wait for one is the wait
      // for the first answer, where a signal is heard like anywhere else.
      answersFd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (answersFd_ < 0) {
        Usage("cannot read the answers file " + platform::Quoted(path) + ": " +
              std::strerror(errno));
        return false;
      }
      answerIo_ = std::make_unique<ProgramIo>(ProgramIo{io_.in, io_.out, io_.err, answersFd_});
    }
  }
  answers_ = std::make_unique<LineReader>(*answerIo_);
  return true;
}

// Hooks the run's output, dialogs, signals and report into the application.
void HeadlessRun::Listen() {
  app_.SetDisplayListener(&standardOutput_);
  // What a controller sends reaches an operator's terminal as text: an
  // escape sequence in a reply must not recolour, move or clear the screen.
  standardOutput_.showControls = io_.outputFd >= 0 && ::isatty(io_.outputFd) == 1;
  standardOutput_.onLost = [this] {
    // Said where it can still be read, if anywhere.
    io_.err << "halvorn-terminal: standard output "
            << (stop_signals::StopSignal() == SIGPIPE ? "was closed by its reader" : "failed")
            << ": nothing more of the display is written there\n";
    io_.err.flush();
  };
  app_.AddExchangeListener(report_);
  gui_.onIdle = [this] { return DeliverSignals(); };
  app_.SetOperatorAnswers(this);
  app_.AddListener(*this);
  // Help has nothing to open without a window: its path is printed.
  gui_.onOpen = [this](const std::string& path) {
    io_.err << "halvorn-terminal: help: " << path << "\n";
    io_.err.flush();
  };
  report_.SetRun(this);
}

std::string HeadlessRun::ExchangeSource() const {
  // The expected values of a program file are present while it runs.
  return app_.Engine().State().ExpectedValuesPresent ? app_.Programs().FileName() : std::string();
}

RunReport::Properties HeadlessRun::Variables() const {
  RunReport::Properties variables;
  const auto& bank = app_.Script().State().ScriptVariables;
  for (std::size_t n = 0; n < bank.size(); ++n) {
    if (!bank[n].empty()) variables.emplace_back("V" + std::to_string(n + 1), bank[n]);
  }
  return variables;
}

// Operator dialogs print what they show on standard error and take their
// answers line by line; SIGINT, a stop and the end of the input answer ESC.
std::optional<std::string> HeadlessRun::Answer(const std::string& form, const std::string& shown) {
  io_.err << shown;
  if (shown.empty() || shown.back() != '\n') io_.err << "\n";
  io_.err.flush();
  if (form == kMessageForm) return std::string("OK");
  std::string line;
  for (;;) {
    if (stop_signals::StopSignal() != 0) {
      DeliverSignals();
      return std::string("ESC");
    }
    if (stop_signals::Escapes() > delivered_) {
      delivered_ = stop_signals::Escapes();
      return std::string("ESC");
    }
    if (answers_->Next(line, 0.1)) {
      std::erase(line, '\0');  // a NUL would cut a result file's name short
      return line;
    }
    if (answers_->AtEnd()) return std::nullopt;
  }
}

// Feeds pending SIGINTs to the window as ESC keys, and acts on a stop: no
// further script step, and a running line (or a program being loaded) gets
// its ESC now. Called whenever the window is idle or pumps events.
bool HeadlessRun::DeliverSignals() {
  // A script's first step starts it afresh, ESC state included: a SIGINT
  // that came before is the ESC key at the first step.
  const bool scriptWaits =
      app_.Shell().AutoControlMode != 0 && app_.Script().State().LineCount == -1;
  bool queued = false;
  if (stop_signals::StopSignal() != 0 && !stopping_) {
    stopping_ = true;
    gui_.StopTimer(kMainForm, tmain::kScriptTimer);
    gui_.Quit(0);
    const engine::EngineState& engine = app_.Engine().State();
    if (engine.EngineRunning || app_.Programs().ProgramLoading) {
      lineAborted_ = engine.EngineRunning;
      Escape();
      queued = true;
    }
  }
  if (stop_signals::Escapes() > delivered_ && !scriptWaits) {
    delivered_ = stop_signals::Escapes();
    if (!stopping_) {
      Escape();
      queued = true;
    }
  }
  return queued;
}

// Runs `line` as the Enter key runs the command entry.
void HeadlessRun::Enter(const std::string& line) {
  gui_.SetText({kMainForm, tmain::kCommandEntry}, line);
  gui_.Inject({kMainForm, tmain::kEnterKey, ui::event::kClick, 0});
  Drain(gui_);
}

// --device N, or for a run of one line the device the list selected.
bool HeadlessRun::SelectDevice() {
  const std::size_t count = app_.DeviceList().size();
  std::string missing;
  if (options_.device && static_cast<std::size_t>(*options_.device) >= count) {
    missing = "--device " + std::to_string(*options_.device) + " is not in the device list (" +
              (count == 0 ? std::string("it is empty")
                          : std::to_string(count) + " entr" + (count == 1 ? "y" : "ies") +
                                ": 0 to " + std::to_string(count - 1)) +
              ")";
  } else if (options_.device) {
    gui_.SelectItem({kMainForm, tmain::kDeviceSelector}, *options_.device);
  } else if ((options_.execLine || options_.RunsProgram()) && app_.SelectedDevice().empty()) {
    missing = "no device is selected: the device list is empty";
  }
  if (missing.empty()) return true;
  io_.err << "halvorn-terminal: " << missing << "\n";
  report_.DeviceNotAvailable("", missing);
  deviceMissing_ = true;
  return false;
}

int HeadlessRun::Run() {
  stop_signals::Install();
  if (!OpenAnswers()) return kExitUsage;
  if (!options_.plotFile.empty() &&
      ui::PlotFileKindOf(options_.plotFile) == ui::PlotFileKind::Picture &&
      !ui::DrawsPlotPictures()) {
    return Usage("--plot " + platform::Quoted(options_.plotFile) +
                 ": this build has no window to draw a picture of the plot; a .csv file works");
  }
  // A file the run would lose at its end is said before it starts.
  for (const auto& [what, path] :
       {std::pair{"report", &options_.reportFile}, std::pair{"plot", &options_.plotFile}}) {
    if (path->empty()) continue;
    if (const platform::Result<> writable = platform::CheckWritable(*path); !writable) {
      io_.err << "halvorn-terminal: the " << what << " " << platform::Quoted(*path)
              << " cannot be written: " << writable.Text() << "\n";
      return kExitRecordLost;
    }
  }
  Listen();
  app_.Start(options_.Start());
  app_.AddScriptListener(report_);
  if (options_.listDevices) {
    for (const std::string& entry : app_.DeviceList()) io_.out << entry << "\n";
    io_.out.flush();
    if (app_.DeviceList().empty()) {
      io_.err << "halvorn-terminal: no devices found. Serial controllers are listed in " << '"'
              << app_.Folders().DataPath("AppConfig\\COMM_Ports.cfg") << '"'
              << ", one a line; HID boards and USB controllers come from their access "
                 "libraries (docs/access-libraries.md)\n";
      return stop_signals::StopSignal() != 0 ? kExitSignal + stop_signals::StopSignal()
                                             : kExitDeviceNotAvailable;
    }
    return stop_signals::StopSignal() != 0 ? kExitSignal + stop_signals::StopSignal() : kExitOk;
  }
  const bool script = app_.Shell().AutoControlMode;
  if (!options_.reportFile.empty() && !options_.execLine && !options_.RunsProgram() && !script) {
    return Usage("--report needs a run with verdicts: a start-up script, --exec or --program");
  }
  if (!SelectDevice()) return Finish(kExitDeviceNotAvailable);
  if (stop_signals::StopSignal() != 0) return Stop();  // while the program started
  if (options_.execLine) return RunOneLine();
  if (options_.RunsProgram()) return RunProgramFile();
  if (script) {
    // The script timer drives the script on real time until it ends or
    // closes the application, or a stop signal ends the run.
    gui_.Run();
    return stop_signals::StopSignal() != 0 ? Stop() : Finish(Status());
  }
  return RunLineTerminal();
}

int HeadlessRun::RunOneLine() {
  // A SIGINT that came while the program started is taken at the line's
  // first check, before its first command goes out.
  Enter(*options_.execLine);
  if (stop_signals::StopSignal() != 0) return Stop();
  // A SIGINT stopped the line: the run did not do what it was asked.
  if (stop_signals::Escapes() > 0) return Finish(kExitSignal + SIGINT);
  return Finish(Status());
}

int HeadlessRun::RunProgramFile() {
  const int number = options_.programNumber;
  const std::string path =
      number != 0
          ? app_.Folders().DataPath("AppPrograms\\" + programs::StoredProgramFileName(number))
          : options_.programFile;
  if (const platform::Result<> readable = platform::CheckReadableFile(path, kProgramLimit);
      !readable) {
    return Usage("cannot read the program file " + platform::Quoted(path) + ": " + readable.Text());
  }
  // The program file dialog of Ctrl+O picks the file.
  gui_.fileDialogResponder = [path](const ui::FileDialogRequest&) { return path; };
  const bool ran = app_.RunProgramKey(number != 0 ? number : 11);
  Drain(gui_);
  if (stop_signals::StopSignal() != 0) return Stop();
  if (stop_signals::Escapes() > 0) return Finish(kExitSignal + SIGINT);
  if (!ran) return Usage("the program file " + platform::Quoted(path) + " holds no command");
  return Finish(Status());
}

// Every input line runs as the Enter key would run the command entry. An
// operator at a terminal edits the line and recalls the lines typed before
// with Up and Down.
int HeadlessRun::RunLineTerminal() {
  std::unique_ptr<LineEditor> editor = LineEditor::Open(io_.inputFd, io_.outputFd, "> ");
  LineReader reader(io_);
  std::string line;
  for (bool atEnd = false;;) {
    if (DeliverSignals() && editor) editor->Pause();  // the ESC key prints next
    Drain(gui_);
    if (stop_signals::StopSignal() != 0) {
      editor.reset();  // the terminal as it was, before anything is printed
      return Stop();
    }
    if (atEnd) break;
    stop_signals::Settle(delivered_);  // idle: the next SIGINT is ESC again
    app_.FlushDisplay();               // everything so far is out before the wait
    bool got = false;
    if (editor) {
      const LineEditor::Status status = editor->ReadLine(line, 0.1);
      got = status == LineEditor::Status::Line;
      atEnd = status == LineEditor::Status::End;
      if (status == LineEditor::Status::Escape) Escape();
    } else {
      got = reader.Next(line, 0.1);
      atEnd = reader.AtEnd();
    }
    if (got) Enter(line);
  }
  return Finish(Status());
}

// The end after a stop signal: ESC as the window would take it (the line
// running at the signal has sent "ABORT"; otherwise ESC now sends it to the
// selected device), the script's ESC path saves, the report, 128 + signal.
int HeadlessRun::Stop() {
  const int signal = stop_signals::StopSignal();
  DeliverSignals();
  Drain(gui_);
  if (!lineAborted_) {
    Escape();
    Drain(gui_);
  }
  app_.EndScriptByEscape();
  return Finish(kExitSignal + signal);
}

// The statuses in their order, for a run that ran to its end.
int HeadlessRun::Status() const {
  const ShellState& shell = app_.Shell();
  if (deviceMissing_ || shell.DeviceNotAvailableCount > 0 || shell.LinesWithoutDevice > 0) {
    return kExitDeviceNotAvailable;
  }
  if (app_.Results().RecordsLost() > 0 || reportLost_ || plotLost_) return kExitRecordLost;
  if ((options_.execLine || options_.RunsProgram()) && report_.NoReplyCount() > 0) {
    return kExitNoReply;
  }
  return app_.PlainCapture().FailCount > 0 ? kExitFailed : kExitOk;
}

// Flushes the display and writes the report; `status` unless the report was
// lost and nothing comes before that.
int HeadlessRun::Finish(int status) {
  app_.FlushDisplay();
  if (!options_.plotFile.empty()) {
    const ui::PlotData& plot = *app_.PlotData();
    const platform::Result<> written =
        ui::PlotFileKindOf(options_.plotFile) == ui::PlotFileKind::Picture
            ? ui::WritePlotPicture(plot, options_.plotFile)
            : ui::WritePlotCsv(plot, options_.plotFile);
    if (!written) {
      io_.err << "halvorn-terminal: the plot was not written: " << written.Text() << "\n";
      plotLost_ = true;
      if (status < kExitSignal) status = Status();
    } else if (const std::string notice = plot.Notice(); !notice.empty()) {
      io_.err << "halvorn-terminal: plot: " << notice << "\n";
    }
  }
  if (options_.reportFile.empty()) return status;
  report_.Finish();
  const platform::Result<> written =
      platform::WriteFileAtomic(options_.reportFile, report_.JUnitXml());
  if (written) return status;
  io_.err << "halvorn-terminal: the report was not written: " << written.Text() << "\n";
  reportLost_ = true;
  return status >= kExitSignal ? status : Status();
}

}  // namespace

namespace {
// Data read but not yet searched is kept in pieces of about this size.
constexpr std::size_t kPiece = 65536;
}  // namespace

bool LineReader::Next(std::string& line, double seconds) {
  if (io_.inputFd < 0) {
    if (!std::getline(io_.in, line)) {
      end_ = true;
      return false;
    }
    Strip(line);
    return true;
  }
  for (;;) {
    if (!dropping_) {
      const std::size_t newline = buffer_.find('\n', start_ + searched_);
      if (newline != std::string::npos) {
        const std::size_t length = newline - start_;
        const bool cut = long_.size() + length > kLineLimit;
        TakeLine(line, cut ? kLineLimit - long_.size() : length, length + 1);
        if (cut) SayCut();
        return true;
      }
      searched_ = buffer_.size() - start_;
      if (long_.size() + searched_ > kLineLimit) {
        // The limit is reached before the line's end: its first bytes are
        // kept, everything else up to the end is read and dropped.
        SetAside(kLineLimit - long_.size());
        buffer_.clear();
        start_ = searched_ = 0;
        dropping_ = true;
      } else if (searched_ >= kPiece) {
        // A long line: its searched part is set aside whole, never copied
        // again until the line is complete.
        SetAside(searched_);
        buffer_.clear();
        start_ = searched_ = 0;
      }
    }
    if (end_) {
      if (long_.empty() && searched_ == 0 && !dropping_) return false;
      const bool cut = dropping_;
      dropping_ = false;
      TakeLine(line, searched_, searched_);
      if (cut) SayCut();
      return true;
    }
    pollfd p{io_.inputFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return false;  // time-out, signal
    char chunk[kPiece];
    const ssize_t n = ::read(io_.inputFd, chunk, sizeof chunk);
    if (n < 0) return false;
    if (n == 0) {
      end_ = true;
      continue;
    }
    const std::string_view got(chunk, static_cast<std::size_t>(n));
    if (!dropping_) {
      buffer_.append(got);
      continue;
    }
    const std::size_t newline = got.find('\n');
    if (newline == std::string_view::npos) continue;  // more of the line that was cut
    buffer_.assign(got.substr(newline + 1));
    start_ = searched_ = 0;
    dropping_ = false;
    TakeLine(line, 0, 0);
    SayCut();
    return true;
  }
}

void LineReader::SayCut() {
  io_.err << "halvorn-terminal: an input line longer than 16 MiB was cut to its first 16 MiB\n";
  io_.err.flush();
}

void LineReader::SetAside(std::size_t length) {
  long_.append(buffer_, start_, length);
}

void LineReader::TakeLine(std::string& line, std::size_t keep, std::size_t skip) {
  if (long_.empty()) {
    line.assign(buffer_, start_, keep);
  } else {
    // The long line moves out whole, without a copy.
    long_.append(buffer_, start_, keep);
    line = std::move(long_);
    long_ = std::string();
  }
  start_ += skip;
  searched_ = 0;
  // Read data is dropped from the front once it is half the buffer, so
  // taking many short lines costs no more than reading them.
  if (start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  Strip(line);
}

void LineReader::Strip(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

int RunHeadless(ui::headless::HeadlessGui& gui, Application& application,
                const HeadlessOptions& options, ProgramIo& io) {
  HeadlessRun run(gui, application, options, io);
  return run.Run();
}

}  // namespace app

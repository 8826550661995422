#include "app/program.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>

#include "app/application.h"
#include "app/command_options.h"
#include "app/dialogs.h"
#include "app/gui/headless_gui.h"
#include "app/line_editor.h"
#include "app/main_form.h"

namespace app {
namespace {

// SIGINT is the ESC key; a second one ends the program at once.
std::atomic<int> interrupts{0};

extern "C" void OnInterrupt(int) {
  if (interrupts.fetch_add(1) >= 1) ::_exit(130);
}

void InstallInterruptHandler() {
  interrupts = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
}

// Reads operator lines either from a stream or, for a terminal or pipe on a
// descriptor, with a bounded wait so that SIGINT is noticed while idle.
class LineReader {
 public:
  explicit LineReader(ProgramIo& io) : io_(io) {}

  // Waits up to `seconds` for a complete line. True with `line` set; false on
  // time-out or at the end of the input (see AtEnd()).
  bool Next(std::string& line, double seconds) {
    if (io_.inputFd < 0) {
      if (!std::getline(io_.in, line)) {
        end_ = true;
        return false;
      }
      Strip(line);
      return true;
    }
    for (;;) {
      std::size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        Strip(line);
        return true;
      }
      if (end_) {
        if (buffer_.empty()) return false;
        line.swap(buffer_);
        buffer_.clear();
        Strip(line);
        return true;
      }
      pollfd p{io_.inputFd, POLLIN, 0};
      int ready = ::poll(&p, 1, static_cast<int>(seconds * 1000));
      if (ready <= 0) return false;  // time-out or a signal
      char chunk[4096];
      ssize_t n = ::read(io_.inputFd, chunk, sizeof chunk);
      if (n < 0) return false;
      if (n == 0) {
        end_ = true;
      } else {
        buffer_.append(chunk, static_cast<std::size_t>(n));
      }
    }
  }
  bool AtEnd() const { return end_ && buffer_.empty(); }

 private:
  static void Strip(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  ProgramIo& io_;
  std::string buffer_;
  bool end_ = false;
};

// Feeds pending SIGINTs to the window as ESC keys.
bool DeliverInterrupt(gui::HeadlessGui& gui, int& delivered) {
  if (interrupts.load() > delivered) {
    delivered = interrupts.load();
    gui.Inject({kMainForm, tmain::kEscKey, gui::event::kClick, 0});
    return true;
  }
  return false;
}

void Drain(gui::HeadlessGui& gui) {
  while (gui.PendingEvents() > 0) gui.DoEvents();
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments, ProgramIo io,
               const LinkSetup& setupLinks) {
  CommandOptions options = ParseCommandOptions(arguments);
  if (!options.error.empty()) {
    io.err << "halvorn-terminal: " << options.error << "\n" << kUsage;
    return kExitUsage;
  }

  // There is no window backend in this build: every run is headless.
  gui::HeadlessGui gui(gui::HeadlessGui::Time::Real);
  gui.onAppend = [&io](const std::string& form, int control, const std::string& text) {
    if (form == kMainForm && control == tmain::kDisplay) io.out << text << std::flush;
  };
  int delivered = 0;
  InstallInterruptHandler();
  gui.onIdle = [&gui, &delivered] { return DeliverInterrupt(gui, delivered); };

  platform::DataFolders folders(options.dataRoot);
  devices::DeviceRegistry registry;
  if (setupLinks) setupLinks(registry, folders);
  Application application(gui, folders, registry);

  // Operator dialogs print what they show on standard error and take their
  // answers line by line from the answers file or standard input.
  std::unique_ptr<std::ifstream> answersFile;
  if (!options.answersFile.empty()) {
    answersFile = std::make_unique<std::ifstream>(options.answersFile, std::ios::binary);
    if (!*answersFile) {
      io.err << "halvorn-terminal: cannot read the answers file " << options.answersFile << "\n";
      return kExitUsage;
    }
  }
  ProgramIo answerIo{answersFile ? static_cast<std::istream&>(*answersFile) : io.in, io.out, io.err,
                     answersFile ? -1 : io.inputFd};
  LineReader answers(answerIo);
  application.Dialogs().operatorAnswers =
      [&](const std::string& form, const std::string& shown) -> std::optional<std::string> {
    io.err << shown;
    if (shown.empty() || shown.back() != '\n') io.err << "\n";
    io.err.flush();
    if (form == kMessageForm) return std::string("OK");
    std::string line;
    for (;;) {
      if (answers.Next(line, 0.1)) return line;
      if (interrupts.load() > delivered) {  // SIGINT is the ESC key here too
        delivered = interrupts.load();
        return std::string("ESC");
      }
      if (answers.AtEnd()) return std::nullopt;
    }
  };
  int scriptResult = 0;
  application.onScriptEnded = [&](int result) {
    scriptResult = result;
    gui.Quit(0);
  };

  application.Start(options);

  if (options.device) gui.SelectItem(kMainForm, tmain::kDeviceSelector, *options.device);

  if (options.listDevices) {
    for (const std::string& entry : application.DeviceList()) io.out << entry << "\n";
    io.out.flush();
    return kExitOk;
  }

  if (options.execLine) {
    if (application.SelectedDevice().empty()) {
      io.err << "halvorn-terminal: no device is selected\n";
      return kExitDeviceNotAvailable;
    }
    gui.SetText(kMainForm, tmain::kCommandEntry, *options.execLine);
    gui.Inject({kMainForm, tmain::kEnterKey, gui::event::kClick, 0});
    Drain(gui);
    if (application.Shell().DeviceNotAvailableCount > 0) return kExitDeviceNotAvailable;
    return application.PlainCapture().FailCount > 0 ? kExitFailed : kExitOk;
  }

  if (application.Shell().AutoControlMode) {
    // A script run: the script timer drives it on real time until the
    // script ends or closes the application.
    gui.Run();
    (void)scriptResult;
    return application.PlainCapture().FailCount == 0 ? kExitOk : kExitFailed;
  }

  // The line terminal: every input line runs as the Enter key would run the
  // command entry. An operator at a terminal edits the line and recalls the
  // lines typed before with Up and Down.
  std::unique_ptr<LineEditor> editor = LineEditor::Open(io.inputFd, io.outputFd, "> ");
  LineReader reader(io);
  std::string line;
  for (bool atEnd = false; !atEnd;) {
    bool got = false;
    if (editor) {
      const LineEditor::Status status = editor->ReadLine(line, 0.1);
      got = status == LineEditor::Status::Line;
      atEnd = status == LineEditor::Status::End;
      if (status == LineEditor::Status::Escape)
        gui.Inject({kMainForm, tmain::kEscKey, gui::event::kClick, 0});
      if (interrupts.load() > delivered) editor->Pause();  // the ESC key prints next
    } else {
      got = reader.Next(line, 0.1);
      atEnd = reader.AtEnd();
    }
    if (got) {
      gui.SetText(kMainForm, tmain::kCommandEntry, line);
      gui.Inject({kMainForm, tmain::kEnterKey, gui::event::kClick, 0});
    }
    DeliverInterrupt(gui, delivered);
    Drain(gui);
  }
  return kExitOk;
}

}  // namespace app

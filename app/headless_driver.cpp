#include "app/headless_driver.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>

#include "app/dialogs.h"
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

// Standard output as a reader of the display: every entry written as it is
// appended, the stream flushed only at the display's flush points.
class StandardOutput : public engine::DisplayListener {
 public:
  explicit StandardOutput(std::ostream& out) : out_(out) {}
  void Entry(std::string_view text) override {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  void Flush() override { out_.flush(); }

 private:
  std::ostream& out_;
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

// Runs `line` as the Enter key runs the command entry.
void Enter(gui::HeadlessGui& gui, const std::string& line) {
  gui.SetText(kMainForm, tmain::kCommandEntry, line);
  gui.Inject({kMainForm, tmain::kEnterKey, gui::event::kClick, 0});
  Drain(gui);
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
    const std::size_t newline = buffer_.find('\n', start_ + searched_);
    if (newline != std::string::npos) {
      TakeLine(line, newline - start_, 1);
      return true;
    }
    searched_ = buffer_.size() - start_;
    if (end_) {
      if (parts_.empty() && searched_ == 0) return false;
      TakeLine(line, searched_, 0);
      return true;
    }
    if (searched_ >= kPiece) {
      // A long line: its searched part is set aside whole, never copied again
      // until the line is complete.
      parts_.push_back(buffer_.substr(start_));
      partsSize_ += parts_.back().size();
      buffer_.clear();
      start_ = searched_ = 0;
    }
    pollfd p{io_.inputFd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return false;  // time-out, signal
    char chunk[kPiece];
    const ssize_t n = ::read(io_.inputFd, chunk, sizeof chunk);
    if (n < 0) return false;
    if (n == 0) {
      end_ = true;
    } else {
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
}

void LineReader::TakeLine(std::string& line, std::size_t length, std::size_t lineEnd) {
  line.clear();
  line.reserve(partsSize_ + length);
  for (const std::string& part : parts_) line += part;
  line.append(buffer_, start_, length);
  parts_.clear();
  partsSize_ = 0;
  start_ += length + lineEnd;
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

int RunHeadless(gui::HeadlessGui& gui, Application& application, const CommandOptions& options,
                ProgramIo& io) {
  StandardOutput standardOutput(io.out);
  engine::TerminalDisplay& display = application.Engine().Display();
  display.SetListener(&standardOutput);
  int delivered = 0;
  InstallInterruptHandler();
  gui.onIdle = [&gui, &delivered] { return DeliverInterrupt(gui, delivered); };

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
  application.onScriptEnded = [&gui](int) { gui.Quit(0); };

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
    Enter(gui, *options.execLine);
    display.Flush();
    if (application.Shell().DeviceNotAvailableCount > 0) return kExitDeviceNotAvailable;
    return application.PlainCapture().FailCount > 0 ? kExitFailed : kExitOk;
  }

  if (application.Shell().AutoControlMode) {
    // A script run: the script timer drives it on real time until the
    // script ends or closes the application.
    gui.Run();
    display.Flush();
    return application.PlainCapture().FailCount == 0 ? kExitOk : kExitFailed;
  }

  // The line terminal: every input line runs as the Enter key would run the
  // command entry. An operator at a terminal edits the line and recalls the
  // lines typed before with Up and Down.
  std::unique_ptr<LineEditor> editor = LineEditor::Open(io.inputFd, io.outputFd, "> ");
  LineReader reader(io);
  std::string line;
  for (bool atEnd = false; !atEnd;) {
    display.Flush();  // everything so far is out before the wait for input
    bool got = false;
    if (editor) {
      const LineEditor::Status status = editor->ReadLine(line, 0.1);
      got = status == LineEditor::Status::Line;
      atEnd = status == LineEditor::Status::End;
      if (status == LineEditor::Status::Escape) {
        gui.Inject({kMainForm, tmain::kEscKey, gui::event::kClick, 0});
      }
      if (interrupts.load() > delivered) editor->Pause();  // the ESC key prints next
    } else {
      got = reader.Next(line, 0.1);
      atEnd = reader.AtEnd();
    }
    if (got) Enter(gui, line);
    DeliverInterrupt(gui, delivered);
    Drain(gui);
  }
  display.Flush();
  return kExitOk;
}

}  // namespace app

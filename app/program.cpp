#include "app/program.h"

#include <csignal>
#include <functional>
#include <ostream>

#include "app/backend.h"
#include "app/command_options.h"
#include "console/headless_driver.h"
#include "console/stop_signals.h"
#include "platform/files.h"
#include "platform/text.h"
#include "programs/program_file.h"
#include "screens/main_form.h"
#include "station/application.h"
#include "station/help.h"
#include "station/station_records.h"

namespace app {
namespace {

// Stop signals end a window run as they end a headless one: the dialog
// open now and every later one answer ESC, ESC goes to the station (a
// running line stops; an idle one sends ABORT, so the motor stops), then
// the window's loop ends and the rest of the script runs as after ESC,
// saving what its ESC path saves. The handlers only count signals; this
// watch looks at the count on the window's own thread. It stands between
// the backend and the application, which never sees its timer.
class SignalWatch : public ui::EventSink {
 public:
  // `everyTick`: asked at each tick (the records' forwarder reports).
  SignalWatch(ui::Gui& gui, Application& application, std::function<void()> everyTick = {})
      : gui_(gui), app_(application), everyTick_(std::move(everyTick)) {
    gui_.SetEventSink(this);
    gui_.StartTimer(kMainForm, tmain::kSignalTimer, 0.05);
  }
  ~SignalWatch() override {
    gui_.StopTimer(kMainForm, tmain::kSignalTimer);
    gui_.SetEventSink(&app_);
  }
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  // The signal that stops the run; 0 while none came. In the window a
  // SIGINT is no ESC key (the window has its own): it ends the run.
  static int Signal() {
    if (stop_signals::StopSignal() != 0) return stop_signals::StopSignal();
    return stop_signals::Escapes() > 0 ? SIGINT : 0;
  }

  void OnEvent(const ui::Event& e, ui::EventReply& reply) override {
    if (e.form != kMainForm || e.control != tmain::kSignalTimer) {
      app_.OnEvent(e, reply);
      return;
    }
    if (e.code == ui::event::kTimerTick && everyTick_) everyTick_();
    if (e.code == ui::event::kTimerTick && !stopping_ && Signal() != 0) {
      stopping_ = true;
      app_.EndDialogsWithEscape();
      gui_.PostEvent({kMainForm, tmain::kEscKey}, ui::event::kClick, 0);
      // Posted after the dialogs' closes and the ESC, so those come first.
      gui_.PostEvent({kMainForm, tmain::kSignalTimer}, ui::event::kPosted, 0);
    } else if (e.code == ui::event::kPosted) {
      gui_.StopTimer(kMainForm, tmain::kScriptTimer);
      gui_.Quit(0);
    }
  }
  void OnDraw(const ui::DrawRequest& request, ui::Canvas& canvas) override {
    app_.OnDraw(request, canvas);
  }

 private:
  ui::Gui& gui_;
  Application& app_;
  std::function<void()> everyTick_;
  bool stopping_ = false;
};

// A run in the window: the operator ends it by closing the main window, or
// a script does, or a stop signal.
int RunWindow(ui::Gui& gui, Application& application, const CommandOptions& options,
              std::ostream& err, StationRecords& recording) {
  // The window ends when the operator closes it, or when a script closes
  // the application.
  class ScriptCloses : public StationListener {
   public:
    explicit ScriptCloses(ui::Gui& g) : gui_(g) {}
    void OnScriptEnded(autocontrol::StepResult result) override {
      if (result == autocontrol::StepResult::CloseApplication) gui_.Quit(0);
    }

   private:
    ui::Gui& gui_;
  } closes(gui);
  application.AddListener(closes);
  // The window's plot (Ctrl+G) may be opened at any time, so every run in
  // the window keeps its samples; --plot is for a run without one.
  StartUp startUp = options.Start();
  startUp.plot = true;
  application.Start(startUp);
  if (options.device) {
    const std::size_t count = application.DeviceList().size();
    if (static_cast<std::size_t>(*options.device) >= count) {
      err << "halvorn-terminal: --device " << *options.device << " is not in the device list ("
          << count << " entries)\n";
      return kExitDeviceNotAvailable;
    }
    gui.SelectItem({kMainForm, tmain::kDeviceSelector}, *options.device);
  }
  {
    SignalWatch watch(gui, application, [&recording] { recording.Poll(); });
    gui.Run();
  }
  if (const int signal = SignalWatch::Signal(); signal != 0) {
    application.EndDialogsWithEscape();
    application.EndScriptByEscape();
    return kExitSignal + signal;
  }
  return application.PlainCapture().FailCount == 0 ? kExitOk : kExitFailed;
}

// The status of a run that ends before it started: a stop signal that came
// meanwhile (main() counts them from its first line) still ends it with
// 128 + its number.
int EndedEarly(int status) {
  const int signal = stop_signals::StopSignal();
  return signal != 0 ? kExitSignal + signal : status;
}

// Where the station's records go: AppConfig/Records.cfg, then the command
// line. A listing of the devices is no run and keeps none.
RecordsSettings RecordsFor(const CommandOptions& options, const platform::DataFolders& folders,
                           std::ostream& err) {
  std::vector<std::string> notes;
  RecordsSettings settings = ReadRecordsSettings(folders.GetDataRoot(), {}, notes);
  for (const std::string& note : notes) err << "halvorn-terminal: " << note << "\n";
  if (!options.recordsFile.empty()) {
    settings.enabled = true;
    settings.path = options.recordsFile;
  }
  if (!options.recordsCentral.empty()) settings.central = options.recordsCentral;
  if (options.noRecords || options.listDevices) settings.enabled = false;
  return settings;
}

std::string ProgramFileOf(const CommandOptions& options, const platform::DataFolders& folders) {
  if (options.programNumber == 0) return options.programFile;
  return folders.DataPath("AppPrograms\\" + programs::StoredProgramFileName(options.programNumber));
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments, ProgramIo io,
               const LinkSetup& setupLinks) {
  platform::Result<CommandOptions> parsed = ParseCommandOptions(arguments);
  if (!parsed) {
    io.err << "halvorn-terminal: " << parsed.Text() << "\n" << kUsage;
    return EndedEarly(kExitUsage);
  }
  const CommandOptions options = std::move(parsed).value();
  if (options.help) {
    io.out << kUsage << kHelp;
    return EndedEarly(kExitOk);
  }
  if (options.version) {
    io.out << "halvorn-terminal" << kVersionSuffix << "\n";
    return EndedEarly(kExitOk);
  }
  if (!options.dataRoot.empty()) {
    if (const platform::Result<> usable = platform::CheckFolder(options.dataRoot); !usable) {
      io.err << "halvorn-terminal: the data root " << platform::Quoted(options.dataRoot)
             << " cannot be used: " << usable.Text() << "\n";
      return EndedEarly(kExitUsage);
    }
  }
  // A file-size limit ends a write with an error the writer reports, never
  // the program in the middle of a record.
  std::signal(SIGXFSZ, SIG_IGN);
  Backend backend = MakeBackend(options, io.programName);
  if (!options.headless && !options.answersFile.empty()) {
    io.err << "halvorn-terminal: --answers answers the dialogs in place of an operator, so this "
              "run is headless (no window)\n";
  }
  if (!backend.window && !backend.window.Text().empty()) {
    io.err << "halvorn-terminal: no window (" << backend.window.Text() << ")\n";
  }
  if (!backend.headless) {
    // One that came while the window was opening ends the run now, before
    // anything ran.
    if (const int signal = SignalWatch::Signal(); signal != 0) return kExitSignal + signal;
    // The window writes nothing the operator needs to a pipe: a reader of
    // its standard error that went away is no reason to stop the station.
    std::signal(SIGPIPE, SIG_IGN);
  }

  platform::DataFolders folders(options.dataRoot);
  devices::DeviceRegistry registry;
  if (setupLinks) setupLinks(registry, folders);
  Application application(*backend.gui, folders, registry);
  // What the operator must learn even without the display goes to standard error.
  class ErrorsToStandardError : public StationListener {
   public:
    explicit ErrorsToStandardError(std::ostream& err) : err_(err) {}
    void OnError(const std::string& text) override {
      err_ << "halvorn-terminal: " << text << "\n";
      err_.flush();
    }

   private:
    std::ostream& err_;
  } errors(io.err);
  application.AddListener(errors);
  application.SetGuideSources(GuideSources(platform::ExecutableFolder()));
  StationRecords recording(application, RecordsFor(options, folders, io.err),
                           !backend.headless       ? "window"
                           : options.execLine      ? "exec"
                           : options.RunsProgram() ? "program"
                                                   : "terminal",
                           ProgramFileOf(options, folders));
  int status = backend.headless ? RunHeadless(*backend.headless, application, options, io)
                                : RunWindow(*backend.gui, application, options, io.err, recording);
  recording.End(status);
  // Records the station lost, or a damaged database it set aside, make the
  // run's status as any lost record does.
  if (recording.NeedCare() &&
      (status == kExitOk || status == kExitFailed || status == kExitNoReply)) {
    status = kExitRecordLost;
  }
  return status;
}

}  // namespace app

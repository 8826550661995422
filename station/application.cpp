#include "station/application.h"

#include <algorithm>
#include <limits>

#include "devices/vendor/hid_transport.h"
#include "engine/reply_format.h"
#include "engine/terminal_display.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "screens/main_form.h"
#include "station/help.h"
#include "ui/look/accelerators.h"
#include "ui/look/fonts.h"
#include "ui/look/painters.h"

namespace app {

namespace {
constexpr const char* kFifoTooltip = "Add to History in First In First Out order";
}  // namespace

// The engine's view of the main window.
class Application::GuiHost : public engine::Host {
 public:
  GuiHost(ui::Gui& gui, Application& app) : gui_(gui), app_(app) {}
  double Now() override { return gui_.Now(); }
  bool RealTime() override { return gui_.RealTime(); }
  void Delay(double seconds) override { gui_.Delay(seconds); }
  void DoEvents() override { gui_.DoEvents(); }
  // Redrawing is off while the display's text changes, so that a large
  // change is drawn once.
  void ReplaceDisplay(const std::string& text) override {
    gui_.SetRedrawState({kMainForm, tmain::kDisplay}, false);
    gui_.SetText({kMainForm, tmain::kDisplay}, text);
    gui_.SetRedrawState({kMainForm, tmain::kDisplay}, true);
    gui_.Redraw({kMainForm, tmain::kDisplay});
  }
  void AppendToDisplay(const std::string& text) override {
    gui_.SetRedrawState({kMainForm, tmain::kDisplay}, false);
    gui_.AppendText({kMainForm, tmain::kDisplay}, text);
    gui_.SetRedrawState({kMainForm, tmain::kDisplay}, true);
    gui_.Redraw({kMainForm, tmain::kDisplay});
  }
  void ShowByteCount(std::size_t bytes) override {
    gui_.SetText({kMainForm, tmain::kByteCounter}, "Bytes: " + std::to_string(bytes));
    gui_.Redraw({kMainForm, tmain::kByteCounter});
  }
  void ShowBar(engine::Bar bar, const std::string& markup) override {
    const int control = bar == engine::Bar::Delay ? tmain::kDelayBar : tmain::kCommandBar;
    gui_.SetText({kMainForm, control}, markup);
    gui_.Redraw({kMainForm, control});
  }
  // The program that ran as the line is done: its line is not judged again.
  void LineFinished() override { app_.programs_->OnLineFinished(); }

 private:
  ui::Gui& gui_;
  Application& app_;
};

// What the dialogs need of the application.
class Application::DialogSide : public DialogHost {
 public:
  explicit DialogSide(Application& app) : app_(app) {}
  void OnDialogEscape() override { app_.script_->OnEscape(); }
  void BeforeDialog() override { app_.engine_->Display().Flush(); }
  std::string TranslateCaption(const std::string& caption) const override {
    return app_.Translate(caption);
  }

 private:
  Application& app_;
};

// The script's view of the application.
class Application::ScriptSide : public autocontrol::ScriptHost {
 public:
  explicit ScriptSide(Application& app) : app_(app) {}
  void ExecuteOnSelectedDevice(const std::string& line) override {
    app_.ExecuteOnSelectedDevice(line);
  }
  void SelectDeviceSlot(int slot) override { app_.SelectDeviceSlot(slot); }
  void RefreshDevices() override { app_.RefreshDevices(); }
  void ResetDeviceSlot() override { app_.shell_.CurrentSlot = 0; }
  std::string SelectedDevice() override { return app_.SelectedDevice(); }
  void SetShowMode(int mode) override {
    if (mode < 1 || mode > 5) return;
    app_.engine_->State().ShowMode = mode;
    app_.gui_.SetText({kMainForm, tmain::kDisplayMode},
                      kDisplayModeCaptions[static_cast<std::size_t>(mode - 1)]);
    app_.gui_.Redraw({kMainForm, tmain::kDisplayMode});
  }
  platform::Result<> LoadProgram(int number, const std::string& name) override {
    return app_.programs_->LoadProgram(number, name);
  }
  std::string ProgramCommandLine() override { return app_.programs_->ProgramCommandLine; }
  void ReportError(const std::string& text) override {
    app_.Tell([&](StationListener& l) { l.OnError(text); });
  }
  std::string AskOperator(const std::string& prompt, bool enterPrefix, bool passFail) override {
    return app_.AskOperator(prompt, enterPrefix, passFail);
  }
  bool ShowPassFail(const std::string& message, const std::string& verifyLog,
                    int failCount) override {
    return app_.ShowPassFail(message, verifyLog, failCount);
  }
  void SelectLanguage(int index) override {
    // A keyword naming a language that is not loaded keeps the current one.
    if (index < 0 || index > app_.languages_.Count()) return;
    app_.gui_.SelectItem({kMainForm, tmain::kLanguageSelector}, index);
    if (index != app_.languages_.LanguageIndex()) {
      app_.UseLanguage(index);
      app_.gui_.Redraw({kMainForm, 0});
    }
  }
  void PlaceMainWindow(const std::string& words) override { app_.PlaceMainWindow(words); }
  void Wait(double seconds) override {
    app_.engine_->Display().Flush();
    app_.gui_.Delay(seconds);
  }
  std::tm LocalTime() override { return app_.surroundings_.LocalTime(); }
  bool StartProgram(const std::vector<std::string>& argv, bool wait) override {
    if (wait) app_.engine_->Display().Flush();
    return app_.surroundings_.StartProgram(argv, wait);
  }

 private:
  Application& app_;
};

// What loading a program file needs from the window.
class Application::ProgramSide : public programs::ProgramHost {
 public:
  explicit ProgramSide(Application& app) : app_(app) {}
  void DoEvents() override { app_.gui_.DoEvents(); }
  void EnterBusyState() override { app_.SetBusyState(BusyState::Busy); }
  void LeaveBusyState() override { app_.SetBusyState(BusyState::Normal); }
  void ShowProgramBar(const std::string& markup) override {
    app_.gui_.SetText({kMainForm, tmain::kProgramBar}, markup);
    app_.gui_.SetVisible({kMainForm, tmain::kProgramBar}, true);
    app_.gui_.Raise({kMainForm, tmain::kProgramBar});
    app_.gui_.Redraw({kMainForm, tmain::kProgramBar});
  }
  void HideProgramBar() override { app_.gui_.SetVisible({kMainForm, tmain::kProgramBar}, false); }
  void SetRunningName(const std::string& name) override { app_.shell_.RunningProgramName = name; }
  std::string ChooseFile(const std::string& title, const std::string& folder,
                         const std::string& filter, const std::string&) override {
    ui::FileDialogRequest request;
    request.form = kMainForm;
    request.title = title;
    request.folder = folder;
    request.filter = filter;
    return app_.gui_.FileDialog(request);
  }

 private:
  Application& app_;
};

Application::Application(ui::Gui& gui, platform::DataFolders folders,
                         devices::DeviceRegistry& registry, Surroundings* surroundings)
    : gui_(gui),
      folders_(std::move(folders)),
      surroundings_(surroundings ? *surroundings : systemSurroundings_),
      registry_(registry),
      host_(std::make_unique<GuiHost>(gui, *this)),
      engine_(std::make_unique<engine::CommandEngine>(*host_, plainCapture_)),
      dialogSide_(std::make_unique<DialogSide>(*this)),
      dialogs_(gui, *dialogSide_),
      scriptSide_(std::make_unique<ScriptSide>(*this)),
      programSide_(std::make_unique<ProgramSide>(*this)),
      programs_(std::make_unique<programs::ProgramLoader>(*engine_, *programSide_,
                                                          folders_.GetDataRoot())),
      entry_(gui, kMainForm) {
  BuildScript(0);
  gui_.SetEventSink(this);
}

Application::~Application() {
  gui_.SetEventSink(nullptr);
  engine_->RemoveExchangeListener(plotFeed_);
  // The last lines reach the log's file before anything else goes away.
  engine_->Display().SetLog(nullptr);
  sessionLog_.reset();
}

void Application::AddListener(StationListener& listener) {
  if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end()) {
    listeners_.push_back(&listener);
  }
}

void Application::RemoveListener(StationListener& listener) {
  std::erase(listeners_, &listener);
}

void Application::BuildScript(int scriptNumber) {
  auto results = std::make_unique<records::ResultFiles>(
      folders_.GetDataRoot(), [this](const std::string& text) { ReportRecordError(text); },
      [this](const records::ResultFile& file) {
        Tell([&](StationListener& l) { l.OnResultFile(file); });
      });
  auto script = std::make_unique<autocontrol::Script>(*scriptSide_, *engine_, plainCapture_,
                                                      folders_.GetDataRoot(), scriptNumber);
  script->AddListener(*results);
  script_ = std::move(script);
  results_ = std::move(results);
}

// A record that could not be written is told where the operator looks and
// where it is read without a window.
void Application::ReportRecordError(const std::string& text) {
  engine_->DisplayExchange(text, "", "", engine::kMessageLine, 0);
  scriptSide_->ReportError(text);
}

void Application::AddExchangeListener(engine::ExchangeListener& listener) {
  engine_->AddExchangeListener(listener);
}

void Application::RemoveExchangeListener(engine::ExchangeListener& listener) {
  engine_->RemoveExchangeListener(listener);
}

void Application::AddScriptListener(autocontrol::ScriptListener& listener) {
  script_->AddListener(listener);
}

void Application::RemoveScriptListener(autocontrol::ScriptListener& listener) {
  script_->RemoveListener(listener);
}

void Application::SetDisplayListener(engine::DisplayListener* listener) {
  engine_->Display().SetListener(listener);
}

void Application::FlushDisplay() {
  engine_->Display().Flush();
}

const std::string& Application::DisplayText() {
  return engine_->Display().Text();
}

void Application::SetSessionLog(bool on) {
  if (on == SessionLogOn()) return;
  if (!on) {
    engine_->Display().SetLog(nullptr);
    sessionLog_.reset();
    return;
  }
  sessionLog_ = std::make_unique<engine::SessionLog>(
      folders_.DataPath("TermDisplay"), platform::LocalTimeNow,
      [this](const std::string& text) { ReportRecordError(text); });
  engine_->Display().SetLog(sessionLog_.get());
}

void Application::SetTimeStamps(engine::TimeStamps stamps) {
  engine_->Display().SetTimeStamps(stamps);
}

ui::DisplayOptions Application::ShownDisplayOptions() const {
  ui::DisplayOptions options;
  options.sessionLog = SessionLogOn();
  switch (engine_->Display().Stamps()) {
    case engine::TimeStamps::Off:
      options.timeStamps = ui::TimeStampChoice::Off;
      break;
    case engine::TimeStamps::Clock:
      options.timeStamps = ui::TimeStampChoice::Clock;
      break;
    case engine::TimeStamps::SincePrevious:
      options.timeStamps = ui::TimeStampChoice::SincePrevious;
      break;
  }
  return options;
}

void Application::OnDisplayOptions() {
  const ui::DisplayOptions chosen = gui_.GetDisplayOptions({kMainForm, tmain::kDisplay});
  engine::TimeStamps stamps = engine::TimeStamps::Off;
  if (chosen.timeStamps == ui::TimeStampChoice::Clock) stamps = engine::TimeStamps::Clock;
  if (chosen.timeStamps == ui::TimeStampChoice::SincePrevious) {
    stamps = engine::TimeStamps::SincePrevious;
  }
  SetTimeStamps(stamps);
  // A log that --session-log turned on stays remembered as the file had it
  // until the operator changes the log itself.
  if (chosen.sessionLog != SessionLogOn()) displaySettings_.sessionLog = chosen.sessionLog;
  SetSessionLog(chosen.sessionLog);
  displaySettings_.timeStamps = stamps;
  if (const platform::Result<> kept = WriteDisplaySettings(folders_, displaySettings_); !kept) {
    ReportRecordError("The display's options could not be remembered: " + kept.Text());
  }
  gui_.SetDisplayOptions({kMainForm, tmain::kDisplay}, ShownDisplayOptions());
}

void Application::EndScriptByEscape() {
  if (shell_.AutoControlMode) script_->EndByEscape();
}

void Application::Start(const StartUp& startUp) {
  if (startUp.plot) engine_->AddExchangeListener(plotFeed_);
  const int dotsPerInch = gui_.Screen().dotsPerInch;
  dialogs_.SetDotsPerInch(dotsPerInch);
  look_.DefineDefaults(folders_.DataPath("Graphics"), dotsPerInch);
  // Initialise: the display starts as plain text; the terminal fonts; the
  // data folders; the script switch.
  engine_->Display().SetPlain();
  look_.DefineTerminalFonts();
  folders_.EnsureDataFolders();
  {
    std::vector<std::string> notes;
    displaySettings_ = ReadDisplaySettings(folders_, notes);
    for (const std::string& note : notes) ReportRecordError(note);
    SetTimeStamps(displaySettings_.timeStamps);
    SetSessionLog(displaySettings_.sessionLog || startUp.sessionLog);
  }
  InstallGuides(folders_, guideSources_);
  languages_.LoadLanguageFiles(folders_.GetDataRoot());
  shell_.ScriptNumber = startUp.scriptNumber;
  BuildScript(shell_.ScriptNumber);
  const bool automatic = startUp.loadScript && script_->LoadScript();
  shell_.AutoControlMode = automatic;
  shell_.IdleBackColour = automatic ? 22 : 36;
  shell_.BusyBackColour = automatic ? 39 : 21;
  engine_->State().AutomaticMode = automatic;
  shell_.RunningProgramName.clear();
  Tell([](StationListener& l) { l.OnStarted(); });
  for (ui::FormSpec form : {InputFormSpec(dotsPerInch), PassFailFormSpec(dotsPerInch),
                            MessageFormSpec(dotsPerInch), MainFormSpec(dotsPerInch)}) {
    look_.KeepForm(std::move(form));
  }
  gui_.LoadForm(look_.Form(kMainForm));
}

void Application::OnEvent(const ui::Event& event, ui::EventReply& reply) {
  ++eventDepth_;
  if (event.form == kMainForm) {
    OnMainFormEvent(event, reply);
  } else {
    // The dialogs' own events; the library's dialogs and the application
    // pseudo-form need nothing from the terminal itself.
    dialogs_.OnEvent(event, reply);
  }
  // Whatever the event appended is shown once it has been handled.
  if (--eventDepth_ == 0) engine_->Display().Flush();
}

void Application::OnDraw(const ui::DrawRequest& request, ui::Canvas& canvas) {
  look_.Draw(request, canvas);
}

void Application::OnMainFormLoaded() {
  engine::EngineState& state = engine_->State();
  state.LastReply.clear();
  state.BitMask = -1;
  shell_.BusyFlag = false;
  gui_.SetFormLimits(kMainForm, 59, 41.25, 999, 999);
  gui_.DefineAccelerators(kMainForm, ui::look::ParseAccelerators(kMainAccelerators));
  zoom_.Set(displaySettings_.zoom);
  if (zoom_.Percent() != 100) ApplyDisplayZoom();
  int chosen = languages_.ReadLanguageChoice(folders_.GetDataRoot());
  if (chosen > 0) {
    UseLanguage(chosen);
    gui_.SelectItem({kMainForm, tmain::kLanguageSelector}, chosen);
  }
  gui_.SetText({kMainForm, tmain::kDelayBar}, engine::kDelayBarDone);
  gui_.Redraw({kMainForm, tmain::kDelayBar});
  gui_.SetEnabled({kMainForm, tmain::kFifo}, false);
  gui_.SetFormIcon(kMainForm, "$BPROGRAM");
  if (shell_.AutoControlMode) gui_.SetColours({kMainForm, 0}, 36, shell_.IdleBackColour);
  look_.SetBarEffect(tmain::kProgramBar, ui::look::ParseEffect("F"));
  gui_.SetText({kMainForm, 0}, gui_.Text({kMainForm, 0}) + kVersionSuffix);
}

void Application::OnMainFormStarted() {
  // The board library's version; a library too old to tell it (or none at
  // all) is flagged in warning colours instead.
  std::string version =
      devices::HidLibraryVersionOf(registry_.TransportFor(devices::LinkKind::Hid));
  if (!version.empty()) {
    gui_.SetText({kMainForm, tmain::kVersionLabel}, version);
  } else {
    gui_.SetColours({kMainForm, tmain::kVersionLabel}, 15, 12);
    gui_.SetText({kMainForm, tmain::kVersionLabel}, "Update DLL !");
  }
  if (shell_.AutoControlMode) {
    gui_.StartTimer(kMainForm, tmain::kScriptTimer, 0.05);
  } else {
    // The operator's first keys go to the command entry, as after every line.
    gui_.SetFocus({kMainForm, tmain::kCommandEntry});
  }
}

void Application::OnScriptTick() {
  const autocontrol::StepResult result = script_->ScriptStep();
  if (result == autocontrol::StepResult::EndScript) {
    EndAutoControl();
    Tell([&](StationListener& l) { l.OnScriptEnded(result); });
  } else if (result == autocontrol::StepResult::CloseApplication) {
    shell_.AutoControlMode = false;
    engine_->State().AutomaticMode = false;
    gui_.StopTimer(kMainForm, tmain::kScriptTimer);
    Tell([&](StationListener& l) { l.OnScriptEnded(result); });
    gui_.UnloadForm(kMainForm);
  }
}

void Application::EndAutoControl() {
  shell_.AutoControlMode = false;
  engine_->State().AutomaticMode = false;
  gui_.StopTimer(kMainForm, tmain::kScriptTimer);
  gui_.SetColours({kMainForm, 0}, 36, 36);
  gui_.Redraw({kMainForm, 0});
  shell_.IdleBackColour = 36;
  shell_.BusyBackColour = 21;
}

void Application::PlaceMainWindow(const std::string& words) {
  placement_.PlaceMainWindow(gui_, kMainForm, words);
}

void Application::OpenHelp() {
  if (app::OpenHelp(gui_, folders_) == HelpShown::Nothing) {
    ShowMessageBox(NoHelpMessage(folders_), kHelpTitle, "OK//20");
  }
}

void Application::ShowFunctionKeys() {
  DialogValues& values = dialogs_.Values();
  values.FunctionKeyDisplay = true;
  dialogs_.ShowMessageBox(entry_.FunctionKeyListing(), std::string(programs::kFunctionKeysCaption),
                          std::string(programs::kFunctionKeysButton), programs::kFunctionKeysStyle);
  values.FunctionKeyDisplay = false;
}

bool Application::RunProgramKey(int number) {
  if (!Idle()) return false;
  if (!programs_->LoadProgram(number, "")) return false;
  engine_->Display().Clear();
  engine_->State().PumpSuppressed = false;
  ExecuteOnSelectedDevice(programs_->ProgramCommandLine);
  return true;
}

void Application::OnLanguageSelected() {
  int index = gui_.SelectedItem({kMainForm, tmain::kLanguageSelector});
  if (index < 0 || index == languages_.LanguageIndex()) return;
  UseLanguage(index);
  gui_.Redraw({kMainForm, 0});
  languages_.StoreLanguageChoice(folders_.GetDataRoot(), index);
}

// The captions the application draws, and the library's own dialogs (file
// dialogs, message boxes) as far as Qt's translations have the language.
void Application::UseLanguage(int index) {
  languages_.Select(index);
  gui_.SetDialogLanguage(languages_.Code(languages_.LanguageIndex()));
}

std::string Application::Translate(const std::string& caption) const {
  return languages_.Caption(caption).text;
}

// One row of the main window's event map: events `code` (kAnyCode: every
// code) of the controls `first` to `last` go to `handle`.
struct Application::MainEvent {
  static constexpr int kAnyCode = std::numeric_limits<int>::min();
  int first, last, code;
  void (*handle)(Application& app, const ui::Event& event, ui::EventReply& reply);
};

namespace {
using namespace ui::event;
using A = Application;
using E = const ui::Event&;
using R = ui::EventReply&;
}  // namespace

// The main window's event map: control (or range of controls) and event
// code to handler. Every other event of the main window is ignored.
const Application::MainEvent Application::kMainEvents[] = {
      {0, 0, kLoaded, [](A& a, E, R) { a.OnMainFormLoaded(); }},
      {0, 0, kStarted, [](A& a, E, R) { a.OnMainFormStarted(); }},
      {0, 0, kCloseRequest,
       [](A& a, E, R r) {
         r.refuse = a.shell_.BusyFlag;
         if (a.shell_.AutoControlMode) a.gui_.StopTimer(kMainForm, tmain::kScriptTimer);
       }},
      {0, 0, kSecondCloseRequest, [](A&, E, R r) { r.refuse = true; }},
      {tmain::kScriptTimer, tmain::kScriptTimer, kTimerTick, [](A& a, E, R) { a.OnScriptTick(); }},
      {tmain::kEnterKey, tmain::kEnterKey, kClick, [](A& a, E, R) { a.OnEnter(); }},
      {tmain::kSend, tmain::kSend, kClick, [](A& a, E, R) { a.OnEnter(); }},
      {tmain::kEscKey, tmain::kEscKey, MainEvent::kAnyCode, [](A& a, E, R) { a.OnEscape(); }},
      {tmain::kProgramKeyFirst, tmain::kProgramKeyFirst + 11, kClick,
       [](A& a, E key, R) { a.RunProgramKey(key.control - tmain::kProgramKeyFirst + 1); }},
      {tmain::kLanguageSelector, tmain::kLanguageSelector, kLoading,
       [](A& a, E, R) {
         a.gui_.ClearItems({kMainForm, tmain::kLanguageSelector});
         a.gui_.AddItems({kMainForm, tmain::kLanguageSelector},
                        platform::SplitFields(a.languages_.SelectorItems(), '|'));
         a.gui_.SelectItem({kMainForm, tmain::kLanguageSelector}, a.languages_.LanguageIndex());
       }},
      {tmain::kLanguageSelector, tmain::kLanguageSelector, kSelectionChange,
       [](A& a, E, R) { a.OnLanguageSelected(); }},
      {tmain::kLanguageSelector, tmain::kLanguageSelector, kOwnerSize,
       [](A& a, E, R r) {
         const ui::ControlSpec* c = FindControl(a.look_.Form(kMainForm), tmain::kLanguageSelector);
         r.itemHeight = ui::look::LineHeight(a.look_.FontOf(c->font));
       }},
      {tmain::kFifo, tmain::kFifo, kTooltip, [](A&, E, R r) { r.tooltip = kFifoTooltip; }},
      {tmain::kLogo, tmain::kLogo, kLoading,
       [](A& a, E, R) { a.gui_.SetText({kMainForm, tmain::kLogo}, "$HLVLOGO"); }},
      {tmain::kClearCommands, tmain::kClearCommands, kClick,
       [](A& a, E, R) {
         a.gui_.SetText({kMainForm, tmain::kCommandEntry}, "");
         a.gui_.SetFocus({kMainForm, tmain::kCommandEntry});
       }},
      {tmain::kZoomIn, tmain::kZoomIn, kClick, [](A& a, E, R) { a.ZoomDisplay(1); }},
      {tmain::kZoomOut, tmain::kZoomOut, kClick, [](A& a, E, R) { a.ZoomDisplay(-1); }},
      {tmain::kZoomReset, tmain::kZoomReset, kClick, [](A& a, E, R) { a.ZoomDisplay(0); }},
      {tmain::kPlot, tmain::kPlot, kClick, [](A& a, E, R) { a.OpenPlot(); }},
      {tmain::kDisplay, tmain::kDisplay, kPlotRequest, [](A& a, E, R) { a.OpenPlot(); }},
      // Ctrl+S as well: refused while a line runs, when the button is hidden.
      {tmain::kSaveDisplay, tmain::kSaveDisplay, kClick,
       [](A& a, E, R) {
         if (a.Idle()) a.SaveDisplay();
       }},
      {tmain::kHistory, tmain::kHistory, kLoaded, [](A& a, E, R) { a.entry_.FillHistoryList(); }},
      {tmain::kCommandEntry, tmain::kCommandEntry, kFocusLost,
       [](A& a, E, R) { a.entry_.FocusLost(); }},
      {tmain::kCommandEntry, tmain::kCommandEntry, kFocusGained,
       [](A& a, E, R) { a.entry_.FocusGained(); }},
      {tmain::kCommandEntry, tmain::kCommandEntry, kKey,
       [](A& a, E key, R) {
         if (key.value == ui::key::kUp || key.value == ui::key::kDown)
           a.entry_.Recall(key.value == ui::key::kUp);
       }},
      {tmain::kHistoryToFront, tmain::kHistoryToFront, kClick,
       [](A& a, E, R) { a.entry_.TransferHistoryItem(CommandEntry::Transfer::Front); }},
      {tmain::kHistoryToSelection, tmain::kHistoryToSelection, kClick,
       [](A& a, E, R) { a.entry_.TransferHistoryItem(CommandEntry::Transfer::AtSelection); }},
      {tmain::kHistoryToEnd, tmain::kHistoryToEnd, kClick,
       [](A& a, E, R) { a.entry_.TransferHistoryItem(CommandEntry::Transfer::End); }},
      {tmain::kAttachHistory, tmain::kAttachHistory, kClick,
       [](A& a, E, R) { a.entry_.AttachHistoryItem(); }},
      {tmain::kAttachCommandLine, tmain::kAttachCommandLine, kClick,
       [](A& a, E, R) { a.entry_.AttachCommandLine(); }},
      {tmain::kShowFunctionKeys, tmain::kShowFunctionKeys, kClick,
       [](A& a, E, R) { a.ShowFunctionKeys(); }},
      {tmain::kFunctionKeyFirst, tmain::kFunctionKeyFirst + 9, MainEvent::kAnyCode,
       [](A& a, E key, R) {
         if (a.Idle()) a.entry_.ApplyFunctionKey(key.control - tmain::kFunctionKeyFirst + 1);
       }},
      {tmain::kHelp, tmain::kHelp, kClick, [](A& a, E, R) { a.OpenHelp(); }},
      {tmain::kDisplay, tmain::kDisplay, kLoaded,
       [](A& a, E, R) {
         a.engine_->Display().SwitchToRich();
         a.gui_.SetDisplayOptions({kMainForm, tmain::kDisplay}, a.ShownDisplayOptions());
       }},
      {tmain::kDisplay, tmain::kDisplay, kDisplayOptions, [](A& a, E, R) { a.OnDisplayOptions(); }},
      {tmain::kRecordHistory, tmain::kRecordHistory, kClick,
       [](A& a, E, R) { a.gui_.PostEvent({kMainForm, tmain::kRecordHistory}, kPosted, 0); }},
      {tmain::kRecordHistory, tmain::kRecordHistory, kPosted,
       [](A& a, E, R) {
         a.gui_.SetEnabled({kMainForm, tmain::kFifo},
                           a.gui_.Checked({kMainForm, tmain::kRecordHistory}));
       }},
      {tmain::kClearDisplay, tmain::kClearDisplay, kClick,
       [](A& a, E, R) { a.engine_->Display().Clear(); }},
      {tmain::kClearHistory, tmain::kClearHistory, kClick,
       [](A& a, E, R) { a.entry_.ClearHistory(); }},
      {tmain::kDeviceSelector, tmain::kDeviceSelector, kLoaded,
       [](A& a, E, R) { a.DiscoverDevices(); }},
      {tmain::kRefreshDevices, tmain::kRefreshDevices, kClick,
       [](A& a, E, R) {
         a.gui_.ClearItems({kMainForm, tmain::kDeviceSelector});
         a.DiscoverDevices();
       }},
      {tmain::kDisplayMode, tmain::kDisplayMode, kLoaded,
       [](A& a, E, R) {
         a.gui_.SetText({kMainForm, tmain::kDisplayMode}, kDisplayModeCaptions[0]);
         a.engine_->State().ShowMode = 1;
       }},
      {tmain::kDisplayMode, tmain::kDisplayMode, kClick, [](A& a, E, R) { a.CycleDisplayMode(); }},
};

void Application::OnMainFormEvent(const ui::Event& e, ui::EventReply& reply) {
  for (const MainEvent& row : kMainEvents) {
    if (e.control >= row.first && e.control <= row.last &&
        (row.code == MainEvent::kAnyCode || row.code == e.code))
      row.handle(*this, e, reply);
  }
}

void Application::OnEnter() {
  if (!Idle()) return;
  const std::string text = gui_.Text({kMainForm, tmain::kCommandEntry});
  if (text.find_first_of("\r\n") != std::string::npos) {
    using platform::ReplaceAll;
    std::vector<std::string> lines;
    for (const std::string& piece :
         platform::SplitFields(ReplaceAll(ReplaceAll(text, "\r\n", "\n"), "\r", "\n"), '\n')) {
      if (std::string line = platform::TrimBlanks(piece); !line.empty())
        lines.push_back(std::move(line));
    }
    RunPastedLines(lines);
    return;
  }
  entry_.Sent(text);
  engine_->State().PumpSuppressed = false;
  ExecuteOnSelectedDevice("");
}

// A paste of several lines ("ID", "PX", "STAT" copied from a log) would
// otherwise go out as one command with the line breaks inside it. Each line
// runs and enters the history as if it had been typed; ESC during one stops
// the rest; a long paste is confirmed first, since it may be a whole file
// pasted by mistake.
void Application::RunPastedLines(const std::vector<std::string>& lines) {
  constexpr std::size_t kAskAbove = 100;
  if (lines.size() > kAskAbove) {
    const ui::MessageBoxRequest question{kMainForm,
                                         "The pasted text holds " + std::to_string(lines.size()) +
                                             " command lines.|Run them one after the other?",
                                         "Paste", ui::MessageBoxRequest::Buttons::OkCancel};
    if (gui_.MessageBox(question) != ui::MessageBoxAnswer::Accepted) return;
  }
  const std::uint64_t escapesBefore = escapes_;
  for (const std::string& line : lines) {
    if (escapes_ != escapesBefore) break;
    gui_.SetText({kMainForm, tmain::kCommandEntry}, line);
    entry_.Sent(line);
    engine_->State().PumpSuppressed = false;
    ExecuteOnSelectedDevice(line);
    // ESC between two lines arrives with the events of the next wait.
    gui_.DoEvents();
  }
}

void Application::CycleDisplayMode() {
  std::string caption = gui_.Text({kMainForm, tmain::kDisplayMode});
  int next = 0;  // any unknown caption goes back to mode 1
  for (std::size_t i = 0; i < kDisplayModeCaptions.size(); ++i) {
    if (caption == kDisplayModeCaptions[i]) {
      next = static_cast<int>((i + 1) % kDisplayModeCaptions.size());
    }
  }
  gui_.SetText({kMainForm, tmain::kDisplayMode},
               kDisplayModeCaptions[static_cast<std::size_t>(next)]);
  engine_->State().ShowMode = next + 1;
}

bool Application::Idle() const {
  return !programs_->ProgramLoading && !engine_->State().EngineRunning;
}

void Application::OnEscape() {
  ++escapes_;
  engine::EngineState& state = engine_->State();
  if (programs_->ProgramLoading) {
    programs_->ProgramLoadAbort = true;
    return;
  }
  if (state.EngineRunning) {
    state.AbortRequest = true;
    script_->OnEscape();
    return;
  }
  state.PumpSuppressed = true;
  sendingEscapeAbort_ = true;
  ExecuteOnSelectedDevice("ABORT");
  sendingEscapeAbort_ = false;
  state.PumpSuppressed = false;
  state.AbortRequest = false;
  script_->OnEscape();
}

void Application::DiscoverDevices() {
  const std::vector<std::string> entries = registry_.Discover();
  // A settings line a link could not use is said where errors are said.
  for (const std::string& note : registry_.TakeNotes()) {
    Tell([&](StationListener& l) { l.OnError(note); });
  }
  // The list rule: the entries are one "|"-joined text, so an entry that
  // holds a "|" shows as the pieces around it.
  gui_.AddItems({kMainForm, tmain::kDeviceSelector},
                devices::SplitList(devices::JoinList(entries)));
  gui_.SelectItem({kMainForm, tmain::kDeviceSelector}, 0);
}

void Application::RefreshDevices() {
  gui_.ClearItems({kMainForm, tmain::kDeviceSelector});
  DiscoverDevices();
  gui_.SelectItem({kMainForm, tmain::kDeviceSelector}, shell_.CurrentSlot);
}

void Application::SelectDeviceSlot(int slot) {
  gui_.SelectItem({kMainForm, tmain::kDeviceSelector}, slot - 1);
  shell_.CurrentSlot = slot - 1;
}

std::vector<std::string> Application::DeviceList() const {
  return gui_.Items({kMainForm, tmain::kDeviceSelector});
}

std::string Application::SelectedDevice() const {
  return gui_.Text({kMainForm, tmain::kDeviceSelector});
}

void Application::ExecuteOnSelectedDevice(const std::string& given) {
  std::string line = platform::TrimBlanks(given);
  if (line.empty()) line = platform::TrimBlanks(gui_.Text({kMainForm, tmain::kCommandEntry}));
  RunningCaption(true);
  std::string device = SelectedDevice();
  if (!line.empty() && !platform::TrimBlanks(device).empty()) {
    shell_.BusyFlag = true;
    SetBusyState(BusyState::Busy);
    devices::LinkKind kind = devices::ClassifyEntry(device);
    devices::Transport& link = registry_.TransportFor(kind);
    if (const platform::Result<devices::LinkHandle> opened = link.Open(device); opened) {
      const devices::LinkHandle handle = *opened;
      engine_->ExecuteCommandLine(link, handle, line, kind);
      link.Close(handle);
      // The link opened, yet the device turned it away (a device server
      // whose port another client holds): not available, and why.
      if (const std::string lost = link.TakeLineLoss(); !lost.empty()) {
        ReportDeviceNotAvailable(device, lost);
      }
    } else {
      // The expected replies of a program that never ran must not be
      // applied to the next line typed.
      programs_->DiscardProgram();
      ReportDeviceNotAvailable(device, opened.Text());
      engine_->Capture().MarkVerificationFailed();
    }
    SetBusyState(BusyState::Normal);
    shell_.BusyFlag = false;
    if (gui_.Checked({kMainForm, tmain::kClearAfterSend})) {
      gui_.SetText({kMainForm, tmain::kCommandEntry}, "");
    }
    entry_.RecordHistory(line);
    if (!shell_.AutoControlMode) gui_.SetFocus({kMainForm, tmain::kCommandEntry});
  } else {
    // A line that found no device is not sent, as in the window; a run
    // without a window still must not pass it as done.
    if (!line.empty() && !sendingEscapeAbort_) {
      ++shell_.LinesWithoutDevice;
      // A board whose library reports a blank name is listed, but a blank
      // entry is no device to send to.
      const std::string why =
          device.empty() ? "no device is selected" : "the selected device's name is blank";
      Tell([&](StationListener& l) { l.OnDeviceNotAvailable("", why); });
    }
    // Nothing runs: a program loaded for this line left the window busy.
    if (!programs_->ProgramCommandLine.empty()) {
      SetBusyState(BusyState::Normal);
      gui_.SetVisible({kMainForm, tmain::kProgramBar}, false);
    }
    programs_->DiscardProgram();
  }
  RunningCaption(false);
}

void Application::ReportDeviceNotAvailable(const std::string& entry, const std::string& reason) {
  ++shell_.DeviceNotAvailableCount;
  Tell([&](StationListener& l) { l.OnDeviceNotAvailable(entry, reason); });
  dialogs_.Values().MessageBoxColourOverrides = {12, 14, 4};
  // The caption keeps its text; why the link did not open is the message's
  // second line.
  ShowMessageBox(entry + "\r\n" + (reason.empty() ? "" : reason + "\r\n"),
                 "Device Not Available!//40", "OK//20");
  dialogs_.Values().MessageBoxColourOverrides = {-1, -1, -1};
  script_->OnDeviceNotAvailable();
}

std::string Application::AskOperator(const std::string& prompt, bool enterPrefix, bool passFail) {
  std::string answer = dialogs_.AskInput(prompt, enterPrefix, passFail);
  Tell([&](StationListener& l) { l.OnOperatorAnswer(prompt, answer, passFail); });
  return answer;
}

bool Application::ShowPassFail(const std::string& message, const std::string& verifyLog,
                               int failCount) {
  return dialogs_.ShowPassFail(message, verifyLog, failCount);
}

void Application::ShowMessageBox(const std::string& text, const std::string& caption,
                                 const std::string& button) {
  dialogs_.ShowMessageBox(text, caption, button, 21);
}

void Application::SetBusyState(BusyState state) {
  gui_.SetRedrawState({kMainForm, 0}, false);
  const bool normal = state == BusyState::Normal;
  for (int id : kBusyControls) {
    gui_.SetVisible({kMainForm, id}, normal);
    gui_.SetEnabled({kMainForm, id}, normal);
  }
  if (!normal) {
    gui_.SetVisible({kMainForm, tmain::kProgramBar}, false);
    gui_.SetVisible({kMainForm, tmain::kEscLabel}, true);
    gui_.SetEnabled({kMainForm, tmain::kDeviceSelector}, false);
    gui_.SetVisible({kMainForm, tmain::kCommandBar}, true);
    gui_.Raise({kMainForm, tmain::kCommandBar});
    gui_.SetColours({kMainForm, 0}, 36, shell_.BusyBackColour);
  } else {
    gui_.SetVisible({kMainForm, tmain::kEscLabel}, false);
    gui_.SetEnabled({kMainForm, tmain::kDeviceSelector}, true);
    gui_.SetVisible({kMainForm, tmain::kCommandBar}, false);
    gui_.SetColours({kMainForm, 0}, 36, shell_.IdleBackColour);
    gui_.SetEnabled({kMainForm, tmain::kFifo}, gui_.Checked({kMainForm, tmain::kRecordHistory}));
  }
  gui_.SetRedrawState({kMainForm, 0}, true);
  gui_.Redraw({kMainForm, 0});
  if (shell_.AutoControlMode) gui_.SetFocus({kMainForm, tmain::kDisplay});
  gui_.DoEvents();
}

void Application::RunningCaption(bool running) {
  if (!shell_.BaseCaptionTaken) {
    shell_.BaseCaption = gui_.Text({kMainForm, 0});
    shell_.BaseCaptionTaken = true;
  }
  shell_.CaptionRunning = running;
  std::string caption = shell_.BaseCaption;
  if (running && !shell_.RunningProgramName.empty()) {
    caption += " - [" + shell_.RunningProgramName + "]";
  }
  if (!running) shell_.RunningProgramName.clear();
  if (!shell_.RecordsNote.empty()) caption += "  (" + shell_.RecordsNote + ")";
  gui_.SetText({kMainForm, 0}, caption);
}

void Application::SetRecordsNote(const std::string& note) {
  if (note == shell_.RecordsNote) return;
  shell_.RecordsNote = note;
  RunningCaption(shell_.CaptionRunning);
}

void Application::OpenPlot() {
  gui_.OpenPlotWindow(plotFeed_.Data());
}

void Application::ApplyDisplayZoom() {
  const ui::ControlSpec* display = FindControl(look_.Form(kMainForm), tmain::kDisplay);
  gui_.SetFont({kMainForm, tmain::kDisplay},
               ui::FontRef{-1, zoom_.Zoomed(look_.FontOf(display->font))});
}

void Application::ZoomDisplay(int direction) {
  if (!zoom_.Change(direction)) return;
  ApplyDisplayZoom();
  displaySettings_.zoom = zoom_.Percent();
  if (platform::Result<> kept = WriteDisplaySettings(folders_, displaySettings_);
      !kept && !zoomUnsaved_) {
    zoomUnsaved_ = true;
    ReportRecordError("The display's options could not be remembered: " + kept.Text());
  }
}

void Application::SaveDisplay() {
  std::string folder = folders_.DataPath("TermDisplay");
  if (!platform::DirectoryExists(folder)) platform::CreateDirectory(folder);
  ui::FileDialogRequest request;
  request.save = true;
  request.form = kMainForm;
  request.title = "Save Terminal";
  request.folder = folder;
  request.defaultName = shell_.SaveName;
  request.filter = "Text|*.txt";
  request.defaultExtension = "txt";
  std::string path = gui_.FileDialog(request);
  if (path.empty()) return;
  std::size_t slash = path.find_last_of("/\\");
  shell_.SaveName = slash == std::string::npos ? path : path.substr(slash + 1);
  if (const platform::Result<> saved = engine::SaveDisplayText(path, engine_->Display().Text());
      !saved) {
    ShowMessageBox(saved.Text() + "\r\n", "Save Terminal", "OK//20");
  }
}

}  // namespace app

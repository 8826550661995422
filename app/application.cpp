#include "app/application.h"

#include "app/main_form.h"
#include "devices/vendor/hid_transport.h"
#include "engine/reply_format.h"
#include "engine/terminal_display.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace app {

// The engine's view of the main window.
class Application::GuiHost : public engine::Host {
 public:
  explicit GuiHost(gui::Gui& gui) : gui_(gui) {}
  double Now() override { return gui_.Now(); }
  void Delay(double seconds) override { gui_.Delay(seconds); }
  void DoEvents() override { gui_.DoEvents(); }
  std::string ControlText(int control) override { return gui_.Text(kMainForm, control); }
  void SetControlText(int control, const std::string& text) override {
    gui_.SetText(kMainForm, control, text);
  }
  void AppendControlText(int control, const std::string& text) override {
    gui_.AppendText(kMainForm, control, text);
  }
  std::size_t ControlTextLength(int control) override {
    return gui_.TextLength(kMainForm, control);
  }
  void SetRedrawState(int control, bool redraw) override {
    gui_.SetRedrawState(kMainForm, control, redraw);
  }
  void RedrawControl(int control) override { gui_.Redraw(kMainForm, control); }

 private:
  gui::Gui& gui_;
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
    app_.gui_.SetText(kMainForm, tmain::kDisplayMode,
                      kDisplayModeCaptions[static_cast<std::size_t>(mode - 1)]);
    app_.gui_.Redraw(kMainForm, tmain::kDisplayMode);
  }
  bool LoadProgram(int number, const std::string& name) override {
    return app_.programs_->LoadProgram(number, name);
  }
  std::string ProgramCommandLine() override { return app_.programs_->ProgramCommandLine; }
  std::string AskOperator(const std::string& prompt, bool enterPrefix, bool passFail) override {
    return app_.dialogs_.AskInput(prompt, enterPrefix, passFail);
  }
  bool ShowPassFail(const std::string& message, const std::string& verifyLog,
                    int failCount) override {
    return app_.dialogs_.ShowPassFail(message, verifyLog, failCount);
  }
  void SelectLanguage(int index) override {
    // A keyword naming a language that is not loaded keeps the current one.
    if (index < 0 || index > app_.languages_.Count()) return;
    app_.gui_.SelectItem(kMainForm, tmain::kLanguageSelector, index);
    if (index != app_.languages_.LanguageIndex()) {
      app_.languages_.Select(index);
      app_.gui_.Redraw(kMainForm, 0);
    }
  }
  void PlaceMainWindow(const std::string& words) override { app_.PlaceMainWindow(words); }
  void Wait(double seconds) override { app_.gui_.Delay(seconds); }
  std::tm LocalTime() override {
    if (app_.localTime) return app_.localTime();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
  }
  bool StartProgram(const std::vector<std::string>& argv, bool wait) override {
    if (app_.startProgram) return app_.startProgram(argv, wait);
    return platform::StartProcess(argv, wait);
  }

 private:
  Application& app_;
};

// What loading a program file needs from the window.
class Application::ProgramSide : public programs::ProgramHost {
 public:
  explicit ProgramSide(Application& app) : app_(app) {}
  void DoEvents() override { app_.gui_.DoEvents(); }
  void EnterBusyState() override { app_.SetBusyState(0); }
  void LeaveBusyState() override { app_.SetBusyState(1); }
  void ShowProgramBar(const std::string& markup) override {
    app_.gui_.SetText(kMainForm, tmain::kProgramBar, markup);
    app_.gui_.SetVisible(kMainForm, tmain::kProgramBar, true);
    app_.gui_.Redraw(kMainForm, tmain::kProgramBar);
  }
  void HideProgramBar() override { app_.gui_.SetVisible(kMainForm, tmain::kProgramBar, false); }
  void SetRunningName(const std::string& name) override { app_.shell_.RunningProgramName = name; }
  std::string ChooseFile(const std::string& title, const std::string& folder,
                         const std::string& filter, const std::string& options) override {
    gui::FileDialogRequest request;
    request.form = kMainForm;
    request.title = title;
    request.folder = folder;
    request.filter = filter;
    request.options = options;
    return app_.gui_.FileDialog(request);
  }

 private:
  Application& app_;
};

std::string CaptionText(const std::string& caption) {
  std::size_t mark = caption.rfind("//");
  return mark == std::string::npos ? caption : caption.substr(0, mark);
}

Application::Application(gui::Gui& gui, DataFolders folders, devices::DeviceRegistry& registry)
    : gui_(gui),
      folders_(std::move(folders)),
      registry_(registry),
      host_(std::make_unique<GuiHost>(gui)),
      engine_(std::make_unique<engine::CommandEngine>(*host_, plainCapture_)),
      dialogs_(gui),
      scriptSide_(std::make_unique<ScriptSide>(*this)),
      programSide_(std::make_unique<ProgramSide>(*this)),
      programs_(std::make_unique<programs::ProgramLoader>(*engine_, *programSide_,
                                                          folders_.GetDataRoot())) {
  script_ = std::make_unique<autocontrol::Script>(*scriptSide_, *engine_, plainCapture_,
                                                  folders_.GetDataRoot(), 0);
  engine_->OnLineFinished = [this] { programs_->OnLineFinished(); };
  dialogs_.onEscape = [this] { script_->OnEscape(); };
  dialogs_.translate = [this](const std::string& caption) { return Translate(caption); };
  gui_.SetEventSink(this);
}

Application::~Application() {
  gui_.SetEventSink(nullptr);
}

void Application::DefineGuiDefaults() {
  gui_.DefineFont(6, "Arial", 11, " L+V");
  gui_.DefineFont(7, "Arial", 11, " BV");
  gui_.DefineFont(8, "Arial", 13, " L+V");
  gui_.DefineFont(9, "Arial", 13, " BV");
  gui_.DefineSystemColour(32, 4);   // menu background
  gui_.DefineSystemColour(33, 5);   // window background
  gui_.DefineSystemColour(34, 15);  // button face
  gui_.DefineSystemColour(35, 24);  // tooltip background
  gui_.DefineColour(36, 249, 249, 249);
  gui_.DefineColour(37, 0, 131, 193);
  gui_.DefineColour(38, 255, 251, 232);
  gui_.DefineColour(39, 255, 128, 0);
  gui_.DefineColour(40, 252, 75, 75);
  gui_.DefineColour(41, 13, 176, 255);
  gui_.DefineColour(42, 174, 255, 186);
  gui_.DefineColour(43, 254, 236, 165);
}

void Application::Start(const CommandOptions& options) {
  DefineGuiDefaults();
  // Initialise: the display starts as plain text; the terminal fonts; the
  // data folders; the script switch.
  engine_->Display().SetPlain();
  gui_.DefineFont(20, "Terminal", 10, "L+OF");
  gui_.DefineFont(21, "Terminal", 12, "L+OF");
  gui_.DefineFont(22, "Terminal", 14, "L+OF");
  folders_.EnsureDataFolders();
  languages_.LoadLanguageFiles(folders_.GetDataRoot());
  shell_.ScriptNumber = options.scriptNumber;
  script_ = std::make_unique<autocontrol::Script>(*scriptSide_, *engine_, plainCapture_,
                                                  folders_.GetDataRoot(), shell_.ScriptNumber);
  bool automatic = script_->LoadScript();
  shell_.AutoControlMode = automatic ? 1 : 0;
  shell_.IdleBackColour = automatic ? 22 : 36;
  shell_.BusyBackColour = automatic ? 39 : 21;
  engine_->State().AutomaticMode = automatic;
  shell_.RunningProgramName.clear();
  gui_.LoadForm(MainFormSpec());
}

void Application::OnEvent(const gui::Event& event, bool& refuse) {
  if (event.form == kMainForm) {
    OnMainFormEvent(event, refuse);
  } else if (dialogs_.OnEvent(event, refuse)) {
    return;
  }
  // The library's own dialogs and the application pseudo-form need nothing
  // from the terminal itself.
}

void Application::OnMainFormLoaded() {
  engine::EngineState& state = engine_->State();
  state.LastReply.clear();
  state.BitMask = -1;
  shell_.BusyFlag = 0;
  gui_.SetFormLimits(kMainForm, 59, 41.25, 999, 999);
  gui_.DefineAccelerators(kMainForm, kMainAccelerators);
  int chosen = languages_.ReadLanguageChoice(folders_.GetDataRoot());
  if (chosen > 0) {
    languages_.Select(chosen);
    gui_.SelectItem(kMainForm, tmain::kLanguageSelector, chosen);
  }
  gui_.SetText(kMainForm, tmain::kDelayBar, engine::kDelayBarDone);
  gui_.Redraw(kMainForm, tmain::kDelayBar);
  gui_.SetEnabled(kMainForm, tmain::kFifo, false);
  if (shell_.AutoControlMode) gui_.SetColours(kMainForm, 0, 36, shell_.IdleBackColour);
  gui_.SetText(kMainForm, 0, gui_.Text(kMainForm, 0) + kVersionSuffix);
}

void Application::OnMainFormStarted() {
  // The board library's version; a library too old to tell it (or none at
  // all) is flagged in warning colours instead.
  std::string version =
      devices::HidLibraryVersionOf(registry_.TransportFor(devices::LinkKind::Hid));
  if (!version.empty()) {
    gui_.SetText(kMainForm, tmain::kVersionLabel, version);
  } else {
    gui_.SetColours(kMainForm, tmain::kVersionLabel, 15, 12);
    gui_.SetText(kMainForm, tmain::kVersionLabel, "Update DLL !");
  }
  if (shell_.AutoControlMode) gui_.StartTimer(kMainForm, tmain::kScriptTimer, 0.05);
}

void Application::OnScriptTick() {
  int result = script_->ScriptStep();
  if (result == autocontrol::kStepEndScript) {
    EndAutoControl();
    if (onScriptEnded) onScriptEnded(result);
  } else if (result == autocontrol::kStepCloseApplication) {
    shell_.AutoControlMode = 0;
    engine_->State().AutomaticMode = false;
    gui_.StopTimer(kMainForm, tmain::kScriptTimer);
    if (onScriptEnded) onScriptEnded(result);
    gui_.UnloadForm(kMainForm);
  }
}

void Application::EndAutoControl() {
  shell_.AutoControlMode = 0;
  engine_->State().AutomaticMode = false;
  gui_.StopTimer(kMainForm, tmain::kScriptTimer);
  gui_.SetColours(kMainForm, 0, 36, 36);
  gui_.Redraw(kMainForm, 0);
  shell_.IdleBackColour = 36;
  shell_.BusyBackColour = 21;
}

void Application::PlaceMainWindow(const std::string& words) {
  // The window backend applies the placement; the words are kept for it.
  shell_.Placement = words;
}

void Application::RunProgramKey(int number) {
  if (!Idle()) return;
  if (!programs_->LoadProgram(number, "")) return;
  engine_->Display().Clear();
  engine_->State().PumpSuppressed = 0;
  ExecuteOnSelectedDevice(programs_->ProgramCommandLine);
}

void Application::OnLanguageSelected() {
  int index = gui_.SelectedItem(kMainForm, tmain::kLanguageSelector);
  if (index < 0 || index == languages_.LanguageIndex()) return;
  languages_.Select(index);
  gui_.Redraw(kMainForm, 0);
  languages_.StoreLanguageChoice(folders_.GetDataRoot(), index);
}

std::string Application::Translate(const std::string& caption) const {
  return languages_.Caption(caption).text;
}

void Application::OnMainFormEvent(const gui::Event& e, bool& refuse) {
  using namespace gui::event;
  switch (e.control) {
    case 0:
      if (e.code == kLoaded) OnMainFormLoaded();
      if (e.code == kStarted) OnMainFormStarted();
      if (e.code == kCloseRequest) {
        if (shell_.BusyFlag) refuse = true;
        if (shell_.AutoControlMode) gui_.StopTimer(kMainForm, tmain::kScriptTimer);
      }
      if (e.code == kSecondCloseRequest) refuse = true;
      return;
    case tmain::kEnterKey:
    case tmain::kSend:
      if (e.code == kClick && Idle()) {
        engine_->State().PumpSuppressed = 0;
        ExecuteOnSelectedDevice("");
      }
      return;
    case tmain::kEscKey:
      OnEscape();
      return;
    case tmain::kScriptTimer:
      if (e.code == kTimerTick) OnScriptTick();
      return;
    case tmain::kLanguageSelector:
      if (e.code == kLoading) {
        gui_.ClearItems(kMainForm, tmain::kLanguageSelector);
        gui_.AddItems(kMainForm, tmain::kLanguageSelector, languages_.SelectorItems());
        gui_.SelectItem(kMainForm, tmain::kLanguageSelector, languages_.LanguageIndex());
      }
      if (e.code == kSelectionChange) OnLanguageSelected();
      return;
    case tmain::kClearCommands:
      if (e.code == kClick) {
        gui_.SetText(kMainForm, tmain::kCommandEntry, "");
        gui_.SetFocus(kMainForm, tmain::kCommandEntry);
      }
      return;
    case tmain::kSaveDisplay:
      if (e.code == kClick) SaveDisplay();
      return;
    case tmain::kHistory:
      if (e.code == kLoaded) gui_.AddItems(kMainForm, tmain::kHistory, kHistoryExample);
      return;
    case tmain::kDisplay:
      if (e.code == kLoaded) {
        gui_.MakeRichText(kMainForm, tmain::kDisplay, engine::kRichDisplayLimit);
        engine_->Display().SwitchToRich();
      }
      return;
    case tmain::kRecordHistory:
      if (e.code == kClick) gui_.PostEvent(kMainForm, tmain::kRecordHistory, kPosted, 0);
      if (e.code == kPosted) {
        gui_.SetEnabled(kMainForm, tmain::kFifo, gui_.Checked(kMainForm, tmain::kRecordHistory));
      }
      return;
    case tmain::kClearDisplay:
      if (e.code == kClick) engine_->Display().Clear();
      return;
    case tmain::kClearHistory:
      if (e.code == kClick) gui_.ClearItems(kMainForm, tmain::kHistory);
      return;
    case tmain::kDeviceSelector:
      if (e.code == kLoaded) DiscoverDevices();
      return;
    case tmain::kRefreshDevices:
      if (e.code == kClick) {
        gui_.ClearItems(kMainForm, tmain::kDeviceSelector);
        DiscoverDevices();
      }
      return;
    case tmain::kDisplayMode:
      if (e.code == kLoaded) {
        gui_.SetText(kMainForm, tmain::kDisplayMode, kDisplayModeCaptions[0]);
        engine_->State().ShowMode = 1;
      }
      if (e.code == kClick) CycleDisplayMode();
      return;
    default:
      if (e.control >= tmain::kProgramKeyFirst && e.control < tmain::kProgramKeyFirst + 12 &&
          e.code == kClick) {
        RunProgramKey(e.control - tmain::kProgramKeyFirst + 1);
      }
      return;
  }
}

void Application::CycleDisplayMode() {
  std::string caption = gui_.Text(kMainForm, tmain::kDisplayMode);
  int next = 0;  // any unknown caption goes back to mode 1
  for (std::size_t i = 0; i < kDisplayModeCaptions.size(); ++i) {
    if (caption == kDisplayModeCaptions[i]) {
      next = static_cast<int>((i + 1) % kDisplayModeCaptions.size());
    }
  }
  gui_.SetText(kMainForm, tmain::kDisplayMode,
               kDisplayModeCaptions[static_cast<std::size_t>(next)]);
  engine_->State().ShowMode = next + 1;
}

bool Application::Idle() const {
  return !programs_->ProgramLoading && engine_->State().EngineRunning == 0;
}

void Application::OnEscape() {
  engine::EngineState& state = engine_->State();
  if (programs_->ProgramLoading) {
    programs_->ProgramLoadAbort = 1;
    return;
  }
  if (state.EngineRunning) {
    state.AbortRequest = 1;
    script_->OnEscape();
    return;
  }
  state.PumpSuppressed = 1;
  ExecuteOnSelectedDevice("ABORT");
  state.PumpSuppressed = 0;
  state.AbortRequest = 0;
  script_->OnEscape();
}

void Application::DiscoverDevices() {
  std::string list = devices::JoinList(registry_.Discover());
  if (!list.empty()) gui_.AddItems(kMainForm, tmain::kDeviceSelector, list);
  gui_.SelectItem(kMainForm, tmain::kDeviceSelector, 0);
}

void Application::RefreshDevices() {
  gui_.ClearItems(kMainForm, tmain::kDeviceSelector);
  DiscoverDevices();
  gui_.SelectItem(kMainForm, tmain::kDeviceSelector, shell_.CurrentSlot);
}

void Application::SelectDeviceSlot(int slot) {
  gui_.SelectItem(kMainForm, tmain::kDeviceSelector, slot - 1);
  shell_.CurrentSlot = slot - 1;
}

std::vector<std::string> Application::DeviceList() const {
  return gui_.Items(kMainForm, tmain::kDeviceSelector);
}

std::string Application::SelectedDevice() const {
  return gui_.Text(kMainForm, tmain::kDeviceSelector);
}

void Application::ExecuteOnSelectedDevice(const std::string& given) {
  std::string line = platform::TrimBlanks(given);
  if (line.empty()) line = platform::TrimBlanks(gui_.Text(kMainForm, tmain::kCommandEntry));
  RunningCaption(1);
  std::string device = SelectedDevice();
  if (!line.empty() && !platform::TrimBlanks(device).empty()) {
    shell_.BusyFlag = 1;
    SetBusyState(0);
    devices::LinkKind kind = devices::ClassifyEntry(device);
    devices::Transport& link = registry_.TransportFor(kind);
    devices::LinkHandle handle = 0;
    if (link.Open(device, handle) == devices::LinkStatus::Ok) {
      engine_->ExecuteCommandLine(link, handle, line, kind);
      link.Close(handle);
    } else {
      // The expected replies of a program that never ran must not be
      // applied to the next line typed.
      programs_->DiscardProgram();
      ReportDeviceNotAvailable(device);
      engine_->Capture().MarkVerificationFailed();
    }
    SetBusyState(1);
    shell_.BusyFlag = 0;
    if (gui_.Checked(kMainForm, tmain::kClearAfterSend)) {
      gui_.SetText(kMainForm, tmain::kCommandEntry, "");
    }
    if (!shell_.AutoControlMode) gui_.SetFocus(kMainForm, tmain::kCommandEntry);
  } else {
    // Nothing runs: a program loaded for this line left the window busy.
    if (!programs_->ProgramCommandLine.empty()) {
      SetBusyState(1);
      gui_.SetVisible(kMainForm, tmain::kProgramBar, false);
    }
    programs_->DiscardProgram();
  }
  RunningCaption(0);
}

void Application::ReportDeviceNotAvailable(const std::string& entry) {
  ++shell_.DeviceNotAvailableCount;
  dialogs_.Values().MessageBoxColourOverrides = {12, 14, 4};
  ShowMessageBox(entry + "\r\n", "Device Not Available!//40", "OK//20");
  dialogs_.Values().MessageBoxColourOverrides = {-1, -1, -1};
  script_->OnDeviceNotAvailable();
}

void Application::ShowMessageBox(const std::string& text, const std::string& caption,
                                 const std::string& button) {
  dialogs_.ShowMessageBox(text, caption, button, 21);
}

void Application::SetBusyState(int state) {
  gui_.SetRedrawState(kMainForm, 0, false);
  bool normal = state != 0;
  for (int id : kBusyControls) {
    gui_.SetVisible(kMainForm, id, normal);
    gui_.SetEnabled(kMainForm, id, normal);
  }
  if (!normal) {
    gui_.SetVisible(kMainForm, tmain::kProgramBar, false);
    gui_.SetVisible(kMainForm, tmain::kEscLabel, true);
    gui_.SetEnabled(kMainForm, tmain::kDeviceSelector, false);
    gui_.SetVisible(kMainForm, tmain::kCommandBar, true);
    gui_.SetColours(kMainForm, 0, 36, shell_.BusyBackColour);
  } else {
    gui_.SetVisible(kMainForm, tmain::kEscLabel, false);
    gui_.SetEnabled(kMainForm, tmain::kDeviceSelector, true);
    gui_.SetVisible(kMainForm, tmain::kCommandBar, false);
    gui_.SetColours(kMainForm, 0, 36, shell_.IdleBackColour);
    gui_.SetEnabled(kMainForm, tmain::kFifo, gui_.Checked(kMainForm, tmain::kRecordHistory));
  }
  gui_.SetRedrawState(kMainForm, 0, true);
  gui_.Redraw(kMainForm, 0);
  if (shell_.AutoControlMode) gui_.SetFocus(kMainForm, tmain::kDisplay);
  gui_.DoEvents();
}

void Application::RunningCaption(int mode) {
  if (!shell_.BaseCaptionTaken) {
    shell_.BaseCaption = gui_.Text(kMainForm, 0);
    shell_.BaseCaptionTaken = true;
  }
  if (mode == 1) {
    std::string caption = shell_.BaseCaption;
    if (!shell_.RunningProgramName.empty()) {
      caption += " - [" + shell_.RunningProgramName + "]";
    }
    gui_.SetText(kMainForm, 0, caption);
  } else {
    gui_.SetText(kMainForm, 0, shell_.BaseCaption);
    shell_.RunningProgramName.clear();
  }
}

void Application::SaveDisplay() {
  std::string folder = folders_.DataPath("TermDisplay");
  if (!platform::DirectoryExists(folder)) platform::CreateDirectory(folder);
  gui::FileDialogRequest request;
  request.save = true;
  request.form = kMainForm;
  request.title = "Save Terminal";
  request.folder = folder;
  request.defaultName = shell_.SaveName;
  request.filter = "Text|*.txt";
  request.defaultExtension = "txt";
  request.options = "PNZI";
  std::string path = gui_.FileDialog(request);
  if (path.empty()) return;
  std::size_t slash = path.find_last_of("/\\");
  shell_.SaveName = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string error;
  if (!engine::SaveDisplayText(path, engine_->Display().Text(), &error)) {
    ShowMessageBox(error + "\r\n", "Save Terminal", "OK//20");
  }
}

}  // namespace app

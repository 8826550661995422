// The application object: start-up, the main window's event map, the device
// selector, and the one way a command line reaches a device
// (ExecuteOnSelectedDevice). It works through the GUI contract only, so the
// headless backend and the Qt backend run the same logic.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "autocontrol/script.h"
#include "devices/device_registry.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "engine/session_log.h"
#include "lang/languages.h"
#include "platform/data_folders.h"
#include "programs/program_loader.h"
#include "records/result_files.h"
#include "screens/dialogs.h"
#include "screens/placement.h"
#include "station/command_entry.h"
#include "station/display_settings.h"
#include "station/display_zoom.h"
#include "station/plot_feed.h"
#include "station/station_listener.h"
#include "station/station_look.h"
#include "ui/contract/gui.h"
#include "ui/look/form_codes.h"
#include "ui/look/palette.h"

namespace app {

// The shell's process-wide values.
struct ShellState {
  bool BusyFlag = false;         // while a command line runs on a device
  bool AutoControlMode = false;  // while a start-up script runs
  int IdleBackColour = 36;
  int BusyBackColour = 21;
  int ScriptNumber = 0;
  int CurrentSlot = 0;             // last [DEVICEn] position, reapplied by [REFRESH]
  std::string RunningProgramName;  // shown in the caption while it runs
  std::string BaseCaption;
  bool BaseCaptionTaken = false;
  bool CaptionRunning = false;
  std::string RecordsNote;              // after the caption: what waits for the central database
  std::string SaveName = "myfile.txt";  // offered by the next display save
  int LinesWithoutDevice = 0;           // lines not sent: no device selected
  int DeviceNotAvailableCount = 0;      // links that could not be opened
};

// What start-up loads: the start-up script of `scriptNumber` (0: the
// unnumbered one), unless `loadScript` is false (runs of their own such as
// --exec, --program and --list-devices).
struct StartUp {
  int scriptNumber = 0;
  bool loadScript = true;
  // The session log is on for this run, whatever AppConfig/Display.cfg says
  // (--session-log).
  bool sessionLog = false;
  // The replies that are numbers are kept for the plot: always in the
  // window, whose plot may be opened at any time; in a run without one only
  // when it writes the plot (--plot).
  bool plot = true;
};

class Application : public ui::EventSink {
 public:
  // `surroundings` (the clock, other programs) outlives the application;
  // without one the system's are used.
  Application(ui::Gui& gui, platform::DataFolders folders, devices::DeviceRegistry& registry,
              Surroundings* surroundings = nullptr);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The start-up sequence: GUI defaults, data folders, the script switch,
  // then the main window (whose loading fills the device list). The
  // start-up script is not loaded for --exec, --program and --list-devices.
  void Start(const StartUp& startUp = {});

  // Routes every event of every form; at the end of the outermost event the
  // display is shown up to date.
  void OnEvent(const ui::Event& event, ui::EventReply& reply) override;
  // Paints the owner-drawn labels and buttons, the bars, the shapes and the
  // language selector's items of every form through ui/look.
  void OnDraw(const ui::DrawRequest& request, ui::Canvas& canvas) override;

  // Device list.
  void DiscoverDevices();
  void RefreshDevices();            // [REFRESH]: rediscover, reselect the current slot
  void SelectDeviceSlot(int slot);  // [DEVICE1]..[DEVICE8]: slot 1..8
  std::vector<std::string> DeviceList() const;
  std::string SelectedDevice() const;

  // Runs one command line on the selected device: opens its link, runs the
  // line, closes the link. An empty `line` takes the command entry's text.
  void ExecuteOnSelectedDevice(const std::string& line);
  // "Device Not Available!" for `entry`, with the link's `reason` (its
  // text for the failed open) as the message's second line when it has one.
  void ReportDeviceNotAvailable(const std::string& entry, const std::string& reason = {});
  // What a program key does (1..10 the stored programs, 11 and 12 the file
  // dialog): load the program and run it on the selected device. False when
  // nothing ran (busy, no file, no command in it).
  bool RunProgramKey(int number);

  // The main window while a command line or a program load runs: its
  // controls hidden and disabled, the ESC label and command bar shown.
  enum class BusyState { Busy, Normal };
  void SetBusyState(BusyState state);
  // The window's caption while a command line runs (with the running
  // program's name), and afterwards.
  void RunningCaption(bool running);
  // A note after the window's caption about the station's records (what
  // waits for the central database); "" for none.
  void SetRecordsNote(const std::string& note);
  // Save the display through the save dialog.
  void SaveDisplay();
  // The display's font at the operator's zoom, one step larger (+1),
  // smaller (-1) or as the table gives it (0), remembered for the next run.
  void ZoomDisplay(int direction);
  // The display's font at the zoom as it stands.
  void ApplyDisplayZoom();
  // The live plot of the replies that are numbers (Ctrl+G, or the display's
  // context menu): its window opened on the station's plot data.
  void OpenPlot();
  // Every sample of the run so far (--plot writes them at its end).
  std::shared_ptr<const ui::PlotData> PlotData() const { return plotFeed_.Data(); }
  // True when no program file is loading and no command line is running.
  bool Idle() const;
  // What a tick of the script timer does.
  void OnScriptTick();
  // AutoControl mode ends: the normal colours, the timer stopped.
  void EndAutoControl();
  // [RESIZEAPP]: places or sizes the main window by the words LEFT,
  // CENTER, RIGHT, MAX (screens/placement.h).
  void PlaceMainWindow(const std::string& words);
  // The "?" button: the help file, else the program's guides, else a
  // message box that says neither is there (station/help.h).
  void OpenHelp();

  // What a front end or a test may read of the station; what it may do goes
  // through the named calls above and below.
  const engine::CommandEngine& Engine() const { return *engine_; }
  const engine::PlainReplyCapture& PlainCapture() const { return plainCapture_; }
  const autocontrol::Script& Script() const { return *script_; }
  // The script's result files and CSV tables; RecordsLost() for the exit status.
  const records::ResultFiles& Results() const { return *results_; }
  const programs::ProgramLoader& Programs() const { return *programs_; }
  const ui::look::Palette& Palette() const { return look_.Palette(); }
  const lang::Languages& Languages() const { return languages_; }
  const app::Dialogs& Dialogs() const { return dialogs_; }
  const ShellState& Shell() const { return shell_; }
  const platform::DataFolders& Folders() const { return folders_; }

  // The front end's hold on the engine and the script it drives: who hears
  // the exchanges, the display and the script's verdicts, the display
  // written out, and the script ended as ESC ends it.
  // A record that could not be written: on the display and to the listeners.
  void ReportRecordError(const std::string& text);
  void AddExchangeListener(engine::ExchangeListener& listener);
  void RemoveExchangeListener(engine::ExchangeListener& listener);
  void AddScriptListener(autocontrol::ScriptListener& listener);
  void RemoveScriptListener(autocontrol::ScriptListener& listener);
  void SetDisplayListener(engine::DisplayListener* listener);
  void FlushDisplay();
  // The display's whole text, after the widget has been given all of it.
  const std::string& DisplayText();
  // The session log (engine/session_log.h) and the display's time stamps
  // from now on. Start() sets them from AppConfig/Display.cfg; the display's
  // context menu changes them and remembers the choice there.
  void SetSessionLog(bool on);
  bool SessionLogOn() const { return sessionLog_ != nullptr; }
  void SetTimeStamps(engine::TimeStamps stamps);
  // The rest of a running script as after ESC (autocontrol::Script::EndByEscape).
  void EndScriptByEscape();

  // The dialogs, as a script shows them: the input dialog (its answer, ""
  // after ESC), the pass/fail dialog (true: "Try Again"), and a message to
  // the operator (the program's message box).
  std::string AskOperator(const std::string& prompt, bool enterPrefix, bool passFail);
  bool ShowPassFail(const std::string& message, const std::string& verifyLog, int failCount);
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      const std::string& button);
  // Where the dialogs' answers come from when no operator sits at a window
  // (app::OperatorAnswers); nullptr: the window's own keys and clicks.
  void SetOperatorAnswers(OperatorAnswers* answers) { dialogs_.SetOperatorAnswers(answers); }
  // A stop from outside: the dialog open now closes as by ESC, and every
  // dialog asked from now on answers ESC without showing.
  void EndDialogsWithEscape() { dialogs_.EndWithEscape(); }
  // The caption text in the chosen language ("OK//20" -> "OK" or its translation).
  std::string Translate(const std::string& caption) const;

  // Who hears what the station does (the front end, the records of a run).
  // Every listener added hears every call, in the order they were added;
  // adding one twice adds it once; one is removed before it goes away.
  void AddListener(StationListener& listener);
  void RemoveListener(StationListener& listener);
  // Folders whose user guides start-up copies into the data folder's Docs
  // folder when it lacks them (station/help.h).
  void SetGuideSources(std::vector<std::string> folders) { guideSources_ = std::move(folders); }

 private:
  class GuiHost;
  class DialogSide;
  class ScriptSide;
  class ProgramSide;
  struct MainEvent;
  static const MainEvent kMainEvents[];
  void OnLanguageSelected();
  void OnMainFormEvent(const ui::Event& event, ui::EventReply& reply);
  void OnMainFormLoaded();
  void OnMainFormStarted();
  void OnEnter();
  void UseLanguage(int index);
  // Text pasted with line breaks: each line runs as if typed on its own.
  void RunPastedLines(const std::vector<std::string>& lines);
  void OnEscape();
  void CycleDisplayMode();
  // The operator chose display options in the display's context menu.
  void OnDisplayOptions();
  ui::DisplayOptions ShownDisplayOptions() const;
  // The function keys' texts in the program's message box.
  void ShowFunctionKeys();

  // Every listener, in the order added.
  template <typename Call>
  void Tell(Call call) {
    for (StationListener* listener : listeners_) call(*listener);
  }
  // A new script of the start-up script `scriptNumber` with its result files.
  void BuildScript(int scriptNumber);

  ui::Gui& gui_;
  platform::DataFolders folders_;
  SystemSurroundings systemSurroundings_;
  Surroundings& surroundings_;
  std::vector<StationListener*> listeners_;
  std::vector<std::string> guideSources_;
  devices::DeviceRegistry& registry_;
  std::unique_ptr<GuiHost> host_;
  engine::PlainReplyCapture plainCapture_;
  std::unique_ptr<engine::CommandEngine> engine_;
  std::unique_ptr<DialogSide> dialogSide_;
  app::Dialogs dialogs_;
  lang::Languages languages_;
  std::unique_ptr<ScriptSide> scriptSide_;
  // Built with the script and listening to it; it outlives the script.
  std::unique_ptr<records::ResultFiles> results_;
  std::unique_ptr<autocontrol::Script> script_;
  std::unique_ptr<ProgramSide> programSide_;
  std::unique_ptr<programs::ProgramLoader> programs_;
  // What AppConfig/Display.cfg holds (the operator's remembered choice).
  DisplaySettings displaySettings_;
  // Writes the display's lines while the session log is on (the engine's
  // display holds it as its log until the destructor takes it away).
  std::unique_ptr<engine::SessionLog> sessionLog_;
  ShellState shell_;
  app::CommandEntry entry_;
  WindowPlacement placement_;
  StationLook look_{gui_, languages_};
  DisplayZoom zoom_;
  PlotFeed plotFeed_{[this] { return gui_.Now(); }};
  bool zoomUnsaved_ = false;  // said once that the zoom could not be saved
  int eventDepth_ = 0;
  bool sendingEscapeAbort_ = false;  // the ESC key's "ABORT" while nothing runs
  std::uint64_t escapes_ = 0;        // ESC keys taken so far (pasted lines stop at one)
};

}  // namespace app

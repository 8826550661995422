// The application object: start-up, the main window's event map, the device
// selector, and the one way a command line reaches a device
// (ExecuteOnSelectedDevice). It works through the GUI contract only, so the
// headless backend and the Qt backend run the same logic.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "autocontrol/script.h"
#include "devices/device_registry.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "lang/languages.h"
#include "platform/data_folders.h"
#include "programs/program_loader.h"
#include "screens/dialogs.h"
#include "screens/placement.h"
#include "station/command_entry.h"
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
};

class Application : public ui::EventSink {
 public:
  Application(ui::Gui& gui, platform::DataFolders folders, devices::DeviceRegistry& registry);
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
  // Caption while a command line runs (1) and afterwards (0).
  void RunningCaption(int mode);
  // Save the display through the save dialog.
  void SaveDisplay();
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

  engine::CommandEngine& Engine() { return *engine_; }
  engine::PlainReplyCapture& PlainCapture() { return plainCapture_; }
  autocontrol::Script& Script() { return *script_; }
  programs::ProgramLoader& Programs() { return *programs_; }
  const ui::look::Palette& Palette() const { return palette_; }
  lang::Languages& Languages() { return languages_; }
  app::Dialogs& Dialogs() { return dialogs_; }
  ShellState& Shell() { return shell_; }
  app::CommandEntry& Entry() { return entry_; }
  ui::Gui& Gui() { return gui_; }
  const platform::DataFolders& Folders() const { return folders_; }

  // Shows a message to the operator (the program's message box).
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      const std::string& button);
  // The caption text in the chosen language ("OK//20" -> "OK" or its translation).
  std::string Translate(const std::string& caption) const;

  // For the run's report: a device entry that could not be opened (and
  // why, when the link tells), or a line that found no device selected
  // (`entry` empty); and each answer the operator gave a script's dialog.
  std::function<void(const std::string& entry, const std::string& reason)> onDeviceNotAvailable;
  std::function<void(const std::string& prompt, const std::string& answer)> onOperatorAnswer;
  // Called when the script ends (-1) or closes the application (-2).
  std::function<void(int result)> onScriptEnded;
  // The local time (tests set their own clock).
  std::function<std::tm()> localTime;
  // Receives what the operator must learn even without the display (a
  // record that could not be written); the program writes it to standard error.
  std::function<void(const std::string& text)> onError;
  // Starts an external program for [SHELLAPP] (tests replace it).
  std::function<bool(const std::vector<std::string>&, bool)> startProgram;
  // Folders whose user guides start-up copies into the data folder's Docs
  // folder when it lacks them (station/help.h; the program sets GuideSources).
  std::vector<std::string> guideSources;

 private:
  class GuiHost;
  class ScriptSide;
  class ProgramSide;
  struct MainEvent;
  static const MainEvent kMainEvents[];
  void OnLanguageSelected();
  void OnMainFormEvent(const ui::Event& event, ui::EventReply& reply);
  void OnMainFormLoaded();
  void OnMainFormStarted();
  void OnEnter();
  void OnEscape();
  void CycleDisplayMode();
  // The function keys' texts in the program's message box.
  void ShowFunctionKeys();
  void DefineGuiDefaults();
  // The font a control draws its caption in (its slot's or its own).
  ui::Font FontOf(const ui::FontRef& font) const;

  ui::Gui& gui_;
  platform::DataFolders folders_;
  devices::DeviceRegistry& registry_;
  std::unique_ptr<GuiHost> host_;
  engine::PlainReplyCapture plainCapture_;
  std::unique_ptr<engine::CommandEngine> engine_;
  app::Dialogs dialogs_;
  lang::Languages languages_;
  std::unique_ptr<ScriptSide> scriptSide_;
  std::unique_ptr<autocontrol::Script> script_;
  std::unique_ptr<ProgramSide> programSide_;
  std::unique_ptr<programs::ProgramLoader> programs_;
  ShellState shell_;
  app::CommandEntry entry_;
  WindowPlacement placement_;
  int dotsPerInch_ = ui::kReferenceDotsPerInch;
  ui::look::Palette palette_;
  std::map<int, ui::Font> fontSlots_;
  std::map<std::string, ui::FormSpec> forms_;   // every form this program loads
  std::map<int, ui::look::Effect> barEffects_;  // of the main window's bars
  int eventDepth_ = 0;
  bool sendingEscapeAbort_ = false;  // the ESC key's "ABORT" while nothing runs
};

}  // namespace app

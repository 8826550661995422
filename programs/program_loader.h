// Loading a program file for a run: picks the file (stored program of a key,
// named program of a script, or a file dialog), parses it with a progress
// bar the operator can abort with ESC, and leaves the command line in
// ProgramCommandLine and the expected replies in the engine, ready for the
// caller to hand ProgramCommandLine to the selected device.
//
//   ProgramLoader loader(engine, host, dataRoot);
//   // and the engine's host, at the end of every line: loader.OnLineFinished();
//   if (loader.LoadProgram(1, "")) RunOnSelectedDevice(loader.ProgramCommandLine);
//
// A load that gives no program says why in its result (see LoadProgram).
//
// Everything runs on the window's thread; the window gets control after
// every parsed line (ProgramHost::DoEvents), which is where its ESC key sets
// ProgramLoadAbort.
#pragma once

#include <cstdint>
#include <string>

#include "engine/command_engine.h"
#include "platform/data_folders.h"
#include "platform/result.h"

namespace programs {

// What loading needs from the main window; the application implements it.
class ProgramHost {
 public:
  virtual ~ProgramHost() = default;
  // Lets the window process its pending events once.
  virtual void DoEvents() = 0;
  // The main window's busy state (controls disabled, the program bar hidden)
  // and the way back to normal.
  virtual void EnterBusyState() = 0;
  virtual void LeaveBusyState() = 0;
  // Sets the text (a bar markup) of the program progress bar, shows the bar
  // and redraws it.
  virtual void ShowProgramBar(const std::string& markup) = 0;
  virtual void HideProgramBar() = 0;
  // The file name the window caption shows while the program runs.
  virtual void SetRunningName(const std::string& name) = 0;
  // The open-file dialog: returns the chosen path, or "" when cancelled.
  virtual std::string ChooseFile(const std::string& title, const std::string& folder,
                                 const std::string& filter, const std::string& options) = 0;
};

// The markup of the program progress bar at `percent` (1..100).
std::string ProgramBarMarkup(int percent);

class ProgramLoader {
 public:
  // `dataRoot` is the data folder; program files lie in its "AppPrograms"
  // folder, found without regard to letter case.
  ProgramLoader(engine::CommandEngine& engine, ProgramHost& host, std::string dataRoot);
  ProgramLoader(const ProgramLoader&) = delete;
  ProgramLoader& operator=(const ProgramLoader&) = delete;

  // Loads a program; success when there is one to run.
  //   n 1..10, name empty: the stored program "test0n.prg" / "test10.prg"
  //   n 1..10, name given: the named program "test99" + cleaned name + ".prg"
  //   n 11 or 12:          the file dialog (.prg, .csv and .txt files)
  // Writes "Load: <file>" when a file is read and "Run: <file>" when it
  // loaded. On success ProgramCommandLine holds the command line and the
  // engine's ExpectedValuesLine the replies, and the window is still busy:
  // the caller runs ProgramCommandLine on the selected device next, which
  // leaves the busy state. On failure the bar is hidden and the busy state
  // left. Either way ProgramLoading is 0 afterwards.
  //
  // A file that yields no command at all (empty, blank, only remarks), a
  // missing file, a cancelled dialog, ESC during parsing and a call made
  // while another load is parsing all load nothing. Why, when nothing
  // loaded:
  //   NotFound       the stored or named program file does not exist:
  //                  "Program file not found: test05.prg", shown by nobody
  //                  here (a script says so itself)
  //   CallerMistake  the file exists but could not be read (not a file,
  //   SystemFailure  too large; no permission or another system refusal):
  //                  "Program file not read: <why>", shown after its "Load:"
  //                  line
  //   Cancelled      nothing was asked for or found to run (a cancelled
  //                  dialog, ESC, no commands in the file, another load
  //                  under way, a number that names no program): no fault
  platform::Result<> LoadProgram(int n, const std::string& name);

  // The engine finished a line: the program's copy of it is done with.
  void OnLineFinished() { ProgramCommandLine.clear(); }

  // Drops a loaded program that will not run after all (for example when
  // the device could not be opened), so its expected replies cannot be
  // applied to a later typed line.
  void DiscardProgram();

  // The program folder: DataRoot + "AppPrograms", as found on disk.
  std::string ProgramFolder() const;

  // The file name of the program loaded last ("test01.prg", or the chosen
  // file's name without its folder); "" before the first load.
  const std::string& FileName() const { return fileName_; }

  std::string ProgramCommandLine;
  bool ProgramLoading = false;    // while the file is being parsed
  bool ProgramLoadAbort = false;  // set by the window's ESC while ProgramLoading

 private:
  struct Progress;  // the progress display of one load
  platform::Result<> LoadFile(const std::string& path, const std::string& fileName);
  void Message(const std::string& text);

  engine::CommandEngine& engine_;
  ProgramHost& host_;
  platform::DataFolders folders_;
  std::string fileName_;
};

}  // namespace programs

// Help for the "?" button. The data folder's help file, "Software Utility -
// Terminal.chm" in Docs (found in any letter case), is handed to the
// desktop's default application for it. Linux desktops rarely have one, so
// when the file is missing, is no regular file, or nothing opens it, the
// program shows its own user guides instead: the Markdown guides shipped in
// docs/, which start-up copies into the data folder's Docs folder, shown in
// the program's help window from their index page (which links the script
// language guide and the others).
#pragma once

#include <string>
#include <vector>

#include "platform/data_folders.h"
#include "ui/contract/gui.h"

namespace app {

inline constexpr const char* kHelpFile = "Docs\\Software Utility - Terminal.chm";
inline constexpr const char* kGuideIndex = "Docs\\index.md";
inline constexpr const char* kHelpTitle = "Halvorn Terminal Help";

// The folders the shipped guides may come from, for the program's own
// folder: the build's copy (demo-data/Docs beside the program) and the
// installed copy (../share/halvorn-terminal/Docs).
std::vector<std::string> GuideSources(const std::string& executableFolder);

// Copies every guide ("*.md") of the `sources` that the data folder's Docs
// folder lacks (in any letter case) into it; a guide found in several
// sources comes from the first. Files already there are never replaced, so
// an operator's own edits stay. Sources that do not exist are passed over.
// Returns how many guides were copied.
int InstallGuides(const platform::DataFolders& folders, const std::vector<std::string>& sources);

enum class HelpShown {
  HelpFile,  // the desktop opened the help file
  Guides,    // the help window shows the guides' index
  Nothing,   // neither exists: the caller tells the operator
};

// Opens the help file or, failing that, the guides.
HelpShown OpenHelp(ui::Gui& gui, const platform::DataFolders& folders);

// What the operator is told when OpenHelp shows nothing.
std::string NoHelpMessage(const platform::DataFolders& folders);

}  // namespace app

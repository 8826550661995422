#include "station/help.h"

#include <filesystem>
#include <system_error>

#include "platform/default_data_root.h"
#include "platform/files.h"

namespace app {
namespace {

// The guides of a folder: its regular files named "*.md". A name holding
// "\" would be read as a path below Docs, so it is no guide.
std::vector<std::string> GuidesIn(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const bool guide = name.size() > 3 && name.ends_with(".md") && name.find('\\') == name.npos;
    if (guide && platform::FileExists(it->path().string())) names.push_back(name);
  }
  return names;
}

}  // namespace

std::vector<std::string> GuideSources(const std::string& executableFolder) {
  if (executableFolder.empty()) return {};
  return {platform::JoinPath(executableFolder, "demo-data/Docs"),
          platform::JoinPath(platform::JoinPath(executableFolder, platform::kInstalledDataFolder),
                             "Docs")};
}

int InstallGuides(const platform::DataFolders& folders, const std::vector<std::string>& sources) {
  int copied = 0;
  for (const std::string& source : sources) {
    for (const std::string& name : GuidesIn(source)) {
      const std::string target = folders.DataPath("Docs\\" + name);
      if (platform::FileExists(target)) continue;
      std::string text;
      if (platform::ReadFile(platform::JoinPath(source, name), text) &&
          platform::WriteFileExclusive(target, text)) {
        ++copied;
      }
    }
  }
  return copied;
}

HelpShown OpenHelp(ui::Gui& gui, const platform::DataFolders& folders) {
  // Only a regular file goes to the desktop: a folder of that name would
  // open in a file manager and look like help that was shown.
  const std::string helpFile = folders.DataPath(kHelpFile);
  if (platform::FileExists(helpFile) && gui.OpenWithDesktop(helpFile)) return HelpShown::HelpFile;
  if (gui.ShowHelpWindow(kHelpTitle, folders.DataPath(kGuideIndex))) return HelpShown::Guides;
  return HelpShown::Nothing;
}

std::string NoHelpMessage(const platform::DataFolders& folders) {
  return "No help is installed: neither " + folders.DataPath(kHelpFile) + " nor " +
         folders.DataPath(kGuideIndex) + " can be opened.\r\n";
}

}  // namespace app

// Where every data file lives: one data folder (DataRoot) with a fixed tree
// of folders below it. Every layer builds its data paths here, with the
// system's "\"-separated relative paths ("AppConfig\COMM_Ports.cfg").
//
// Operators copy their data folders from Windows installations, where names
// are case-insensitive, so a tree may arrive as "AppPrograms/autocontrol" or
// "APPCONFIG/comm_ports.CFG". DataPath() finds every name that exists in any
// letter case, and keeps the given spelling only for names that do not exist
// yet, so a new file or folder lands inside the folders that are there:
// results of "AppPrograms\AutoControl\AutoResults" go to
// "AppPrograms/autocontrol/AutoResults".
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The folder tree below DataRoot, parents before children.
inline constexpr const char* kDataFolders[] = {
    "AppLanguages",
    "AppPrograms",
    "AppPrograms\\AutoControl",
    "AppPrograms\\AutoControl\\AutoResults",
    "AppConfig",
    "AppResults",  // the station's records database
    "Docs",
};

class DataFolders {
 public:
  // `root` empty: the default (platform::DefaultDataRoot()).
  explicit DataFolders(std::string root = {});

  // DataRoot with its trailing separator.
  const std::string& GetDataRoot() const { return root_; }

  // DataRoot + `relative` ("\" or "/" between names). Each name that exists is
  // matched without regard to letter case (an exact match wins; among several
  // others the first in byte order); from the first name that does not exist
  // on, the names keep the spelling given.
  std::string DataPath(std::string_view relative) const;

  // Creates the folders of the tree that are missing, each inside its parent
  // as found on disk. A folder that cannot be created is passed over silently;
  // later file operations in it fail by themselves and report it. Temporary
  // files that a killed run left where the program writes (DataRoot, the
  // tree, "TermDisplay") are removed (platform::RemoveStaleTemporaryFiles).
  void EnsureDataFolders() const;

 private:
  std::string root_;
};

}  // namespace platform

// Where every data file lives: one data folder (DataRoot) with a fixed tree
// of folders below it. Paths are built with DataPath(), which turns the
// system's "\"-separated relative paths into this platform's form.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The folder tree below DataRoot, parents before children.
inline constexpr const char* kDataFolders[] = {
    "AppLanguages",
    "AppPrograms",
    "AppPrograms\\AutoControl",
    "AppPrograms\\AutoControl\\AutoResults",
    "AppConfig",
    "Docs",
};

class DataFolders {
 public:
  // `root` empty: the default (platform::DefaultDataRoot()).
  explicit DataFolders(std::string root = {});

  // DataRoot with its trailing separator.
  const std::string& GetDataRoot() const { return root_; }
  // DataRoot + a relative path such as "AppConfig\COMM_Ports.cfg".
  std::string DataPath(std::string_view relative) const;
  // Creates the folders of the tree that are missing; silently leaves those
  // that cannot be created (later file operations in them fail by themselves).
  void EnsureDataFolders() const;

 private:
  std::string root_;
};

}  // namespace app

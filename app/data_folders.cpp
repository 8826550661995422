#include "app/data_folders.h"

#include "platform/default_data_root.h"
#include "platform/files.h"

namespace app {

DataFolders::DataFolders(std::string root) {
  if (root.empty()) root = platform::DefaultDataRoot();
  if (root.empty()) root = ".";
  root_ = platform::JoinPath(root, "");
}

std::string DataFolders::DataPath(std::string_view relative) const {
  return platform::JoinPath(root_, relative);
}

void DataFolders::EnsureDataFolders() const {
  for (const char* folder : kDataFolders) {
    std::string path = DataPath(folder);
    // A folder copied from Windows may differ in letter case; it counts.
    if (platform::DirectoryExists(platform::FindPath(path))) continue;
    platform::CreateDirectory(path);
  }
}

}  // namespace app

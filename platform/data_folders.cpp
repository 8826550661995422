#include "platform/data_folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/default_data_root.h"
#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to letter
// case; "" when there is none. Several candidates ("autocontrol" and
// "AUTOCONTROL") give the first in byte order, so the choice never depends
// on the order of the directory listing.
std::string MatchInFolder(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return {};
  std::string found;
  while (const dirent* e = ::readdir(dir)) {
    std::string_view entry(e->d_name);
    if (EqualsNoCase(entry, name) && (found.empty() || entry < found)) found = entry;
  }
  ::closedir(dir);
  return found;
}

}  // namespace

DataFolders::DataFolders(std::string root) {
  if (root.empty()) root = DefaultDataRoot();
  if (root.empty()) root = ".";
  root_ = JoinPath(root, "");
}

std::string DataFolders::DataPath(std::string_view relative) const {
  std::string path = root_;
  bool found = true;  // every name so far exists
  bool first = true;
  FieldWalker names(relative, "\\/");
  while (!names.Done()) {
    const std::string_view name = names.Next();
    if (name.empty()) continue;
    if (!first) path += PathSeparator();
    first = false;
    const std::size_t folderEnd = path.size();
    path.append(name);
    if (!found || name == "." || name == ".." || Exists(path)) continue;
    const std::string match = MatchInFolder(path.substr(0, folderEnd), name);
    if (match.empty()) {
      found = false;
    } else {
      path.replace(folderEnd, name.size(), match);
    }
  }
  return path;
}

void DataFolders::EnsureDataFolders() const {
  RemoveStaleTemporaryFiles(root_);
  for (const char* folder : kDataFolders) {
    const std::string path = DataPath(folder);
    if (!DirectoryExists(path)) CreateDirectory(path);
    RemoveStaleTemporaryFiles(path);
  }
  RemoveStaleTemporaryFiles(DataPath("TermDisplay"));
}

}  // namespace platform

#include "platform/default_data_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

bool IsInstalledTree(const std::string& executableFolder) {
  std::error_code ignored;
  return fs::path(executableFolder).filename() == "bin" &&
         fs::is_directory(JoinPath(executableFolder, kInstalledDataFolder), ignored);
}

// Creates `path` and its missing parents, each new one for this user only.
bool CreatePrivateFolders(const fs::path& path) {
  fs::path built;
  for (const fs::path& part : path) {
    built /= part;
    if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return DirectoryExists(path.string());
}

// Copies every regular file under `from` that `to` lacks.
void CopyMissingFiles(const fs::path& from, const fs::path& to) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(from, error), end; !error && it != end;
       it.increment(error)) {
    fs::path target = to / fs::relative(it->path(), from, error);
    if (error) return;
    if (it->is_directory(error)) {
      fs::create_directory(target, error);
    } else if (it->is_regular_file(error)) {
      fs::copy_file(it->path(), target, fs::copy_options::skip_existing, error);
    }
    error.clear();  // one file that cannot be copied does not stop the others
  }
}

}  // namespace

std::string ChooseDataRoot(const std::string& executableFolder, const char* xdgDataHome,
                           const char* home, bool& usersOwn) {
  usersOwn = false;
  bool writable = !executableFolder.empty() && ::access(executableFolder.c_str(), W_OK) == 0;
  if (writable && !IsInstalledTree(executableFolder)) return executableFolder;
  std::string base;
  // The base directory specification ignores relative values.
  if (xdgDataHome && xdgDataHome[0] == '/') {
    base = xdgDataHome;
  } else if (home && home[0] == '/') {
    base = JoinPath(home, ".local/share");
  } else {
    return executableFolder;
  }
  usersOwn = true;
  return JoinPath(base, "halvorn-terminal");
}

std::string DefaultDataRoot() {
  const std::string executableFolder = ExecutableFolder();
  bool usersOwn = false;
  std::string root =
      ChooseDataRoot(executableFolder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), usersOwn);
  if (!usersOwn) return root;
  if (!CreatePrivateFolders(root)) return executableFolder;
  CopyMissingFiles(JoinPath(executableFolder, kInstalledDataFolder), root);
  return root;
}

}  // namespace platform

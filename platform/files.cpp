#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

bool WriteAll(int fd, std::string_view data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void SetError(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
}

// Finds an entry of `folder` whose name equals `name` without regard to case.
std::string MatchInFolder(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return {};
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      if (found == name) break;  // an exact match wins over a case-folded one
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

char PathSeparator() {
  return '/';
}

std::string JoinPath(std::string_view folder, std::string_view relative) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/' && out.back() != '\\') out += PathSeparator();
  for (char c : relative) out += (c == '\\' || c == '/') ? PathSeparator() : c;
  return out;
}

std::string FindPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return path;
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(current);
  std::string resolved;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string next = i == 0 ? part : resolved + "/" + part;
    if (part.empty() || part == "." || part == ".." || ::stat(next.c_str(), &st) == 0) {
      resolved = next;
      continue;
    }
    std::string match =
        MatchInFolder(i == 0 ? std::string() : (resolved.empty() ? "/" : resolved), part);
    if (match.empty()) return path;
    resolved = i == 0 ? match : resolved + "/" + match;
  }
  return resolved;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return DirectoryExists(path);
}

bool ReadFile(const std::string& path, std::string& out) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error) {
  std::string temp = path + ".tmpXXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    SetError(error, "cannot create a temporary file beside " + path);
    return false;
  }
  ::fchmod(
      fd, 0666 & ~[] {
        mode_t m = ::umask(0);
        ::umask(m);
        return m;
      }());
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  if (!ok) SetError(error, "cannot write " + path);
  if (::close(fd) != 0 && ok) {
    ok = false;
    SetError(error, "cannot write " + path);
  }
  if (ok && ::rename(name.data(), path.c_str()) != 0) {
    ok = false;
    SetError(error, "cannot replace " + path);
  }
  if (!ok) ::unlink(name.data());
  return ok;
}

bool WriteFileExclusive(const std::string& path, std::string_view data, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetError(error, "cannot create " + path);
    return false;
  }
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  if (!ok) SetError(error, "cannot write " + path);
  if (::close(fd) != 0 && ok) {
    ok = false;
    SetError(error, "cannot write " + path);
  }
  if (!ok) ::unlink(path.c_str());  // a half-written record is worse than none
  return ok;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string exe(buffer.data(), static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace platform

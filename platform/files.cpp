#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Writes `data`, flushes it to disk and closes `fd`: 0, or the error number
// of the first step that failed (the descriptor is closed either way).
int WriteFlushClose(int fd, std::string_view data) {
  int error = WriteAll(fd, data) && ::fsync(fd) == 0 ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new name in a folder lasts only once the folder itself is on disk. File
// systems that cannot flush a folder say so, and have nothing to flush.
void FlushFolder(const std::string& path) {
  int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

mode_t CreationMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Writes `data` to a new temporary file beside `path`, flushed and closed.
// Returns its name, or "" with `result` set.
std::string WriteTemporary(const std::string& path, std::string_view data, Result& result) {
  std::string temp = path + ".tmpXXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    result = Result::SystemFailure("cannot create a temporary file beside " + path, errno);
    return {};
  }
  ::fchmod(fd, CreationMode());
  if (int error = WriteFlushClose(fd, data); error != 0) {
    ::unlink(name.data());
    result = Result::SystemFailure("cannot write " + path, error);
    return {};
  }
  return name.data();
}

// The file system offers no hard links (a FAT stick, some network shares).
bool LinksUnsupported(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK ||
         error == ENOSYS;
}

// The plain way for file systems without hard links: the name is taken
// exclusively and written; a failed write removes it again.
Result CreateAndWrite(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return Result::CallerMistake(path + " exists already");
    return Result::SystemFailure("cannot create " + path, errno);
  }
  if (int error = WriteFlushClose(fd, data); error != 0) {
    ::unlink(path.c_str());  // a half-written record is worse than none
    return Result::SystemFailure("cannot write " + path, error);
  }
  FlushFolder(path);
  return Result::Success();
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

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Result CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path)) return Result::Success();
  return Result::SystemFailure("cannot create the folder " + path, errno);
}

Result ReadFile(const std::string& path, std::string& out) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Result::SystemFailure("cannot open " + path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Result::CallerMistake(path + " is not a file");
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      out.clear();
      return Result::SystemFailure("cannot read " + path, error);
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return Result::Success();
}

Result WriteFileAtomic(const std::string& path, std::string_view data) {
  Result result;
  std::string temp = WriteTemporary(path, data, result);
  if (temp.empty()) return result;
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    result = Result::SystemFailure("cannot replace " + path, errno);
    ::unlink(temp.c_str());
    return result;
  }
  FlushFolder(path);
  return Result::Success();
}

Result WriteFileExclusive(const std::string& path, std::string_view data) {
  Result result;
  std::string temp = WriteTemporary(path, data, result);
  if (temp.empty()) return result;
  // link() gives the finished file its name only if the name is free.
  const int linked = ::link(temp.c_str(), path.c_str());
  const int error = errno;
  ::unlink(temp.c_str());
  if (linked == 0) {
    FlushFolder(path);
    return Result::Success();
  }
  if (error == EEXIST) return Result::CallerMistake(path + " exists already");
  if (LinksUnsupported(error)) return CreateAndWrite(path, data);
  return Result::SystemFailure("cannot create " + path, error);
}

Result RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return Result::Success();
  return Result::SystemFailure("cannot remove " + path, errno);
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

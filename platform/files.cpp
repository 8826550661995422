#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// Temporary files are ".halvorn-" + six random characters + ".tmp": hidden,
// and named apart from anything an operator or the program itself keeps.
constexpr std::string_view kTemporaryPrefix = ".halvorn-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryRandom = 6;

bool IsTemporaryName(std::string_view name) {
  return name.size() == kTemporaryPrefix.size() + kTemporaryRandom + kTemporarySuffix.size() &&
         name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix &&
         name.substr(name.size() - kTemporarySuffix.size()) == kTemporarySuffix;
}

// Writes all of `data`: 0, or the error number (ENOSPC on a full disk, EFBIG
// beyond a file-size limit).
int WriteAll(int fd, std::string_view data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Writes `data` and flushes it to disk: 0, or the error number of the step
// that failed.
int WriteAndFlush(int fd, std::string_view data) {
  if (int error = WriteAll(fd, data); error != 0) return error;
  return ::fsync(fd) == 0 ? 0 : errno;
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

// A written and flushed temporary file beside the target, still open and
// locked: a starting program removes only temporary files nobody holds, so
// the lock is kept until the file has its final name.
class Temporary {
 public:
  Temporary() = default;
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;
  ~Temporary() {
    if (fd_ < 0) return;
    if (!named_) ::unlink(name_.c_str());
    ::close(fd_);
  }

  // Creates, fills and flushes the file for `path` with permissions `mode`.
  Result<> Write(const std::string& path, std::string_view data, mode_t mode) {
    if (Result<> created = Create(path); !created) return created;
    ::fchmod(fd_, mode);
    if (int error = WriteAndFlush(fd_, data); error != 0) {
      return Result<>::SystemFailure("cannot write " + path, error);
    }
    return Result<>::Success();
  }
  int Descriptor() const { return fd_; }
  const std::string& Name() const { return name_; }
  // The file now lives under its final name (or was removed by the caller).
  void Named() { named_ = true; }

 private:
  Result<> Create(const std::string& path) {
    // A start-up cleaning may take a new file for a stale one in the instant
    // before it is locked; the file is then gone and another name is tried.
    for (int attempt = 0; attempt < 8; ++attempt) {
      std::string pattern = JoinPath(FolderOf(path), kTemporaryPrefix);
      pattern.append(kTemporaryRandom, 'X');
      pattern.append(kTemporarySuffix);
      std::vector<char> name(pattern.begin(), pattern.end());
      name.push_back('\0');
      int fd = ::mkstemps(name.data(), static_cast<int>(kTemporarySuffix.size()));
      if (fd < 0)
        return Result<>::SystemFailure("cannot create a temporary file beside " + path, errno);
      // A file system without locks leaves the file unlocked; the cleaning
      // cannot lock it either, and so leaves it alone.
      ::flock(fd, LOCK_EX);
      struct stat st;
      if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        fd_ = fd;
        name_ = name.data();
        return Result<>::Success();
      }
      ::close(fd);
    }
    return Result<>::SystemFailure("cannot create a temporary file beside " + path, EAGAIN);
  }

  int fd_ = -1;
  std::string name_;
  bool named_ = false;
};

// The file system offers no hard links (a FAT stick, some network shares).
bool LinksUnsupported(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK ||
         error == ENOSYS;
}

// The plain way for file systems that offer neither hard links nor a rename
// that refuses to replace: the name is taken exclusively and written; a
// failed write removes it again.
Result<> CreateAndWrite(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return Result<>::CallerMistake(path + " exists already");
    return Result<>::SystemFailure("cannot create " + path, errno);
  }
  int error = WriteAndFlush(fd, data);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(path.c_str());  // a half-written record is worse than none
    return Result<>::SystemFailure("cannot write " + path, error);
  }
  FlushFolder(path);
  return Result<>::Success();
}

// What stands at a path that is to be written, and so how it is written.
// What a write does with the name; a folder, a socket or a block device is
// never a record's place, and Classify refuses it (a caller mistake).
enum class Target {
  Replace,       // nothing, a regular file or a symbolic link: a new file takes the name
  WriteThrough,  // a character device or a FIFO (a terminal, /dev/null, a reader's pipe)
};

// The file system of /proc, whose links in .../fd name open descriptors.
constexpr long kProcFileSystem = 0x9fa0;

// True when `path` leads through a link that names an open descriptor of a
// process (/dev/stdout -> /proc/self/fd/1, /dev/fd/2): such a name means
// that descriptor, whatever it leads to, and is written through. Replacing
// it would put a file where the system keeps its names of descriptors.
bool NamesDescriptor(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    struct statfs fs;
    if (::statfs(FolderOf(path).c_str(), &fs) == 0 && fs.f_type == kProcFileSystem) return true;
    std::vector<char> target(4096);
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (n <= 0) return false;
    std::string next(target.data(), static_cast<std::size_t>(n));
    path = next.front() == '/' ? next : JoinPath(FolderOf(path), next);
  }
  return false;
}

Result<Target> Classify(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return Target::Replace;  // nothing there (or no way in)
  // A link is replaced, never followed, unless it is the system's name of
  // an open descriptor.
  if (S_ISLNK(st.st_mode)) return NamesDescriptor(path) ? Target::WriteThrough : Target::Replace;
  if (S_ISREG(st.st_mode)) return Target::Replace;
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return Target::WriteThrough;
  return Result<>::CallerMistake(S_ISDIR(st.st_mode)    ? "it is a folder"
                                 : S_ISSOCK(st.st_mode) ? "it is a socket"
                                 : S_ISBLK(st.st_mode)
                                     ? "it is a block device"
                                     : "it is neither a file, a character device nor a FIFO");
}

// While it lives, a write to a pipe whose reader went away fails with EPIPE
// and raises no SIGPIPE: a report written into a FIFO nobody reads any more
// is a failed write, not a reason for the whole program to stop.
class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    pendingBefore_ = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    held_ = ::pthread_sigmask(SIG_BLOCK, &pipe, &old_) == 0;
  }
  ~PipeSignalHeld() {
    if (!held_) return;
    // A SIGPIPE our own write caused is taken off before the mask goes back;
    // one that was there before is left for its handler.
    if (!pendingBefore_) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec none{0, 0};
      while (::sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  PipeSignalHeld(const PipeSignalHeld&) = delete;
  PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

 private:
  sigset_t old_;
  bool held_ = false;
  bool pendingBefore_ = false;
};

// Writes `data` into the device or FIFO at `path` as it stands: nothing is
// created, truncated or renamed. A FIFO that no process has open for
// reading is refused at once rather than waited for.
Result<> WriteThrough(const std::string& path, std::string_view data) {
  PipeSignalHeld held;
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENXIO) return Result<>::SystemFailure("nothing reads " + path, errno);
    return Result<>::SystemFailure("cannot open " + path, errno);
  }
  // Opened without waiting for a reader; written with the waits a pipe or a
  // terminal needs.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  int error = WriteAll(fd, data);
  struct stat st;
  if (error == 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) return Result<>::SystemFailure("cannot write " + path, error);
  return Result<>::Success();
}

Result<> TooLarge(const std::string& path, std::uint64_t size, std::size_t limit) {
  return Result<>::CallerMistake(path + " is too large to read (" + std::to_string(size) +
                                 " bytes; the limit is " + std::to_string(limit) + ")");
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

namespace {

Result<> CheckReadable(const std::string& path, std::uint64_t limit, bool streams) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || ::access(path.c_str(), R_OK) != 0) {
    const int error = errno;
    return Result<>::SystemFailureSaying(std::strerror(error), error);
  }
  if (S_ISDIR(info.st_mode)) return Result<>::CallerMistake("it is a folder");
  if (!S_ISREG(info.st_mode)) {
    return streams ? Result<>::Success() : Result<>::CallerMistake("it is not a regular file");
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    return Result<>::CallerMistake("it is too large (" + std::to_string(info.st_size) +
                                   " bytes; at most " + std::to_string(limit) + ")");
  }
  return Result<>::Success();
}

}  // namespace

Result<> CheckReadableFile(const std::string& path, std::uint64_t limit) {
  return CheckReadable(path, limit, false);
}

Result<> CheckReadableFileOrStream(const std::string& path, std::uint64_t limit) {
  return CheckReadable(path, limit, true);
}

Result<> CheckFolder(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    return Result<>::SystemFailureSaying(std::strerror(error), error);
  }
  if (!S_ISDIR(info.st_mode)) return Result<>::CallerMistake("it is not a folder");
  return Result<>::Success();
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NameTaken(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

Result<> CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path)) return Result<>::Success();
  return Result<>::SystemFailure("cannot create the folder " + path, errno);
}

Result<> ReadFile(const std::string& path, std::string& out, std::size_t limit) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Result<>::SystemFailure("cannot open " + path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Result<>::CallerMistake(path + " is not a file");
  }
  // The size is known before a byte is read: a huge (or sparse) file costs
  // nothing to refuse.
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > limit) {
    ::close(fd);
    return TooLarge(path, size, limit);
  }
  out.reserve(static_cast<std::size_t>(size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      out.clear();
      return Result<>::SystemFailure("cannot read " + path, error);
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
    if (out.size() > limit) {  // it grew while being read
      ::close(fd);
      out.clear();
      return TooLarge(path, size, limit);
    }
  }
  ::close(fd);
  return Result<>::Success();
}

Result<> CheckWritable(const std::string& path) {
  const Result<Target> target = Classify(path);
  if (!target) return target.Failure();
  switch (*target) {
    case Target::WriteThrough:
      if (::access(path.c_str(), W_OK) != 0) return Result<>::SystemFailure("it", errno);
      return Result<>::Success();
    case Target::Replace:
      break;
  }
  const std::string folder = FolderOf(path);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return Result<>::SystemFailure("its folder", errno);
  if (!S_ISDIR(st.st_mode)) return Result<>::CallerMistake("its folder is not a folder");
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return Result<>::SystemFailure("its folder", errno);
  return Result<>::Success();
}

Result<> WriteFileAtomic(const std::string& path, std::string_view data) {
  const Result<Target> target = Classify(path);
  if (!target) return Result<>::CallerMistake("cannot write " + path + ": " + target.Text());
  switch (*target) {
    case Target::WriteThrough:
      return WriteThrough(path, data);
    case Target::Replace:
      break;
  }
  struct stat old;
  const bool replacing = ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  Temporary temp;
  if (Result<> written = temp.Write(path, data, replacing ? old.st_mode & 07777 : CreationMode());
      !written) {
    return written;
  }
  // The owner too, where this process may give it away (it runs as root);
  // a change of owner drops set-id bits, so the mode is set once more.
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(temp.Descriptor(), old.st_uid, old.st_gid) == 0) {
    ::fchmod(temp.Descriptor(), old.st_mode & 07777);
  }
  if (::rename(temp.Name().c_str(), path.c_str()) != 0) {
    return Result<>::SystemFailure("cannot replace " + path, errno);
  }
  temp.Named();
  FlushFolder(path);
  return Result<>::Success();
}

Result<> WriteFileExclusive(const std::string& path, std::string_view data) {
  Temporary temp;
  if (Result<> written = temp.Write(path, data, CreationMode()); !written) return written;
  // link() gives the finished file its name only if the name is free, and
  // never follows a symbolic link that holds the name.
  const int linked = ::link(temp.Name().c_str(), path.c_str());
  const int error = errno;
  if (linked == 0) {
    FlushFolder(path);
    return Result<>::Success();
  }
  if (error == EEXIST) return Result<>::CallerMistake(path + " exists already");
  if (!LinksUnsupported(error)) return Result<>::SystemFailure("cannot create " + path, error);
  // Without hard links, a rename that refuses to replace does the same.
  if (::renameat2(AT_FDCWD, temp.Name().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    temp.Named();
    FlushFolder(path);
    return Result<>::Success();
  }
  if (errno == EEXIST) return Result<>::CallerMistake(path + " exists already");
  return CreateAndWrite(path, data);
}

Result<> RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return Result<>::Success();
  return Result<>::SystemFailure("cannot remove " + path, errno);
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  const int dirFd = ::dirfd(dir);
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTemporaryName(e->d_name)) continue;
    int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    // A writer holds its file locked until it is named: only a file nobody
    // holds was left by a run that ended in the middle.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::unlinkat(dirFd, e->d_name, 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
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

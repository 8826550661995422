#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

Result<> AppendFile::Create(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return Result<>::CallerMistake(path + " exists already");
    return Result<>::SystemFailure("cannot create " + path, errno);
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return Result<>::SystemFailure("cannot read the state of " + path, error);
  }
  fd_ = fd;
  path_ = path;
  size_ = 0;
  device_ = static_cast<std::uint64_t>(st.st_dev);
  inode_ = static_cast<std::uint64_t>(st.st_ino);
  return Result<>::Success();
}

Result<> AppendFile::Append(std::string_view data) {
  if (fd_ < 0) return Result<>::CallerMistake("no file is open");
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const int error = n < 0 ? errno : ENOSPC;
    // What went in of this record comes out again, so the file ends with
    // the last whole record.
    if (done > 0 && ::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
      return Result<>::SystemFailure("cannot cut " + path_ + " back to its last whole line", errno);
    }
    return Result<>::SystemFailure("cannot write " + path_, error);
  }
  size_ += data.size();
  return Result<>::Success();
}

bool AppendFile::StillAtPath() const {
  if (fd_ < 0) return false;
  struct stat st;
  if (::stat(path_.c_str(), &st) != 0) return false;
  return static_cast<std::uint64_t>(st.st_dev) == device_ &&
         static_cast<std::uint64_t>(st.st_ino) == inode_;
}

void AppendFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace platform

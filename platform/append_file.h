// A file that grows by whole records. Each Append either writes all of its
// bytes or, when the system takes only part of them (a full disk, a
// file-size limit, a quota), cuts the file back to where it was: a reader
// never finds half a record at the end, and the next Append starts clean.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace platform {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates `path` as a new file; a name already taken is a caller mistake
  // (nothing is ever written into a file that was there before).
  Result<> Create(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Bytes in the file so far.
  std::uint64_t Size() const { return size_; }
  // All of `data` at the end, or nothing of it.
  Result<> Append(std::string_view data);
  // The open file is still the one at its path: false when it was removed,
  // renamed away or replaced (its folder gone, say).
  bool StillAtPath() const;
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
  std::uint64_t size_ = 0;
  std::uint64_t device_ = 0, inode_ = 0;
};

}  // namespace platform

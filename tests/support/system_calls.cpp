#include "support/system_calls.h"

#include <errno.h>
#include <unistd.h>

#include <mutex>

extern "C" {
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);
int __real_link(const char* from, const char* to);
}

namespace testing_support {
namespace {

std::mutex watchMutex;
bool watching = false;
int failingError = 0;
std::vector<SystemCall> calls;

std::string DescriptorPath(int fd) {
  char buffer[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Records the call; returns the error fsync is to fail with (0: none).
int Record(SystemCall call) {
  std::lock_guard<std::mutex> lock(watchMutex);
  if (!watching) return 0;
  const bool isFsync = call.name == "fsync";
  calls.push_back(std::move(call));
  return isFsync ? failingError : 0;
}

}  // namespace

SystemCallWatch::SystemCallWatch(int fsyncError) {
  std::lock_guard<std::mutex> lock(watchMutex);
  watching = true;
  failingError = fsyncError;
  calls.clear();
}

SystemCallWatch::~SystemCallWatch() {
  std::lock_guard<std::mutex> lock(watchMutex);
  watching = false;
  failingError = 0;
}

std::vector<SystemCall> SystemCallWatch::Calls() const {
  std::lock_guard<std::mutex> lock(watchMutex);
  return calls;
}

}  // namespace testing_support

extern "C" {

int __wrap_fsync(int fd) {
  using testing_support::Record;
  if (int error = Record({"fsync", testing_support::DescriptorPath(fd), {}}); error != 0) {
    errno = error;
    return -1;
  }
  return __real_fsync(fd);
}

int __wrap_rename(const char* from, const char* to) {
  testing_support::Record({"rename", from, to});
  return __real_rename(from, to);
}

int __wrap_link(const char* from, const char* to) {
  testing_support::Record({"link", from, to});
  return __real_link(from, to);
}

}  // extern "C"

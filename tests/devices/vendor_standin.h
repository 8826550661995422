// Drives a stand-in access library from a test: its path in the build, and
// its test-only control entry point (call counts, forced results, names).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "devices/vendor/shared_library.h"
#include "platform/files.h"

namespace testing_support {

// The folder the program, the tests and the stand-ins are built into.
inline std::string BinFolder() {
  const char* bin = std::getenv("HALVORN_BIN_DIR");
  return bin != nullptr && *bin != '\0' ? std::string(bin) : platform::ExecutableFolder();
}

inline std::string HidStandinPath() {
  return platform::JoinPath(BinFolder(), devices::PlatformLibraryName("TVNHidApi"));
}
inline std::string HidStandinWithoutVersionPath() {
  return platform::JoinPath(BinFolder(), "noversion/" + devices::PlatformLibraryName("TVNHidApi"));
}
inline std::string UsbStandinPath() {
  return platform::JoinPath(BinFolder(), devices::PlatformLibraryName("ZENDRIKCOM"));
}

// The stand-in's state lives as long as the library stays loaded, so every
// test starts with a reset (without the environment's device counts).
class Standin {
 public:
  explicit Standin(const std::string& path) {
    std::string error;
    library_ = devices::SharedLibrary::Open(path, &error);
    if (!library_) {
      ADD_FAILURE() << "stand-in not loadable: " << error;
      return;
    }
    void* address = library_->Symbol("HalvornStandinControl");
    std::memcpy(&control_, &address, sizeof control_);
    if (control_ == nullptr) ADD_FAILURE() << path << " has no control entry point";
    ::unsetenv("HALVORN_SIM_HID_BOARDS");
    ::unsetenv("HALVORN_SIM_USB_CONTROLLERS");
    ::unsetenv("HALVORN_SIM_INSTANT");
    Do("reset");
    Do("instant 1");
  }

  // Sends a control request that must be understood.
  void Do(const std::string& request) {
    if (control_ == nullptr) return;
    EXPECT_EQ(control_(request.c_str(), nullptr, 0), 1) << request;
  }
  // Sends a request and returns its answer.
  std::string Ask(const std::string& request) {
    char answer[512] = {};
    if (control_ != nullptr) {
      EXPECT_EQ(control_(request.c_str(), answer, sizeof answer), 1) << request;
    }
    return answer;
  }
  long Calls(const std::string& entry) { return std::stol("0" + Ask("calls " + entry)); }

 private:
  using Control = std::int32_t (*)(const char*, char*, std::int32_t);
  std::unique_ptr<devices::SharedLibrary> library_;
  Control control_ = nullptr;
};

}  // namespace testing_support

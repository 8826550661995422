// A shared library opened at run time: the one door through which the
// program reaches the makers' access libraries. Only this file's platform
// part knows how a library is opened and searched (dlopen/dlsym here,
// LoadLibrary/GetProcAddress on Windows).
#pragma once

#include <memory>
#include <string>

#include "platform/result.h"

namespace devices {

class SharedLibrary {
 public:
  // Opens the library at `path` (a bare file name lets the system search its
  // library path). A failure (never a null library) tells why it cannot be
  // opened.
  static platform::Result<std::unique_ptr<SharedLibrary>> Open(const std::string& path);

  ~SharedLibrary();  // unloads the library once nothing else holds it
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of an exported entry point; null when the library lacks it.
  void* Symbol(const char* name) const;

  // The path the library was opened with.
  const std::string& Path() const { return path_; }

 private:
  SharedLibrary(void* module, std::string path) : module_(module), path_(std::move(path)) {}

  void* module_;
  std::string path_;
};

// The file name of a library on this platform: "libNAME.so" here,
// "NAME.dll" on Windows.
std::string PlatformLibraryName(const std::string& name);

}  // namespace devices

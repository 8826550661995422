// The POSIX part of SharedLibrary (dlopen). A Windows build supplies the same
// functions over LoadLibrary/GetProcAddress/FreeLibrary.
#if !defined(_WIN32)

#include <dlfcn.h>

#include "devices/vendor/shared_library.h"

namespace devices {

platform::Result<std::unique_ptr<SharedLibrary>> SharedLibrary::Open(const std::string& path) {
  // RTLD_LOCAL: two libraries exporting the same entry point names (a board
  // library of another version, a stand-in) never see each other's symbols.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    return platform::Result<>::SystemFailureSaying(why != nullptr ? why : "cannot be opened");
  }
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(module, path));
}

SharedLibrary::~SharedLibrary() {
  ::dlclose(module_);
}

void* SharedLibrary::Symbol(const char* name) const {
  return ::dlsym(module_, name);
}

std::string PlatformLibraryName(const std::string& name) {
  return "lib" + name + ".so";
}

}  // namespace devices

#endif

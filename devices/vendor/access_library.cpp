#include "devices/vendor/access_library.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/files.h"

namespace devices {
namespace {

// Resolves one entry point into its typed slot. The platform hands out
// entry points as plain addresses; copying the bits is the portable way to
// turn one into a function pointer.
template <typename Function>
bool Resolve(const SharedLibrary& library, const char* name, Function& slot) {
  static_assert(std::is_pointer_v<Function> && sizeof(Function) == sizeof(void*));
  void* address = library.Symbol(name);
  if (address == nullptr) return false;
  std::memcpy(&slot, &address, sizeof slot);
  return true;
}

// Resolves every required entry point of a table, or reports the first one
// missing. A table is used whole or not at all.
class TableBuilder {
 public:
  explicit TableBuilder(const SharedLibrary& library) : library_(library) {}

  template <typename Function>
  TableBuilder& Require(const char* name, Function& slot) {
    if (missing_.empty() && !Resolve(library_, name, slot)) missing_ = name;
    return *this;
  }
  platform::Result<> Complete() const {
    if (missing_.empty()) return platform::Result<>::Success();
    return platform::Result<>::Unsupported(library_.Path() + " lacks the entry point " + missing_);
  }

 private:
  const SharedLibrary& library_;
  std::string missing_;
};

platform::Result<> ResolveTable(const SharedLibrary& library, HidEntryPoints& api) {
  TableBuilder table(library);
  table.Require("GetTorvaneHIDnumber", api.getNumber)
      .Require("GetTorvaneHIDName", api.getName)
      .Require("OpenTorvaneHID", api.open)
      .Require("SendReceiveTorvaneHID", api.sendReceive)
      .Require("CloseTorvaneHID", api.close);
  if (platform::Result<> complete = table.Complete(); !complete) return complete;
  // Older board libraries do not export the version; that is no failure.
  if (!Resolve(library, "GetTorvaneHIDversion", api.getVersion)) api.getVersion = nullptr;
  return platform::Result<>::Success();
}

platform::Result<> ResolveTable(const SharedLibrary& library, UsbEntryPoints& api) {
  TableBuilder table(library);
  table.Require("fnZendrikComGetNumDevices", api.getNumDevices)
      .Require("fnZendrikComGetProductString", api.getProductString)
      .Require("fnZendrikComSetTimeouts", api.setTimeouts)
      .Require("fnZendrikComOpen", api.open)
      .Require("fnZendrikComFlush", api.flush)
      .Require("fnZendrikComSendRecv", api.sendRecv)
      .Require("fnZendrikComClose", api.close);
  return table.Complete();
}

template <typename EntryPoints>
platform::Result<std::shared_ptr<const AccessLibrary<EntryPoints>>> Load(const std::string& path) {
  platform::Result<std::unique_ptr<SharedLibrary>> library = SharedLibrary::Open(path);
  if (!library) return library.Failure();
  EntryPoints api;
  if (platform::Result<> resolved = ResolveTable(**library, api); !resolved) return resolved;
  return std::shared_ptr<const AccessLibrary<EntryPoints>>(
      std::make_shared<const AccessLibrary<EntryPoints>>(std::move(library).value(), api));
}

// The executable's folder by absolute path first, so that the libraries
// shipped beside the program win over any installed elsewhere; then the bare
// name for the system's own search.
template <typename EntryPoints>
platform::Result<std::shared_ptr<const AccessLibrary<EntryPoints>>> Find(const char* baseName) {
  const std::string fileName = PlatformLibraryName(baseName);
  std::vector<std::string> candidates;
  const std::string folder = platform::ExecutableFolder();
  if (!folder.empty()) candidates.push_back(platform::JoinPath(folder, fileName));
  candidates.push_back(fileName);
  std::string reasons;
  for (const std::string& candidate : candidates) {
    auto library = Load<EntryPoints>(candidate);
    if (library) return library;
    if (!reasons.empty()) reasons += "; ";
    reasons += library.Text();
  }
  return platform::Result<>::Unsupported(reasons);
}

}  // namespace

platform::Result<std::shared_ptr<const HidLibrary>> LoadHidLibrary(const std::string& path) {
  return Load<HidEntryPoints>(path);
}

platform::Result<std::shared_ptr<const UsbLibrary>> LoadUsbLibrary(const std::string& path) {
  return Load<UsbEntryPoints>(path);
}

platform::Result<std::shared_ptr<const HidLibrary>> FindHidLibrary() {
  return Find<HidEntryPoints>(kHidLibraryName);
}

platform::Result<std::shared_ptr<const UsbLibrary>> FindUsbLibrary() {
  return Find<UsbEntryPoints>(kUsbLibraryName);
}

}  // namespace devices

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
  bool Complete(std::string* error) const {
    if (missing_.empty()) return true;
    if (error != nullptr) *error = library_.Path() + " lacks the entry point " + missing_;
    return false;
  }

 private:
  const SharedLibrary& library_;
  std::string missing_;
};

bool ResolveTable(const SharedLibrary& library, HidEntryPoints& api, std::string* error) {
  TableBuilder table(library);
  table.Require("GetTorvaneHIDnumber", api.getNumber)
      .Require("GetTorvaneHIDName", api.getName)
      .Require("OpenTorvaneHID", api.open)
      .Require("SendReceiveTorvaneHID", api.sendReceive)
      .Require("CloseTorvaneHID", api.close);
  if (!table.Complete(error)) return false;
  // Older board libraries do not export the version; that is no failure.
  if (!Resolve(library, "GetTorvaneHIDversion", api.getVersion)) api.getVersion = nullptr;
  return true;
}

bool ResolveTable(const SharedLibrary& library, UsbEntryPoints& api, std::string* error) {
  TableBuilder table(library);
  table.Require("fnZendrikComGetNumDevices", api.getNumDevices)
      .Require("fnZendrikComGetProductString", api.getProductString)
      .Require("fnZendrikComSetTimeouts", api.setTimeouts)
      .Require("fnZendrikComOpen", api.open)
      .Require("fnZendrikComFlush", api.flush)
      .Require("fnZendrikComSendRecv", api.sendRecv)
      .Require("fnZendrikComClose", api.close);
  return table.Complete(error);
}

template <typename EntryPoints>
std::shared_ptr<const AccessLibrary<EntryPoints>> Load(const std::string& path,
                                                       std::string* error) {
  std::unique_ptr<SharedLibrary> library = SharedLibrary::Open(path, error);
  if (!library) return nullptr;
  EntryPoints api;
  if (!ResolveTable(*library, api, error)) return nullptr;
  return std::make_shared<const AccessLibrary<EntryPoints>>(std::move(library), api);
}

// The executable's folder by absolute path first, so that the libraries
// shipped beside the program win over any installed elsewhere; then the bare
// name for the system's own search.
template <typename EntryPoints>
std::shared_ptr<const AccessLibrary<EntryPoints>> Find(const char* baseName, std::string* error) {
  const std::string fileName = PlatformLibraryName(baseName);
  std::vector<std::string> candidates;
  const std::string folder = platform::ExecutableFolder();
  if (!folder.empty()) candidates.push_back(platform::JoinPath(folder, fileName));
  candidates.push_back(fileName);
  std::string reasons;
  for (const std::string& candidate : candidates) {
    std::string why;
    if (auto library = Load<EntryPoints>(candidate, &why)) return library;
    if (!reasons.empty()) reasons += "; ";
    reasons += why;
  }
  if (error != nullptr) *error = reasons;
  return nullptr;
}

}  // namespace

std::shared_ptr<const HidLibrary> LoadHidLibrary(const std::string& path, std::string* error) {
  return Load<HidEntryPoints>(path, error);
}

std::shared_ptr<const UsbLibrary> LoadUsbLibrary(const std::string& path, std::string* error) {
  return Load<UsbEntryPoints>(path, error);
}

std::shared_ptr<const HidLibrary> FindHidLibrary(std::string* error) {
  return Find<HidEntryPoints>(kHidLibraryName, error);
}

std::shared_ptr<const UsbLibrary> FindUsbLibrary(std::string* error) {
  return Find<UsbEntryPoints>(kUsbLibraryName, error);
}

}  // namespace devices

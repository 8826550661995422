// The makers' access libraries, bound at run time: the board library
// (TVNHidApi) for Torvane boards over USB HID and the controller library
// (ZENDRIKCOM) for ZDK controllers over USB.
//
// One loader opens a library and resolves every required entry point into a
// typed table; a library that cannot be opened or lacks any of them is not
// used at all, and its kind of link then simply has no devices. The board
// library's version entry point is optional (older versions lack it) and is
// looked up once, separately, when the library is loaded.
//
// Search order: the library file in the executable's own folder (by absolute
// path), then the bare file name on the system's library path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devices/link.h"
#include "devices/vendor/shared_library.h"

// The libraries' calling convention: the standard Windows one there, the
// platform's own C convention elsewhere.
#if defined(_WIN32)
#define HALVORN_VENDOR_API __stdcall
#else
#define HALVORN_VENDOR_API
#endif

namespace devices {

// Both libraries report success as 1; every other status is a failure whose
// meaning only the library knows.
inline LinkStatus LibraryStatus(std::int32_t status) {
  return status == 1 ? LinkStatus::Ok : LinkStatus::Failed;
}

// Both libraries exchange commands and replies in buffers of this size; the
// text in a buffer ends at its first NUL, so at most 63 characters are sent.
inline constexpr int kExchangeBufferSize = 64;
// Board names and product strings are read into buffers of this size.
inline constexpr int kNameBufferSize = 256;
// No more devices of one kind are listed than this, whatever count a library
// reports, so that a nonsense count cannot stall discovery.
inline constexpr int kMaxListedDevices = 1024;

// Entry points of the board library. Every one returns a 32-bit status.
struct HidEntryPoints {
  using GetNumber = std::int32_t(HALVORN_VENDOR_API*)();
  using GetName = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t index, char* name256);
  using Open = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t* handle, char* name);
  using SendReceive = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t handle, char* command64,
                                                        char* reply64);
  using Close = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t handle);
  using GetVersion = std::int32_t(HALVORN_VENDOR_API*)(std::uint8_t* first, std::uint8_t* second,
                                                       std::int32_t* third);

  GetNumber getNumber = nullptr;      // GetTorvaneHIDnumber
  GetName getName = nullptr;          // GetTorvaneHIDName: 1 when the buffer holds the name
  Open open = nullptr;                // OpenTorvaneHID: 1 when open
  SendReceive sendReceive = nullptr;  // SendReceiveTorvaneHID
  Close close = nullptr;              // CloseTorvaneHID
  GetVersion getVersion = nullptr;    // GetTorvaneHIDversion; null when the library lacks it
};

// Entry points of the controller library. Every one returns a 32-bit status.
struct UsbEntryPoints {
  using GetNumDevices = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t* count);
  using GetProductString = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t index, char* product256,
                                                             std::int32_t option);
  using SetTimeouts = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t read, std::int32_t write);
  using Open = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t index, std::int32_t* handle);
  using Flush = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t handle);
  using SendRecv = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t handle, char* command,
                                                     std::int32_t bytesToWrite,
                                                     std::int32_t bytesToRead, char* reply);
  using Close = std::int32_t(HALVORN_VENDOR_API*)(std::int32_t handle);

  GetNumDevices getNumDevices = nullptr;        // fnZendrikComGetNumDevices: 1 when valid
  GetProductString getProductString = nullptr;  // fnZendrikComGetProductString
  SetTimeouts setTimeouts = nullptr;            // fnZendrikComSetTimeouts
  Open open = nullptr;                          // fnZendrikComOpen: non-zero when open
  Flush flush = nullptr;                        // fnZendrikComFlush
  SendRecv sendRecv = nullptr;                  // fnZendrikComSendRecv
  Close close = nullptr;                        // fnZendrikComClose
};

// A loaded library with its entry points. The library stays loaded for as
// long as the object lives; transports share it.
template <typename EntryPoints>
class AccessLibrary {
 public:
  AccessLibrary(std::unique_ptr<SharedLibrary> library, const EntryPoints& api)
      : library_(std::move(library)), api_(api) {}

  const EntryPoints& Api() const { return api_; }
  const std::string& Path() const { return library_->Path(); }

 private:
  std::unique_ptr<SharedLibrary> library_;
  EntryPoints api_;
};

using HidLibrary = AccessLibrary<HidEntryPoints>;
using UsbLibrary = AccessLibrary<UsbEntryPoints>;

// The libraries' base names ("libTVNHidApi.so" / "TVNHidApi.dll" on disk).
inline constexpr const char* kHidLibraryName = "TVNHidApi";
inline constexpr const char* kUsbLibraryName = "ZENDRIKCOM";

// Loads the library at `path` exactly (a bare file name is searched for on the
// library path). A failure (never a null library) tells whether it cannot be
// opened or which required entry point it lacks.
platform::Result<std::shared_ptr<const HidLibrary>> LoadHidLibrary(const std::string& path);
platform::Result<std::shared_ptr<const UsbLibrary>> LoadUsbLibrary(const std::string& path);

// Loads the library by the usual search: the executable's folder first, then
// the bare file name. A failure when neither gives a usable library, with
// the reasons of both.
platform::Result<std::shared_ptr<const HidLibrary>> FindHidLibrary();
platform::Result<std::shared_ptr<const UsbLibrary>> FindUsbLibrary();

}  // namespace devices

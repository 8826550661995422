// The HID link: Torvane boards over USB HID, reached through the board
// library (TVNHidApi). A board's device entry is its name as the library
// reports it, and the name is also what opens it.
//
// Every exchange copies the command into a zeroed 64-byte buffer, so at most
// its first 63 characters reach the board (the buffer's last byte stays NUL);
// the reply is the reply buffer's text up to its first NUL, or all 64 bytes
// when the library left no NUL. Statuses are the library's own, unchanged.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/link.h"
#include "devices/vendor/access_library.h"

namespace devices {

class HidTransport : public Transport {
 public:
  // `library` null (no usable board library on this machine): no boards,
  // every open fails, no version.
  explicit HidTransport(std::shared_ptr<const HidLibrary> library);

  // The board names by the list rule: a name that cannot be read is an empty
  // item, so the entries are exactly what SplitList makes of HidList().
  std::vector<std::string> ListEntries() override;
  platform::Result<LinkHandle> Open(const std::string& entry) override;
  LinkStatus SendReceive(LinkHandle handle, const std::string& command,
                         std::string& reply) override {
    return LibraryStatus(HidSendReceive(handle, command, reply));
  }
  LinkStatus Close(LinkHandle handle) override { return LibraryStatus(HidClose(handle)); }

  // The library's board count (0 without a library).
  int HidDeviceCount();
  // The name of board `index`; empty, without asking the library for a name,
  // when the index is outside 0 to count-1, and empty when the library does
  // not answer exactly 1.
  std::string HidDeviceName(int index);
  // Every board's name joined by "|" (at most kMaxListedDevices of them).
  std::string HidList();
  // Opens the board named `name`, passed exactly as given (blanks included).
  // 1 and the library's handle on success, else 0.
  int HidOpen(LinkHandle& handle, const std::string& name);
  // One exchange; the status is the library's (0 without a library).
  int HidSendReceive(LinkHandle handle, const std::string& command, std::string& reply);
  // The library's status; callers ignore it.
  int HidClose(LinkHandle handle);
  // "first.second.third" from the library's version entry point, e.g.
  // "2.7.1406"; empty when the library has none.
  std::string HidLibraryVersion();

 private:
  std::shared_ptr<const HidLibrary> library_;
};

// The board library's version behind the HID link `transport`; empty when it
// is not a HidTransport or its library has no version entry point.
std::string HidLibraryVersionOf(Transport& transport);

}  // namespace devices

// The USB link: ZDK controllers reached through the controller library
// (ZENDRIKCOM), which addresses them by a 0-based index.
//
// A controller's device entry names it by its own answer to "ID":
//
//     "ZDK-" + identity + 46 blanks + "[" + library index + "]"
//
// where the identity is the trimmed "ID" reply without a leading "Zendrik-",
// a "-", and the last two characters of the trimmed product string (or the
// product string alone when the controller could not be opened while
// listing), with any "|" shown as "/" so that the list keeps one entry per
// controller. The bracketed index is what opens the entry again, so it always
// names the library's index even when controllers without a product string
// were left out of the list.
//
// Exchanges use 64-byte buffers: at most 63 command characters and a NUL are
// written, 64 bytes are read, and the reply is the text before the first NUL.
// Statuses are the library's, narrowed to 16 bits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "devices/link.h"
#include "devices/vendor/access_library.h"

namespace devices {

// The text before the first NUL of `text`, or all of it when it has none.
std::string CutAtNul(std::string_view text);

// The library index an entry opens: the number after the last "[" up to the
// entry's last character (rounded, ties to even); 0 when there is no "[" or
// no finite number after it. The last, since the identity before it is the
// controller's own "ID" reply and may hold a "[" of its own.
int UsbEntryIndex(std::string_view entry);

class UsbTransport : public Transport {
 public:
  // Both library time-outs are set to this before every open.
  static constexpr std::int32_t kTimeout = 5000;

  // `library` null (no usable controller library): no controllers, every
  // open fails.
  explicit UsbTransport(std::shared_ptr<const UsbLibrary> library);

  std::vector<std::string> ListEntries() override { return SplitList(UsbListDevices()); }
  platform::Result<LinkHandle> Open(const std::string& entry) override;
  LinkStatus SendReceive(LinkHandle handle, const std::string& command,
                         std::string& reply) override {
    return LibraryStatus(UsbSendReceive(handle, command, reply));
  }
  LinkStatus Close(LinkHandle handle) override { return LibraryStatus(UsbClose(handle)); }

  // Every controller's entry joined by "|", each controller opened, asked
  // for "ID" and closed in turn. Empty when the library gives no valid count.
  std::string UsbListDevices();
  // Opens the controller that an entry's bracketed index names. 1 or 0.
  int UsbOpenEntry(LinkHandle& handle, const std::string& entry);
  // Sets the time-outs, opens controller `index` and flushes it. 1 or 0.
  int UsbOpenIndex(LinkHandle& handle, int index);
  // One exchange. An empty command is not sent: the status is 0 and `reply`
  // keeps its text.
  std::int16_t UsbSendReceive(LinkHandle handle, const std::string& command, std::string& reply);
  // The library's status; callers ignore it.
  std::int16_t UsbClose(LinkHandle handle);

 private:
  std::string IdentityOf(int index, const std::string& product);

  std::shared_ptr<const UsbLibrary> library_;
};

}  // namespace devices

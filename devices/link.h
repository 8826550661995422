// The device list's vocabulary: link kinds, link handles, the list rule, and
// the transport interface that each kind of link implements.
//
// No link stays open between command lines: a caller opens the link named by
// a device entry, runs one command line over it and closes it again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devices {

// The kind of a device entry, passed to command line execution as a number.
enum class LinkKind : std::int32_t { Hid = 0, Usb = 1, Serial = 2 };

// Identifies an open link: the library handle for HID and USB, the open port
// for serial.
using LinkHandle = std::int32_t;

// Classifies an entry text: any "{" makes it serial; otherwise a leading
// "ZDK-" (upper case only) makes it USB; everything else is a HID board name.
LinkKind ClassifyEntry(std::string_view entry);

// The list rule: items joined by "|" (an empty list is the empty text).
std::string JoinList(const std::vector<std::string>& items);

// The reverse: one item per "|"-separated piece; the empty text is no items.
std::vector<std::string> SplitList(std::string_view text);

// Status values of the serial link.
inline constexpr int kSerialReplyReceived = 1;
inline constexpr int kSerialWriteFailed = 0;
inline constexpr int kSerialTimeout = -2;

// One kind of link. Implementations never throw; every failure comes back as
// a status or as reply text.
class Transport {
 public:
  virtual ~Transport() = default;

  // The device entries this link offers now, in the order of its library or
  // configuration file. Called at every discovery; never cached by callers.
  virtual std::vector<std::string> ListEntries() = 0;

  // Opens the link named by `entry` (passed exactly as the list showed it).
  // Returns 1 and sets `handle` when the link is open, any other value when not.
  virtual int Open(const std::string& entry, LinkHandle& handle) = 0;

  // Sends one command and waits for its reply. The status is the link's own
  // (serial: kSerialReplyReceived, kSerialWriteFailed with "(COM Error)",
  // kSerialTimeout with "(SERIAL Timeout)"); HID and USB pass their library's.
  virtual int SendReceive(LinkHandle handle, const std::string& command, std::string& reply) = 0;

  // Closes the link. The status is returned but no caller acts on it.
  virtual int Close(LinkHandle handle) = 0;
};

}  // namespace devices

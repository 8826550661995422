// The device list's vocabulary: link kinds, link handles, link statuses, the
// list rule, and the transport interface that each kind of link implements.
//
// No link stays open between command lines: a caller opens the link named by
// a device entry, runs one command line over it and closes it again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace devices {

// The kind of a device entry, passed to command line execution as a number.
// Each kind has its row in the table of devices/link_kinds.cpp.
enum class LinkKind : std::int32_t { Hid = 0, Usb = 1, Serial = 2 };

// Identifies an open link: the library handle for HID and USB, the open port
// for serial.
using LinkHandle = std::int32_t;

// How an operation on a link ended, the same words for every kind of link.
// The numbers each link has for these (the serial link's 1, 0 and -2, the
// access libraries' own statuses) stay with that link's named operations.
enum class LinkStatus {
  Ok,           // opened, reply received, closed
  WriteFailed,  // the command could not be sent; the reply says "(COM Error)"
  TimedOut,     // no complete reply in time; the reply says "(SERIAL Timeout)"
  Failed,       // the link refused: not opened, or a library status other than success
};

// The serial link's numbers: 1 reply received, 0 write failed, -2 time-out
// (and 0 for anything else, which the serial link never returns).
int SerialStatusCode(LinkStatus status);

// The list rule: items joined by "|" (an empty list is the empty text).
std::string JoinList(const std::vector<std::string>& items);

// The reverse: one item per "|"-separated piece; the empty text is no items.
std::vector<std::string> SplitList(std::string_view text);

// One kind of link. Implementations never throw; every failure comes back as
// a result, a status or reply text.
class Transport {
 public:
  virtual ~Transport() = default;

  // The device entries this link offers now, in the order of its library or
  // configuration file. Called at every discovery; never cached by callers.
  virtual std::vector<std::string> ListEntries() = 0;

  // Opens the link named by `entry` (passed exactly as the list showed it)
  // and gives its handle. A failure says why in words an operator can act
  // on ("baud rate 1234 is not one of ...", "held by another program", the
  // system's error text); it is shown beside "Device Not Available!", which
  // keeps its own text.
  virtual platform::Result<LinkHandle> Open(const std::string& entry) = 0;

  // Sends one command and waits for its reply. Ok with the reply; the serial
  // link also gives WriteFailed with "(COM Error)" and TimedOut with
  // "(SERIAL Timeout)"; HID and USB give Failed when their library reports
  // anything but success, with whatever reply it left.
  virtual LinkStatus SendReceive(LinkHandle handle, const std::string& command,
                                 std::string& reply) = 0;

  // Closes the link. The status is returned but no caller acts on it.
  virtual LinkStatus Close(LinkHandle handle) = 0;

  // Why the device turned out not to be available after all during the
  // line just run on it (a server that closed the connection before it
  // answered anything, as one whose port another client holds does), or
  // empty; each reason is given once. Asked after every line.
  virtual std::string TakeLineLoss() { return {}; }

  // What the link has to tell the operator about its own configuration (a
  // settings line it could not use, and so left at its default), each
  // message once; asked after every discovery.
  virtual std::vector<std::string> TakeNotes() { return {}; }
};

}  // namespace devices

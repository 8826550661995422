// The registry of link kinds: which transport serves HID boards, USB
// controllers and serial ports, and the discovery order of their entries.
//
// The registry holds transports, never open links. The device selector that
// shows the entries belongs to the main window; the registry only builds the
// list it is filled from.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "devices/link.h"

namespace devices {

class DeviceRegistry {
 public:
  DeviceRegistry();

  // Installs the transport for one kind of link (replacing any earlier one).
  // A kind without a transport offers no entries and cannot be opened.
  void SetTransport(LinkKind kind, std::shared_ptr<Transport> transport);

  // The transport for `kind`; never null (a kind without one gets a transport
  // that lists nothing and fails every open).
  Transport& TransportFor(LinkKind kind) const;

  // All entries, HID boards first, then USB controllers, then serial entries,
  // each in its transport's order. Entries are cut at "|" only by the list
  // rule, so an entry must not contain "|".
  std::vector<std::string> Discover() const;
  // What the transports have to tell about their configuration since they
  // were last asked (Transport::TakeNotes), in the same order of kinds.
  std::vector<std::string> TakeNotes() const;

 private:
  std::array<std::shared_ptr<Transport>, 3> transports_;
};

}  // namespace devices

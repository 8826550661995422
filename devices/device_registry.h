// The registry of link kinds: which transport serves each kind of link of
// the table in devices/link_kinds.h, and the discovery order of their
// entries (the table's).
//
// The registry holds transports, never open links. The device selector that
// shows the entries belongs to the main window; the registry only builds the
// list it is filled from.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/link.h"
#include "devices/link_kinds.h"
#include "platform/data_folders.h"

namespace devices {

class DeviceRegistry {
 public:
  DeviceRegistry();

  // Installs the transport for one kind of link (replacing any earlier one).
  // A kind without a transport offers no entries and cannot be opened.
  void SetTransport(LinkKind kind, std::shared_ptr<Transport> transport);
  // Installs what each row of the table finds on this machine
  // (LinkKindRow::find), for a real run.
  void FindTransports(const platform::DataFolders& folders);

  // The transport for `kind`; never null (a kind without one gets a transport
  // that lists nothing and fails every open).
  Transport& TransportFor(LinkKind kind) const;

  // All entries, kind by kind in the table's order (HID boards, USB
  // controllers, serial entries), each in its transport's order. Entries are
  // cut at "|" only by the list rule, so an entry must not contain "|".
  std::vector<std::string> Discover() const;
  // What the transports have to tell about their configuration since they
  // were last asked (Transport::TakeNotes), in the same order of kinds.
  std::vector<std::string> TakeNotes() const;

 private:
  // One per row of LinkKinds(), in its order.
  std::vector<std::shared_ptr<Transport>> transports_;
};

}  // namespace devices

#include "devices/device_registry.h"

namespace devices {
namespace {

// Stands in for a kind of link that has no transport on this machine.
class NoTransport final : public Transport {
 public:
  std::vector<std::string> ListEntries() override { return {}; }
  platform::Result<LinkHandle> Open(const std::string&) override {
    return platform::Result<>::Unsupported("no link of this kind is available on this machine");
  }
  LinkStatus SendReceive(LinkHandle, const std::string&, std::string&) override {
    return LinkStatus::Failed;
  }
  LinkStatus Close(LinkHandle) override { return LinkStatus::Failed; }
};

// The kind's place in the table: its slot in the registry.
std::size_t Slot(LinkKind kind) {
  const std::span<const LinkKindRow> rows = LinkKinds();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].kind == kind) return i;
  }
  return rows.size();  // no slot: the stand-in that has no links
}

}  // namespace

// One slot per row and a last one, never set, for a number that names no
// kind.
DeviceRegistry::DeviceRegistry() : transports_(LinkKinds().size() + 1) {
  for (auto& t : transports_) t = std::make_shared<NoTransport>();
}

void DeviceRegistry::SetTransport(LinkKind kind, std::shared_ptr<Transport> transport) {
  const std::size_t slot = Slot(kind);
  if (slot >= LinkKinds().size()) return;
  transports_[slot] = transport ? std::move(transport) : std::make_shared<NoTransport>();
}

void DeviceRegistry::FindTransports(const platform::DataFolders& folders) {
  for (const LinkKindRow& row : LinkKinds()) {
    if (std::shared_ptr<Transport> found = row.find(folders)) SetTransport(row.kind, found);
  }
}

Transport& DeviceRegistry::TransportFor(LinkKind kind) const {
  return *transports_[Slot(kind)];
}

std::vector<std::string> DeviceRegistry::Discover() const {
  std::vector<std::string> all;
  for (const LinkKindRow& row : LinkKinds()) {
    for (std::string& entry : TransportFor(row.kind).ListEntries()) all.push_back(std::move(entry));
  }
  return all;
}

std::vector<std::string> DeviceRegistry::TakeNotes() const {
  std::vector<std::string> all;
  for (const LinkKindRow& row : LinkKinds()) {
    for (std::string& note : TransportFor(row.kind).TakeNotes()) all.push_back(std::move(note));
  }
  return all;
}

}  // namespace devices

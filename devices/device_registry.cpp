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

std::size_t Slot(LinkKind kind) {
  switch (kind) {
    case LinkKind::Usb:
      return 1;
    case LinkKind::Serial:
      return 2;
    case LinkKind::Hid:
      break;
  }
  return 0;
}

}  // namespace

DeviceRegistry::DeviceRegistry() {
  for (auto& t : transports_) t = std::make_shared<NoTransport>();
}

void DeviceRegistry::SetTransport(LinkKind kind, std::shared_ptr<Transport> transport) {
  transports_[Slot(kind)] = transport ? std::move(transport) : std::make_shared<NoTransport>();
}

Transport& DeviceRegistry::TransportFor(LinkKind kind) const {
  return *transports_[Slot(kind)];
}

std::vector<std::string> DeviceRegistry::Discover() const {
  std::vector<std::string> all;
  for (LinkKind kind : {LinkKind::Hid, LinkKind::Usb, LinkKind::Serial}) {
    for (std::string& entry : TransportFor(kind).ListEntries()) all.push_back(std::move(entry));
  }
  return all;
}

std::vector<std::string> DeviceRegistry::TakeNotes() const {
  std::vector<std::string> all;
  for (LinkKind kind : {LinkKind::Hid, LinkKind::Usb, LinkKind::Serial}) {
    for (std::string& note : TransportFor(kind).TakeNotes()) all.push_back(std::move(note));
  }
  return all;
}

}  // namespace devices

#include "devices/serial_channel.h"

#include <utility>

#include "devices/network_port.h"
#include "devices/serial_port.h"

namespace devices {
namespace {

SerialChannelOpener& Opener() {
  static SerialChannelOpener opener;
  return opener;
}

}  // namespace

void SetSerialChannelOpener(SerialChannelOpener opener) {
  Opener() = std::move(opener);
}

std::unique_ptr<SerialChannel> OpenSerialChannel(const std::string& port, int baud,
                                                 SerialChannel::TimePoint deadline,
                                                 std::string& error) {
  if (Opener()) return Opener()(port, baud, deadline, error);
  if (IsNetworkPort(port)) {
    NetworkAddress address;
    if (!ParseNetworkAddress(port, address, error)) return nullptr;
    auto server = std::make_unique<NetworkPort>();
    if (!server->Open(address, baud, deadline, error)) return nullptr;
    return server;
  }
  auto local = std::make_unique<SerialPort>();
  if (!local->Open(port, baud, error)) return nullptr;
  return local;
}

}  // namespace devices

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

platform::Result<std::unique_ptr<SerialChannel>> OpenSerialChannel(
    const std::string& port, int baud, SerialChannel::TimePoint deadline) {
  if (Opener()) {
    platform::Result<std::unique_ptr<SerialChannel>> opened = Opener()(port, baud, deadline);
    if (opened && !opened.value()) {
      return platform::Result<>::CallerMistake("the channel opener gave no channel for " + port);
    }
    return opened;
  }
  if (IsNetworkPort(port)) {
    platform::Result<NetworkAddress> address = ParseNetworkAddress(port);
    if (!address) return address.Failure();
    auto server = std::make_unique<NetworkPort>();
    if (platform::Result<> opened = server->Open(*address, baud, deadline); !opened) return opened;
    return std::unique_ptr<SerialChannel>(std::move(server));
  }
  auto local = std::make_unique<SerialPort>();
  if (platform::Result<> opened = local->Open(port, baud); !opened) return opened;
  return std::unique_ptr<SerialChannel>(std::move(local));
}

}  // namespace devices

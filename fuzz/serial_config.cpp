// Configuration text as an operator (or a damaged file) may write it: the
// port list, each of its lines as an entry, and the COM name map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "devices/network_port.h"
#include "devices/serial_transport.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEntry(std::string_view text) {
  const platform::Result<devices::SerialEntry> parsed = devices::ParseSerialEntry(text);
  if (!parsed) {
    Check(!parsed.Text().empty());
    return;
  }
  const devices::SerialEntry& entry = *parsed;
  Check(text.size() >= 8 && text.find('{') != std::string_view::npos);
  Check(!entry.address.empty() && entry.address.size() <= 2);
  Check(entry.baud == 9600 || entry.baud == 19200 || entry.baud == 38400 || entry.baud == 57600 ||
        entry.baud == 115200);
  Check((entry.portNumber >= 1 && entry.portNumber <= 99) != !entry.portPath.empty());
  Check(entry.portPath.empty() || entry.portPath.front() == '/');
  Check(entry.portPath.find_first_of("{}") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckEntry(text);
  for (const std::string& line : devices::SerialConfigEntries(text)) {
    Check(!line.empty() && line.front() != ' ' && line.back() != ' ');
    Check(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
    CheckEntry(line);
  }
  auto map = devices::ParseComMap(text);
  for (const auto& [number, path] : map) {
    Check(number >= 1 && number <= 99 && !path.empty());
    Check(devices::ComPortDevice(number, map) == path);
    const platform::Result<devices::NetworkAddress> address = devices::ParseNetworkAddress(path);
    if (address) {
      Check(devices::IsNetworkPort(path) && !address->host.empty());
      Check(address->port >= 1 && address->port <= 65535);
    } else {
      Check(!address.Text().empty());
    }
  }
  Check(devices::ComPortDevice(0, map).empty() && devices::ComPortDevice(100, map).empty());
  return 0;
}

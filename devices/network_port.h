// A serial line behind a serial device server on the network, named in the
// port map as "tcp://HOST:PORT" (the server passes bytes through unchanged)
// or "rfc2217://HOST:PORT" (telnet with COM port control: the link sets its
// baud rate and 8N1 on the server's port).
//
// The connection is the line: a refused or lost connection ends reads with
// Gone and fails writes, as a port that vanished does. Resolving the host,
// connecting and agreeing on the line settings all end at the open's
// deadline; a host name is looked up on a thread of its own that is left
// behind when the deadline passes, so a resolver that does not answer
// cannot hold the program.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "devices/serial_channel.h"
#include "platform/result.h"

namespace devices {

class TelnetClient;

struct NetworkAddress {
  bool telnet = false;  // rfc2217:// rather than tcp://
  std::string host;     // a host name, an IPv4 address or an IPv6 address (without brackets)
  int port = 0;         // 1 to 65535
};

// True when `port` names a serial device server ("tcp://" or "rfc2217://",
// in any letter case) rather than a local device.
bool IsNetworkPort(std::string_view port);

// Reads "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (an IPv6 address in
// brackets). A caller mistake, saying which, when the text does not fit, the
// host holds characters no host name may have, or the port is outside 1 to
// 65535.
platform::Result<NetworkAddress> ParseNetworkAddress(std::string_view text);

class NetworkPort final : public SerialChannel {
 public:
  NetworkPort();
  ~NetworkPort() override;
  NetworkPort(const NetworkPort&) = delete;
  NetworkPort& operator=(const NetworkPort&) = delete;

  // Connects to the server and, for telnet, agrees on COM port control and
  // has the server confirm `baud` and 8N1. A system failure (nothing left
  // open) that says why when the host does not resolve, every address
  // refuses, nothing answers before `deadline`, or the server refuses or
  // changes the settings.
  platform::Result<> Open(const NetworkAddress& address, int baud, TimePoint deadline);

  // Data goes out with telnet's escapes when the connection speaks telnet.
  bool Write(std::string_view data, TimePoint deadline) override;
  // Only data is delivered; telnet commands among it are answered and
  // dropped.
  ReadResult Read(std::string& out, std::size_t max, TimePoint deadline) override;

  void Close();

 private:
  platform::Result<> Negotiate(int baud, TimePoint deadline);
  void SendAnswers(TimePoint deadline);

  int fd_ = -1;
  std::unique_ptr<TelnetClient> telnet_;  // null for a raw connection
  std::string where_;                     // "HOST:PORT" for messages
};

}  // namespace devices

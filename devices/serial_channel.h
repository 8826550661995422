// The byte stream under the serial link: a local serial port, or a serial
// device server reached over the network. The serial link frames commands
// and reads replies over it and never needs to know which one it has.
//
// Every wait ends at a deadline on the monotonic clock and sleeps in the
// kernel meanwhile, so a controller that never answers costs no processor
// time.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace devices {

class SerialChannel {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // How a wait for incoming bytes ended.
  enum class ReadResult {
    Data,      // at least one byte was appended
    TimedOut,  // the deadline passed with nothing received
    Gone,      // the port hung up, failed or the connection ended: no byte can come any more
  };

  virtual ~SerialChannel() = default;

  // Writes every byte of `data`, waiting for room no longer than `deadline`.
  // False when the channel refused a byte or the deadline passed first.
  virtual bool Write(std::string_view data, TimePoint deadline) = 0;

  // Waits until bytes arrive or `deadline` passes; on Data appends between 1
  // and `max` bytes to `out`.
  virtual ReadResult Read(std::string& out, std::size_t max, TimePoint deadline) = 0;
};

// Opens what a port name means, at `baud` with 8 data bits, no parity and
// one stop bit: "tcp://HOST:PORT" a raw connection to a serial device server,
// "rfc2217://HOST:PORT" a telnet connection that sets the line on the server,
// anything else a local device path. Resolving, connecting and settling the
// line all end by `deadline`. A failure says why in an operator's words;
// a success never holds null.
platform::Result<std::unique_ptr<SerialChannel>> OpenSerialChannel(
    const std::string& port, int baud, SerialChannel::TimePoint deadline);

// Puts `opener` in place of OpenSerialChannel's own way of opening a port,
// until it is called again with an empty function. The serial link above
// then runs unchanged over whatever channel the opener gives, so its reply
// handling can be driven without a device, over one end of a socket pair
// say, by a fuzz target or a test.
using SerialChannelOpener = std::function<platform::Result<std::unique_ptr<SerialChannel>>(
    const std::string& port, int baud, SerialChannel::TimePoint deadline)>;
void SetSerialChannelOpener(SerialChannelOpener opener);

}  // namespace devices

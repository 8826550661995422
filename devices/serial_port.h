// One local serial port as the operating system offers it: open for
// exclusive use, raw 8N1 line settings, bounded waits for bytes.
#pragma once

#include <string>
#include <string_view>

#include "devices/serial_channel.h"
#include "platform/result.h"

namespace devices {

class SerialPort final : public SerialChannel {
 public:
  SerialPort() = default;
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device `path` for reading and writing at `baud` bits per
  // second with 8 data bits, no parity and one stop bit, in raw mode (no echo,
  // no line editing, no translation of CR or LF, no signals). Flow control
  // (XON/XOFF and RTS/CTS) is left as the port had it. Bytes waiting from an
  // earlier user of the port are discarded.
  //
  // The port is taken for exclusive use: it fails when another program holds
  // it through a lock or exclusive mode, and others are kept out until
  // Close(). A failure (nothing left open) says why: a rate that cannot be
  // set is a caller mistake; a device that does not exist, may not be
  // opened, is not a terminal device, is held by another program or refuses
  // the settings is a system failure.
  platform::Result<> Open(const std::string& path, int baud);

  bool IsOpen() const { return fd_ >= 0; }

  bool Write(std::string_view data, TimePoint deadline) override;
  ReadResult Read(std::string& out, std::size_t max, TimePoint deadline) override;

  // Gives up exclusive use and closes the port. Safe to call when closed.
  void Close();

  // The device name of the port COMn on this platform when nothing else names
  // it ("/dev/ttyS<n-1>" on POSIX systems).
  static std::string DefaultDeviceName(int number);

  // True when `baud` is a rate that Open() can set.
  static bool SupportedBaud(int baud);

 private:
  int fd_ = -1;
};

}  // namespace devices

// One serial port as the operating system offers it: open for exclusive use,
// raw 8N1 line settings, bounded waits for bytes. The serial link is built on
// this and nothing else touches the port.
//
// Every wait ends at a deadline on the monotonic clock and sleeps in the
// kernel meanwhile, so a controller that never answers costs no processor
// time.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace devices {

class SerialPort {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // How a wait for incoming bytes ended.
  enum class ReadResult {
    Data,      // at least one byte was appended
    TimedOut,  // the deadline passed with nothing received
    Gone,      // the port reported a hang-up or an error: no byte can come any more
  };

  SerialPort() = default;
  ~SerialPort();
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
  // Close(). Returns false (nothing left open) when the device does not
  // exist, is not a terminal device, is in use, or refuses the settings.
  bool Open(const std::string& path, int baud);

  bool IsOpen() const { return fd_ >= 0; }

  // Writes every byte of `data`, waiting for room no longer than `deadline`.
  // False when the port refused a byte or the deadline passed first.
  bool Write(std::string_view data, TimePoint deadline);

  // Waits until bytes arrive or `deadline` passes; on Data appends between 1
  // and `max` bytes to `out`.
  ReadResult Read(std::string& out, std::size_t max, TimePoint deadline);

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

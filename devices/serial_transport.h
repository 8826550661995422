// The serial link: addressed controllers on serial ports, listed one a line in
// the data folder's AppConfig/COMM_Ports.cfg.
//
// A line names everything needed to reach one controller, e.g.
//
//     Axis 01 {COM3:9600}
//     Lift 02 {/dev/ttyUSB0:115200}
//
// The last two characters of the label before "{" are the controller's
// address on the line (a number above zero, or "00"); the brace group holds
// the port and, after ":", one of the baud rates 9600, 19200, 38400, 57600
// and 115200. A port written "COMn" (n from 1 to 99, letters in any case) is
// looked up in the optional AppConfig/COMM_Map.cfg ("COM3=/dev/ttyUSB0", one
// a line) and otherwise means the platform's own name for it (/dev/ttyS<n-1>
// on POSIX systems); a port that starts with "/" is a device path used as
// written. Several lines may name the same port with different addresses:
// the controllers share the line and each answers only its own frames.
//
// Each exchange sends the frame "@" + address + command + CR and reads the
// reply up to the next CR (the CR is dropped; LF and every other byte are
// kept). Failures come back as reply text: "(COM Error)" when the frame could
// not be written, "(SERIAL Timeout)" when no CR arrived in time.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "devices/link.h"

namespace devices {

// What one configuration line names.
struct SerialEntry {
  std::string address;   // the two characters sent after "@"
  int portNumber = 0;    // n of "COMn" (1 to 99); 0 when the port is a device path
  std::string portPath;  // the device path written in the braces; empty for COMn
  int baud = 0;
};

// Reads one configuration line. False when it is not a usable entry: shorter
// than 8 characters, no "{", no valid address, ":" missing or before the
// fifth character of the brace group, a port number outside 1 to 99, or a
// baud text that is not exactly one of the five rates (blanks around it
// aside).
bool ParseSerialEntry(std::string_view entry, SerialEntry& out);

// The entries of a configuration file's text: lines end at CR, LF characters
// are ignored, each line is trimmed of blanks, empty lines are skipped.
std::vector<std::string> SerialConfigEntries(std::string_view fileText);

// The port map's text: "COMn=path" lines ending at CR or LF (n from 1 to 99,
// any letter case, blanks around both sides); lines starting with "#" or ";"
// and lines that do not fit are ignored; a later line for the same port wins.
std::map<int, std::string> ParseComMap(std::string_view fileText);

// The device that "COMn" names: the map's path if it has one, else the
// platform's default name. Empty for a number outside 1 to 99.
std::string ComPortDevice(int number, const std::map<int, std::string>& map);

class SerialPort;

class SerialTransport : public Transport {
 public:
  // Replies are gathered up to this many bytes; further bytes before the CR
  // are read and dropped, so a controller that floods the line cannot make
  // the reply grow without bound.
  static constexpr std::size_t kMaxReplyBytes = 64 * 1024;

  // dataRoot: the data folder (with or without trailing separator); the
  // configuration is dataRoot + "AppConfig/COMM_Ports.cfg" (found
  // case-insensitively), the map AppConfig/COMM_Map.cfg. A reply must end
  // within replyTimeoutSeconds of the frame being written.
  explicit SerialTransport(std::string dataRoot, double replyTimeoutSeconds = 10.0);
  ~SerialTransport() override;  // closes any port still open

  // The configuration lines, read afresh at every call; none when the file
  // is missing or empty.
  std::vector<std::string> ListEntries() override;
  // The same entries as one text joined by "|".
  std::string SerialListEntries();

  // Opens the port of a configuration line and makes its address the
  // SerialAddress. Returns 1 and sets `handle` (never 0) on success; 0 and a
  // handle of 0 when the line does not parse or the port does not exist, is
  // in use or refuses the line settings.
  int Open(const std::string& entry, LinkHandle& handle) override;

  // Sends "@" + address + command + CR and waits for the reply. Returns
  // kSerialReplyReceived with the reply; kSerialWriteFailed with
  // "(COM Error)" when the frame could not be written (also for a handle that
  // is not open); kSerialTimeout with "(SERIAL Timeout)" when no CR arrived
  // in time, or when the port went away while waiting, since no reply can
  // come then (bytes already received are dropped). Bytes after the CR stay
  // queued for the next exchange on the same handle.
  int SendReceive(LinkHandle handle, const std::string& command, std::string& reply) override;

  // Closes the port (giving up exclusive use) and empties SerialAddress.
  // Returns 1, or 0 for a handle that was not open.
  int Close(LinkHandle handle) override;

  // The same operations under the link's own names.
  int SerialOpen(LinkHandle& handle, const std::string& entry) { return Open(entry, handle); }
  int SerialSendReceive(LinkHandle handle, const std::string& command, std::string& reply) {
    return SendReceive(handle, command, reply);
  }
  int SerialClose(LinkHandle handle) { return Close(handle); }

  // The address of the port opened last; empty when no port is open.
  const std::string& SerialAddress() const { return serialAddress_; }

  double ReplyTimeoutSeconds() const { return replyTimeoutSeconds_; }

 private:
  struct OpenPort;

  OpenPort* Find(LinkHandle handle);

  std::string dataRoot_;
  double replyTimeoutSeconds_;
  std::string serialAddress_;
  LinkHandle nextHandle_ = 1;
  std::map<LinkHandle, std::unique_ptr<OpenPort>> ports_;
};

}  // namespace devices

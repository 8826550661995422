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
// looked up in the optional AppConfig/COMM_Map.cfg, one "COMn=port" a line,
// and otherwise means the platform's own name for it (/dev/ttyS<n-1> on
// POSIX systems); a port that starts with "/" is a device path used as
// written. The map may also name a serial device server instead of a local
// device:
//
//     COM3=/dev/ttyUSB0
//     COM7=tcp://10.0.4.21:4001        raw TCP: bytes pass unchanged
//     COM8=rfc2217://station-3:2217    telnet with COM port control: the
//                                      entry's baud rate and 8N1 are set on
//                                      the server's port
//
// Several lines may name the same port with different addresses: the
// controllers share the line and each answers only its own frames. Both
// files may start with a UTF-8 byte order mark, which is skipped.
//
// Each exchange sends the frame "@" + address + command + CR and reads the
// reply up to the next CR (the CR is dropped; LF and every other byte are
// kept, except an LF that comes right after the CR that ended the reply
// before: the second half of a CR LF line end). Failures come back as reply
// text: "(COM Error)" when the frame could not be written, "(SERIAL
// Timeout)" when no CR arrived in time. Over the network the same holds: a
// lost connection is a port that went away.
//
// The optional AppConfig/COMM_Timing.cfg tunes the link's waits, one
// "NAME=value" a line ("#" or ";" starts a comment line):
//
//     SETTLE=1.0      seconds of quiet awaited after a time-out (see below)
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "devices/link.h"
#include "platform/result.h"

namespace devices {

// What one configuration line names.
struct SerialEntry {
  std::string address;   // the two characters sent after "@"
  int portNumber = 0;    // n of "COMn" (1 to 99); 0 when the port is a device path
  std::string portPath;  // the device path written in the braces; empty for COMn
  int baud = 0;
};

// Reads one configuration line. A caller mistake that says which rule it
// breaks when it is not a usable entry: shorter than 8 characters, no "{",
// no valid address, ":" missing or before the fifth character of the brace
// group, a port number outside 1 to 99, or a baud text that is not exactly
// one of the five rates (blanks around it aside). A serial device server
// written in the braces (tcp://, rfc2217://) belongs in the port map, and
// the failure says so.
platform::Result<SerialEntry> ParseSerialEntry(std::string_view entry);

// The entries of a configuration file's text: lines end at CR, LF characters
// are ignored, each line is trimmed of blanks, empty lines are skipped.
std::vector<std::string> SerialConfigEntries(std::string_view fileText);

// The port map's text: "COMn=port" lines ending at CR or LF (n from 1 to 99,
// any letter case, blanks around both sides); lines starting with "#" or ";"
// and lines that do not fit are ignored; a later line for the same port wins.
std::map<int, std::string> ParseComMap(std::string_view fileText);

// The device that "COMn" names: the map's path if it has one, else the
// platform's default name. Empty for a number outside 1 to 99.
std::string ComPortDevice(int number, const std::map<int, std::string>& map);

// The waits of AppConfig/COMM_Timing.cfg.
struct SerialTiming {
  // After a time-out the controller may still be answering the command that
  // timed out. Before the next frame goes out, what waits is dropped, and so
  // is whatever arrives until the line has been quiet this long, or twice
  // this long has passed, whichever comes first. A reply later than that
  // cannot be told from the reply of the next command.
  double settleSeconds = 1.0;
};

// Reads the timing file's text. A line that does not fit (no "=", a name
// other than SETTLE, a value that is not a plain decimal number of seconds,
// is negative or is longer than `replyTimeoutSeconds`) leaves the default,
// and adds to `notes` one message naming `fileName` and the line's number.
SerialTiming ParseSerialTiming(std::string_view fileText, double replyTimeoutSeconds,
                               const std::string& fileName, std::vector<std::string>& notes);

class SerialTransport : public Transport {
 public:
  // Replies are gathered up to this many bytes; further bytes before the CR
  // are read and dropped, so a controller that floods the line cannot make
  // the reply grow without bound.
  static constexpr std::size_t kMaxReplyBytes = 64 * 1024;

  // dataRoot: the data folder (with or without trailing separator); the
  // configuration is dataRoot + "AppConfig/COMM_Ports.cfg" (found
  // case-insensitively), the map AppConfig/COMM_Map.cfg, the waits
  // AppConfig/COMM_Timing.cfg. A reply must end within replyTimeoutSeconds
  // of the frame being written; a serial device server must be found,
  // connected and set up within it too.
  explicit SerialTransport(std::string dataRoot, double replyTimeoutSeconds = 10.0);
  ~SerialTransport() override;  // closes any port still open

  // The configuration lines, read afresh at every call; none when the file
  // is missing or empty. The timing file is read afresh too.
  std::vector<std::string> ListEntries() override;
  // What reading the timing file found wrong, each message once.
  std::vector<std::string> TakeNotes() override;
  // A serial device server that ended the connection before a single byte
  // came from it has turned the link away: a device server's port serves
  // one client at a time, and closes the connection of any other at once.
  std::string TakeLineLoss() override;
  const SerialTiming& Timing() const { return timing_; }
  // The same entries as one text joined by "|".
  std::string SerialListEntries();

  // Opens the port of a configuration line and makes its address the
  // SerialAddress. The handle (never 0) on success; a failure that says
  // which when the line does not parse or the port does not exist, is held
  // by another program, refuses the line settings, or its server cannot be
  // reached.
  platform::Result<LinkHandle> Open(const std::string& entry) override;

  // Sends "@" + address + command + CR and waits for the reply. Ok with the
  // reply; WriteFailed with "(COM Error)" when the frame could not be
  // written (also for a handle that is not open); TimedOut with
  // "(SERIAL Timeout)" when no CR arrived in time, or when the port went
  // away while waiting, since no reply can come then (bytes already received
  // are dropped). Bytes after the CR stay queued for the next exchange on
  // the same handle; after a time-out the line is settled first (see
  // SerialTiming).
  LinkStatus SendReceive(LinkHandle handle, const std::string& command,
                         std::string& reply) override;

  // Closes the port (giving up exclusive use) and empties SerialAddress.
  // Ok, or Failed for a handle that was not open.
  LinkStatus Close(LinkHandle handle) override;

  // The same operations under the link's own names and numbers: open 1 or 0
  // (and a handle of 0 when it failed); exchange 1 (reply), 0 ("(COM
  // Error)") or -2 ("(SERIAL Timeout)").
  int SerialOpen(LinkHandle& handle, const std::string& entry) {
    platform::Result<LinkHandle> opened = Open(entry);
    handle = opened ? *opened : 0;
    return opened ? 1 : 0;
  }
  int SerialSendReceive(LinkHandle handle, const std::string& command, std::string& reply) {
    return SerialStatusCode(SendReceive(handle, command, reply));
  }
  int SerialClose(LinkHandle handle) { return Close(handle) == LinkStatus::Ok ? 1 : 0; }

  // The address of the port opened last; empty when no port is open.
  const std::string& SerialAddress() const { return serialAddress_; }

 private:
  struct OpenPort;

  OpenPort* Find(LinkHandle handle);
  std::chrono::steady_clock::duration ReplyTimeout() const;
  void ReadTiming();
  void Settle(OpenPort& open) const;
  void NoteTurnedAway(const OpenPort& open);

  std::string dataRoot_;
  double replyTimeoutSeconds_;
  SerialTiming timing_;
  std::vector<std::string> notes_;
  std::string lineLoss_;
  std::string serialAddress_;
  LinkHandle nextHandle_ = 1;
  std::map<LinkHandle, std::unique_ptr<OpenPort>> ports_;
};

}  // namespace devices

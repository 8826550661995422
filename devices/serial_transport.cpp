#include "devices/serial_transport.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "devices/network_port.h"
#include "devices/serial_channel.h"
#include "devices/serial_port.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "platform/text.h"

namespace devices {
namespace {

using Clock = std::chrono::steady_clock;
using platform::TrimmedView;

constexpr char kComErrorText[] = "(COM Error)";
constexpr char kSerialTimeoutText[] = "(SERIAL Timeout)";
constexpr int kBaudRates[] = {9600, 19200, 38400, 57600, 115200};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A file saved by a Windows editor may start with a UTF-8 byte order mark;
// it is no part of the first line.
std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

// The port number of a port text: upper-cased, every "COM" removed, read as
// a number and rounded to the nearest integer (ties to even). 0 when it is
// outside 1 to 99.
int PortNumber(std::string_view portText) {
  std::string upper = platform::ToUpper(portText);
  for (std::size_t at; (at = upper.find("COM")) != std::string::npos;) upper.erase(at, 3);
  double value = platform::ReadDecimal(upper);
  if (!(value > -1.0 && value < 1000.0)) return 0;
  double rounded = std::nearbyint(value);  // the default rounding mode: ties to even
  int number = static_cast<int>(rounded);
  return number >= 1 && number <= 99 ? number : 0;
}

int BaudRate(std::string_view baudText) {
  for (int rate : kBaudRates) {
    if (baudText == std::to_string(rate)) return rate;
  }
  return 0;
}

// Splits a file's text into trimmed, non-empty lines: CR ends a line; LF
// ends one too when `lfEndsLines`, else it is ignored.
std::vector<std::string> TrimmedLines(std::string_view text, bool lfEndsLines) {
  std::vector<std::string> lines;
  std::string current;
  auto finish = [&] {
    std::string_view trimmed = TrimmedView(current);
    if (!trimmed.empty()) lines.emplace_back(trimmed);
    current.clear();
  };
  for (char c : WithoutByteOrderMark(text)) {
    if (c == '\r' || (c == '\n' && lfEndsLines)) {
      finish();
    } else if (c != '\n') {
      current += c;
    }
  }
  finish();
  return lines;
}

platform::Result<> Fail(std::string reason) {
  return platform::Result<>::CallerMistake(std::move(reason));
}

}  // namespace

platform::Result<SerialEntry> ParseSerialEntry(std::string_view entry) {
  std::size_t brace = entry.find('{');
  if (entry.size() < 8) return Fail("the entry is shorter than 8 characters");
  if (brace == std::string_view::npos) {
    return Fail("the entry has no brace group {PORT:BAUD} naming its port");
  }

  std::string_view label = TrimmedView(entry.substr(0, brace));
  std::string_view candidate = label.size() > 2 ? label.substr(label.size() - 2) : label;
  bool addressValid = candidate == "00" || platform::ReadDecimal(candidate) > 0.0;

  std::string group = platform::RemoveChars(entry.substr(brace), "{}");
  std::string_view trimmedGroup = TrimmedView(group);
  if (IsNetworkPort(trimmedGroup)) {
    return Fail(
        "a serial device server is named in the port map AppConfig/COMM_Map.cfg "
        "(COM7=" +
        std::string(trimmedGroup.substr(0, trimmedGroup.rfind(':'))) +
        "), and the entry names its COM port ({COM7:BAUD})");
  }
  std::size_t colon = trimmedGroup.find(':');
  // The shortest port name, "COM1", fills the first four characters.
  if (colon == std::string_view::npos || colon < 4) {
    return Fail("the brace group has no \":\" after a port name of at least 4 characters");
  }

  std::string_view portText = TrimmedView(trimmedGroup.substr(0, colon));
  std::string_view baudText = TrimmedView(trimmedGroup.substr(colon + 1));
  int baud = BaudRate(baudText);
  int portNumber = 0;
  std::string portPath;
  if (!portText.empty() && portText.front() == '/') {
    portPath = std::string(portText);
  } else {
    portNumber = PortNumber(portText);
  }
  if (baud == 0) {
    return Fail("baud rate " + std::string(baudText) +
                " is not one of 9600, 19200, 38400, 57600, 115200");
  }
  if (!addressValid) {
    return Fail("the label does not end in a controller address (a number above 0, or 00)");
  }
  if (portNumber == 0 && portPath.empty()) {
    return Fail("port " + std::string(portText) + " is not one of COM1 to COM99");
  }

  SerialEntry out;
  out.address = std::string(candidate);
  out.portNumber = portNumber;
  out.portPath = std::move(portPath);
  out.baud = baud;
  return out;
}

std::vector<std::string> SerialConfigEntries(std::string_view fileText) {
  return TrimmedLines(fileText, false);
}

std::map<int, std::string> ParseComMap(std::string_view fileText) {
  std::map<int, std::string> map;
  // Written on the machine that uses it, so LF-only line ends count too.
  for (const std::string& line : TrimmedLines(fileText, true)) {
    if (line.front() == '#' || line.front() == ';') continue;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string_view key = TrimmedView(std::string_view(line).substr(0, equals));
    std::string_view path = TrimmedView(std::string_view(line).substr(equals + 1));
    if (key.size() < 4 || key.size() > 5 || path.empty()) continue;
    std::string_view digits = key.substr(3);
    if (platform::ToUpper(key.substr(0, 3)) != "COM" || !IsDigit(digits.front()) ||
        !IsDigit(digits.back())) {
      continue;
    }
    int number = 0;
    for (char c : digits) number = number * 10 + (c - '0');
    if (number < 1 || number > 99) continue;
    map[number] = std::string(path);
  }
  return map;
}

std::string ComPortDevice(int number, const std::map<int, std::string>& map) {
  if (number < 1 || number > 99) return {};
  auto it = map.find(number);
  return it != map.end() ? it->second : SerialPort::DefaultDeviceName(number);
}

namespace {

// A plain decimal number (digits with an optional fraction, no sign, no
// exponent); false for anything else.
bool ReadSeconds(std::string_view text, double& out) {
  std::size_t digits = 0, dots = 0;
  for (char c : text) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c == '.') {
      ++dots;
    } else {
      return false;
    }
  }
  if (digits == 0 || dots > 1) return false;
  out = platform::ReadDecimal(text);
  return true;
}

std::string SecondsText(double seconds) {
  std::string text = std::to_string(seconds);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text + " s";
}

}  // namespace

SerialTiming ParseSerialTiming(std::string_view fileText, double replyTimeoutSeconds,
                               const std::string& fileName, std::vector<std::string>& notes) {
  SerialTiming timing;
  const SerialTiming defaults;
  for (const platform::SettingLine& line : platform::SettingLines(fileText)) {
    auto note = [&](const std::string& why) {
      notes.push_back(fileName + ", line " + std::to_string(line.number) + ": \"" +
                      std::string(line.text) + "\": " + why);
    };
    if (line.name.empty()) {
      note("not NAME=value; the line is ignored");
      continue;
    }
    const std::string& name = line.name;
    const std::string_view value = line.value;
    if (name != "SETTLE") {
      note("unknown name (the one name is SETTLE); the line is ignored");
      continue;
    }
    const std::string keeps =
        "; the link waits for " + SecondsText(defaults.settleSeconds) + " of quiet";
    double seconds = 0;
    if (!value.empty() && value.front() == '-' && ReadSeconds(value.substr(1), seconds)) {
      note("the settle time is negative" + keeps);
    } else if (!ReadSeconds(value, seconds)) {
      note("the settle time is not a number of seconds" + keeps);
    } else if (seconds > replyTimeoutSeconds) {
      note("the settle time is longer than the reply time-out of " +
           SecondsText(replyTimeoutSeconds) + keeps);
    } else {
      timing.settleSeconds = seconds;
    }
  }
  return timing;
}

struct SerialTransport::OpenPort {
  std::unique_ptr<SerialChannel> channel;
  std::string address;
  // Bytes that arrived after the CR of the last reply; they are the start of
  // whatever the line sends next.
  std::string pending;
  // The last exchange timed out: its reply may still be on the way.
  bool unsettled = false;
  // The raw serial device server (its port map text); empty otherwise.
  std::string server;
  // Some byte has come from the line since it was opened.
  bool heard = false;
  // The last reply ended at a CR, and nothing has come since: an LF now is
  // the rest of a CR LF line end, not the start of the next reply.
  bool afterCr = false;
};

SerialTransport::SerialTransport(std::string dataRoot, double replyTimeoutSeconds)
    : dataRoot_(std::move(dataRoot)), replyTimeoutSeconds_(replyTimeoutSeconds) {
  ReadTiming();
}

SerialTransport::~SerialTransport() = default;

void SerialTransport::ReadTiming() {
  const std::string path = platform::DataFolders(dataRoot_).DataPath("AppConfig\\COMM_Timing.cfg");
  std::string text;
  if (!platform::ReadFile(path, text)) {
    timing_ = SerialTiming{};
    return;
  }
  timing_ = ParseSerialTiming(text, replyTimeoutSeconds_, path, notes_);
}

std::vector<std::string> SerialTransport::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

std::vector<std::string> SerialTransport::ListEntries() {
  ReadTiming();
  std::string text;
  if (!platform::ReadFile(platform::DataFolders(dataRoot_).DataPath("AppConfig\\COMM_Ports.cfg"),
                          text)) {
    return {};
  }
  return SerialConfigEntries(text);
}

std::string SerialTransport::SerialListEntries() {
  return JoinList(ListEntries());
}

Clock::duration SerialTransport::ReplyTimeout() const {
  // Held to a day, which no reply needs, so a deadline cannot overflow.
  double seconds = replyTimeoutSeconds_ > 0 ? std::min(replyTimeoutSeconds_, 86400.0) : 0.0;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

platform::Result<LinkHandle> SerialTransport::Open(const std::string& entry) {
  platform::Result<SerialEntry> parsedEntry = ParseSerialEntry(entry);
  if (!parsedEntry) return parsedEntry.Failure();
  const SerialEntry& parsed = *parsedEntry;
  std::string port = parsed.portPath;
  std::string unmapped;
  if (port.empty()) {
    std::string mapText;
    platform::ReadFile(platform::DataFolders(dataRoot_).DataPath("AppConfig\\COMM_Map.cfg"),
                       mapText);
    auto map = ParseComMap(mapText);
    port = ComPortDevice(parsed.portNumber, map);
    if (map.count(parsed.portNumber) == 0) {
      unmapped = "COM" + std::to_string(parsed.portNumber) + " is not in the port map; ";
    }
  }
  auto open = std::make_unique<OpenPort>();
  platform::Result<std::unique_ptr<SerialChannel>> channel =
      OpenSerialChannel(port, parsed.baud, Clock::now() + ReplyTimeout());
  if (!channel) {
    // Said with the system's text where it has one, as the port layer did.
    if (channel.Kind() == platform::ResultKind::SystemFailure) {
      return platform::Result<>::SystemFailureSaying(unmapped + channel.Text(),
                                                     channel.ErrorNumber());
    }
    return platform::Result<>::CallerMistake(unmapped + channel.Text());
  }
  open->channel = std::move(channel).value();
  open->address = parsed.address;
  // A raw connection is where a server's refusal shows only as its end; a
  // telnet server has answered the line settings already.
  if (IsNetworkPort(port) && platform::EqualsNoCase(std::string_view(port).substr(0, 6), "tcp://"))
    open->server = port;
  serialAddress_ = parsed.address;
  const LinkHandle handle = nextHandle_++;
  if (nextHandle_ <= 0) nextHandle_ = 1;
  ports_[handle] = std::move(open);
  return handle;
}

SerialTransport::OpenPort* SerialTransport::Find(LinkHandle handle) {
  auto it = ports_.find(handle);
  return it == ports_.end() ? nullptr : it->second.get();
}

void SerialTransport::Settle(OpenPort& open) const {
  open.pending.clear();
  open.unsettled = false;
  open.afterCr = false;
  const auto quietSpell = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(timing_.settleSeconds));
  const Clock::time_point limit = Clock::now() + 2 * quietSpell;
  std::string dropped;
  for (;;) {
    dropped.clear();
    Clock::time_point quiet = std::min(Clock::now() + quietSpell, limit);
    // Ends at the first quiet spell, at the limit, or when the line is gone.
    if (open.channel->Read(dropped, 4096, quiet) != SerialChannel::ReadResult::Data) return;
    if (Clock::now() >= limit) return;
  }
}

LinkStatus SerialTransport::SendReceive(LinkHandle handle, const std::string& command,
                                        std::string& reply) {
  OpenPort* open = Find(handle);
  if (open && open->unsettled) Settle(*open);
  const Clock::duration timeout = ReplyTimeout();
  std::string frame = "@" + (open ? open->address : std::string()) + command + "\r";
  if (!open || !open->channel->Write(frame, Clock::now() + timeout)) {
    if (open) NoteTurnedAway(*open);
    reply = kComErrorText;
    return LinkStatus::WriteFailed;
  }

  // The time-out runs on the monotonic clock, so changes of the wall clock
  // (midnight, daylight saving, a time server) cannot shorten or stretch it.
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string received;
  std::string& pending = open->pending;
  for (;;) {
    if (open->afterCr && !pending.empty()) {
      if (pending.front() == '\n') pending.erase(0, 1);
      open->afterCr = false;
    }
    std::size_t cr = pending.find('\r');
    std::size_t take = cr == std::string::npos ? pending.size() : cr;
    std::size_t room = kMaxReplyBytes - received.size();
    received.append(pending, 0, take < room ? take : room);
    if (cr != std::string::npos) {
      pending.erase(0, cr + 1);
      open->afterCr = true;
      reply = std::move(received);
      return LinkStatus::Ok;
    }
    pending.clear();
    // Checked after every read, so a controller that sends without pause
    // still cannot hold the line past the time-out.
    if (Clock::now() >= deadline) break;
    // Timed out, or the port went away and nothing more can arrive.
    const SerialChannel::ReadResult read = open->channel->Read(pending, 4096, deadline);
    if (read == SerialChannel::ReadResult::Gone) NoteTurnedAway(*open);
    if (read != SerialChannel::ReadResult::Data) break;
    open->heard = true;
  }
  open->unsettled = true;
  reply = kSerialTimeoutText;
  return LinkStatus::TimedOut;
}

void SerialTransport::NoteTurnedAway(const OpenPort& open) {
  if (open.server.empty() || open.heard || !lineLoss_.empty()) return;
  lineLoss_ = open.server +
              " closed the connection before it answered anything: its port is held by another "
              "client, or it turns this one away";
}

std::string SerialTransport::TakeLineLoss() {
  return std::exchange(lineLoss_, std::string());
}

LinkStatus SerialTransport::Close(LinkHandle handle) {
  auto it = ports_.find(handle);
  if (it == ports_.end()) return LinkStatus::Failed;
  ports_.erase(it);  // the port closes with it
  serialAddress_ = ports_.empty() ? std::string() : ports_.rbegin()->second->address;
  return LinkStatus::Ok;
}

}  // namespace devices

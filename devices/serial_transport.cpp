#include "devices/serial_transport.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "devices/serial_port.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "platform/text.h"

namespace devices {
namespace {

constexpr char kComErrorText[] = "(COM Error)";
constexpr char kSerialTimeoutText[] = "(SERIAL Timeout)";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
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
  for (int rate : {9600, 19200, 38400, 57600, 115200}) {
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
    std::string_view trimmed = platform::TrimmedView(current);
    if (!trimmed.empty()) lines.emplace_back(trimmed);
    current.clear();
  };
  for (char c : text) {
    if (c == '\r' || (c == '\n' && lfEndsLines)) {
      finish();
    } else if (c != '\n') {
      current += c;
    }
  }
  finish();
  return lines;
}

}  // namespace

bool ParseSerialEntry(std::string_view entry, SerialEntry& out) {
  out = SerialEntry{};
  std::size_t brace = entry.find('{');
  if (entry.size() < 8 || brace == std::string_view::npos) return false;

  std::string_view label = platform::TrimmedView(entry.substr(0, brace));
  std::string_view candidate = label.size() > 2 ? label.substr(label.size() - 2) : label;
  bool addressValid = candidate == "00" || platform::ReadDecimal(candidate) > 0.0;

  std::string group;
  for (char c : entry.substr(brace)) {
    if (c != '{' && c != '}') group += c;
  }
  std::string_view trimmedGroup = platform::TrimmedView(group);
  std::size_t colon = trimmedGroup.find(':');
  // The shortest port name, "COM1", fills the first four characters.
  if (colon == std::string_view::npos || colon < 4) return false;

  std::string_view portText = platform::TrimmedView(trimmedGroup.substr(0, colon));
  std::string_view baudText = platform::TrimmedView(trimmedGroup.substr(colon + 1));
  int baud = BaudRate(baudText);
  int portNumber = 0;
  std::string portPath;
  if (!portText.empty() && portText.front() == '/') {
    portPath = std::string(portText);
  } else {
    portNumber = PortNumber(portText);
  }
  if (baud == 0 || !addressValid || (portNumber == 0 && portPath.empty())) return false;

  out.address = std::string(candidate);
  out.portNumber = portNumber;
  out.portPath = std::move(portPath);
  out.baud = baud;
  return true;
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
    std::string_view key = platform::TrimmedView(std::string_view(line).substr(0, equals));
    std::string_view path = platform::TrimmedView(std::string_view(line).substr(equals + 1));
    if (key.size() < 4 || key.size() > 5 || path.empty()) continue;
    std::string prefix = platform::ToUpper(key.substr(0, 3));
    std::string_view digits = key.substr(3);
    if (prefix != "COM" || !IsDigit(digits.front()) || !IsDigit(digits.back())) continue;
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

struct SerialTransport::OpenPort {
  SerialPort port;
  std::string address;
  // Bytes that arrived after the CR of the last reply; they are the start of
  // whatever the line sends next.
  std::string pending;
};

SerialTransport::SerialTransport(std::string dataRoot, double replyTimeoutSeconds)
    : dataRoot_(std::move(dataRoot)), replyTimeoutSeconds_(replyTimeoutSeconds) {}

SerialTransport::~SerialTransport() = default;

std::vector<std::string> SerialTransport::ListEntries() {
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

int SerialTransport::Open(const std::string& entry, LinkHandle& handle) {
  handle = 0;
  SerialEntry parsed;
  if (!ParseSerialEntry(entry, parsed)) return 0;
  std::string device = parsed.portPath;
  if (device.empty()) {
    std::string mapText;
    platform::ReadFile(platform::DataFolders(dataRoot_).DataPath("AppConfig\\COMM_Map.cfg"),
                       mapText);
    device = ComPortDevice(parsed.portNumber, ParseComMap(mapText));
  }
  auto open = std::make_unique<OpenPort>();
  if (!open->port.Open(device, parsed.baud)) return 0;
  open->address = parsed.address;
  serialAddress_ = parsed.address;
  handle = nextHandle_++;
  if (nextHandle_ <= 0) nextHandle_ = 1;
  ports_[handle] = std::move(open);
  return 1;
}

SerialTransport::OpenPort* SerialTransport::Find(LinkHandle handle) {
  auto it = ports_.find(handle);
  return it == ports_.end() ? nullptr : it->second.get();
}

int SerialTransport::SendReceive(LinkHandle handle, const std::string& command,
                                 std::string& reply) {
  OpenPort* open = Find(handle);
  using Clock = std::chrono::steady_clock;
  // Held to a day, which no reply needs, so the deadline cannot overflow.
  double seconds = replyTimeoutSeconds_ > 0 ? std::min(replyTimeoutSeconds_, 86400.0) : 0.0;
  auto timeout =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::string frame = "@" + (open ? open->address : std::string()) + command + "\r";
  if (!open || !open->port.Write(frame, Clock::now() + timeout)) {
    reply = kComErrorText;
    return kSerialWriteFailed;
  }

  // The time-out runs on the monotonic clock, so changes of the wall clock
  // (midnight, daylight saving, a time server) cannot shorten or stretch it.
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string received;
  std::string& pending = open->pending;
  for (;;) {
    std::size_t cr = pending.find('\r');
    std::size_t take = cr == std::string::npos ? pending.size() : cr;
    std::size_t room = kMaxReplyBytes - received.size();
    received.append(pending, 0, take < room ? take : room);
    if (cr != std::string::npos) {
      pending.erase(0, cr + 1);
      reply = std::move(received);
      return kSerialReplyReceived;
    }
    pending.clear();
    // Checked after every read, so a controller that sends without pause
    // still cannot hold the line past the time-out.
    if (Clock::now() >= deadline) break;
    SerialPort::ReadResult result = open->port.Read(pending, 4096, deadline);
    // Timed out, or the port went away and nothing more can arrive.
    if (result != SerialPort::ReadResult::Data) break;
  }
  reply = kSerialTimeoutText;
  return kSerialTimeout;
}

int SerialTransport::Close(LinkHandle handle) {
  auto it = ports_.find(handle);
  if (it == ports_.end()) return 0;
  ports_.erase(it);  // the port closes with it
  serialAddress_ = ports_.empty() ? std::string() : ports_.rbegin()->second->address;
  return 1;
}

}  // namespace devices

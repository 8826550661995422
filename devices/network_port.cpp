#include "devices/network_port.h"

#include "devices/telnet_client.h"

#if defined(_WIN32)

namespace devices {

NetworkPort::NetworkPort() = default;
NetworkPort::~NetworkPort() = default;
platform::Result<> NetworkPort::Open(const NetworkAddress&, int, TimePoint) {
  return platform::Result<>::Unsupported(
      "serial device servers are not supported on this platform yet");
}
bool NetworkPort::Write(std::string_view, TimePoint) {
  return false;
}
NetworkPort::ReadResult NetworkPort::Read(std::string&, std::size_t, TimePoint) {
  return ReadResult::Gone;
}
void NetworkPort::Close() {}

}  // namespace devices

#else

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "devices/descriptor_io.h"
#include "platform/text.h"

namespace devices {
namespace {

using platform::Result;

struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
  int family = 0;
};

// A lookup that may outlive the caller who gave up waiting for it.
struct Lookup {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  int result = 0;
  int systemError = 0;
  std::vector<Endpoint> endpoints;
};

std::vector<Endpoint> EndpointsOf(const addrinfo* list) {
  std::vector<Endpoint> out;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Endpoint e;
    std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
    e.length = a->ai_addrlen;
    e.family = a->ai_family;
    out.push_back(e);
  }
  return out;
}

int GetAddresses(const std::string& host, const std::string& service, int flags,
                 std::vector<Endpoint>& out) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  int result = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (result == 0) {
    out = EndpointsOf(list);
    ::freeaddrinfo(list);
  }
  return result;
}

std::string LookupErrorText(int result, int systemError) {
  return result == EAI_SYSTEM ? io::ErrorText(systemError) : ::gai_strerror(result);
}

// Addresses are read at once; a name goes to the resolver on a thread of
// its own, since getaddrinfo() cannot be given a deadline.
Result<std::vector<Endpoint> > Resolve(const NetworkAddress& address,
                                       SerialChannel::TimePoint deadline) {
  const std::string service = std::to_string(address.port);
  std::vector<Endpoint> numeric;
  if (GetAddresses(address.host, service, AI_NUMERICHOST, numeric) == 0 && !numeric.empty()) {
    return numeric;
  }
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host = address.host, service] {
      std::vector<Endpoint> found;
      int result = GetAddresses(host, service, 0, found);
      int systemError = errno;
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->result = result;
      lookup->systemError = systemError;
      lookup->endpoints = std::move(found);
      lookup->done = true;
      lookup->finished.notify_all();
    }).detach();
  } catch (const std::system_error& e) {
    // Only the standard library's thread start throws here (no thread to
    // be had); the lookup is then refused like any other.
    return Result<>::SystemFailureSaying("cannot look up \"" + address.host + "\": " + e.what(),
                                         e.code().value());
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  if (!lookup->finished.wait_until(lock, deadline, [&] { return lookup->done; })) {
    return Result<>::SystemFailureSaying("no answer for the host name \"" + address.host +
                                         "\" before the time-out");
  }
  if (lookup->result != 0 || lookup->endpoints.empty()) {
    return Result<>::SystemFailureSaying(
        "cannot resolve \"" + address.host + "\": " +
            (lookup->result != 0 ? LookupErrorText(lookup->result, lookup->systemError)
                                 : std::string("no address")),
        lookup->result == EAI_SYSTEM ? lookup->systemError : 0);
  }
  return std::move(lookup->endpoints);
}

// Marks the failure of a connection the deadline ended (not ETIMEDOUT,
// which the system gives for a connection its own timers gave up on).
constexpr int kDeadlinePassed = ETIME;

// Connects without blocking: the socket, or why this address failed.
Result<int> Connect(const Endpoint& endpoint, SerialChannel::TimePoint deadline) {
  const auto failed = [](int fd, int error) {
    if (fd >= 0) ::close(fd);
    return Result<>::SystemFailureSaying(io::ErrorText(error), error);
  };
  int fd = ::socket(endpoint.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return failed(fd, errno);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length) != 0) {
    if (errno != EINPROGRESS) return failed(fd, errno);
    if (!io::WaitFor(fd, POLLOUT, deadline)) return failed(fd, kDeadlinePassed);
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0 || soError != 0) {
      return failed(fd, soError != 0 ? soError : errno);
    }
  }
  // Frames are small and each waits for its reply: send them at once.
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// Letters, digits, "-", "_" and dots between labels of 1 to 63 characters.
bool IsHostName(std::string_view host) {
  if (host.empty() || host.size() > 253 || host.front() == '.') return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (!IsHostCharacter(host[i])) return false;
    if (host[i] == '.' && host[i - 1] == '.') return false;
    label = host[i] == '.' ? 0 : label + 1;
    if (label > 63) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool IsNetworkPort(std::string_view port) {
  return StartsWithNoCase(port, "tcp://") || StartsWithNoCase(port, "rfc2217://");
}

Result<NetworkAddress> ParseNetworkAddress(std::string_view text) {
  NetworkAddress out;
  out.telnet = StartsWithNoCase(text, "rfc2217://");
  if (!out.telnet && !StartsWithNoCase(text, "tcp://")) {
    return Result<>::CallerMistake("\"" + std::string(text) +
                                   "\" is not tcp://HOST:PORT or rfc2217://HOST:PORT");
  }
  std::string_view rest = text.substr(text.find("://") + 3);
  std::size_t colon = rest.rfind(':');
  std::string_view host = colon == std::string_view::npos ? rest : rest.substr(0, colon);
  std::string_view port =
      colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
  if (bracketed) host = host.substr(1, host.size() - 2);
  int number = 0;
  bool portValid = !port.empty() && port.size() <= 5;
  for (char c : port) {
    portValid = portValid && c >= '0' && c <= '9';
    if (portValid) number = number * 10 + (c - '0');
  }
  if (!portValid || number < 1 || number > 65535) {
    return Result<>::CallerMistake("\"" + std::string(text) +
                                   "\" has no port number from 1 to 65535 after the host");
  }
  // An IPv6 address needs its brackets, since it is full of colons itself.
  bool valid =
      bracketed ? host.find_first_not_of("0123456789abcdefABCDEF:.%") == std::string_view::npos &&
                      !host.empty()
                : IsHostName(host);
  if (!valid) {
    return Result<>::CallerMistake("\"" + std::string(host) +
                                   "\" is not a valid host name or address");
  }
  out.host = std::string(host);
  out.port = number;
  return out;
}

NetworkPort::NetworkPort() = default;

NetworkPort::~NetworkPort() {
  Close();
}

Result<> NetworkPort::Open(const NetworkAddress& address, int baud, TimePoint deadline) {
  Close();
  bool v6 = address.host.find(':') != std::string::npos;
  where_ = (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
  Result<std::vector<Endpoint> > endpoints = Resolve(address, deadline);
  if (!endpoints) return endpoints.Failure();
  Result<int> connected = Result<>::SystemFailureSaying("no address");
  for (const Endpoint& endpoint : *endpoints) {
    connected = Connect(endpoint, deadline);
    if (connected || connected.ErrorNumber() == kDeadlinePassed) break;
  }
  if (!connected) {
    return Result<>::SystemFailureSaying(connected.ErrorNumber() == kDeadlinePassed
                                             ? "no connection to " + where_ + " before the time-out"
                                             : "cannot connect to " + where_ + ": " +
                                                   connected.Text());
  }
  fd_ = *connected;
  if (address.telnet) {
    telnet_ = std::make_unique<TelnetClient>();
    if (Result<> agreed = Negotiate(baud, deadline); !agreed) {
      Close();
      return agreed;
    }
  }
  return Result<>::Success();
}

Result<> NetworkPort::Negotiate(int baud, TimePoint deadline) {
  bool settingsSent = false;
  std::string pending = telnet_->Greeting();
  for (;;) {
    if (telnet_->ComPortState() == TelnetClient::ComPort::Refused) {
      return Result<>::SystemFailureSaying("the server at " + where_ +
                                           " does not offer COM port control (RFC 2217)");
    }
    if (telnet_->ComPortState() == TelnetClient::ComPort::Agreed && !settingsSent) {
      pending += telnet_->LineSettings(baud);
      settingsSent = true;
    }
    if (!pending.empty() && !io::WriteAll(fd_, pending, deadline, true)) {
      return Result<>::SystemFailureSaying("the connection to " + where_ +
                                           " failed while setting the line");
    }
    pending.clear();
    if (settingsSent && telnet_->LineConfirmed()) break;
    std::string raw, stale;
    ReadResult result = io::ReadSome(fd_, raw, 4096, deadline);
    if (result == ReadResult::Gone) {
      return Result<>::SystemFailureSaying("the server at " + where_ +
                                           " closed the connection while setting the line");
    }
    // What the line sent before it was set up belongs to no command of ours.
    telnet_->Receive(raw, stale);
    pending = telnet_->TakeAnswers();
    if (result == ReadResult::TimedOut || std::chrono::steady_clock::now() >= deadline) {
      return Result<>::SystemFailureSaying(
          "the server at " + where_ + " did not " +
          (settingsSent ? "confirm the line settings" : "answer the COM port control request") +
          " before the time-out");
    }
  }
  if (telnet_->ConfirmedBaud() != baud || telnet_->ConfirmedDataSize() != 8 ||
      telnet_->ConfirmedParity() != 1 || telnet_->ConfirmedStopSize() != 1) {
    return Result<>::SystemFailureSaying(
        "the server at " + where_ + " set the line to " + std::to_string(telnet_->ConfirmedBaud()) +
        " baud, data size " + std::to_string(telnet_->ConfirmedDataSize()) + ", parity code " +
        std::to_string(telnet_->ConfirmedParity()) + ", stop size code " +
        std::to_string(telnet_->ConfirmedStopSize()) + " instead of " + std::to_string(baud) +
        " 8N1");
  }
  return Result<>::Success();
}

bool NetworkPort::Write(std::string_view data, TimePoint deadline) {
  if (fd_ < 0) return false;
  if (!telnet_) return io::WriteAll(fd_, data, deadline, true);
  return io::WriteAll(fd_, telnet_->Encode(data), deadline, true);
}

NetworkPort::ReadResult NetworkPort::Read(std::string& out, std::size_t max, TimePoint deadline) {
  if (fd_ < 0) return ReadResult::Gone;
  if (!telnet_) return io::ReadSome(fd_, out, max, deadline);
  for (;;) {
    std::string raw;
    ReadResult result = io::ReadSome(fd_, raw, max, deadline);
    if (result != ReadResult::Data) return result;
    std::size_t before = out.size();
    telnet_->Receive(raw, out);
    SendAnswers(deadline);
    if (out.size() > before) return ReadResult::Data;
    // Telnet commands alone, however many, never hold the wait past its end.
    if (std::chrono::steady_clock::now() >= deadline) return ReadResult::TimedOut;
  }
}

void NetworkPort::SendAnswers(TimePoint deadline) {
  std::string answers = telnet_->TakeAnswers();
  // An answer that cannot go out in time is dropped: the server asks again
  // if it cares, and the reply wait goes on.
  if (!answers.empty()) io::WriteAll(fd_, answers, deadline, true);
}

void NetworkPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  telnet_.reset();
}

}  // namespace devices

#endif

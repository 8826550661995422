#include "devices/descriptor_io.h"

#if !defined(_WIN32)

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace devices::io {

int MillisecondsLeft(TimePoint deadline) {
  auto left = deadline - std::chrono::steady_clock::now();
  if (left <= decltype(left)::zero()) return -1;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

bool WaitFor(int fd, short events, TimePoint deadline) {
  for (;;) {
    int ms = MillisecondsLeft(deadline);
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, ms < 0 ? 0 : ms);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
    if (r == 0 && ms < 0) return false;
  }
}

bool WriteAll(int fd, std::string_view data, TimePoint deadline, bool socket) {
  while (!data.empty()) {
    ssize_t n = socket ? ::send(fd, data.data(), data.size(), MSG_NOSIGNAL)
                       : ::write(fd, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // The output queue is full (or flow control holds it): wait for room.
    int ms = MillisecondsLeft(deadline);
    if (ms < 0) return false;
    pollfd p{fd, POLLOUT, 0};
    int r = ::poll(&p, 1, ms);
    if (r < 0 && errno != EINTR) return false;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

SerialChannel::ReadResult ReadSome(int fd, std::string& out, std::size_t max, TimePoint deadline) {
  using ReadResult = SerialChannel::ReadResult;
  char buffer[4096];
  if (max > sizeof buffer) max = sizeof buffer;
  if (max == 0) return ReadResult::TimedOut;
  for (;;) {
    // Wait first: right after a frame went out, a reply is never there yet.
    pollfd p{fd, POLLIN, 0};
    int ms = MillisecondsLeft(deadline);
    int r = ::poll(&p, 1, ms < 0 ? 0 : ms);
    if (r < 0) {
      if (errno == EINTR) continue;
      return ReadResult::Gone;
    }
    if (r == 0) {
      if (ms < 0) return ReadResult::TimedOut;
      continue;  // woke a little early; the deadline decides
    }
    if (p.revents & POLLNVAL) return ReadResult::Gone;
    // Readable, hung up or in error: read() tells which.
    ssize_t n = ::read(fd, buffer, max);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
      return ReadResult::Data;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) &&
        !(p.revents & (POLLHUP | POLLERR))) {
      continue;
    }
    return ReadResult::Gone;
  }
}

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

}  // namespace devices::io

#endif

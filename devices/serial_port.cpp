#include "devices/serial_port.h"

#if defined(_WIN32)

// No Windows port layer yet: every port reports that it cannot be opened.
namespace devices {

SerialPort::~SerialPort() = default;
bool SerialPort::Open(const std::string&, int) {
  return false;
}
bool SerialPort::Write(std::string_view, TimePoint) {
  return false;
}
SerialPort::ReadResult SerialPort::Read(std::string&, std::size_t, TimePoint) {
  return ReadResult::Gone;
}
void SerialPort::Close() {}

std::string SerialPort::DefaultDeviceName(int number) {
  // Ports above 9 are reachable only through the device namespace prefix.
  return (number >= 10 ? "\\\\.\\COM" : "COM") + std::to_string(number);
}

bool SerialPort::SupportedBaud(int baud) {
  return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200;
}

}  // namespace devices

#else

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace devices {
namespace {

bool SpeedFor(int baud, speed_t& speed) {
  switch (baud) {
    case 9600:
      speed = B9600;
      return true;
    case 19200:
      speed = B19200;
      return true;
    case 38400:
      speed = B38400;
      return true;
    case 57600:
      speed = B57600;
      return true;
    case 115200:
      speed = B115200;
      return true;
    default:
      return false;
  }
}

// Milliseconds left until `deadline`, rounded up so that a wait never ends
// just before it and spins on zero-length polls; -1 when it has passed.
int MillisecondsLeft(SerialPort::TimePoint deadline) {
  auto left = deadline - std::chrono::steady_clock::now();
  if (left <= decltype(left)::zero()) return -1;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

// Raw mode without touching flow control: the line carries every byte value
// unchanged in both directions.
void MakeRaw(termios& t) {
  t.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
#ifdef IUCLC
  t.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace

SerialPort::~SerialPort() {
  Close();
}

bool SerialPort::Open(const std::string& path, int baud) {
  Close();
  speed_t speed;
  if (!SpeedFor(baud, speed)) return false;
  // Non-blocking: the open must not wait for a carrier, and every later wait
  // is a poll() with a deadline.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios t;
  if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
    ::close(fd);
    return false;
  }
  // The lock keeps out every program that locks ports the same way (and a
  // second entry of our own list on the same port); exclusive mode keeps out
  // the others that are not privileged.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
#ifdef TIOCEXCL
  ::ioctl(fd, TIOCEXCL);
#endif
  MakeRaw(t);
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
      ::tcsetattr(fd, TCSANOW, &t) != 0) {
#ifdef TIOCNXCL
    ::ioctl(fd, TIOCNXCL);
#endif
    ::close(fd);
    return false;
  }
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  return true;
}

bool SerialPort::Write(std::string_view data, TimePoint deadline) {
  if (fd_ < 0) return false;
  while (!data.empty()) {
    ssize_t n = ::write(fd_, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // The output queue is full (or flow control holds it): wait for room.
    int ms = MillisecondsLeft(deadline);
    if (ms < 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    int r = ::poll(&p, 1, ms);
    if (r < 0 && errno != EINTR) return false;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

SerialPort::ReadResult SerialPort::Read(std::string& out, std::size_t max, TimePoint deadline) {
  if (fd_ < 0) return ReadResult::Gone;
  char buffer[4096];
  if (max > sizeof buffer) max = sizeof buffer;
  if (max == 0) return ReadResult::TimedOut;
  for (;;) {
    // Wait first: right after a frame went out, a reply is never there yet.
    pollfd p{fd_, POLLIN, 0};
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
    // Readable, hung up or in error: read() tells which. A port that hung up
    // with bytes still queued delivers them first.
    ssize_t n = ::read(fd_, buffer, max);
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

void SerialPort::Close() {
  if (fd_ < 0) return;
    // Exclusive mode can outlive this descriptor (a pseudo-terminal keeps it
    // while its other side is open), so it is given up explicitly; the lock
    // goes with the descriptor.
#ifdef TIOCNXCL
  ::ioctl(fd_, TIOCNXCL);
#endif
  ::close(fd_);
  fd_ = -1;
}

std::string SerialPort::DefaultDeviceName(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

bool SerialPort::SupportedBaud(int baud) {
  speed_t ignored;
  return SpeedFor(baud, ignored);
}

}  // namespace devices

#endif

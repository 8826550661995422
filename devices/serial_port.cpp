#include "devices/serial_port.h"

#if defined(_WIN32)

// No Windows port layer yet: every port reports that it cannot be opened.
namespace devices {

SerialPort::~SerialPort() = default;
platform::Result<> SerialPort::Open(const std::string&, int) {
  return platform::Result<>::Unsupported("serial ports are not supported on this platform yet");
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
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "devices/descriptor_io.h"

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

// Exclusive mode can outlive a descriptor (a pseudo-terminal keeps it while
// its other side is open), so it is always given up explicitly.
void CloseExclusive(int fd) {
#ifdef TIOCNXCL
  ::ioctl(fd, TIOCNXCL);
#endif
  ::close(fd);
}

}  // namespace

SerialPort::~SerialPort() {
  Close();
}

platform::Result<> SerialPort::Open(const std::string& path, int baud) {
  using platform::Result;
  Close();
  speed_t speed;
  if (!SpeedFor(baud, speed)) {
    return Result<>::CallerMistake("baud rate " + std::to_string(baud) + " cannot be set here");
  }
  // Non-blocking: the open must not wait for a carrier, and every later wait
  // is a poll() with a deadline.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    // A port in exclusive mode refuses every other open with EBUSY.
    return Result<>::SystemFailureSaying(
        path + (error == EBUSY ? " is held by another program" : ": " + io::ErrorText(error)),
        error);
  }
  termios t;
  if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
    const int error = errno;
    ::close(fd);
    return Result<>::SystemFailureSaying(path + " is not a serial port", error);
  }
  // The lock keeps out every program that locks ports the same way (and a
  // second entry of our own list on the same port); exclusive mode keeps out
  // the others that are not privileged.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Result<>::SystemFailureSaying(path + " is held by another program", error);
  }
#ifdef TIOCEXCL
  ::ioctl(fd, TIOCEXCL);
#endif
  MakeRaw(t);
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
      ::tcsetattr(fd, TCSANOW, &t) != 0) {
    const int error = errno;
    CloseExclusive(fd);
    return Result<>::SystemFailureSaying(
        path + " refuses the line settings: " + io::ErrorText(error), error);
  }
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  return Result<>::Success();
}

bool SerialPort::Write(std::string_view data, TimePoint deadline) {
  return fd_ >= 0 && io::WriteAll(fd_, data, deadline, false);
}

SerialPort::ReadResult SerialPort::Read(std::string& out, std::size_t max, TimePoint deadline) {
  return fd_ < 0 ? ReadResult::Gone : io::ReadSome(fd_, out, max, deadline);
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  CloseExclusive(fd_);
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

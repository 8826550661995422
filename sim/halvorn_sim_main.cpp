// halvorn-sim: simulated controllers on a pseudo-terminal, so the terminal
// (or any serial program) can talk to them as to controllers on a real port;
// with --tcp also on a loopback TCP port, as a serial device server offers
// its line.
//
//   halvorn-sim [--address AA]... [--link PATH] [--instant] [--pace] [--tcp PORT]
//
// The first line of output is the path of the port to open; with --tcp the
// second is "tcp://127.0.0.1:PORT". The program runs until SIGTERM, SIGINT or
// SIGHUP and then removes its --link.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "sim/serial_line.h"

namespace {

using Clock = std::chrono::steady_clock;

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  ssize_t ignored = ::write(signalPipe[1], &c, 1);
  (void)ignored;
}

struct Options {
  std::vector<std::string> addresses;
  std::string link;
  bool instant = false;
  bool pace = false;
  int tcpPort = -1;  // -1: no TCP door; 0: any free port
};

void Usage(FILE* to) {
  std::fputs(
      "usage: halvorn-sim [--address AA]... [--link PATH] [--instant] [--pace] [--tcp PORT]\n"
      "  --address AA  serve a controller at the two-character address AA\n"
      "                (repeatable; default 01)\n"
      "  --link PATH   also make PATH a symbolic link to the port\n"
      "  --instant     moves end at once instead of following their profile\n"
      "  --pace        hold every byte for its time on the wire at the port's\n"
      "                baud rate (as the terminal set it; 9600 until then)\n"
      "  --tcp PORT    also serve the line on 127.0.0.1:PORT, one client at a\n"
      "                time (0: a free port); unpaced\n",
      to);
}

// 0: run; 1: stop with success (help shown); 2: usage error.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--address") {
      std::string address;
      if (!value(address) || address.size() != 2) {
        std::fprintf(stderr, "halvorn-sim: --address needs two characters\n");
        return 2;
      }
      options.addresses.push_back(address);
    } else if (arg == "--link") {
      if (!value(options.link) || options.link.empty()) {
        std::fprintf(stderr, "halvorn-sim: --link needs a path\n");
        return 2;
      }
    } else if (arg == "--instant") {
      options.instant = true;
    } else if (arg == "--pace") {
      options.pace = true;
    } else if (arg == "--tcp") {
      std::string port;
      char* end = nullptr;
      long number = value(port) ? std::strtol(port.c_str(), &end, 10) : -1;
      if (port.empty() || *end != '\0' || number < 0 || number > 65535) {
        std::fprintf(stderr, "halvorn-sim: --tcp needs a port number from 0 to 65535\n");
        return 2;
      }
      options.tcpPort = static_cast<int>(number);
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 1;
    } else {
      std::fprintf(stderr, "halvorn-sim: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (options.addresses.empty()) options.addresses.push_back("01");
  return 0;
}

int BaudOf(speed_t speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

// The time one character takes on the wire with the line settings the
// terminal side has put on the port: start bit, data bits, parity, stop bits.
Clock::duration CharacterTime(int masterFd, int slaveFd) {
  termios t;
  int baud = 0;
  int bits = 10;
  if (::tcgetattr(masterFd, &t) == 0 || ::tcgetattr(slaveFd, &t) == 0) {
    baud = BaudOf(::cfgetospeed(&t));
    int data = (t.c_cflag & CSIZE) == CS5   ? 5
               : (t.c_cflag & CSIZE) == CS6 ? 6
               : (t.c_cflag & CSIZE) == CS7 ? 7
                                            : 8;
    bits = 1 + data + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
  }
  if (baud == 0) baud = 9600;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(bits) / baud));
}

struct TimedByte {
  Clock::time_point at;
  char byte;
};

class Server {
 public:
  Server(int master, int slave, int listener, const Options& options)
      : master_(master), slave_(slave), listener_(listener), pace_(options.pace) {
    for (const std::string& address : options.addresses) {
      sim::Controller::Options o;
      o.identity = "HALVORN SIM " + address;
      o.instant = options.instant;
      line_.AddController(address, std::move(o));
    }
  }

  // Serves the line until a signal arrives (0) or the port fails (1).
  int Run() {
    for (;;) {
      Clock::time_point now = Clock::now();
      DeliverDueInput(now);
      if (!SendDueOutput(now)) return 1;

      // Byte times at high baud rates are far below a millisecond, so the
      // wait is given in nanoseconds.
      bool timed = false;
      Clock::time_point wake{};
      auto consider = [&](Clock::time_point at) {
        if (!timed || at < wake) wake = at;
        timed = true;
      };
      if (!incoming_.empty()) consider(incoming_.front().at);
      if (!outgoing_.empty() && !writeBlocked_) consider(outgoing_.front().at);
      timespec wait{};
      if (timed) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now).count();
        if (ns < 0) ns = 0;
        wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      }

      // Backlog bound: while this much waits to be handled, stop reading and
      // let the pseudo-terminal's own buffer hold the sender back.
      bool canRead = incoming_.size() + outgoing_.size() + unpaced_.size() < 64 * 1024;
      bool clientCanRead = clientOut_.size() < 64 * 1024;
      pollfd p[4] = {
          {master_, static_cast<short>((canRead ? POLLIN : 0) | (WantsWrite() ? POLLOUT : 0)), 0},
          {signalPipe[0], POLLIN, 0},
          {listener_, POLLIN, 0},  // poll() skips a descriptor of -1
          {client_,
           static_cast<short>((clientCanRead ? POLLIN : 0) | (clientOut_.empty() ? 0 : POLLOUT)),
           0}};
      int r = ::ppoll(p, 4, timed ? &wait : nullptr, nullptr);
      if (r < 0) {
        if (errno == EINTR) continue;
        return 1;
      }
      if (p[1].revents) return 0;
      // A client that left is seen off before a new one is let in.
      if (p[3].revents) ServeClient(p[3].revents);
      if (p[2].revents & POLLIN) Accept();
      writeBlocked_ = false;
      if (p[0].revents & POLLNVAL) return 1;
      if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        if (!ReadInput(Clock::now())) return 1;
      }
    }
  }

 private:
  bool WantsWrite() const { return !unpaced_.empty() || (writeBlocked_ && !outgoing_.empty()); }

  bool ReadInput(Clock::time_point now) {
    char buffer[4096];
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return true;
      // EIO: no one has the port open right now (we keep our own descriptor
      // of it, so this is short-lived); wait a little rather than spin.
      if (errno == EIO) {
        ::usleep(20'000);
        return true;
      }
      return false;
    }
    if (!pace_) {
      unpaced_ += line_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
      // Answer at once rather than on the next turn of the loop: the reply
      // time is what a terminal measures.
      return SendDueOutput(now);
    }
    // Each byte reaches the controller only after the bytes before it and
    // its own time on the wire.
    Clock::duration character = CharacterTime(master_, slave_);
    for (ssize_t i = 0; i < n; ++i) {
      inputFree_ = std::max(inputFree_, now) + character;
      incoming_.push_back({inputFree_, buffer[i]});
    }
    return true;
  }

  void DeliverDueInput(Clock::time_point now) {
    while (!incoming_.empty() && incoming_.front().at <= now) {
      std::string reply = line_.Feed(std::string_view(&incoming_.front().byte, 1));
      incoming_.pop_front();
      if (reply.empty()) continue;
      Clock::duration character = CharacterTime(master_, slave_);
      for (char c : reply) {
        outputFree_ = std::max(outputFree_, now) + character;
        outgoing_.push_back({outputFree_, c});
      }
    }
  }

  bool SendDueOutput(Clock::time_point now) {
    while (!outgoing_.empty() && outgoing_.front().at <= now) {
      ssize_t n = ::write(master_, &outgoing_.front().byte, 1);
      if (n == 1) {
        outgoing_.pop_front();
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) {
        writeBlocked_ = true;
        break;
      }
      return false;
    }
    while (!unpaced_.empty()) {
      ssize_t n = ::write(master_, unpaced_.data(), unpaced_.size());
      if (n > 0) {
        unpaced_.erase(0, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) break;
      return false;
    }
    return true;
  }

  // A device server's port has one client at a time: a second connection
  // is closed at once.
  void Accept() {
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (client_ >= 0) {
      ::close(fd);
      return;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    client_ = fd;
    clientReader_ = {};
  }

  void ServeClient(short events) {
    if (events & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[4096];
      ssize_t n = ::read(client_, buffer, sizeof buffer);
      if (n > 0) {
        clientOut_ +=
            line_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), clientReader_);
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        DropClient();
        return;
      }
    }
    while (!clientOut_.empty()) {
      ssize_t n = ::send(client_, clientOut_.data(), clientOut_.size(), MSG_NOSIGNAL);
      if (n > 0) {
        clientOut_.erase(0, static_cast<std::size_t>(n));
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        break;
      } else {
        DropClient();
        return;
      }
    }
  }

  void DropClient() {
    ::close(client_);
    client_ = -1;
    clientOut_.clear();
  }

  int master_;
  int slave_;
  int listener_;
  int client_ = -1;
  bool pace_;
  sim::SerialLine line_;
  sim::SerialLine::Reader clientReader_;
  std::string clientOut_;
  std::deque<TimedByte> incoming_, outgoing_;
  std::string unpaced_;
  Clock::time_point inputFree_{}, outputFree_{};
  bool writeBlocked_ = false;
};

bool InstallSignals() {
  if (::pipe(signalPipe) != 0) return false;
  for (int fd : signalPipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigemptyset(&action.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

// Makes `link` point at `target`, replacing an older symbolic link but never
// a file or folder.
bool MakeLink(const std::string& link, const std::string& target) {
  struct stat st;
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      std::fprintf(stderr, "halvorn-sim: %s exists and is not a symbolic link\n", link.c_str());
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "halvorn-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// Removes the link only while it still points at our port: another
// simulator may have taken the name over since.
void RemoveLink(const std::string& link, const std::string& target) {
  char buffer[4096];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == target) ::unlink(link.c_str());
}

// A listening socket on 127.0.0.1:`port` (0: one the system picks); -1 on
// failure. `port` becomes the port actually bound.
int ListenOnLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int r = ParseOptions(argc, argv, options)) return r == 1 ? 0 : 2;
  if (!InstallSignals()) return 1;

  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::fprintf(stderr, "halvorn-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  char name[256];
  if (::ptsname_r(master, name, sizeof name) != 0) {
    std::fprintf(stderr, "halvorn-sim: cannot name the pseudo-terminal\n");
    return 1;
  }
  std::string slavePath = name;
  // Keeping the port open ourselves means the line never hangs up between
  // two users, and the settings each user applies stay readable.
  int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    std::fprintf(stderr, "halvorn-sim: cannot open %s: %s\n", slavePath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  termios t;
  if (::tcgetattr(slave, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  int listener = -1;
  if (options.tcpPort >= 0) {
    listener = ListenOnLoopback(options.tcpPort);
    if (listener < 0) {
      std::fprintf(stderr, "halvorn-sim: cannot listen on 127.0.0.1:%d: %s\n", options.tcpPort,
                   std::strerror(errno));
      return 1;
    }
  }

  if (!options.link.empty() && !MakeLink(options.link, slavePath)) return 1;
  std::printf("%s\n", slavePath.c_str());
  if (listener >= 0) std::printf("tcp://127.0.0.1:%d\n", options.tcpPort);
  std::fflush(stdout);

  int result = Server(master, slave, listener, options).Run();
  if (listener >= 0) ::close(listener);

  if (!options.link.empty()) RemoveLink(options.link, slavePath);
  ::close(slave);
  ::close(master);
  return result;
}

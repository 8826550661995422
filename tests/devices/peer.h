// The far end of a link on a thread of its own: a pseudo-terminal or a loopback server.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "support/child_process.h"

namespace devices_test {

class Peer {
 public:
  // A pseudo-terminal at `path`; our `slave` end, held open, keeps the line up between opens.
  Peer() {
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256];
    if (m < 0 || ::grantpt(m) || ::unlockpt(m) || ::ptsname_r(m, name, sizeof name)) return;
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    fd_ = m;
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  // A loopback server on `port` that accepts one client and runs `serve`.
  explicit Peer(std::function<void(Peer&)> serve) {
    listener_ = testing_support::BoundLoopbackSocket(port);
    ::listen(listener_, 1);
    Start([this, serve](Peer&) {
      pollfd p{listener_, POLLIN, 0};
      while (!stop_ && ::poll(&p, 1, 10) == 0) continue;
      if (!stop_ && (fd_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK)) >= 0)
        serve(*this);
    });
  }
  ~Peer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    Hangup();
    if (listener_ >= 0) ::close(listener_);
  }

  void Start(std::function<void(Peer&)> serve) {
    ::signal(SIGPIPE, SIG_IGN);
    thread_ = std::thread([this, serve] { serve(*this); });
  }
  // Answers every frame (the bytes up to its CR) with respond(frame).
  void Serve(std::function<std::string(const std::string&)> respond) {
    Start([respond](Peer& p) {
      for (std::size_t start = 0, end; p.ReadUntil("\r", start); start = end) {
        end = p.Received().find('\r', start) + 1;
        p.Send(respond(p.Received().substr(start, end - start)));
      }
    });
  }
  // Reads until `text` has arrived at or after `from` (true), or the end.
  bool ReadUntil(const std::string& text, std::size_t from = 0) {
    while (Received().find(text, from) == std::string::npos) {
      char buffer[512];
      pollfd p{fd_, POLLIN, 0};
      if (stop_ || p.fd < 0) return false;
      if (::poll(&p, 1, 10) <= 0) continue;
      ssize_t n = ::read(p.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EAGAIN) continue;
      if (n <= 0) return false;
      std::lock_guard<std::mutex> lock(mutex_);
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  std::string Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  // Sends every byte unless the other end left or the test ended first.
  bool Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      pollfd p{fd_, POLLOUT, 0};
      if (p.fd < 0 || stop_) return false;
      ssize_t n = ::write(p.fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (n > 0) done += static_cast<std::size_t>(n);
      if (n <= 0) ::poll(&p, 1, 10);
    }
    return true;
  }
  // Closes our ends: a port disappears, as when an adapter is pulled out.
  void Hangup() {
    if (int fd = fd_.exchange(-1); fd >= 0) ::close(fd);
    if (slave >= 0) ::close(slave);
    slave = -1;
  }

  std::string path;
  int slave = -1;
  int port = 0;

 private:
  std::atomic<int> fd_{-1};
  int listener_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
};

}  // namespace devices_test

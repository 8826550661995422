// The far end of a pseudo-terminal: a scripted controller that sees the exact
// bytes the serial link writes and answers each frame with any bytes at all.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace serial_test {

struct PtyPeer {
  PtyPeer() {
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256];
    if (m < 0 || ::grantpt(m) || ::unlockpt(m) || ::ptsname_r(m, name, sizeof name)) return;
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    master_ = m;
    path = name;
    // Held open so the line stays up while the link opens and closes it.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~PtyPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    Hangup();
  }

  // Answers every frame (the bytes up to its CR) with respond(frame) from a
  // thread of its own, and records every byte received.
  void Serve(std::function<std::string(const std::string&)> respond) {
    thread_ = std::thread([this, respond] {
      std::string frame;
      for (char c; !stop_;) {
        pollfd p{master_, POLLIN, 0};
        if (p.fd < 0) return;
        if (::poll(&p, 1, 10) <= 0 || ::read(p.fd, &c, 1) != 1) continue;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          received_ += c;
        }
        if ((frame += c).back() != '\r') continue;
        Send(respond(frame));
        frame.clear();
      }
    });
  }
  std::string Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

  // Sends bytes at once; false when stopped or hung up first.
  bool Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      pollfd p{master_, POLLOUT, 0};
      if (p.fd < 0 || stop_) return false;
      ssize_t n = ::write(p.fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (n > 0) done += static_cast<std::size_t>(n);
      if (n <= 0) ::poll(&p, 1, 10);
    }
    return true;
  }

  // Closes both ends: the port disappears, as when an adapter is pulled out.
  void Hangup() {
    if (int m = master_.exchange(-1); m >= 0) ::close(m);
    if (slave >= 0) ::close(slave);
    slave = -1;
  }

  std::string path;
  int slave = -1;  // our own descriptor of the port, to look at its settings

 private:
  std::atomic<int> master_{-1};
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
};

}  // namespace serial_test

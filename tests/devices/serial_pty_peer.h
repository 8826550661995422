// The far end of a pseudo-terminal for serial link tests: a scripted
// controller that sees the exact bytes the link writes and answers with any
// bytes a test wants, including none, floods, and hanging up halfway.
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

class PtyPeer {
 public:
  // Computes the bytes to send back for one frame (the bytes up to and
  // including its CR). May call Hangup() to make the port go away.
  using Respond = std::function<std::string(const std::string& frame)>;

  PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[256];
    if (::ptsname_r(master_, name, sizeof name) != 0) return;
    path_ = name;
    // Held open so the line stays up while the link opens and closes it, as
    // a cable stays plugged in.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }

  ~PtyPeer() {
    Stop();
    Hangup();
  }

  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  bool Ready() const { return master_ >= 0 && slave_ >= 0 && !path_.empty(); }
  const std::string& Path() const { return path_; }
  // A descriptor of the port of our own, for looking at its settings.
  int SlaveFd() const { return slave_; }

  // Answers every frame from a thread of its own until Stop().
  void Serve(Respond respond) {
    respond_ = std::move(respond);
    thread_ = std::thread([this] { Loop(); });
  }

  // Sends bytes without end (and never a CR) from a thread of its own until
  // Stop(), as a controller gone mad would.
  void Flood(char byte) {
    thread_ = std::thread([this, byte] {
      const std::string block(4096, byte);
      while (!stop_) WriteAll(block);
    });
  }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  // Every byte received so far.
  std::string Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

  // Sends bytes at once, from within a Respond function or from the test.
  void Send(const std::string& bytes) { WriteAll(bytes); }

  // Closes both ends we hold: the port disappears, as when a USB adapter is
  // pulled out.
  void Hangup() {
    int m = master_.exchange(-1);
    if (m >= 0) ::close(m);
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  void Loop() {
    std::string frame;
    while (!stop_) {
      int m = master_;
      if (m < 0) return;
      pollfd p{m, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      char buffer[4096];
      ssize_t n = ::read(m, buffer, sizeof buffer);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n; ++i) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          received_ += buffer[i];
        }
        frame += buffer[i];
        if (buffer[i] != '\r') continue;
        std::string answer = respond_(frame);
        frame.clear();
        WriteAll(answer);
      }
    }
  }

  void WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && !stop_) {
      int m = master_;
      if (m < 0) return;
      ssize_t n = ::write(m, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return;
      pollfd p{m, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  }

  std::atomic<int> master_{-1};
  int slave_ = -1;
  std::string path_;
  Respond respond_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
};

}  // namespace serial_test

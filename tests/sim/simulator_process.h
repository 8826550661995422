// halvorn-sim run from a test: its port linked into a folder of the test's
// own, optionally served on a loopback TCP port too; stopped with the test.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "devices/serial_transport.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace sim_test {

// A loopback TCP port that was free a moment ago (0 when none could be had).
inline int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) ::close(fd);
  return port;
}

struct Simulator {
  explicit Simulator(std::vector<std::string> options)
      : process([&] {
          options.insert(options.begin(), testing_support::BinDir() + "/halvorn-sim");
          options.insert(options.end(), {"--link", link});
          return options;
        }()) {
    char target[256] = {};
    if (testing_support::WaitForPath(link, 30) && ::readlink(link.c_str(), target, 255) > 0) {
      port = target;
    }
  }
  testing_support::TestFolder folder;
  const std::string link = folder / "ttySIM";
  testing_support::InteractiveProcess process;
  std::string port;  // the pseudo-terminal
};

// Runs commands as one command line would: open, exchange each, close.
inline std::vector<std::string> Exchange(devices::SerialTransport& serial, const std::string& entry,
                                         const std::vector<std::string>& commands) {
  devices::LinkHandle handle = 0;
  if (serial.Open(entry, handle) != devices::LinkStatus::Ok) return {serial.LastOpenError()};
  std::vector<std::string> replies(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    serial.SendReceive(handle, commands[i], replies[i]);
  }
  serial.Close(handle);
  return replies;
}

}  // namespace sim_test

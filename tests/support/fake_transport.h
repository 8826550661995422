// A link that answers from a script of replies and records what it was sent.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devices/link.h"

namespace testing_support {

class FakeTransport : public devices::Transport {
 public:
  std::vector<std::string> entries;  // what ListEntries offers
  std::vector<std::string> sent;     // every command, in order
  std::vector<std::string> opened;   // every entry opened
  int opens = 0, closes = 0;
  bool openSucceeds = true;
  std::string openError;  // why an open fails
  devices::LinkStatus status = devices::LinkStatus::Ok;
  // Computes the reply of a command; by default the reply echoes "OK".
  std::function<std::string(const std::string&)> answer = [](const std::string&) {
    return std::string("OK");
  };
  // Called after each exchange (e.g. to press ESC in the middle of a line).
  std::function<void(const std::string&)> afterSend;

  std::vector<std::string> ListEntries() override { return entries; }
  platform::Result<devices::LinkHandle> Open(const std::string& entry) override {
    opened.push_back(entry);
    if (!openSucceeds) return platform::Result<>::SystemFailureSaying(openError);
    ++opens;
    return devices::LinkHandle{7};
  }
  devices::LinkStatus SendReceive(devices::LinkHandle, const std::string& command,
                                  std::string& reply) override {
    sent.push_back(command);
    reply = answer(command);
    if (afterSend) afterSend(command);
    return status;
  }
  devices::LinkStatus Close(devices::LinkHandle) override {
    ++closes;
    return devices::LinkStatus::Ok;
  }
};

}  // namespace testing_support

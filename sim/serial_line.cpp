#include "sim/serial_line.h"

namespace sim {

Controller& SerialLine::AddController(const std::string& address, Controller::Options options) {
  auto& slot = controllers_[address];
  slot = std::make_unique<Controller>(std::move(options));
  return *slot;
}

Controller* SerialLine::Find(const std::string& address) {
  auto it = controllers_.find(address);
  return it == controllers_.end() ? nullptr : it->second.get();
}

std::string SerialLine::Feed(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (c == '@') {
      inFrame_ = true;
      overlong_ = false;
      frame_.clear();
      continue;
    }
    if (!inFrame_) continue;
    if (c != '\r') {
      if (frame_.size() < kMaxFrameBytes) {
        frame_ += c;
      } else {
        overlong_ = true;
      }
      continue;
    }
    inFrame_ = false;
    if (overlong_ || frame_.size() < 2) continue;
    Controller* controller = Find(frame_.substr(0, 2));
    if (!controller) continue;  // another controller's frame: stay silent
    out += controller->Execute(frame_.substr(2));
    out += '\r';
  }
  return out;
}

}  // namespace sim

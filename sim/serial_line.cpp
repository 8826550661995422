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

std::string SerialLine::Feed(std::string_view bytes, Reader& reader) {
  std::string out;
  for (char c : bytes) {
    if (c == '@') {
      reader.inFrame = true;
      reader.overlong = false;
      reader.frame.clear();
      continue;
    }
    if (!reader.inFrame) continue;
    if (c != '\r') {
      if (reader.frame.size() < kMaxFrameBytes) {
        reader.frame += c;
      } else {
        reader.overlong = true;
      }
      continue;
    }
    reader.inFrame = false;
    if (reader.overlong || reader.frame.size() < 2) continue;
    Controller* controller = Find(reader.frame.substr(0, 2));
    if (!controller) continue;  // another controller's frame: stay silent
    out += controller->Execute(reader.frame.substr(2));
    out += '\r';
  }
  return out;
}

}  // namespace sim

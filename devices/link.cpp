#include "devices/link.h"

#include "platform/text.h"

namespace devices {

LinkKind ClassifyEntry(std::string_view entry) {
  if (entry.find('{') != std::string_view::npos) return LinkKind::Serial;
  if (entry.substr(0, 4) == "ZDK-") return LinkKind::Usb;
  return LinkKind::Hid;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (text.empty()) {
      text = item;
    } else {
      text += '|';
      text += item;
    }
  }
  return text;
}

std::vector<std::string> SplitList(std::string_view text) {
  return platform::SplitFields(text, '|');
}

}  // namespace devices

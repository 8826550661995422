#include "devices/link.h"

#include "platform/text.h"

namespace devices {

int SerialStatusCode(LinkStatus status) {
  switch (status) {
    case LinkStatus::Ok:
      return 1;
    case LinkStatus::TimedOut:
      return -2;
    case LinkStatus::WriteFailed:
    case LinkStatus::Failed:
      break;
  }
  return 0;
}

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

#include "devices/link.h"

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
  std::vector<std::string> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = text.find('|', start);
    items.emplace_back(text.substr(start, bar == std::string_view::npos ? text.npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return items;
}

}  // namespace devices

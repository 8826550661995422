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

#include "engine/reply_capture.h"

#include <limits>
#include <string_view>

#include "engine/reply_format.h"

namespace engine {

namespace {

// Field `index` (1-based) of a "|"-separated list; empty when there are fewer.
std::string_view ListField(std::string_view list, std::int32_t index) {
  if (index < 1) return {};
  std::size_t start = 0;
  for (std::int32_t i = 1; i < index; ++i) {
    std::size_t bar = list.find('|', start);
    if (bar == std::string_view::npos) return {};
    start = bar + 1;
  }
  std::size_t end = list.find('|', start);
  return list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

}  // namespace

void PlainReplyCapture::CaptureReply(const std::string& command, const std::string& reply,
                                     const std::string& expected, std::int64_t bitMask) {
  if (ReplyCaptureSlot == 0) {
    if (CheckExpected(reply, expected, bitMask)) ++FailCount;
  } else if (ReplyCaptureSlot >= 1) {
    // Saved replies go into later command lines as text, where a comma would
    // split them, so commas are dropped. The slot moves on with every reply
    // of the line, also past R9, where replies are no longer kept.
    if (ReplyCaptureSlot <= 9) {
      std::string& slot = ScriptReplies[static_cast<std::size_t>(ReplyCaptureSlot - 1)];
      slot.clear();
      for (char c : reply) {
        if (c != ',') slot += c;
      }
    }
    if (ReplyCaptureSlot < std::numeric_limits<std::int32_t>::max()) ++ReplyCaptureSlot;
  } else if (ReplyCaptureSlot == kCaptureVerify) {
    VerifyLog += command;
    VerifyLog += " = ";
    VerifyLog += reply;
    VerifyLog += "\r\n";
    ++VerifyIndex;
    if (!VerifyExpected.empty() && reply != ListField(VerifyExpected, VerifyIndex)) {
      VerifyMismatch = 1;
    }
  }
}

}  // namespace engine

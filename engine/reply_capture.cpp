#include "engine/reply_capture.h"

#include <limits>

#include "engine/reply_format.h"
#include "platform/text.h"

namespace engine {

Check PlainReplyCapture::CaptureReply(const std::string& command, const std::string& reply,
                                      const std::string& expected, std::int64_t bitMask) {
  if (ReplyCaptureSlot == 0) {
    if (platform::TrimmedView(expected).empty()) return Check::None;
    if (!CheckExpected(reply, expected, bitMask)) return Check::Passed;
    ++FailCount;
    return Check::Failed;
  }
  if (ReplyCaptureSlot >= 1) {
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
    if (VerifyLog.size() < kVerifyLogLimit) {
      VerifyLog += command;
      VerifyLog += " = ";
      VerifyLog += reply;
      VerifyLog += "\r\n";
    }
    ++VerifyIndex;
    if (!VerifyExpected.empty() && reply != platform::Field(VerifyExpected, '|', VerifyIndex)) {
      VerifyMismatch = true;
    }
  }
  return Check::None;
}

}  // namespace engine

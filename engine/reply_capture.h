// Where command line execution hands each device reply: the script side.
//
// The engine offers every device exchange (never local directives) to a
// ReplyCapture. What happens to it depends on ReplyCaptureSlot: compared and
// counted in FailCount (0), kept in R1..R9 (1..9), or collected for a device
// verification (-3).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace engine {

inline constexpr std::int32_t kCaptureVerify = -3;

// How a reply fared against its expected value: not judged (no expected
// value, or the reply was captured for R1..R9 or a verification), or judged.
enum class Check { None, Passed, Failed };

class ReplyCapture {
 public:
  virtual ~ReplyCapture() = default;
  // One device exchange of a command line. `bitMask` is the mask of "&=".
  // Returns how the reply fared against `expected`.
  virtual Check CaptureReply(const std::string& command, const std::string& reply,
                             const std::string& expected, std::int64_t bitMask) = 0;
  // A link could not be opened while a verification was in progress.
  virtual void MarkVerificationFailed() {}
};

// The capture state of a terminal without scripts: the fail count, the saved
// replies R1..R9 and the state of a device verification.
class PlainReplyCapture : public ReplyCapture {
 public:
  std::int32_t ReplyCaptureSlot = 0;
  std::int32_t FailCount = 0;
  std::array<std::string, 9> ScriptReplies;  // R1..R9
  // What a verification shows: a "command = reply" line per reply, until it
  // holds kVerifyLogLimit bytes. A block that never ends (an UNTIL that never
  // holds) would otherwise grow it by every reply until memory runs out; the
  // comparison goes on past the limit.
  static constexpr std::size_t kVerifyLogLimit = 64 * 1024;
  std::string VerifyLog;
  std::string VerifyExpected;  // "|"-separated expected replies
  std::int32_t VerifyIndex = 0;
  bool VerifyMismatch = false;

  Check CaptureReply(const std::string& command, const std::string& reply,
                     const std::string& expected, std::int64_t bitMask) override;
  void MarkVerificationFailed() override {
    if (ReplyCaptureSlot == kCaptureVerify) VerifyMismatch = true;
  }
};

}  // namespace engine

// What an operation of the platform and language libraries reports: success
// or one of a small closed set of failures, each with a text for the operator.
//
//   CallerMistake  the request itself is wrong (a value out of range, bad
//                  input such as a damaged file or a malformed table line)
//   SystemFailure  the operating system refused (its error text is included)
//   Unsupported    this platform or build cannot do it
//
// A result converts to true on success, so `if (!WriteFileAtomic(...))` reads
// as it always did; Text() says why it failed.
#pragma once

#include <string>
#include <utility>

namespace platform {

enum class ResultKind { Success, CallerMistake, SystemFailure, Unsupported };

class Result {
 public:
  Result() = default;  // success
  static Result Success() { return Result(); }
  static Result CallerMistake(std::string text) {
    return Result(ResultKind::CallerMistake, std::move(text));
  }
  // `what` + ": " + the system's text for `errorNumber` (an errno value).
  static Result SystemFailure(const std::string& what, int errorNumber);
  static Result Unsupported(std::string text) {
    return Result(ResultKind::Unsupported, std::move(text));
  }

  explicit operator bool() const { return kind_ == ResultKind::Success; }
  ResultKind Kind() const { return kind_; }
  // Empty on success.
  const std::string& Text() const { return text_; }

 private:
  Result(ResultKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
  ResultKind kind_ = ResultKind::Success;
  std::string text_;
};

}  // namespace platform

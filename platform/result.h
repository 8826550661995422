// What an operation of the program's libraries reports: success, with the
// value it produced if any, or one of a small closed set of failures, each
// with a text for the operator.
//
//   CallerMistake  the request itself is wrong (a value out of range, bad
//                  input such as a damaged file or a malformed table line)
//   SystemFailure  the operating system refused (its error text is included,
//                  and ErrorNumber() keeps the errno value)
//   Unsupported    this platform or build cannot do it
//   NotFound       what was asked for does not exist (a named file, a
//                  program of a key); callers that say so in their own
//                  words tell it apart from a thing that exists but failed
//   Cancelled      nothing came of it, and nothing is at fault: the operator
//                  cancelled, or there turned out to be nothing to do
//
// Result<> carries no value; Result<T> carries a T on success. Either
// converts to true on success, so `if (!WriteFileAtomic(...))` reads as it
// always did; Text() says why it failed. A failure of any Result<T> is made
// with the Result<> factories and converts to every Result<T>:
//
//   Result<int> ParsePort(std::string_view text) {
//     if (text.empty()) return Result<>::CallerMistake("no port");
//     return 7;
//   }
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace platform {

enum class ResultKind {
  Success,
  CallerMistake,
  SystemFailure,
  Unsupported,
  NotFound,
  Cancelled,
};

template <typename T = void>
class Result;

template <>
class Result<void> {
 public:
  Result() = default;  // success
  static Result Success() { return Result(); }
  static Result CallerMistake(std::string text) {
    return Result(ResultKind::CallerMistake, std::move(text));
  }
  // `what` + ": " + the system's text for `errorNumber` (an errno value).
  static Result SystemFailure(const std::string& what, int errorNumber);
  // A system failure worded by the caller ("/dev/ttyS3 is held by another
  // program"); `errorNumber` is the errno value behind it, 0 when none is.
  static Result SystemFailureSaying(std::string text, int errorNumber = 0) {
    return Result(ResultKind::SystemFailure, std::move(text), errorNumber);
  }
  static Result Unsupported(std::string text) {
    return Result(ResultKind::Unsupported, std::move(text));
  }
  static Result NotFound(std::string text) { return Result(ResultKind::NotFound, std::move(text)); }
  static Result Cancelled(std::string text) {
    return Result(ResultKind::Cancelled, std::move(text));
  }

  explicit operator bool() const { return kind_ == ResultKind::Success; }
  bool ok() const { return kind_ == ResultKind::Success; }
  ResultKind Kind() const { return kind_; }
  // Empty on success.
  const std::string& Text() const { return text_; }
  // The errno value of a system failure; 0 for every other result.
  int ErrorNumber() const { return errorNumber_; }

 private:
  Result(ResultKind kind, std::string text, int errorNumber = 0)
      : kind_(kind), text_(std::move(text)), errorNumber_(errorNumber) {}
  ResultKind kind_ = ResultKind::Success;
  std::string text_;
  int errorNumber_ = 0;
};

template <typename T>
class Result {
  static_assert(!std::is_reference_v<T>, "a Result holds its value");

 public:
  // Success with `value`.
  Result(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  // A failure, made by the factories of Result<>. A success passed here
  // would have no value; it becomes a caller mistake that says so rather
  // than a success whose value() cannot be read.
  Result(Result<> failure)  // NOLINT(google-explicit-constructor)
      : failure_(failure ? Result<>::CallerMistake("a success without a value")
                         : std::move(failure)) {}

  explicit operator bool() const { return value_.has_value(); }
  bool ok() const { return value_.has_value(); }
  ResultKind Kind() const { return failure_.Kind(); }
  const std::string& Text() const { return failure_.Text(); }
  int ErrorNumber() const { return failure_.ErrorNumber(); }
  // The failure alone (success when there is a value), to pass on as it is.
  const Result<>& Failure() const { return failure_; }

  // The value; only on success.
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }

 private:
  std::optional<T> value_;
  Result<> failure_;
};

}  // namespace platform

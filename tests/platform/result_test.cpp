#include "platform/result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::Result;
using platform::ResultKind;

// Every failure made by the factories keeps its kind, its text and (for a
// system failure) the errno value, whether it stays a Result<> or becomes
// the failure of a Result<T>.
TEST(Result, FailuresKeepKindTextAndErrorNumberThroughAnyValueType) {
  struct Case {
    const char* name;
    Result<> failure;
    ResultKind kind;
    std::string text;
    int errorNumber;
  };
  const std::vector<Case> cases = {
      {"mistake", Result<>::CallerMistake("port 0 is no port"), ResultKind::CallerMistake,
       "port 0 is no port", 0},
      {"system", Result<>::SystemFailure("cannot open /x", ENOENT), ResultKind::SystemFailure,
       std::string("cannot open /x: ") + std::strerror(ENOENT), ENOENT},
      {"worded", Result<>::SystemFailureSaying("/dev/ttyS3 is held by another program", EBUSY),
       ResultKind::SystemFailure, "/dev/ttyS3 is held by another program", EBUSY},
      {"unsupported", Result<>::Unsupported("no serial ports here"), ResultKind::Unsupported,
       "no serial ports here", 0},
      {"missing", Result<>::NotFound("Program file not found: test05.prg"), ResultKind::NotFound,
       "Program file not found: test05.prg", 0},
      {"nothing", Result<>::Cancelled("no program file was chosen"), ResultKind::Cancelled,
       "no program file was chosen", 0},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.failure) << c.name;
    EXPECT_FALSE(c.failure.ok()) << c.name;
    EXPECT_EQ(c.failure.Kind(), c.kind) << c.name;
    EXPECT_EQ(c.failure.Text(), c.text) << c.name;
    EXPECT_EQ(c.failure.ErrorNumber(), c.errorNumber) << c.name;

    const Result<std::string> text = c.failure;
    EXPECT_FALSE(text) << c.name;
    EXPECT_FALSE(text.ok()) << c.name;
    EXPECT_EQ(text.Kind(), c.kind) << c.name;
    EXPECT_EQ(text.Text(), c.text) << c.name;
    EXPECT_EQ(text.ErrorNumber(), c.errorNumber) << c.name;
    EXPECT_EQ(text.Failure().Text(), c.text) << c.name;

    // Passed on from one value type to another through Failure().
    const Result<int> number = text.Failure();
    EXPECT_EQ(number.Kind(), c.kind) << c.name;
    EXPECT_EQ(number.Text(), c.text) << c.name;
  }
}

TEST(Result, SuccessCarriesItsValueAndNoText) {
  const Result<> done;
  EXPECT_TRUE(done);
  EXPECT_EQ(done.Kind(), ResultKind::Success);
  EXPECT_EQ(done.Text(), "");

  // A value that converts to false is still a success.
  const std::vector<int> values = {0, -1, 7};
  for (int v : values) {
    const Result<int> r = v;
    EXPECT_TRUE(r) << v;
    EXPECT_TRUE(r.ok()) << v;
    EXPECT_EQ(r.Kind(), ResultKind::Success) << v;
    EXPECT_EQ(r.Text(), "") << v;
    EXPECT_EQ(r.value(), v);
    EXPECT_EQ(*r, v);
  }
  const Result<bool> no = false;
  EXPECT_TRUE(no);
  EXPECT_FALSE(no.value());
}

TEST(Result, AValueThatCannotBeCopiedIsMovedOut) {
  Result<std::unique_ptr<std::string>> r = std::make_unique<std::string>("kept");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->get()->size(), 4u);
  std::unique_ptr<std::string> taken = std::move(r).value();
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(*taken, "kept");
  EXPECT_EQ(r.value(), nullptr);  // moved from, still a success
}

TEST(Result, ASuccessWithoutAValueIsNoSuccessOfAValueType) {
  const Result<int> r = Result<>::Success();
  EXPECT_FALSE(r);
  EXPECT_EQ(r.Kind(), ResultKind::CallerMistake);
  EXPECT_FALSE(r.Text().empty());
}

}  // namespace

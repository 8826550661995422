#include "platform/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using platform::Result;
using platform::ResultKind;

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

#include "support/test_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/files.h"

namespace testing_support {

TestFolder::TestFolder() {
  char name[] = "/tmp/halvorn-test-XXXXXX";
  if (::mkdtemp(name)) path_ = name;
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string Read(const std::string& path) {
  std::string text;
  EXPECT_TRUE(platform::ReadFile(path, text)) << path;
  return text;
}

std::size_t Occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

std::string TestFolder::operator/(const std::string& relative) const {
  return platform::JoinPath(path_, relative);
}

}  // namespace testing_support

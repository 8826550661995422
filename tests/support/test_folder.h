// A temporary folder that is removed with everything in it when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// The whole of the file at `path` ("" when it cannot be read, a failure of the test).
std::string Read(const std::string& path);

// How often `part` occurs in `text`, overlaps counted.
std::size_t Occurrences(std::string_view text, std::string_view part);

class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file or folder inside, "\" or "/" separated.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

}  // namespace testing_support

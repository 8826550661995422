#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "console/headless_driver.h"
#include "support/test_folder.h"

namespace {

// Each input is a line of `length` x's, then `after`. CR LF and LF ends, a
// last line without one and long lines come out whole; a line past the limit
// is cut to its first 16 MiB, said once, and the lines after it read as ever.
TEST(LineReader, ReadsEveryLineOfAPipeAndCutsOnesLongerThan16MiB) {
  constexpr std::size_t limit = app::LineReader::kLineLimit;
  const struct {
    std::size_t length;
    std::string after;
    std::vector<std::string> rest;  // the lines after the x's
    int notes;
  } cases[] = {
      {300000, "\r\nID\r\nPX\n\na\nb\nlast", {"ID", "PX", "", "a", "b", "last"}, 0},
      {limit, "\nnext\n", {"next"}, 0},
      {limit + 1, "\r\nnext\n", {"next"}, 1},
      {3 * limit + 12345, "\nnext\nlast", {"next", "last"}, 1},
      {limit + 70000, "", {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    // The x's in blocks, so that a line may end in a write of its own.
    std::thread writer([&] {
      const std::string block(1 << 20, 'x');
      for (std::size_t left = c.length; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        ASSERT_EQ(::write(p[1], block.data(), n), static_cast<ssize_t>(n));
        left -= n;
      }
      ASSERT_EQ(::write(p[1], c.after.data(), c.after.size()),
                static_cast<ssize_t>(c.after.size()));
      ::close(p[1]);
    });
    std::istringstream in;
    std::ostringstream out, err;
    app::ProgramIo io{in, out, err, p[0]};
    app::LineReader reader(io);
    std::vector<std::string> lines;
    for (std::string line; !reader.AtEnd();) {
      if (reader.Next(line, 1)) lines.push_back(std::move(line));
    }
    writer.join();
    ::close(p[0]);
    ASSERT_EQ(lines.size(), c.rest.size() + 1);
    EXPECT_TRUE(lines[0] == std::string(std::min(c.length, limit), 'x')) << lines[0].size();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.rest);
    EXPECT_EQ(testing_support::Occurrences(err.str(), "cut"), static_cast<std::size_t>(c.notes))
        << err.str();
  }
}

}  // namespace

#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <thread>

#include "console/headless_driver.h"

namespace {

// Lines as the headless program reads them from a pipe: CR LF and LF ends,
// a last line without one, empty lines, and a line longer than many reads.
TEST(LineReader, ReadsEveryLineOfAPipeWhateverItsLength) {
  const std::string longLine(300000, 'x');
  const std::string input = "ID\r\nPX\n\n" + longLine + "\r\n" + "a\nb\nlast";
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  std::thread writer([&] {
    for (std::size_t at = 0; at < input.size(); at += 1000) {
      ASSERT_GT(::write(p[1], input.data() + at, std::min<std::size_t>(1000, input.size() - at)),
                0);
    }
    ::close(p[1]);
  });
  app::ProgramIo io{std::cin, std::cout, std::cerr, p[0]};
  app::LineReader reader(io);
  std::vector<std::string> lines;
  for (std::string line; !reader.AtEnd();) {
    if (reader.Next(line, 1)) lines.push_back(line);
  }
  writer.join();
  ::close(p[0]);
  EXPECT_EQ(lines, (std::vector<std::string>{"ID", "PX", "", longLine, "a", "b", "last"}));
}

// A line longer than the limit is cut to its first 16 MiB and said once on
// standard error; the lines after it are read as ever, whether the cut line
// ends in a line feed or at the end of the input.
TEST(LineReader, ALineLongerThan16MiBIsCutAndTheNextOnesAreWhole) {
  constexpr std::size_t limit = app::LineReader::kLineLimit;
  const struct {
    std::size_t length;  // of the long line
    const char* after;   // what follows it
    std::vector<std::string> rest;
    int notes;
  } cases[] = {
      {limit, "\nnext\n", {"next"}, 0},
      {limit + 1, "\r\nnext\n", {"next"}, 1},
      {3 * limit + 12345, "\nnext\nlast", {"next", "last"}, 1},
      {limit + 70000, "", {}, 1},
  };
  for (const auto& c : cases) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    std::thread writer([&] {
      const std::string block(1 << 20, 'x');
      for (std::size_t left = c.length; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        ASSERT_EQ(::write(p[1], block.data(), n), static_cast<ssize_t>(n));
        left -= n;
      }
      const std::string after = c.after;
      ASSERT_EQ(::write(p[1], after.data(), after.size()), static_cast<ssize_t>(after.size()));
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
    ASSERT_EQ(lines.size(), c.rest.size() + 1) << c.length;
    EXPECT_EQ(lines[0], std::string(std::min(c.length, limit), 'x')) << c.length;
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.rest) << c.length;
    std::size_t notes = 0;
    for (std::size_t at = err.str().find("cut"); at != std::string::npos;
         at = err.str().find("cut", at + 1))
      ++notes;
    EXPECT_EQ(notes, static_cast<std::size_t>(c.notes)) << err.str();
  }
}

}  // namespace

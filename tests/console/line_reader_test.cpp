#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
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

}  // namespace

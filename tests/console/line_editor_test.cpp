// The headless line terminal: its line reader on a pipe, and driven at a pseudo-terminal.
#include "console/line_editor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <thread>

#include "app/program.h"
#include "console/headless_driver.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

// Types each batch of keys once the next prompt is up; hangs up when none comes.
void TypeAtPrompts(int& master, const std::vector<std::string>& batches) {
  std::string screen = "\n";
  for (std::size_t i = 0; i < batches.size(); ++i) {
    // Each prompt starts a row (a recalled line redraws "\r> ").
    while (testing_support::Occurrences(screen, "\n> ") <= i) {
      pollfd p{master, POLLIN, 0};
      char chunk[256];
      const ssize_t n = ::poll(&p, 1, 10000) == 1 ? ::read(master, chunk, sizeof chunk) : -1;
      if (n <= 0) {
        ADD_FAILURE() << "no prompt after: " << screen;
        ::close(std::exchange(master, -1));
        return;
      }
      screen.append(chunk, static_cast<std::size_t>(n));
    }
    ASSERT_EQ(::write(master, batches[i].data(), batches[i].size()),
              static_cast<ssize_t>(batches[i].size()));
  }
}

// Runs the headless program on `io` with `serial` as its one serial port.
int RunWith(app::ProgramIo& io, const std::shared_ptr<testing_support::FakeTransport>& serial) {
  testing_support::TestFolder folder;
  serial->entries = {"Axis 01 {COM1:9600}"};
  return app::RunProgram({"--headless", "--data-root", folder.Path()}, io,
                         [&](devices::DeviceRegistry& r, const platform::DataFolders&) {
                           r.SetTransport(devices::LinkKind::Serial, serial);
                         });
}

TEST(LineEditor, TheLineTerminalEditsRecallsAndTakesCtrlCAsTheEscKey) {
  if (!app::LineEditor::Available()) GTEST_SKIP() << "built without libedit";
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_EQ(app::LineEditor::Open(pipeFds[0], pipeFds[1], "> "), nullptr);  // not a terminal
  for (int fd : pipeFds) ::close(fd);

  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  auto serial = std::make_shared<testing_support::FakeTransport>();
  const std::string up = "\x1b[A";
  // Backspace and Ctrl-A edit; Up twice recalls; Ctrl-C is ESC (ABORT while idle) and
  // keeps the typed text; Ctrl-D on an empty line ends the input.
  std::thread operatorAtTheKeys(TypeAtPrompts, std::ref(master),
                                std::vector<std::string>{"IDX\x7f\r", "PX\r", up + up + "\r",
                                                         "ABS\x01L\x03", "X\r", up + "\x15\x04"});
  std::istringstream in;
  std::ostringstream out, err;
  app::ProgramIo io{in, out, err, slave, slave};
  EXPECT_EQ(RunWith(io, serial), 0);
  operatorAtTheKeys.join();
  ::close(slave);
  if (master >= 0) ::close(master);
  EXPECT_EQ(serial->sent, (std::vector<std::string>{"ID", "PX", "ID", "ABORT", "LXABS"}));
}

// A reply's control bytes reach a terminal shown (caret notation, \xNN), a pipe as they are.
TEST(LineTerminal, ControlBytesAreShownOnATerminalAndPassedRawToAPipe) {
  const std::string reply = "\x1b[2J\x07OK\tA\x9b\x7f\xe9";
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  for (const auto& [outputFd, shown] :
       {std::pair<int, std::string>{terminal, "^[[2J^GOK\tA\\x9B^?\xe9"}, {pipeFds[1], reply}}) {
    auto serial = std::make_shared<testing_support::FakeTransport>();
    serial->answer = [&reply](const std::string&) { return reply; };
    std::istringstream in("ID\n");
    std::ostringstream out, err;
    app::ProgramIo io{in, out, err, -1, outputFd};
    EXPECT_EQ(RunWith(io, serial), 0);
    EXPECT_NE(out.str().find("Reply: " + shown + " ("), std::string::npos) << out.str();
  }
  for (int fd : {terminal, master, pipeFds[0], pipeFds[1]}) ::close(fd);
}

// A line of `length` x's, then `after`: a line past 16 MiB is cut, said once.
TEST(LineReader, ReadsEveryLineOfAPipeAndCutsOnesLongerThan16MiB) {
  constexpr std::size_t limit = app::LineReader::kLineLimit;
  const std::tuple<std::size_t, std::string, std::vector<std::string>, std::size_t> cases[] = {
      {300000, "\r\nID\r\nPX\n\na\nb\nlast", {"ID", "PX", "", "a", "b", "last"}, 0},
      {limit, "\nnext\n", {"next"}, 0},
      {limit + 1, "\r\nnext\n", {"next"}, 1},
      {3 * limit + 12345, "\nnext\nlast", {"next", "last"}, 1},
      {limit + 70000, "", {}, 1}};
  for (const auto& [length, after, rest, notes] : cases) {
    SCOPED_TRACE(length);
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    // The x's in blocks, so that a line may end in a write of its own.
    std::thread writer([&] {
      const std::string block(1 << 20, 'x');
      for (std::size_t left = length; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        ASSERT_EQ(::write(p[1], block.data(), n), static_cast<ssize_t>(n));
        left -= n;
      }
      ASSERT_EQ(::write(p[1], after.data(), after.size()), static_cast<ssize_t>(after.size()));
      ::close(p[1]);
    });
    std::istringstream in;
    std::ostringstream out, err;
    app::ProgramIo io{in, out, err, p[0]};
    app::LineReader reader(io);
    std::vector<std::string> lines;
    for (std::string line; !reader.AtEnd();)
      if (reader.Next(line, 1)) lines.push_back(std::move(line));
    writer.join();
    ::close(p[0]);
    ASSERT_EQ(lines.size(), rest.size() + 1);
    EXPECT_TRUE(lines[0] == std::string(std::min(length, limit), 'x')) << lines[0].size();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), rest);
    EXPECT_EQ(testing_support::Occurrences(err.str(), "cut"), notes) << err.str();
  }
}

}  // namespace

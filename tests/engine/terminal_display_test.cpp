#include "engine/terminal_display.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/fake_host.h"
#include "support/test_folder.h"

namespace engine {
namespace {

using Strings = std::vector<std::string>;

// `size` characters 'a' with a CR LF whose LF lies at `lfIndex` (none when 0).
std::string TextWithBreak(std::size_t size, std::size_t lfIndex) {
  std::string text(size, 'a');
  if (lfIndex > 0) text.replace(lfIndex - 1, 2, "\r\n");
  return text;
}

// Up to the limit nothing is cut; past it, the text up to the last CR LF whose
// LF is at least the 100th character from the end goes.
TEST(CutPlainText, CutsAfterTheLastBreakAtLeastAHundredCharactersFromTheEnd) {
  const std::size_t n = kPlainDisplayLimit + 1;
  const struct {
    std::size_t size, lfIndex, kept;
  } cases[] = {
      {n - 1, 10, n - 1}, {n, n - 100, 99}, {n, n - 99, n}, {n, 5, n - 6},
      {n, 1, n - 2},      {n, 0, n},        {5, 4, 5},
  };
  for (const auto& c : cases) {
    const std::string text = TextWithBreak(c.size, c.lfIndex);
    EXPECT_EQ(CutPlainText(text), text.substr(c.size - c.kept)) << c.size << " " << c.lfIndex;
  }
  std::string text(70000, 'x');
  text.replace(100, 2, "\r\n");
  text.replace(50000, 2, "\r\n");  // the last break that qualifies
  text[60000] = '\n';              // LF without CR: not a break
  text.replace(69950, 2, "\r\n");  // too close to the end
  EXPECT_EQ(CutPlainText(text), text.substr(50002));
}

class TerminalDisplayTest : public ::testing::Test {
 protected:
  testing_support::FakeHost host;
  TerminalDisplay display{host};
};

TEST_F(TerminalDisplayTest, PlainAppendCutsAndRewritesWithRedrawingOff) {
  const std::size_t n = kPlainDisplayLimit + 1;
  host.controls[kTerminalDisplay] = TextWithBreak(n, n - 150);
  host.logCalls = true;
  display.Append("new\r\n");
  EXPECT_EQ(host.Display(), std::string(149, 'a') + "new\r\n");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 154");
  EXPECT_EQ(host.callLog, (Strings{"redraw 160 off", "set 160", "redraw 160 on", "paint 160",
                                   "set 165", "paint 165"}));
}

TEST_F(TerminalDisplayTest, RichStartsEmptyAndAppendsInPlaceWithoutCut) {
  display.Append("old text\r\n");
  display.SwitchToRich();
  EXPECT_EQ(display.Text(), "");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 0");
  host.logCalls = true;
  const std::string big(kPlainDisplayLimit, 'b');
  display.Append(big);
  display.Append("\r\nend\r\n");
  EXPECT_EQ(host.Display(), big + "\r\nend\r\n");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 64007");
  EXPECT_EQ(host.appends, (Strings{big, "\r\nend\r\n"}));
  EXPECT_EQ(Strings(host.callLog.begin(), host.callLog.begin() + 3),
            (Strings{"redraw 160 off", "append 160", "redraw 160 on"}));
  EXPECT_EQ(std::count(host.callLog.begin(), host.callLog.end(), "set 160"), 0);
}

TEST_F(TerminalDisplayTest, ClearEmptiesRedrawsAndResetsTheCounter) {
  display.Append("something\r\n");
  const int paintsBefore = host.paints[kTerminalDisplay];
  display.Clear();
  EXPECT_EQ(display.Text(), "");
  EXPECT_EQ(host.paints[kTerminalDisplay], paintsBefore + 1);
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 0");
}

TEST(SaveDisplayText, WritesTheBytesExactlyAndAFailedSaveKeepsWhatWasThere) {
  testing_support::TestFolder folder;
  const std::string path = folder / "myfile.txt", text("line\r\n\x01\xff\0end", 12);
  std::string error, back;
  ASSERT_TRUE(platform::WriteFileAtomic(path, "an older and longer save\r\n"));
  ASSERT_TRUE(SaveDisplayText(path, text, &error)) << error;
  ASSERT_TRUE(platform::ReadFile(path, back));
  EXPECT_EQ(back, text);
  EXPECT_FALSE(SaveDisplayText(folder / "missing/myfile.txt", "x", &error));
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(platform::CreateDirectory(folder / "taken"));
  EXPECT_FALSE(SaveDisplayText(folder / "taken", "x", &error));
  EXPECT_TRUE(platform::DirectoryExists(folder / "taken"));

  // A write that runs out of room part way, even for root: a file size limit.
  rlimit old{}, limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  limit = old;
  limit.rlim_cur = 1000;
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  error.clear();
  const bool saved = SaveDisplayText(path, std::string(100000, 'z'), &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(platform::ReadFile(path, back));
  EXPECT_EQ(back, text);
  auto entries = std::filesystem::directory_iterator(folder.Path());
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 2) << "no temporary file is left";
}

}  // namespace
}  // namespace engine

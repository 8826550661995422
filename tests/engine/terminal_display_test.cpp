#include "engine/terminal_display.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "support/fake_host.h"
#include "support/test_folder.h"

namespace {

using engine::CutPlainText;
using engine::DisplayKind;
using engine::kByteCounter;
using engine::kPlainDisplayLimit;
using engine::kTerminalDisplay;
using engine::TerminalDisplay;
using testing_support::FakeHost;

// A text of exactly `size` characters made of 'a', with "\r\n" placed so that
// its LF lies at index `lfIndex` (none when negative).
std::string TextWithBreak(std::size_t size, long lfIndex) {
  std::string text(size, 'a');
  if (lfIndex >= 1) {
    text[static_cast<std::size_t>(lfIndex) - 1] = '\r';
    text[static_cast<std::size_t>(lfIndex)] = '\n';
  }
  return text;
}

TEST(CutPlainText, KeepsTextsUpToTheLimit) {
  const std::string atLimit = TextWithBreak(kPlainDisplayLimit, 10);
  EXPECT_EQ(CutPlainText(atLimit), atLimit);
  EXPECT_EQ(CutPlainText("abc\r\n"), "abc\r\n");
  EXPECT_EQ(CutPlainText(""), "");
}

TEST(CutPlainText, CutsAfterTheLastBreakAtLeastHundredCharactersFromTheEnd) {
  const std::size_t n = kPlainDisplayLimit + 1;
  struct Case {
    const char* what;
    long lfIndex;
    std::size_t keptSize;  // n when nothing is cut
  };
  const Case cases[] = {
      {"LF on the 100th character from the end", static_cast<long>(n - 100), 99},
      {"LF on the 99th character from the end", static_cast<long>(n - 99), n},
      {"LF near the start", 5, n - 6},
      {"no break at all", -1, n},
      {"break as the first two characters", 1, n - 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = TextWithBreak(n, c.lfIndex);
    const std::string cut = CutPlainText(text);
    EXPECT_EQ(cut.size(), c.keptSize);
    EXPECT_EQ(cut, text.substr(n - c.keptSize));
  }
}

TEST(CutPlainText, TakesTheLastQualifyingBreakAndIgnoresLoneLineFeeds) {
  std::string text(70000, 'x');
  text[100] = '\r';
  text[101] = '\n';
  text[50000] = '\r';
  text[50001] = '\n';
  text[60000] = '\n';  // LF without CR: not a line break here
  text[69950] = '\r';  // too close to the end
  text[69951] = '\n';
  EXPECT_EQ(CutPlainText(text), text.substr(50002));
}

TEST(TerminalDisplay, PlainAppendRewritesTheTextWithRedrawingOff) {
  FakeHost host;
  TerminalDisplay display(host);
  host.controls[kTerminalDisplay] = "first\r\n";
  host.logCalls = true;
  display.Append(" >> PX\r\n");
  EXPECT_EQ(host.Display(), "first\r\n >> PX\r\n");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 15");
  const std::vector<std::string> expected = {"redraw 160 off", "set 160", "redraw 160 on",
                                             "paint 160",      "set 165", "paint 165"};
  EXPECT_EQ(host.callLog, expected);
  EXPECT_TRUE(host.appends.empty());
}

TEST(TerminalDisplay, PlainAppendCutsAnOverlongTextFirst) {
  FakeHost host;
  TerminalDisplay display(host);
  const std::size_t n = kPlainDisplayLimit + 1;
  host.controls[kTerminalDisplay] = TextWithBreak(n, static_cast<long>(n - 150));
  display.Append("new\r\n");
  EXPECT_EQ(host.Display(), std::string(149, 'a') + "new\r\n");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 154");
}

TEST(TerminalDisplay, PlainTextStaysBoundedOverManyAppends) {
  FakeHost host;
  TerminalDisplay display(host);
  const std::string entry = " >> PX\r\n      Reply: 1234 (1.2ms)\r\n";
  for (int i = 0; i < 3000; ++i) display.Append(entry);
  EXPECT_LE(host.Display().size(), kPlainDisplayLimit + entry.size());
  EXPECT_EQ(host.Display().substr(host.Display().size() - entry.size()), entry);
}

TEST(TerminalDisplay, RichAppendInsertsInPlaceWithoutCut) {
  FakeHost host;
  TerminalDisplay display(host);
  display.SwitchToRich();
  EXPECT_EQ(display.Kind(), DisplayKind::Rich);
  host.logCalls = true;
  const std::string big(kPlainDisplayLimit, 'b');
  display.Append(big);
  display.Append("\r\nend\r\n");
  EXPECT_EQ(host.Display(), big + "\r\nend\r\n");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: " + std::to_string(big.size() + 7));
  EXPECT_EQ(host.appends.size(), 2u);
  EXPECT_EQ(host.callLog[0], "redraw 160 off");
  EXPECT_EQ(host.callLog[1], "append 160");
  EXPECT_EQ(host.callLog[2], "redraw 160 on");
  for (const std::string& call : host.callLog) EXPECT_NE(call, "set 160");
}

TEST(TerminalDisplay, SwitchToRichEmptiesTheDisplay) {
  FakeHost host;
  TerminalDisplay display(host);
  display.Append("old text\r\n");
  display.SwitchToRich();
  EXPECT_EQ(display.Text(), "");
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 0");
  display.SetPlain();
  EXPECT_EQ(display.Kind(), DisplayKind::Plain);
}

TEST(TerminalDisplay, ClearEmptiesRedrawsAndResetsTheCounter) {
  FakeHost host;
  TerminalDisplay display(host);
  display.Append("something\r\n");
  const int paintsBefore = host.paints[kTerminalDisplay];
  display.Clear();
  EXPECT_EQ(display.Text(), "");
  EXPECT_EQ(host.paints[kTerminalDisplay], paintsBefore + 1);
  EXPECT_EQ(host.controls[kByteCounter], "Bytes: 0");
}

TEST(TerminalDisplay, SetTextReplacesEverything) {
  FakeHost host;
  TerminalDisplay display(host);
  display.Append("a\r\n");
  display.SetText("b");
  EXPECT_EQ(display.Text(), "b");
}

TEST(SaveDisplayText, WritesTheBytesExactlyAndReplacesAnOldFile) {
  testing_support::TestFolder folder;
  const std::string path = folder / "myfile.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "an older and longer save\r\n"));
  const std::string text = std::string("line\r\n\x01\xff", 8) + std::string(1, '\0') + "end";
  std::string error;
  ASSERT_TRUE(engine::SaveDisplayText(path, text, &error)) << error;
  std::string back;
  ASSERT_TRUE(platform::ReadFile(path, back));
  EXPECT_EQ(back, text);
}

TEST(SaveDisplayText, ReportsAPathThatCannotBeWritten) {
  testing_support::TestFolder folder;
  std::string error;
  EXPECT_FALSE(engine::SaveDisplayText(folder / "missing/myfile.txt", "x", &error));
  EXPECT_FALSE(error.empty());

  // A folder of the chosen name is not replaced by the save.
  const std::string dir = folder / "taken";
  ASSERT_TRUE(platform::CreateDirectory(dir));
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "taken/inside.txt", "keep"));
  error.clear();
  EXPECT_FALSE(engine::SaveDisplayText(dir, "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(platform::DirectoryExists(dir));
}

// Limits the size of files this process may write, so a write fails part way
// even for root; restores the limit and the signal on scope exit.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};

TEST(SaveDisplayText, AFailedWriteKeepsTheOldFile) {
  testing_support::TestFolder folder;
  const std::string path = folder / "myfile.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "the previous save\r\n"));
  std::string error;
  bool saved;
  {
    FileSizeLimit limit(1000);
    ASSERT_TRUE(limit.ok());
    saved = engine::SaveDisplayText(path, std::string(100000, 'z'), &error);
  }
  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  std::string back;
  ASSERT_TRUE(platform::ReadFile(path, back));
  EXPECT_EQ(back, "the previous save\r\n");
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Path())) ++files;
  EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

}  // namespace

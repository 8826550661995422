#include "engine/terminal_display.h"

#include <tuple>

#include "engine_fixture.h"

namespace engine {
namespace {

using Strings = std::vector<std::string>;

// `size` characters 'a' with a CR LF whose LF lies at `lfIndex` (none when 0).
std::string TextWithBreak(std::size_t size, std::size_t lfIndex) {
  std::string text(size, 'a');
  if (lfIndex > 0) text.replace(lfIndex - 1, 2, "\r\n");
  return text;
}

// Past the limit, the text up to the last CR LF at least 100 characters from the end goes.
TEST(CutPlainText, CutsAfterTheLastBreakAtLeastAHundredCharactersFromTheEnd) {
  const std::size_t n = kPlainDisplayLimit + 1;
  const std::tuple<std::size_t, std::size_t, std::size_t> cases[] = {
      {n - 1, 10, n - 1}, {n, n - 100, 99}, {n, n - 99, n}, {n, 5, n - 6},
      {n, 1, n - 2},      {n, 0, n},        {5, 4, 5}};
  for (const auto& [size, lfIndex, kept] : cases) {
    const std::string text = TextWithBreak(size, lfIndex);
    EXPECT_EQ(CutPlainText(text), text.substr(size - kept)) << size << " " << lfIndex;
  }
  std::string text(70000, 'x');
  text.replace(50000, 2, "\r\n");  // the last break that qualifies
  text[60000] = '\n';              // LF without CR: not a break
  text.replace(69950, 2, "\r\n");  // too close to the end
  EXPECT_EQ(CutPlainText(text), text.substr(50002));
}

struct Listener : DisplayListener {
  std::string entries;
  void Entry(std::string_view text) override { entries += text; }
  void Flush() override {}
};

class TerminalDisplayTest : public ::testing::Test {
 protected:
  testing_support::FakeHost host;
  TerminalDisplay display{host};
  Listener out;
  const std::string& Widget() { return host.display; }
  void SetUp() override {
    display.SwitchToRich();
    display.SetListener(&out);
    host.appends.clear();
  }
};

TEST_F(TerminalDisplayTest, PlainAppendCutsTheTextAndReplacesTheWidgetWithRedrawingOff) {
  display.SetPlain();
  display.Append(TextWithBreak(kPlainDisplayLimit + 1, kPlainDisplayLimit - 149));
  host.now = 1;
  host.logCalls = true;
  display.Append("new\r\n");
  EXPECT_EQ(Widget(), std::string(149, 'a') + "new\r\n");
  EXPECT_EQ(host.byteCount, 154u);
  EXPECT_EQ(host.callLog, (Strings{"replace", "count 154"}));
}

// The widget gets batches at most every 33 ms and at every flush point.
TEST_F(TerminalDisplayTest, TheWidgetIsFedInBatchesAtMostEvery33Milliseconds) {
  const std::pair<double, const char*> entries[] = {
      {0.50, "a"}, {0.51, "b"}, {0.53, "c"}, {0.54, "d"}, {0.55, "e"}};
  for (const auto& [at, entry] : entries) host.now = at, display.Append(entry);
  EXPECT_EQ(host.appends, (Strings{"a", "bcd"}));
  EXPECT_EQ(host.byteCount, 4u);       // the counter shows what the widget shows
  EXPECT_EQ(display.Text(), "abcde");  // a read feeds the widget first
  EXPECT_EQ(Widget(), "abcde");
  display.Flush();
  EXPECT_EQ(host.appends.size(), 3u);  // nothing new: nothing sent
  host.now = 0.56;
  display.Append("pending");
  display.Clear();  // at once, pending entries and all
  EXPECT_EQ(Widget() + display.Text(), "");
  EXPECT_EQ(host.byteCount, 0u);
}

// A full rich display drops its oldest lines; standard output still gets everything.
TEST_F(TerminalDisplayTest, AFullRichDisplayDropsItsOldestLines) {
  host.keepAppends = false;
  const std::string line = std::string(1022, 'x') + "\r\n";
  std::string megabyte;
  for (int i = 0; i < 1024; ++i) megabyte += line;
  for (int i = 0; i < 32; ++i) display.Append(megabyte);
  EXPECT_EQ(display.ByteCount(), kRichDisplayLimit);  // exactly full: nothing dropped yet
  display.Append("newest\r\n");
  const std::string& text = display.Text();
  EXPECT_LE(text.size(), kRichDisplayLimit * 3 / 4 + 8);
  EXPECT_EQ(text.size() % line.size(), 8u) << "whole lines are dropped";
  EXPECT_EQ(text.substr(text.size() - 8), "newest\r\n");
  EXPECT_EQ(std::tuple(Widget(), host.byteCount), std::tuple(text, text.size()));
  EXPECT_EQ(out.entries.size(), 32 * megabyte.size() + 8);
  // An entry larger than the whole display keeps its end.
  display.Append(std::string(kRichDisplayLimit, 'y') + "tail\r\n");
  EXPECT_EQ(display.Text().size(), kRichDisplayLimit);
  EXPECT_EQ(display.Text().substr(kRichDisplayLimit - 6), "tail\r\n");
}

// A reader that notes its flushes as "|" and the host's time when told it as "@".
struct Log : DisplayListener {
  std::string seen;
  void Entry(std::string_view text) override { seen += text; }
  void EntryAt(std::string_view text, double hostNow) override {
    seen += "@" + std::to_string(static_cast<int>(hostNow)) + " ";
    Entry(text);
  }
  void Flush() override { seen += "|"; }
};

// The log is told the host's time with each entry when that clock runs with the time of day.
TEST_F(TerminalDisplayTest, TheLogGetsTheHostsTimeOnlyWhenItIsReal) {
  const std::tuple<bool, double, const char*> cases[] = {{false, 7.5, "e\r\n|"},
                                                         {true, 9.5, "@9 e\r\n|"}};
  for (const auto& [real, at, seen] : cases) {
    host.realTime = real;
    host.now = at;
    Log log;
    display.SetLog(&log);
    display.Append("e\r\n");
    display.SetLog(nullptr);
    EXPECT_EQ(log.seen, seen);
  }
}

// Time stamps start each shown entry; the log takes it unstamped, flushed alike.
TEST_F(TerminalDisplayTest, TimeStampsStartEachEntryAndTheLogGetsItUnstamped) {
  platform::LocalTime wall;
  wall.hour = 9, wall.minute = 5, wall.second = 7, wall.millisecond = 45;
  display.SetWallClock([&wall] { return wall; });
  Log log;
  display.SetLog(&log);
  const std::tuple<TimeStamps, double, const char*> cases[] = {
      {TimeStamps::SincePrevious, 1.0, "+0.000 e\r\n"},  // none before it
      {TimeStamps::SincePrevious, 1.1054, "+0.105 e\r\n"},
      {TimeStamps::SincePrevious, 3662.5, "+3661.395 e\r\n"},
      {TimeStamps::Clock, 3663, "09:05:07.045 e\r\n"},
      {TimeStamps::Off, 3664, "e\r\n"},
      {TimeStamps::SincePrevious, 3664.5, "+0.500 e\r\n"},
      {TimeStamps::SincePrevious, 3000, "+0.000 e\r\n"},  // the clock went back
  };
  std::string all;
  for (const auto& [stamps, at, shown] : cases) {
    display.SetTimeStamps(stamps);
    host.now = at;
    display.Append("e\r\n");
    display.Flush();
    all += shown;
    EXPECT_EQ(display.Text(), all);
  }
  EXPECT_EQ(std::tie(Widget(), out.entries), std::tie(all, all));
  EXPECT_EQ(log.seen, "e\r\n|e\r\n|e\r\n|e\r\n|e\r\n|e\r\n|e\r\n|");
}

}  // namespace
}  // namespace engine

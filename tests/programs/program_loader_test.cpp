// Program files: the line rules, parsing, and loading with a fake main window.
#include "programs/program_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "platform/files.h"
#include "programs/program_file.h"
#include "support/fake_host.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

std::tuple<std::string, std::string> Parse(std::string_view text) {
  programs::ParsedProgram p = programs::ParseProgram(text, nullptr, nullptr);
  return {p.commandLine, p.expectedLine};
}

TEST(ProgramFile, LineFormsAndNames) {
  auto classify = [](std::string_view text) {
    programs::ProgramLine line = programs::ClassifyProgramLine(text);
    EXPECT_EQ(line.empty, line.command.empty() && line.expected.empty()) << text;
    return std::tuple(line.command, line.expected);
  };
  EXPECT_EQ(classify("    "), std::tuple("", ""));
  EXPECT_EQ(classify("  LSPD=500 "), std::tuple("LSPD=500", " "));
  EXPECT_EQ(classify(" PX , 1000 "), std::tuple("PX", "1000"));
  EXPECT_EQ(classify("ABS, , ,"), std::tuple("ABS", " "));
  EXPECT_EQ(classify(",OK"), std::tuple("", "OK"));
  EXPECT_EQ(classify("PX,0  ' at home"), std::tuple("PX", "0"));  // a remark is dropped
  EXPECT_EQ(classify("PX 'a,b"), std::tuple("PX", " "));
  EXPECT_EQ(classify("' move, then, stop "), std::tuple("'", "move  then  stop"));
  EXPECT_EQ(classify("   ',,"), std::tuple("'", " "));
  EXPECT_EQ(classify(std::string("P\xe9\0X,\xff", 6)),
            std::tuple(std::string("P\xe9\0X", 4), "\xff"));
  EXPECT_EQ(programs::StoredProgramFileName(0) + programs::StoredProgramFileName(11), "");
  EXPECT_EQ(programs::NamedProgramFileName("x~y?z\"/\\<>,.:;'{}[]|+=-_!@#$%^&*() "),
            "test99x~y?z\".prg");  // only the listed characters go
}

TEST(ProgramFile, ParsingJoinsCommandsAndExpectedRepliesInStep) {
  EXPECT_EQ(Parse("ABS,1,2,3"), std::tuple("ABS", "123"));
  // Empty lines leave no gap; a remark and a tab inside a command are dropped.
  EXPECT_EQ(Parse("\n\nJX+ 'jog\n\nST\tOP\n\n"), std::tuple("JX+,STOP", " , "));
  // LF, CR LF and CR files read alike; TABs go, and so does an LF in a file with CRs.
  for (const char* text :
       {"E\tO=1\nPX,0\n'a\n", "EO=1\r\nPX,\t0\r\n'a\r\n", "EO=1\rPX,\n0\r'\ta\r"})
    EXPECT_EQ(Parse(text), std::tuple("EO=1,PX,'", " ,0,a")) << text;
  // Both lines always hold the same number of pieces.
  for (std::string text : {",,,\n,,\n", "'a,b,c\n'\n", "A,B,\r\n,\r\n", "x'y,z\n'y,z\nq,'r,s"}) {
    auto [commands, expected] = Parse(text);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), ','),
              std::count(expected.begin(), expected.end(), ','))
        << text;
  }
  std::string bytes;  // a megabyte line of any bytes
  for (int i = 0; i < (1 << 20); ++i) bytes += "ab\0\x80\xff"[i % 5];
  EXPECT_EQ(Parse(bytes + ",," + bytes), std::tuple(bytes, bytes));
  // Progress after every line, empty ones too: 100 * i / count, half to even, at least 1.
  std::vector<int> seen;
  programs::ParseProgram("A\nB\n\nC", nullptr, [&](int percent) { seen.push_back(percent); });
  EXPECT_EQ(seen, (std::vector{25, 50, 75, 100}));
  auto percent = [](std::size_t i, std::size_t n) { return programs::ProgressPercent(i, n); };
  EXPECT_EQ((std::vector{percent(1, 300), percent(5, 300), percent(1, 8), percent(3, 8),
                         percent(5, 8), percent(99999, 100000)}),
            (std::vector{1, 2, 12, 38, 62, 100}));
}

// The main window as loading sees it: the fixture plays it. `onDoEvents`
// runs where the window would handle its keys.
class ProgramLoaderTest : public ::testing::Test, public programs::ProgramHost {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms")); }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / ("AppPrograms/" + name), text));
  }
  // A failed load leaves nothing to run, no replies to check, the bar hidden
  // and the window out of its busy state.
  void ExpectNothingLoaded(const std::string& display) {
    EXPECT_EQ(loader.ProgramCommandLine + engine.State().ExpectedValuesLine, "");
    EXPECT_FALSE(engine.State().ExpectedValuesPresent);
    EXPECT_EQ(engine.Display().Text(), display);
    EXPECT_FALSE(busy || barVisible);
    EXPECT_EQ(loader.ProgramLoading + loader.ProgramLoadAbort, 0);
  }

  void DoEvents() override {
    ++doEvents;
    onDoEvents();
  }
  void EnterBusyState() override {
    busy = true;
    barVisible = false;  // the busy window hides the bar
  }
  void LeaveBusyState() override { busy = false; }
  void ShowProgramBar(const std::string& markup) override {
    bars.push_back(markup);
    barVisible = true;
  }
  void HideProgramBar() override { barVisible = false; }
  void SetRunningName(const std::string& name) override { runningName = name; }
  std::string ChooseFile(const std::string& title, const std::string& folder,
                         const std::string& filter, const std::string& options) override {
    dialogs.push_back(title + "|" + folder + "|" + filter + "|" + options);
    return chosenFile;
  }

  bool busy = false, barVisible = false;
  int doEvents = 0;
  std::function<void()> onDoEvents = [] {};
  std::vector<std::string> bars, dialogs;  // every bar markup; every dialog's arguments
  std::string runningName, chosenFile;     // chosenFile: the dialog's answer, "" cancels
  testing_support::TestFolder root;
  testing_support::FakeHost window;
  testing_support::FakeTransport link;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine{window, capture};
  programs::ProgramLoader loader{engine, *this, root.Path() + "/"};
};

TEST_F(ProgramLoaderTest, StoredProgramLoadsCommandsAndExpectedReplies) {
  Write("test01.prg", "LSPD=500 \r\nHSPD=5000,OK\r\n'move out\r\nABS,1,2,3\r\n");
  engine.State().LastReply = "old reply";
  engine.State().BitMask = 0xff;
  EXPECT_TRUE(loader.LoadProgram(1, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "LSPD=500,HSPD=5000,',ABS");
  EXPECT_EQ(engine.State().ExpectedValuesLine, " ,OK,move out,123");
  EXPECT_TRUE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(engine.State().LastReply, "");
  EXPECT_EQ(engine.State().BitMask, -1);
  EXPECT_EQ(engine.Display().Text(), "Load: test01.prg\r\nRun: test01.prg\r\n");
  EXPECT_EQ(runningName + " " + loader.FileName(), "test01.prg test01.prg");
  // Loading is over; the window stays busy for the run that follows.
  EXPECT_TRUE(busy && barVisible);
  EXPECT_EQ(loader.ProgramLoading + loader.ProgramLoadAbort, 0);
}

TEST_F(ProgramLoaderTest, NamedProgramsAndNamesInAnyLetterCase) {
  Write("test99mytest1.prg", "PX,0\n");
  Write("test01.prg", "WRONG\n");
  EXPECT_TRUE(loader.LoadProgram(1, "my-test.1"));
  EXPECT_EQ(loader.ProgramCommandLine, "PX");
  EXPECT_EQ(engine.Display().Text(), "Load: test99mytest1.prg\r\nRun: test99mytest1.prg\r\n");
  // A name that cleans to nothing names test99.prg, never the stored program.
  EXPECT_FALSE(loader.LoadProgram(1, "(-)"));
  Write("test99.prg", "PY\n");
  EXPECT_TRUE(loader.LoadProgram(1, "(-)"));
  EXPECT_EQ(loader.ProgramCommandLine, "PY");
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppPrograms/TEST10.PRG", "EO=1\n"));
  EXPECT_TRUE(loader.LoadProgram(10, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "EO=1");
}

TEST_F(ProgramLoaderTest, MissingEmptyOrBlankFilesLoadNothing) {
  busy = barVisible = true;  // so that leaving both shows
  EXPECT_FALSE(loader.LoadProgram(4, ""));
  ExpectNothingLoaded("");  // a missing file writes nothing
  for (int n : {0, 13, -1}) EXPECT_FALSE(loader.LoadProgram(n, "")) << n;
  ExpectNothingLoaded("");
  EXPECT_TRUE(dialogs.empty());
  // An empty command line would make the window send its command entry instead.
  Write("test05.prg", "");
  Write("test06.prg", "\r\n   \r\n\t\r\n");
  EXPECT_FALSE(loader.LoadProgram(5, ""));
  EXPECT_FALSE(loader.LoadProgram(6, ""));
  ExpectNothingLoaded("Load: test05.prg\r\nLoad: test06.prg\r\n");
}

TEST_F(ProgramLoaderTest, DialogCancelledOrChosenFileOfAnyExtension) {
  EXPECT_FALSE(loader.LoadProgram(11, "ignored"));
  EXPECT_FALSE(loader.LoadProgram(12, ""));
  ExpectNothingLoaded("");
  EXPECT_EQ(dialogs, std::vector<std::string>(2, "Select Program File|" + root / "AppPrograms" +
                                                     "|Program Files (*.prg)|*.prg|CSV Files "
                                                     "(*.csv)|*.csv|Text Files (*.txt)|*.txt|NZI"));
  ASSERT_TRUE(
      platform::WriteFileAtomic(root / "elsewhere.csv", "LSPD=500 \nHSPD=5000,OK\n'move out\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppPrograms/run.txt", "'out\nPX,1,2\n"));
  chosenFile = root / "elsewhere.csv";
  EXPECT_TRUE(loader.LoadProgram(11, ""));
  EXPECT_EQ(std::tie(loader.ProgramCommandLine, engine.State().ExpectedValuesLine),
            std::tuple("LSPD=500,HSPD=5000,'", " ,OK,move out"));
  chosenFile = root / "AppPrograms/run.txt";
  EXPECT_TRUE(loader.LoadProgram(12, ""));
  EXPECT_EQ(std::tie(loader.ProgramCommandLine, engine.State().ExpectedValuesLine),
            std::tuple("',PX", "out,12"));
  EXPECT_EQ(runningName, "run.txt");
  EXPECT_EQ(engine.Display().Text(),
            "Load: elsewhere.csv\r\nRun: elsewhere.csv\r\nLoad: run.txt\r\nRun: run.txt\r\n");
}

TEST_F(ProgramLoaderTest, EscDuringParsingAbortsTheLoad) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "PX," + std::to_string(i) + "\n";
  Write("test07.prg", text);
  onDoEvents = [this] {
    if (doEvents == 3 && loader.ProgramLoading == 1) loader.ProgramLoadAbort = 1;
  };
  EXPECT_FALSE(loader.LoadProgram(7, ""));
  EXPECT_EQ(doEvents, 3);  // parsing stopped at the next line
  ExpectNothingLoaded("Load: test07.prg\r\n");
  // ESC in the pump after the last line still stops the run.
  Write("test08.prg", "PX\nPY");
  doEvents = 0;
  onDoEvents = [this] { loader.ProgramLoadAbort = doEvents == 2; };
  EXPECT_FALSE(loader.LoadProgram(8, ""));
  ExpectNothingLoaded("Load: test07.prg\r\nLoad: test08.prg\r\n");
}

TEST_F(ProgramLoaderTest, BarIsRewrittenOnlyWhenThePercentageChanges) {
  std::string text = "PX,1";
  for (int i = 2; i <= 300; ++i) text += "\r\nPX," + std::to_string(i);
  Write("test09.prg", text);
  int busyPumps = 0;
  onDoEvents = [&] { busyPumps += busy && barVisible && loader.ProgramLoading == 1; };
  ASSERT_TRUE(loader.LoadProgram(9, ""));
  EXPECT_EQ(doEvents, 300);
  EXPECT_EQ(busyPumps, 300);
  // 300 lines pass through every percentage from 1 to 100 once.
  ASSERT_EQ(bars.size(), 100u);
  for (int p = 1; p <= 100; ++p) EXPECT_EQ(bars[p - 1], programs::ProgramBarMarkup(p));
  EXPECT_EQ(bars[0] + " " + bars[49] + " " + bars[99], "1%BLUE|99%GRAY 50%BLUE|50%GRAY 100%BLUE");
}

TEST_F(ProgramLoaderTest, ALoadStartedWhileParsingIsRefused) {
  Write("test01.prg", "PX,1\nPY,2\nPZ,3\n");
  Write("test02.prg", "JX+\n");
  bool inner = true;
  onDoEvents = [&] {
    if (doEvents == 1) inner = loader.LoadProgram(2, "");
  };
  EXPECT_TRUE(loader.LoadProgram(1, ""));
  EXPECT_FALSE(inner);
  EXPECT_EQ(loader.ProgramCommandLine, "PX,PY,PZ");
  EXPECT_EQ(engine.State().ExpectedValuesLine, "1,2,3");
  EXPECT_TRUE(busy);  // the refused load did not end the first one's busy state
  EXPECT_EQ(engine.Display().Text(), "Load: test01.prg\r\nRun: test01.prg\r\n");
}

TEST_F(ProgramLoaderTest, AProgramThatNeverRanLendsNoRepliesToTheNextLine) {
  Write("test01.prg", "PX,1000\n");
  ASSERT_TRUE(loader.LoadProgram(1, ""));
  // The device could not be opened, so the line never ran; then a key finds
  // no file. A typed line must not be checked against 1000.
  EXPECT_FALSE(loader.LoadProgram(4, ""));
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  link.answer = [](const std::string&) { return std::string("5"); };
  engine.ExecuteCommandLine(link, 7, "PX", devices::LinkKind::Hid);
  EXPECT_EQ(capture.FailCount, 0);
  ASSERT_TRUE(loader.LoadProgram(1, ""));
  loader.DiscardProgram();
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(loader.ProgramCommandLine, "");
}

}  // namespace

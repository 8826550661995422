// Program files: the line rules, parsing, and loading with a fake main window.
#include "programs/program_loader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "platform/files.h"
#include "programs/program_file.h"
#include "support/fake_host.h"
#include "support/test_folder.h"

namespace {

using Texts = std::tuple<std::string, std::string>;

Texts Parse(std::string_view text) {
  programs::ParsedProgram p = programs::ParseProgram(text, nullptr, nullptr);
  return {p.commandLine, p.expectedLine};
}

// Each line form alone, then whole files: empty lines leave no gap, LF, CR LF
// and CR files read alike, TABs go and so does an LF in a file with CRs.
TEST(ProgramFile, LinesGiveTheirCommandsAndExpectedRepliesInStep) {
  const std::pair<std::string, Texts> files[] = {
      {"  LSPD=500 ", {"LSPD=500", " "}},
      {" PX , 1000 ", {"PX", "1000"}},
      {"ABS,1,2,3", {"ABS", "123"}},
      {"ABS, , ,", {"ABS", " "}},
      {",OK", {"", "OK"}},
      {"PX,0  ' at home", {"PX", "0"}},
      {"PX 'a,b", {"PX", " "}},
      {"' move, then, stop ", {"'", "move  then  stop"}},
      {"   ',,", {"'", " "}},
      {std::string("P\xe9\0X,\xff", 6), {std::string("P\xe9\0X", 4), "\xff"}},
      {"\n\nJX+ 'jog\n\nST\tOP\n\n", {"JX+,STOP", " , "}},
      {"E\tO=1\nPX,0\n'a\n", {"EO=1,PX,'", " ,0,a"}},
      {"EO=1\r\nPX,\t0\r\n'a\r\n", {"EO=1,PX,'", " ,0,a"}},
      {"EO=1\rPX,\n0\r'\ta\r", {"EO=1,PX,'", " ,0,a"}},
      {"\xEF\xBB\xBFLSPD=500\r\nPX\xEF\xBB\xBF", {"LSPD=500,PX\xEF\xBB\xBF", " , "}},
  };
  for (const auto& [text, parsed] : files) EXPECT_EQ(Parse(text), parsed) << text;
  const std::string big(1 << 20, '\xff');  // a megabyte line
  EXPECT_EQ(Parse(big + ",," + big), Texts(big, big));
  EXPECT_EQ(programs::StoredProgramFileName(0) + programs::StoredProgramFileName(11), "");
  EXPECT_EQ(programs::NamedProgramFileName("x~y?z\"/\\<>,.:;'{}[]|+=-_!@#$%^&*() "),
            "test99x~y?z\".prg");  // only the listed characters go
}

// Progress after line i of n: 100 * i / n, half to even, at least 1 (the
// fuzz target checks that every line, empty ones too, reports once).
TEST(ProgramFile, ProgressRoundsHalfToEvenAndIsAtLeastOne) {
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
  // What a load leaves for the run: the command line and the expected replies.
  Texts Loaded() { return {loader.ProgramCommandLine, engine.State().ExpectedValuesLine}; }
  // A failed load leaves nothing to run, no replies to check, the bar hidden
  // and the window out of its busy state.
  void ExpectNothingLoaded(const std::string& display) {
    EXPECT_EQ(loader.ProgramCommandLine + engine.State().ExpectedValuesLine, "");
    EXPECT_FALSE(engine.State().ExpectedValuesPresent);
    EXPECT_EQ(engine.Display().Text(), display);
    EXPECT_FALSE(busy || barVisible);
    EXPECT_EQ(loader.ProgramLoading + loader.ProgramLoadAbort, 0);
  }

  void DoEvents() override { ++doEvents, onDoEvents(); }
  // The busy window hides the bar.
  void EnterBusyState() override { busy = true, barVisible = false; }
  void LeaveBusyState() override { busy = false; }
  void ShowProgramBar(const std::string& markup) override {
    bars.push_back(markup), barVisible = true;
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
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine{window, capture};
  programs::ProgramLoader loader{engine, *this, root.Path() + "/"};
};

// A load starts afresh (no last reply, no bit mask) and leaves the window
// busy for the run that follows. A name that cleans to nothing names
// test99.prg, never the stored program.
TEST_F(ProgramLoaderTest, StoredAndNamedProgramsInAnyLetterCase) {
  Write("test01.prg", "LSPD=500 \r\nHSPD=5000,OK\r\n'move out\r\nABS,1,2,3\r\n");
  engine.State().LastReply = "old reply";
  engine.State().BitMask = 0xff;
  EXPECT_TRUE(loader.LoadProgram(1, ""));
  EXPECT_EQ(Loaded(), Texts("LSPD=500,HSPD=5000,',ABS", " ,OK,move out,123"));
  EXPECT_EQ(engine.State().LastReply + std::to_string(engine.State().BitMask), "-1");
  EXPECT_EQ(runningName + " " + engine.Display().Text(),
            "test01.prg Load: test01.prg\r\nRun: test01.prg\r\n");
  EXPECT_TRUE(busy && barVisible && engine.State().ExpectedValuesPresent);
  EXPECT_FALSE(loader.LoadProgram(1, "(-)"));
  Write("TEST99.PRG", "PY\n");
  EXPECT_TRUE(loader.LoadProgram(1, "(-)"));
  EXPECT_EQ(Loaded(), Texts("PY", " "));
}

// Nothing to run: a missing file (nothing is written), numbers no key has,
// an empty or blank file (an empty command line would make the window send
// its command entry instead), a cancelled dialog. A program loaded earlier
// that never ran lends no replies to whatever runs next.
TEST_F(ProgramLoaderTest, MissingEmptyOrBlankFilesAndACancelledDialogLoadNothing) {
  Write("test01.prg", "PX,1000\n");
  ASSERT_TRUE(loader.LoadProgram(1, ""));
  engine.Display().Clear();
  Write("test05.prg", "");
  Write("test06.prg", "\r\n   \r\n\t\r\n");
  // Only a missing file is a fault of the load; the rest load nothing, and
  // nothing is wrong.
  const std::pair<int, platform::ResultKind> cases[] = {
      {4, platform::ResultKind::NotFound},   {0, platform::ResultKind::Cancelled},
      {13, platform::ResultKind::Cancelled}, {-1, platform::ResultKind::Cancelled},
      {5, platform::ResultKind::Cancelled},  {6, platform::ResultKind::Cancelled},
      {11, platform::ResultKind::Cancelled}, {12, platform::ResultKind::Cancelled},
  };
  for (const auto& [n, kind] : cases) {
    const platform::Result<> loaded = loader.LoadProgram(n, "");
    EXPECT_FALSE(loaded) << n;
    EXPECT_EQ(loaded.Kind(), kind) << n;
  }
  EXPECT_EQ(loader.LoadProgram(4, "").Text(), "Program file not found: test04.prg");
  ExpectNothingLoaded("Load: test05.prg\r\nLoad: test06.prg\r\n");
  ASSERT_EQ(dialogs.size(), 2u);  // 11 and 12 only
  EXPECT_EQ(dialogs[0].substr(0, dialogs[0].find("|Program")),
            "Select Program File|" + root / "AppPrograms");
}

// ESC reaches the load in the window's pump after a line: parsing stops at
// the next line, and ESC after the last line still stops the run. A second
// load started from the pump is refused and leaves the first one alone. The
// window gets control after every line, busy and with the bar shown; the bar
// is rewritten only when the percentage changes.
TEST_F(ProgramLoaderTest, EscAbortsTheLoadAndASecondLoadIsRefused) {
  std::string text = "PX,1";
  for (int i = 2; i <= 300; ++i) text += "\r\nPX," + std::to_string(i);
  Write("test07.prg", text);
  Write("test08.prg", "PX\nPY");
  onDoEvents = [this] { loader.ProgramLoadAbort = doEvents == 3 || doEvents == 5; };
  EXPECT_FALSE(loader.LoadProgram(7, ""));
  EXPECT_EQ(doEvents, 3);
  EXPECT_FALSE(loader.LoadProgram(8, ""));
  ExpectNothingLoaded("Load: test07.prg\r\nLoad: test08.prg\r\n");
  bool inner = true;
  int busyPumps = 0;
  bars.clear();
  onDoEvents = [&] {
    busyPumps += busy && barVisible && loader.ProgramLoading;
    if (doEvents == 6) {
      const platform::Result<> refused = loader.LoadProgram(8, "");
      inner = bool(refused) || refused.Kind() != platform::ResultKind::Cancelled;
    }
  };
  EXPECT_TRUE(loader.LoadProgram(7, ""));
  EXPECT_FALSE(inner);
  EXPECT_EQ(std::get<0>(Loaded()).size(), 300u * 3 - 1);
  EXPECT_TRUE(busy);  // the refused load did not end the first one's busy state
  EXPECT_EQ(busyPumps, 300);
  ASSERT_EQ(bars.size(), 100u);  // 300 lines pass through every percentage once
  EXPECT_EQ(bars[0] + " " + bars[49] + " " + bars[99], "1%BLUE|99%GRAY 50%BLUE|50%GRAY 100%BLUE");
}

}  // namespace

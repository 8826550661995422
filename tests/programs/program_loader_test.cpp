#include "programs/program_loader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "platform/files.h"
#include "support/fake_host.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

// The main window as program loading sees it: records the busy state, the
// bar and the dialog, and runs `onDoEvents` where the window would process
// its keys.
class FakeProgramHost : public programs::ProgramHost {
 public:
  bool busy = false;
  int busyEntered = 0;
  int busyLeft = 0;
  bool barVisible = false;
  std::vector<std::string> bars;  // every markup shown, in order
  int barHidden = 0;
  std::string runningName;
  int doEvents = 0;
  std::function<void()> onDoEvents;
  std::string chosenFile;  // what the dialog returns ("" = cancelled)
  int dialogs = 0;
  std::vector<std::string> dialogArguments;

  void DoEvents() override {
    ++doEvents;
    if (onDoEvents) onDoEvents();
  }
  void EnterBusyState() override {
    busy = true;
    ++busyEntered;
    barVisible = false;  // the busy window hides the program bar
  }
  void LeaveBusyState() override {
    busy = false;
    ++busyLeft;
  }
  void ShowProgramBar(const std::string& markup) override {
    bars.push_back(markup);
    barVisible = true;
  }
  void HideProgramBar() override {
    ++barHidden;
    barVisible = false;
  }
  void SetRunningName(const std::string& name) override { runningName = name; }
  std::string ChooseFile(const std::string& title, const std::string& folder,
                         const std::string& filter, const std::string& options) override {
    ++dialogs;
    dialogArguments = {title, folder, filter, options};
    return chosenFile;
  }
};

class ProgramLoaderTest : public ::testing::Test {
 protected:
  testing_support::TestFolder root;
  testing_support::FakeHost window;
  testing_support::FakeTransport link;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine{window, capture};
  FakeProgramHost host;
  programs::ProgramLoader loader{engine, host, root.Path() + "/"};

  void SetUp() override {
    ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms"));
    engine.OnLineFinished = [this] { loader.OnLineFinished(); };
  }
  void WriteProgram(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / ("AppPrograms/" + name), text));
  }
  const std::string& Display() { return window.Display(); }
  void RunLoadedProgram() {
    engine.ExecuteCommandLine(link, 7, loader.ProgramCommandLine, devices::LinkKind::Hid);
  }
};

TEST_F(ProgramLoaderTest, StoredProgramLoadsCommandsAndExpectedReplies) {
  WriteProgram("test01.prg", "LSPD=500 \r\nHSPD=5000,OK\r\n'move out\r\n");
  engine.State().LastReply = "old reply";
  engine.State().BitMask = 0xff;

  EXPECT_TRUE(loader.LoadProgram(1, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "LSPD=500,HSPD=5000,'");
  EXPECT_EQ(engine.State().ExpectedValuesLine, " ,OK,move out");
  EXPECT_TRUE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(engine.State().LastReply, "");
  EXPECT_EQ(engine.State().BitMask, -1);
  EXPECT_EQ(Display(), "Load: test01.prg\r\nRun: test01.prg\r\n");
  EXPECT_EQ(host.runningName, "test01.prg");
  EXPECT_EQ(loader.FileName(), "test01.prg");
  // The window stays busy for the run that follows; loading itself is over.
  EXPECT_TRUE(host.busy);
  EXPECT_EQ(host.barHidden, 0);
  EXPECT_EQ(loader.ProgramLoading, 0);
  EXPECT_EQ(loader.ProgramLoadAbort, 0);
}

TEST_F(ProgramLoaderTest, RunningTheProgramSendsCommandsAndChecksReplies) {
  WriteProgram("test02.prg", "LSPD=500\nHSPD=5000,OK\n'move out\nABS,1,2,3\n");
  link.answer = [](const std::string& c) { return c == "ABS" ? std::string("124") : "OK"; };
  ASSERT_TRUE(loader.LoadProgram(2, ""));
  RunLoadedProgram();
  EXPECT_EQ(link.sent, (std::vector<std::string>{"LSPD=500", "HSPD=5000", "ABS"}));
  EXPECT_EQ(capture.FailCount, 1);  // ABS answered 124, 123 expected
  // The end of the line clears the program's copy and its expected replies.
  EXPECT_EQ(loader.ProgramCommandLine, "");
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(engine.State().ExpectedValuesLine, "");
}

TEST_F(ProgramLoaderTest, RemarksAreNotSent) {
  WriteProgram("test03.prg", "JX+ 'jog\nSTOP,OK ' and stop\n");
  ASSERT_TRUE(loader.LoadProgram(3, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "JX+,STOP");
  EXPECT_EQ(engine.State().ExpectedValuesLine, " ,OK");
}

TEST_F(ProgramLoaderTest, NamedProgramLosesTheStrippedCharacters) {
  WriteProgram("test99mytest1.prg", "PX,0\n");
  WriteProgram("test01.prg", "WRONG\n");
  EXPECT_TRUE(loader.LoadProgram(1, "my-test.1"));
  EXPECT_EQ(loader.ProgramCommandLine, "PX");
  EXPECT_EQ(Display(), "Load: test99mytest1.prg\r\nRun: test99mytest1.prg\r\n");
}

TEST_F(ProgramLoaderTest, NameThatCleansToNothingNeverRunsAStoredProgram) {
  WriteProgram("test01.prg", "JX+\n");
  EXPECT_FALSE(loader.LoadProgram(1, "(-)"));
  EXPECT_EQ(loader.ProgramCommandLine, "");
  WriteProgram("test99.prg", "PX\n");
  EXPECT_TRUE(loader.LoadProgram(1, "(-)"));
  EXPECT_EQ(loader.ProgramCommandLine, "PX");
}

TEST_F(ProgramLoaderTest, FindsFilesWhoseNamesDifferInCase) {
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppPrograms/TEST10.PRG", "EO=1\n"));
  EXPECT_TRUE(loader.LoadProgram(10, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "EO=1");
}

TEST_F(ProgramLoaderTest, MissingStoredFileWritesNothingHidesTheBarAndLeavesBusy) {
  EXPECT_FALSE(loader.LoadProgram(4, ""));
  EXPECT_EQ(Display(), "");
  EXPECT_EQ(host.barHidden, 1);
  EXPECT_EQ(host.busyLeft, 1);
  EXPECT_FALSE(host.busy);
  EXPECT_EQ(loader.ProgramLoading, 0);
  EXPECT_EQ(loader.ProgramCommandLine, "");
}

TEST_F(ProgramLoaderTest, NumbersOutsideTheKeysLoadNothing) {
  WriteProgram("test01.prg", "PX\n");
  for (int n : {0, 13, -1}) {
    EXPECT_FALSE(loader.LoadProgram(n, "")) << n;
  }
  EXPECT_EQ(Display(), "");
  EXPECT_EQ(host.dialogs, 0);
}

TEST_F(ProgramLoaderTest, EmptyFileWritesLoadAndRunsNothing) {
  WriteProgram("test05.prg", "");
  EXPECT_FALSE(loader.LoadProgram(5, ""));
  EXPECT_EQ(Display(), "Load: test05.prg\r\n");
  EXPECT_EQ(host.barHidden, 1);
  EXPECT_FALSE(host.busy);
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(loader.ProgramLoading, 0);
}

TEST_F(ProgramLoaderTest, FileWithoutCommandsRunsNothing) {
  // An empty command line would make the window send the command entry.
  WriteProgram("test06.prg", "\r\n   \r\n\t\r\n");
  EXPECT_FALSE(loader.LoadProgram(6, ""));
  EXPECT_EQ(Display(), "Load: test06.prg\r\n");
  EXPECT_EQ(loader.ProgramCommandLine, "");
  EXPECT_FALSE(host.busy);
}

TEST_F(ProgramLoaderTest, DialogCancelledLoadsNothing) {
  for (int n : {11, 12}) {
    host.chosenFile = "";
    EXPECT_FALSE(loader.LoadProgram(n, "ignored")) << n;
  }
  EXPECT_EQ(host.dialogs, 2);
  EXPECT_EQ(
      host.dialogArguments,
      (std::vector<std::string>{
          "Select Program File", root / "AppPrograms",
          "Program Files (*.prg)|*.prg|CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt", "NZI"}));
  EXPECT_EQ(Display(), "");
  EXPECT_EQ(host.barHidden, 2);
  EXPECT_FALSE(host.busy);
}

TEST_F(ProgramLoaderTest, DialogChoiceOfAnyExtensionIsParsedTheSameWay) {
  const std::string text = "LSPD=500\nHSPD=5000,OK\n'move out\n";
  ASSERT_TRUE(platform::WriteFileAtomic(root / "elsewhere.csv", text));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppPrograms/run.txt", text));

  host.chosenFile = root / "elsewhere.csv";
  EXPECT_TRUE(loader.LoadProgram(11, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "LSPD=500,HSPD=5000,'");
  EXPECT_EQ(engine.State().ExpectedValuesLine, " ,OK,move out");
  EXPECT_EQ(host.runningName, "elsewhere.csv");

  host.chosenFile = root / "AppPrograms/run.txt";
  EXPECT_TRUE(loader.LoadProgram(12, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "LSPD=500,HSPD=5000,'");
  EXPECT_EQ(engine.State().ExpectedValuesLine, " ,OK,move out");
  EXPECT_EQ(Display(),
            "Load: elsewhere.csv\r\nRun: elsewhere.csv\r\nLoad: run.txt\r\nRun: run.txt\r\n");
}

TEST_F(ProgramLoaderTest, EscDuringParsingAbortsTheLoad) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "PX," + std::to_string(i) + "\n";
  WriteProgram("test07.prg", text);
  host.onDoEvents = [this] {
    if (host.doEvents == 3 && loader.ProgramLoading == 1) loader.ProgramLoadAbort = 1;
  };
  EXPECT_FALSE(loader.LoadProgram(7, ""));
  EXPECT_EQ(host.doEvents, 3);  // parsing stopped at the next line
  EXPECT_EQ(loader.ProgramCommandLine, "");
  EXPECT_EQ(engine.State().ExpectedValuesLine, "");
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(Display(), "Load: test07.prg\r\n");
  EXPECT_EQ(host.barHidden, 1);
  EXPECT_FALSE(host.busy);
  EXPECT_EQ(loader.ProgramLoading, 0);
  EXPECT_EQ(loader.ProgramLoadAbort, 0);
}

TEST_F(ProgramLoaderTest, EscDuringTheLastPumpStillAborts) {
  WriteProgram("test08.prg", "PX\nPY");
  host.onDoEvents = [this] {
    if (host.doEvents == 2) loader.ProgramLoadAbort = 1;
  };
  EXPECT_FALSE(loader.LoadProgram(8, ""));
  EXPECT_EQ(loader.ProgramCommandLine, "");
  EXPECT_EQ(loader.ProgramLoadAbort, 0);
}

TEST_F(ProgramLoaderTest, BarIsRewrittenOnlyWhenThePercentageChanges) {
  std::string text;
  for (int i = 1; i <= 300; ++i)
    text += (i > 1 ? "\r\n" : "") + std::string("PX,") + std::to_string(i);
  WriteProgram("test09.prg", text);
  std::vector<bool> busyWhilePumping;
  host.onDoEvents = [this, &busyWhilePumping] {
    busyWhilePumping.push_back(host.busy && loader.ProgramLoading == 1 && host.barVisible);
  };
  ASSERT_TRUE(loader.LoadProgram(9, ""));
  EXPECT_EQ(host.doEvents, 300);
  EXPECT_EQ(std::count(busyWhilePumping.begin(), busyWhilePumping.end(), true), 300);
  // 300 lines pass through every percentage from 1 to 100 once.
  ASSERT_EQ(host.bars.size(), 100u);
  for (int p = 1; p <= 100; ++p) {
    EXPECT_EQ(host.bars[static_cast<std::size_t>(p - 1)], programs::ProgramBarMarkup(p));
  }
  EXPECT_EQ(host.bars.front(), "1%BLUE|99%GRAY");
  EXPECT_EQ(host.bars[49], "50%BLUE|50%GRAY");
  EXPECT_EQ(host.bars.back(), "100%BLUE");
}

TEST_F(ProgramLoaderTest, ALoadStartedWhileParsingIsRefused) {
  WriteProgram("test01.prg", "PX,1\nPY,2\nPZ,3\n");
  WriteProgram("test02.prg", "JX+\n");
  bool inner = true;
  host.onDoEvents = [this, &inner] {
    if (host.doEvents == 1) inner = loader.LoadProgram(2, "");
  };
  EXPECT_TRUE(loader.LoadProgram(1, ""));
  EXPECT_FALSE(inner);
  EXPECT_EQ(loader.ProgramCommandLine, "PX,PY,PZ");
  EXPECT_EQ(engine.State().ExpectedValuesLine, "1,2,3");
  EXPECT_EQ(host.busyLeft, 0);  // the refused load did not end the first one's busy state
  EXPECT_EQ(Display(), "Load: test01.prg\r\nRun: test01.prg\r\n");
}

TEST_F(ProgramLoaderTest, AProgramThatNeverRanLendsNoRepliesToTheNextLine) {
  WriteProgram("test01.prg", "PX,1000\n");
  ASSERT_TRUE(loader.LoadProgram(1, ""));
  // The device could not be opened, so the line never ran; then a key finds
  // no file. A typed line must not be checked against 1000.
  EXPECT_FALSE(loader.LoadProgram(4, ""));
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(loader.ProgramCommandLine, "");
  link.answer = [](const std::string&) { return std::string("5"); };
  engine.ExecuteCommandLine(link, 7, "PX", devices::LinkKind::Hid);
  EXPECT_EQ(capture.FailCount, 0);

  ASSERT_TRUE(loader.LoadProgram(1, ""));
  loader.DiscardProgram();
  EXPECT_FALSE(engine.State().ExpectedValuesPresent);
  EXPECT_EQ(loader.ProgramCommandLine, "");
}

}  // namespace

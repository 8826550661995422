// Program files and their loading; history, function keys, transfers and recall.
#include "programs/program_loader.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

#include "engine/command_engine.h"
#include "platform/files.h"
#include "programs/command_recall.h"
#include "programs/entry_transfers.h"
#include "programs/function_keys.h"
#include "programs/history.h"
#include "programs/program_file.h"
#include "support/fake_host.h"
#include "support/test_folder.h"

namespace {

using Texts = std::tuple<std::string, std::string>;

Texts Parse(std::string_view text) {
  programs::ParsedProgram p = programs::ParseProgram(text, nullptr, nullptr);
  return {p.commandLine, p.expectedLine};
}

// Each line form alone, then whole files of every line end.
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

// Progress after line i of n: 100 * i / n, half to even, at least 1.
TEST(ProgramFile, ProgressRoundsHalfToEvenAndIsAtLeastOne) {
  auto percent = [](std::size_t i, std::size_t n) { return programs::ProgressPercent(i, n); };
  EXPECT_EQ((std::vector{percent(1, 300), percent(5, 300), percent(1, 8), percent(3, 8),
                         percent(5, 8), percent(99999, 100000)}),
            (std::vector{1, 2, 12, 38, 62, 100}));
}

// The main window as loading sees it; `onDoEvents` runs where it would handle keys.
class ProgramLoaderTest : public ::testing::Test, public programs::ProgramHost {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(root / "AppPrograms")); }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomic(root / ("AppPrograms/" + name), text));
  }
  Texts Loaded() { return {loader.ProgramCommandLine, engine.State().ExpectedValuesLine}; }
  // A failed load leaves nothing to run or check, the bar hidden, the window not busy.
  void ExpectNothingLoaded(const std::string& display) {
    EXPECT_EQ(loader.ProgramCommandLine + engine.State().ExpectedValuesLine, "");
    EXPECT_EQ(engine.Display().Text(), display);
    EXPECT_FALSE(engine.State().ExpectedValuesPresent || busy || barVisible ||
                 loader.ProgramLoading || loader.ProgramLoadAbort);
  }

  void DoEvents() override { ++doEvents, onDoEvents(); }
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

// A load starts afresh and leaves the window busy; a name that cleans to nothing is test99.prg.
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

// Missing, empty or blank files, keyless numbers and a cancelled dialog load nothing.
TEST_F(ProgramLoaderTest, MissingEmptyOrBlankFilesAndACancelledDialogLoadNothing) {
  Write("test01.prg", "PX,1000\n");
  ASSERT_TRUE(loader.LoadProgram(1, ""));
  engine.Display().Clear();
  Write("test05.prg", "");
  Write("test06.prg", "\r\n   \r\n\t\r\n");
  const std::pair<int, platform::ResultKind> cases[] = {
      {4, platform::ResultKind::NotFound},   {0, platform::ResultKind::Cancelled},
      {13, platform::ResultKind::Cancelled}, {-1, platform::ResultKind::Cancelled},
      {5, platform::ResultKind::Cancelled},  {6, platform::ResultKind::Cancelled},
      {11, platform::ResultKind::Cancelled}, {12, platform::ResultKind::Cancelled},
  };
  for (const auto& [n, kind] : cases) EXPECT_EQ(loader.LoadProgram(n, "").Kind(), kind) << n;
  EXPECT_EQ(loader.LoadProgram(4, "").Text(), "Program file not found: test04.prg");
  ExpectNothingLoaded("Load: test05.prg\r\nLoad: test06.prg\r\n");
  ASSERT_EQ(dialogs.size(), 2u);  // 11 and 12 only
  EXPECT_EQ(dialogs[0].substr(0, dialogs[0].find("|Program")),
            "Select Program File|" + root / "AppPrograms");
}

// ESC after any line stops the load; a second load is refused; the bar changes by percent.
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

using programs::EntrySelection;
using programs::FunctionKeys;
using programs::History;

const std::string kSample(programs::kHistorySample);

std::string Items(const History& h) {
  std::string all;
  for (std::size_t i = 0; i < h.Size(); ++i) all += (i ? "\n" : "") + h.Item(i);
  return all + (h.Selected() == 0 ? "" : " (the first item is not selected)");
}

std::string Or(const std::optional<std::string>& text) {
  return text ? *text : "unchanged";
}

// The edges behind the window's history and function-key tests.
TEST(HistoryAndFunctionKeys, EdgeCases) {
  FunctionKeys keys;
  keys.AttachToFunctionKey("JX+", "F3");
  History twice;
  for (int i = 0; i < 2; ++i) twice.RecordHistory("PX", false);
  const std::pair<std::string, std::string> cases[] = {
      {Items(twice), "PX\nPX\n" + kSample},  // no duplicate check
      {Or(FunctionKeys().ApplyFunctionKey(3, "LSPD=500")), "unchanged"},
      {Or(keys.ApplyFunctionKey(3, " LSPD=500 ")), "LSPD=500,JX+"},
      {Or(keys.ApplyFunctionKey(3, "  ")), "JX+"},
      {FunctionKeys().ShowFunctionKeys(), "No Function keys defined!\r\n"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

// 'F' to the front, 'E' to the end, 'S' at the selection; "-" for no change.
std::string Transfer(char how, EntrySelection saved, const char* item, const char* entry) {
  auto edit = how == 'F'   ? programs::TransferToFront(item, entry)
              : how == 'E' ? programs::TransferToEnd(item, entry)
                           : programs::TransferAtSelection(item, entry, saved);
  if (!edit) return "-";
  return edit->text + " @" + std::to_string(edit->selection.start) + "," +
         std::to_string(edit->selection.end);
}

TEST(EntryTransfers, FrontEndAndSelection) {
  const std::tuple<char, EntrySelection, const char*, const char*, const char*> cases[] = {
      {'F', {}, " PX ", " ABS , X1 ", "PX,ABS , X1 @0,0"},
      {'F', {}, "PX", "  ", "PX @0,0"},
      {'F', {}, "  ", "ABS", "-"},
      {'E', {}, "PX", " ABS ", "ABS,PX @3,3"},
      {'E', {}, "PX", "", "PX @0,0"},
      {'E', {}, "", "ABS", "-"},
      {'S', {4, 8}, "PX", "JX+,STOP,ABS", "JX+,PX,ABS @4,4"},  // replaces STOP
      {'S', {3, 3}, "PX", "JX+,STOP", "JX+,PX,STOP @3,3"},
      {'S', {3, 3}, "PX", "JX+STOP", "JX+,PX,STOP @3,3"},
      {'S', {0, 0}, "PX", " JX+", "PX, JX+ @0,0"},     // the entry is not trimmed
      {'S', {2, -1}, "PX", "JX+,STOP", "JX,PX @2,2"},  // -1: to the end of the text
      {'S', {-5, 0}, "PX", "ABS", "PX,ABS @0,0"},
      {'S', {99, 120}, "PX", "ABS", "ABS,PX @3,3"},
      {'S', {2, 1}, "PX", "ABS", "AB,PX,S @2,2"},  // an end before the start loses nothing
      {'S', {5, 5}, "PX", "", "PX @0,0"},
      {'S', {0, 0}, " ", "ABS", "-"},
  };
  for (const auto& [how, saved, item, entry, expected] : cases)
    EXPECT_EQ(Transfer(how, saved, item, entry), expected) << item << " into " << entry;
}

TEST(FunctionKeys, SelectorTextsAndTexts) {
  const std::pair<std::string, int> cases[] = {
      {"F1", 1},  {"F10", 10}, {" F2 ", 2}, {"F 3", 3}, {"X3", 3}, {"F1x", 1}, {"F10 spare", 10},
      {"F11", 0}, {"F0", 0},   {"F-1", 0},  {"F.5", 0}, {"F", 0},  {"X", 0},   {"", 0}};
  for (const auto& [selector, key] : cases) {
    FunctionKeys keys;
    EXPECT_EQ(keys.AttachToFunctionKey("PX", selector), key) << selector;
    EXPECT_EQ(keys.ShowFunctionKeys().find("PX") != std::string::npos, key != 0);
  }
  FunctionKeys keys;
  EXPECT_EQ(keys.AttachToFunctionKey("   ", "F1"), 0);  // a blank text is not attached
  for (int n : {0, 11, -1}) EXPECT_FALSE(keys.ApplyFunctionKey(n, "A")) << n;
}

// A history of any length keeps every item; 1000 characters of one are shown unchanged.
TEST(History, LongHistoriesKeepEveryItem) {
  History h;
  EXPECT_EQ(History::ShownText(std::string(1000, 'x')), std::string(1000, 'x'));
  History many;
  for (int i = 0; i < 100000; ++i) many.RecordHistory(std::to_string(i), false);
  EXPECT_EQ(std::tuple(many.Size(), many.Item(0), many.Item(100000)),
            std::tuple(100001u, "99999", kSample));
  h.Select(5);
  EXPECT_EQ(h.Selected(), -1);
  h.Clear();
  EXPECT_EQ(h.Size() + h.SelectedItem().size(), 0u);
  EXPECT_EQ(h.RecordHistory("PX", false), 0u);
  EXPECT_EQ(Items(h), "PX");
}

// "<line" sends a line; "^shown=after" is Up, "vshown=after" Down, with the entry's text.
TEST(CommandRecall, UpAndDownLikeAShell) {
  for (const std::string run : {
           "^typed=typed;vtyped=typed",  // nothing sent yet
           "<ID;< PX ;^draft=PX;^PX=ID;^ID=ID;vID=PX;vPXedit=draft;vdraft=draft",
           "<B;<A;<A;<   ;<B;^=B;^B=A;^A=B;^B=B",  // repeats in a row count once
           "<A;<B;^x=B;<C;^y=C;vC=y",              // sending ends stepping
       }) {
    programs::CommandRecall recall;
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
      end = run.find(';', start);
      const std::string step = run.substr(start, end - start);
      const std::size_t equals = step.find('=');
      if (step[0] == '<') recall.Sent(step.substr(1));
      if (step[0] == '<') continue;
      const std::string shown = step.substr(1, equals - 1);
      EXPECT_EQ(step[0] == '^' ? recall.Up(shown) : recall.Down(shown), step.substr(equals + 1))
          << run.substr(0, end);
    }
  }
}

}  // namespace

// The main window's history list and function keys, placement and help.
#include <gtest/gtest.h>

#include "programs/history.h"
#include "station/help.h"
#include "support/station.h"

namespace {

using namespace testing_support;
namespace key = ui::key;

// What the list shows and what the transfer to the end takes from its
// selected item; "!" before a line: its device cannot be opened; "^": program 1.
TEST(CommandEntry, TheHistoryListRecordsEveryLineRunAsOneItem) {
  const std::string sample(programs::kHistorySample), longLine(10 << 20, 'X');  // 10 MB
  const struct {
    bool record, fifo;
    Strings lines, items;
    std::string transferred;
  } cases[] = {
      {false, false, {"A"}, {sample}, sample},
      {true, false, {"A", " B ", "!C"}, {"C", "B", "A", sample}, "C"},
      {true, true, {"A", "B"}, {sample, "A", "B"}, sample},
      {true, false, {"A|B", "^"}, {"PX,ID", "A|B", sample}, "PX,ID"},
      {true, false, {longLine}, {std::string(997, 'X') + "...", sample}, longLine},
  };
  for (const auto& c : cases) {
    Station s;
    ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,5\r\nID\r\n"));
    if (c.record) s.Press(tmain::kRecordHistory);
    if (c.fifo) s.Press(tmain::kFifo);
    for (const std::string& line : c.lines) {
      s.hid->openSucceeds = line[0] != '!';
      line == "^" ? s.Press(tmain::kProgramKeyFirst) : s.Enter(line.substr(line[0] == '!'));
    }
    EXPECT_EQ(s.gui.Items({kMainForm, tmain::kHistory}), c.items) << c.lines.back();
    s.gui.SetText({kMainForm, tmain::kCommandEntry}, "");
    s.Press(tmain::kHistoryToEnd);
    EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), c.transferred);
  }
}

TEST(CommandEntry, FunctionKeysTakeTheEntryOrTheHistoryItemAndWaitWhileALineRuns) {
  Station s;
  s.Press(tmain::kRecordHistory);
  s.Enter("JX+");
  s.gui.SelectItem({kMainForm, tmain::kFunctionKeys}, 9);  // F10: the history item
  s.Press(tmain::kAttachHistory);
  s.gui.SetText({kMainForm, tmain::kCommandEntry}, " STOP ");
  s.gui.SelectItem({kMainForm, tmain::kFunctionKeys}, 2);  // F3: the entry
  s.Press(tmain::kAttachCommandLine);
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "ID") s.gui.PressKey(kMainForm, key::kF1 + 2);  // while PX runs: ignored
  };
  s.Enter("ID,PX");
  s.gui.PressKey(kMainForm, key::kF1 + 2);
  s.Press(tmain::kFunctionKeyFirst + 9);
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), "ID,PX,STOP,JX+");
  s.Press(tmain::kShowFunctionKeys);
  EXPECT_EQ(s.shown, (Strings{"Function Key Current Values: \r\nF3  STOP\r\nF10 JX+\r\n"}));
}

// A screen of 1920 x 1080 pixels with a 40-pixel panel at the top and a
// frame of 8 x 31 pixels; the main window starts at 0, 0 with 472 x 660.
TEST(Placement, ResizeAppPlacesTheMainWindowInTheWorkArea) {
  const std::string megabyte(1 << 20, ' ');
  const struct {
    double width, height;  // set by the operator before the first placement (0: not)
    Strings texts;
    bool canPlace, maximised;
    ui::PixelRect expected;
  } cases[] = {
      {0, 0, {"CENTER MAX"}, true, false, {720, 40, 472, 1009}},
      {0, 0, {" max"}, true, true, {0, 40, 1912, 1009}},
      {0, 0, {"left right"}, true, false, {0, 0, 472, 660}},
      {0, 0, {megabyte + "Right"}, true, false, {1440, 0, 472, 660}},
      {80, 50, {"LEFT", "MAX", ""}, true, false, {0, 40, 640, 800}},
      {80, 50, {"CENTER", "12, 34;", megabyte}, true, false, {636, 0, 640, 800}},
      {0, 0, {"CENTER MAX"}, false, false, {0, 0, 472, 1009}},  // Wayland: no positions
  };
  for (const auto& c : cases) {
    Station s;
    s.gui.screen.workArea = {0, 40, 1920, 1040};
    s.gui.screen.canPlaceWindows = c.canPlace;
    if (c.width > 0) s.gui.SetFormGeometry(kMainForm, {0, 0, c.width, c.height});
    for (const std::string& text : c.texts) s.application->PlaceMainWindow(text);
    EXPECT_EQ(ui::UnitsToPixels(s.gui.FormGeometry(kMainForm), 96), c.expected);
    EXPECT_EQ(s.gui.FormMaximised(kMainForm), c.maximised);
    if (!c.maximised) continue;
    // A dialog's outer frame ends a quarter unit (4 pixels) above the work area's end.
    s.gui.LoadForm(app::MessageFormSpec(96));
    const ui::UnitRect dialog = s.gui.FormGeometry(app::kMessageForm);
    EXPECT_EQ((dialog.y + dialog.height) * 16 + 31, 1080 - 4);
  }
}

// The help file (in any letter case), else the guides' index, else a
// message; a folder of the help file's name is no help file.
TEST(Help, TheHelpFileElseTheGuidesElseAMessage) {
  const std::pair<std::string, std::string> cases[] = {
      {"software utility - TERMINAL.chm", "desktop "},
      {"Software Utility - Terminal.chm/", "window "},  // a folder
      {"", "window message "}};
  for (const auto& [inDocs, asked] : cases) {
    Station s({}, 0, {}, [&](const testing_support::TestFolder& data) {
      if (inDocs.empty()) return;
      ASSERT_TRUE(platform::WriteFileAtomic(data / "Docs/index.md", "# help"));
      ASSERT_TRUE(inDocs.ends_with('/') ? platform::CreateDirectory(data / ("Docs/" + inDocs))
                                        : platform::WriteFileAtomic(data / ("Docs/" + inDocs), ""));
    });
    s.Press(tmain::kHelp);
    EXPECT_EQ(std::string(s.gui.openedWithDesktop.empty() ? "" : "desktop ") +
                  (s.gui.helpWindows.empty() ? "" : "window ") +
                  (s.shown.empty() ? "" : "message "),
              asked);
  }
}

}  // namespace

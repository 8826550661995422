// The main window's history list, transfers, function keys and recall,
// window placement on the fake screen, dialogs over the main window, help.
#include <gtest/gtest.h>

#include <regex>

#include "app/help.h"
#include "programs/history.h"
#include "support/station.h"

namespace {

using app::kMainForm;
using app::gui::PixelRect;
using testing_support::Station;
using Strings = std::vector<std::string>;
namespace tmain = app::tmain;
namespace key = app::gui::key;

const std::string kSample(programs::kHistorySample);

std::string Entry(Station& s) {
  return s.gui.Text(kMainForm, tmain::kCommandEntry);
}

void Settle(Station& s) {
  while (s.gui.PendingEvents()) s.gui.DoEvents();
}

// The list after lines are sent with the boxes ticked as given, and what the
// transfer to the end takes from its selected item; "!" before a line sends
// it to a device that cannot be opened, "^" runs program 1.
TEST(CommandEntry, TheHistoryListRecordsEveryLineRunAsOneItem) {
  const std::string longLine(1500, 'X');
  const struct {
    bool record, fifo;
    Strings lines, items;
    std::string transferred;
  } cases[] = {
      {false, false, {"A"}, {kSample}, kSample},
      {true, false, {"A", " B ", "!C"}, {"C", "B", "A", kSample}, "C"},
      {true, true, {"A", "B", "A"}, {kSample, "A", "B", "A"}, kSample},
      {true, false, {"A|B", "^"}, {"PX,ID", "A|B", kSample}, "PX,ID"},
      {true, false, {longLine}, {std::string(997, 'X') + "...", kSample}, longLine},
  };
  for (const auto& c : cases) {
    Station s;
    ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,5\r\nID\r\n"));
    if (c.record) s.Press(tmain::kRecordHistory);
    if (c.fifo) s.Press(tmain::kFifo);
    for (const std::string& line : c.lines) {
      s.hid->openSucceeds = line[0] != '!';
      if (line == "^") s.Press(tmain::kProgramKeyFirst);
      if (line != "^") s.Enter(line.substr(line[0] == '!'));
    }
    EXPECT_EQ(s.gui.Items(kMainForm, tmain::kHistory), c.items) << c.lines.back();
    s.gui.SetText(kMainForm, tmain::kCommandEntry, "");
    s.Press(tmain::kHistoryToEnd);
    EXPECT_EQ(Entry(s), c.transferred);
  }
}

TEST(CommandEntry, InsertAtCaretUsesTheSelectionTheEntryHadWhenItLostTheFocus) {
  Station s;
  s.Press(tmain::kRecordHistory);
  s.Enter("PX");
  s.gui.Type(kMainForm, tmain::kCommandEntry, "JX+,STOP");
  s.gui.SetSelection(kMainForm, tmain::kCommandEntry, {4, 4});
  s.gui.SetFocus(kMainForm, tmain::kHistoryToSelection);  // a click takes the focus
  Settle(s);
  s.gui.SetSelection(kMainForm, tmain::kCommandEntry, {0, 8});
  s.Press(tmain::kHistoryToSelection);
  EXPECT_EQ(Entry(s), "JX+,PX,STOP");
  EXPECT_EQ(s.gui.Selection(kMainForm, tmain::kCommandEntry), (app::gui::TextSelection{4, 4}));
  // A button that leaves the focus in the entry uses its selection now.
  s.gui.SetSelection(kMainForm, tmain::kCommandEntry, {0, 0});
  s.Press(tmain::kHistoryToSelection);
  EXPECT_EQ(Entry(s), "PX,JX+,PX,STOP");
}

TEST(CommandEntry, FunctionKeysAttachApplyListAndWaitWhileALineRuns) {
  Station s;
  s.Press(tmain::kRecordHistory);
  s.Enter("JX+");
  s.gui.SelectItem(kMainForm, tmain::kFunctionKeys, 9);  // F10
  s.Press(tmain::kAttachHistory);
  s.gui.SetText(kMainForm, tmain::kCommandEntry, "  STOP ");
  s.gui.SelectItem(kMainForm, tmain::kFunctionKeys, 2);  // F3
  s.Press(tmain::kAttachCommandLine);
  s.gui.SetText(kMainForm, tmain::kCommandEntry, "LSPD=500");
  s.gui.PressKey(kMainForm, key::kF1 + 2);
  s.gui.PressKey(kMainForm, key::kF1);  // empty
  s.Press(tmain::kFunctionKeyFirst + 9);
  EXPECT_EQ(Entry(s), "LSPD=500,STOP,JX+");
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "ID") s.gui.PressKey(kMainForm, key::kF1 + 2);  // arrives while PX runs
  };
  s.Enter("ID,PX");
  EXPECT_EQ(Entry(s), "ID,PX");
  s.Press(tmain::kShowFunctionKeys);
  EXPECT_EQ(s.shown, (Strings{"Function Key Current Values: \r\nF3  STOP\r\nF10 JX+\r\n"}));
  // Up and Down: the lines sent from the entry, then the unsent text.
  s.gui.Type(kMainForm, tmain::kCommandEntry, "draft");
  Strings seen;
  for (int k : {key::kUp, key::kUp, key::kUp, key::kDown, key::kDown, key::kDown}) {
    s.gui.PressKey(kMainForm, k);
    Settle(s);
    seen.push_back(Entry(s));
  }
  EXPECT_EQ(seen, (Strings{"ID,PX", "JX+", "JX+", "ID,PX", "draft", "draft"}));
}

// A screen of 1920 x 1080 pixels with a 40-pixel panel at the top and a
// frame of 8 x 31 pixels; the main window starts at 0, 0 with 472 x 660.
TEST(Placement, ResizeAppPlacesTheMainWindowInTheWorkArea) {
  const std::string megabyte(1 << 20, ' ');
  const struct {
    double width, height;  // the operator's size before the first placement (0: none)
    Strings texts;
    bool canPlace, maximised;
    PixelRect expected;
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
    EXPECT_EQ(app::gui::UnitsToPixels(s.gui.FormGeometry(kMainForm), 96), c.expected)
        << c.texts.front().substr(0, 20);
    EXPECT_EQ(s.gui.FormMaximised(kMainForm), c.maximised);
    if (!c.maximised) continue;
    // A dialog's outer frame ends a quarter unit (4 pixels) above the work area's end.
    double bottom = 0;
    s.application->Dialogs().operatorAnswers = [&](const std::string& form, const std::string&) {
      const app::gui::UnitRect dialog = s.gui.FormGeometry(form);
      bottom = (dialog.y + dialog.height) * 16 + 31;
      return std::optional<std::string>("OK");
    };
    s.Press(tmain::kShowFunctionKeys);
    EXPECT_EQ(bottom, 1080 - 4);
  }
}

// The help file (in any letter case), else the guides in the help window,
// else a message box; a folder of the help file's name is no help file.
// Start-up copies the guides the data folder lacks.
TEST(Help, TheHelpFileElseTheGuidesElseAMessage) {
  testing_support::TestFolder shipped;
  for (const char* name : {"index.md", "script-language.md", "notes.txt"})
    ASSERT_TRUE(platform::WriteFileAtomic(shipped / name, std::string("# shipped ") + name));
  enum { File, Folder, None };
  for (int help : {File, Folder, None}) {
    Station s({}, 0, {}, [&](const testing_support::TestFolder& data) {
      ASSERT_TRUE(platform::WriteFileAtomic(data / "Docs/INDEX.md", "# own"));
      if (help == File) {
        ASSERT_TRUE(platform::WriteFileAtomic(data / "Docs/software utility - TERMINAL.chm", ""));
      } else if (help == Folder) {
        ASSERT_TRUE(platform::CreateDirectory(data / "Docs/Software Utility - Terminal.chm"));
      }
    });
    const platform::DataFolders folders(s.folder.Path());
    EXPECT_EQ(app::InstallGuides(folders, {s.folder / "missing", shipped.Path()}), 1);
    EXPECT_EQ(s.Read("Docs/INDEX.md") + s.Read("Docs/script-language.md"),
              "# own# shipped script-language.md");
    if (help == None) platform::RemoveFile(s.folder / "Docs/INDEX.md");
    s.Press(tmain::kHelp);
    EXPECT_EQ(s.gui.openedWithDesktop.size(), help == File ? 1u : 0u) << help;
    EXPECT_EQ(s.gui.helpWindows.size(), help == File ? 0u : 1u) << help;
    EXPECT_EQ(s.shown.size(), help == None ? 1u : 0u) << help;
  }
  // Every page the shipped index links to is shipped, the script guide among them.
  const char* bin = std::getenv("HALVORN_BIN_DIR");
  const std::string guides = std::string(bin ? bin : ".") + "/demo-data/Docs/";
  std::string index;
  ASSERT_TRUE(platform::ReadFile(guides + "index.md", index));
  const std::regex link(R"(\]\(([^)]+)\))");
  for (std::sregex_iterator it(index.begin(), index.end(), link), end; it != end; ++it)
    EXPECT_TRUE(platform::FileExists(guides + (*it)[1].str())) << (*it)[1];
  EXPECT_NE(index.find("](script-language.md)"), std::string::npos);
}

}  // namespace

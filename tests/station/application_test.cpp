// The main window: start-up, the event map, the busy state, owner drawing, pasted lines, the
// display's options, the live plot.
#include "station/application.h"

#include <gtest/gtest.h>

#include <regex>

#include "station/plot_feed.h"
#include "support/child_process.h"
#include "support/station.h"
#include "ui/look/palette.h"

namespace {

using namespace testing_support;
using app::PlotReading;
namespace event = ui::event;

TEST(MainWindow, StartsWithEveryKindOfDeviceListedAndTheColoursDefined) {
  const std::string usb = "ZDK-X07" + std::string(46, ' ') + "[0]";
  Station s({}, 0, {{"Board A", "Board B"}, {usb}, {"Axis 01 {COM1:9600}"}});
  EXPECT_EQ(s.application->DeviceList(),
            (Strings{"Board A", "Board B", usb, "Axis 01 {COM1:9600}"}));
  EXPECT_EQ(s.application->SelectedDevice(), "Board A");
  EXPECT_EQ(s.application->Engine().Display().Kind(), engine::DisplayKind::Rich);
  // A board link that cannot tell its library's version asks for a newer one.
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kVersionLabel}), "Update DLL !");
  // The operator's first keys go to the command entry.
  EXPECT_EQ(s.gui.FocusedControl(), (ui::ControlRef{kMainForm, tmain::kCommandEntry}));
  // The palette and the defined colours reach the backend before the first form.
  ASSERT_TRUE(s.gui.ColourSlot(4) && s.gui.ColourSlot(36));
  EXPECT_EQ(*s.gui.ColourSlot(4), ui::look::PaletteColour(4));
}

TEST(MainWindow, EnterRunsTheEntryOnTheSelectedDeviceAndClosesTheLink) {
  Station s({}, 0, {{"Board A"}, {}, {"Axis 01 {COM1:9600}"}});
  s.gui.SelectItem({kMainForm, tmain::kDeviceSelector}, 1);
  s.serial->answer = [](const std::string& c) { return c == "PX" ? std::string("1234") : "OK"; };
  s.Enter("  LSPD=500 ,PX  ");
  EXPECT_EQ(s.serial->sent, (Strings{"LSPD=500", "PX"}));
  EXPECT_EQ(s.serial->opened, (Strings{"Axis 01 {COM1:9600}"}));
  EXPECT_EQ(s.serial->opens + s.serial->closes + s.hid->sent.size(), 2u);
  // Once the event is over the widget shows what the display holds.
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kDisplay}), s.Display());
  EXPECT_NE(s.Display().find(" >> PX\r\n      Reply: 1234"), std::string::npos) << s.Display();
  EXPECT_TRUE(s.gui.Visible({kMainForm, tmain::kCommandEntry}) &&
              !s.gui.Visible({kMainForm, tmain::kEscLabel}));
  EXPECT_EQ(s.gui.FocusedControl(), (ui::ControlRef{kMainForm, tmain::kCommandEntry}));
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), "  LSPD=500 ,PX  ");
  s.gui.SetChecked({kMainForm, tmain::kClearAfterSend}, true);
  s.Enter("ID");
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kCommandEntry}), "");
}

TEST(MainWindow, TheWindowIsBusyWhileALineRunsAndRefusesToClose) {
  Station s;
  bool checked = false;
  s.hid->afterSend = [&](const std::string&) {
    checked = true;
    EXPECT_EQ(s.application->Shell().BusyFlag, 1);
    EXPECT_FALSE(s.gui.Visible({kMainForm, tmain::kCommandEntry}) ||
                 s.gui.Enabled({kMainForm, tmain::kDeviceSelector}));
    EXPECT_TRUE(s.gui.Visible({kMainForm, tmain::kEscLabel}) &&
                s.gui.Visible({kMainForm, tmain::kCommandBar}));
    EXPECT_EQ(s.Background(), 21);
    EXPECT_TRUE(s.gui.Ask({kMainForm, 0, event::kCloseRequest, 0}).refuse);
  };
  s.Enter("ID");
  EXPECT_TRUE(checked);
  EXPECT_EQ(s.Background(), 36);
  EXPECT_FALSE(s.gui.Ask({kMainForm, 0, event::kCloseRequest, 0}).refuse);
  EXPECT_TRUE(s.gui.Ask({kMainForm, 0, event::kSecondCloseRequest, 0}).refuse);
}

// Hears the station as a front end or a record of the run would.
struct Heard : app::StationListener {
  Strings calls;
  void OnDeviceNotAvailable(const std::string& entry, const std::string& reason) override {
    calls.push_back("device " + entry + ": " + reason);
  }
  void OnError(const std::string& text) override { calls.push_back("error " + text); }
};

// Every listener hears each device that did not open until removed; the operator is told once.
TEST(MainWindow, ADeviceThatCannotBeOpenedIsReportedAndNothingElseIs) {
  Station s;
  s.hid->openSucceeds = false;
  s.hid->openError = "held by another program";
  Heard first, second;
  for (Heard* h : {&first, &second, &first}) s.application->AddListener(*h);  // once is enough
  s.Enter("PX");
  // The caption keeps its text; the link's reason is the second line.
  EXPECT_EQ(s.shown, (Strings{"Device Not Available!: Board A\r\nheld by another program\r\n"}));
  EXPECT_EQ(s.application->Dialogs().Values().MessageBoxColourOverrides,
            (std::array<int, 3>{-1, -1, -1}));  // reset after
  EXPECT_FALSE(s.gui.FormLoaded(app::kMessageForm));
  EXPECT_EQ(s.Display() + std::to_string(s.hid->sent.size()), "0");
  // No device, or a blank line: nothing is sent and nothing reported.
  Station none({}, 0, {{}, {}, {}});
  none.Enter("PX");
  s.Enter("   ");
  EXPECT_TRUE(none.shown.empty());
  EXPECT_EQ(s.shown.size(), 1u);
  EXPECT_EQ(s.application->Shell().DeviceNotAvailableCount, 1);
  const Strings once{"device Board A: held by another program"};
  s.application->RemoveListener(first);
  s.gui.SelectItem({kMainForm, tmain::kDeviceSelector}, -1);
  s.Enter("PX");
  EXPECT_EQ(first.calls, once);
  EXPECT_EQ(second.calls, (Strings{once[0], "device : no device is selected"}));
  EXPECT_EQ(s.ended, autocontrol::StepResult::Idle);  // the test's own listener heard no end
}

TEST(MainWindow, EscWhileIdleSendsAbortAndDuringALineStopsIt) {
  Station s;
  s.Press(tmain::kEscKey);
  const engine::EngineState& engine = s.application->Engine().State();
  EXPECT_EQ(std::tuple(s.State().EscFlag, s.State().LoopActive, engine.PumpSuppressed,
                       engine.AbortRequest),
            std::tuple(true, false, false, false));
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "A") s.gui.Click({kMainForm, tmain::kEnterKey});  // ignored while the line runs
    if (c == "B") s.gui.Click({kMainForm, tmain::kEscKey});  // reaches the engine at its next pump
  };
  s.Enter("A,B,C,D,E");
  EXPECT_EQ(s.hid->sent, (Strings{"ABORT", "A", "B", "ABORT"}));
  EXPECT_NE(s.Display().find("ABORT (ESCAPED)"), std::string::npos);
}

TEST(MainWindow, TheDisplayModeButtonCyclesThroughFiveModes) {
  Station s;
  std::string captions;
  for (int i = 0; i < 6; ++i, s.Press(tmain::kDisplayMode))
    captions += s.gui.Text({kMainForm, tmain::kDisplayMode}) +
                std::to_string(s.application->Engine().State().ShowMode) + " ";
  EXPECT_EQ(captions, "=1 {{BIG_DOUBLE_RECT}}2 ..3 !4 !'5 =1 ");
  s.gui.SetText({kMainForm, tmain::kDisplayMode}, "?");
  s.Press(tmain::kDisplayMode);
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kDisplayMode}), "=");
}

// A slot beyond the list selects nothing: tests/app (ScriptRun.ShowModeAndDeviceKeywords).
TEST(DeviceSlots, ASlotIsAPositionInTheCurrentListAndEntriesAreClassifiedByText) {
  Station s({}, 0, {{"zdk-lower"}, {}, {"ZDK-1 {COM2:9600}"}});
  s.application->SelectDeviceSlot(2);
  s.Enter("ID");
  EXPECT_EQ(s.serial->sent.size(), 1u);  // "{" wins over "ZDK-"
  s.application->SelectDeviceSlot(1);
  s.Enter("ID");
  EXPECT_EQ(s.hid->sent.size(), 1u);  // lower-case "zdk-" is a board name
  EXPECT_TRUE(s.usb->sent.empty());
  // A refresh keeps the position, whatever holds it now; the refresh button selects the first.
  s.application->SelectDeviceSlot(2);
  s.hid->entries = {"Board A", "Board B"};
  s.application->RefreshDevices();
  EXPECT_EQ(s.application->SelectedDevice(), "Board B");
  s.Press(tmain::kRefreshDevices);
  EXPECT_EQ(s.application->SelectedDevice(), "Board A");
  EXPECT_EQ(s.application->DeviceList().size(), 3u);
}

TEST(MainWindow, SaveDisplayOffersTheLastNameAndClearEmptiesTheDisplay) {
  Station s;
  s.Enter("ID");
  std::vector<ui::FileDialogRequest> asked;
  std::string answer = s.folder / "TermDisplay/run1.txt";
  s.gui.fileDialogResponder = [&](const ui::FileDialogRequest& r) {
    asked.push_back(r);
    return answer;
  };
  s.Press(tmain::kSaveDisplay);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].defaultName + "|" + asked[0].title, "myfile.txt|Save Terminal");
  EXPECT_EQ(asked[0].folder, s.folder / "TermDisplay");
  EXPECT_EQ(s.Read("TermDisplay/run1.txt"), s.Display());
  // A second save offers the chosen name; a failing one is reported.
  answer = s.folder / "TermDisplay/missing-folder/run2.txt";
  s.Press(tmain::kSaveDisplay);
  EXPECT_EQ(asked.at(1).defaultName, "run1.txt");
  ASSERT_EQ(s.shown.size(), 1u);
  EXPECT_NE(s.shown[0].find("run2.txt"), std::string::npos);
  s.Press(tmain::kClearDisplay);
  EXPECT_EQ(s.gui.Text({kMainForm, tmain::kDisplay}) + s.gui.Text({kMainForm, tmain::kByteCounter}),
            "Bytes: 0");
}

TEST(MainWindow, OwnerDrawnControlsPaintThroughTheLook) {
  Station s;
  using Kind = ui::headless::CanvasCall::Kind;
  const auto colour = [&](int n) {
    return s.application->Palette().Colour(n, ui::ControlKind::Label, ui::look::ColourRole::Text);
  };
  // Caption and background of the same colour: the caption is drawn in colour 0.
  const auto devices = s.gui.Paint({kMainForm, 180});
  EXPECT_EQ(devices.Of(Kind::Fill).at(0).colour, colour(36));
  EXPECT_EQ(devices.Of(Kind::Text).at(0).text, "Devices Found:");
  EXPECT_EQ(devices.Of(Kind::Text).at(0).colour, colour(0));
  EXPECT_EQ(s.gui.Paint({kMainForm, 170}).Of(Kind::Text).at(0).colour, colour(6));
  // The send button draws its arrow, the program bar its sunken frame.
  EXPECT_EQ(s.gui.Paint({kMainForm, tmain::kSend}).Of(Kind::Shape).size() +
                s.gui.Paint({kMainForm, tmain::kProgramBar}).Of(Kind::Frame).size() +
                s.gui.Paint({kMainForm, tmain::kDelayBar}).Of(Kind::Frame).size(),
            2u);
  // A selector item, as high as event 310 says.
  const auto item = s.gui.Paint({kMainForm, tmain::kLanguageSelector}, {.selected = true}, 0);
  EXPECT_EQ(item.Of(Kind::Text).at(0).text, "English");
  EXPECT_EQ(item.calls.at(0).area.height,
            s.gui.Ask({kMainForm, tmain::kLanguageSelector, event::kOwnerSize, 0}).itemHeight);
}

TEST(MainWindow, TheChosenLanguageTranslatesTheMessageCaption) {
  // A German language file in the data folder and lang.ini choosing it.
  const std::string german = Read(BinDir() + "/demo-data/AppLanguages/terminal_de.lng");
  Station s({}, 0, {}, [&german](const testing_support::TestFolder& data) {
    ASSERT_TRUE(platform::WriteFileAtomic(data / "AppLanguages/terminal_de.lng", german));
    ASSERT_TRUE(platform::WriteFileAtomic(data / "lang.ini", "deutsch"));
  });
  EXPECT_EQ(s.application->Languages().LanguageIndex(), 1);
  EXPECT_EQ(s.gui.Items({kMainForm, tmain::kLanguageSelector}), (Strings{"English", "Deutsch"}));
  EXPECT_EQ(s.gui.SelectedItem({kMainForm, tmain::kLanguageSelector}), 1);
  EXPECT_EQ(s.gui.dialogLanguage, "de");  // the library's dialogs follow it
  s.hid->openSucceeds = false;
  s.application->ExecuteOnSelectedDevice("PX");
  const std::string translated = s.application->Translate("Device Not Available!//40");
  EXPECT_NE(translated, "Device Not Available!");
  EXPECT_EQ(s.shown.at(0).rfind(translated + ": Board A", 0), 0u);
  // Choosing English in the selector removes the stored choice.
  s.gui.Pick({kMainForm, tmain::kLanguageSelector}, 0);
  s.gui.DoEvents();
  EXPECT_EQ(s.application->Languages().LanguageIndex(), 0);
  EXPECT_EQ(s.gui.dialogLanguage, "");
  EXPECT_FALSE(s.Exists("lang.ini"));
}

TEST(ProgramKeys, CtrlF1RunsTheStoredProgramAndAMissingDeviceLeavesTheWindowUsable) {
  Station s;
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,5\r\nID\r\n"));
  s.hid->answer = [](const std::string& c) { return c == "PX" ? std::string("4") : "OK"; };
  s.Press(tmain::kProgramKeyFirst);
  EXPECT_EQ(s.hid->sent, (Strings{"PX", "ID"}));
  EXPECT_NE(s.Display().find("!! Expected: 5"), std::string::npos) << s.Display();
  EXPECT_EQ(s.FailCount(), 1);
  EXPECT_FALSE(s.application->Engine().State().ExpectedValuesPresent);
  EXPECT_EQ(s.application->Programs().ProgramCommandLine, "");  // its line is over
  Station none({}, 0, {{}, {}, {}});
  ASSERT_TRUE(platform::WriteFileAtomic(none.folder / "AppPrograms/test02.prg", "PX,5\r\n"));
  none.Press(tmain::kProgramKeyFirst + 1);
  EXPECT_TRUE(none.gui.Visible({kMainForm, tmain::kCommandEntry}) &&
              !none.gui.Visible({kMainForm, tmain::kProgramBar}) &&
              !none.application->Engine().State().ExpectedValuesPresent);
  EXPECT_EQ(none.application->Programs().ProgramCommandLine, "");  // the next line is not judged
}

std::string Joined(const Strings& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += lines[i] + ",";
  return text;
}

// Lines pasted into the command entry run as if typed, ESC stops the rest, a long paste asks.
TEST(PastedLines, EachLineRunsAsIfTypedUntilEsc) {
  std::string hundredAndOne, ids;
  for (int i = 0; i < 101; ++i) hundredAndOne += "ID\n", ids += "ID,";
  const struct {
    const char* name;
    std::string pasted;
    ui::MessageBoxAnswer answer;  // to the question about a long paste
    const char* escAfter;         // ESC once this command was sent
    std::string sent, history;    // each line ended by ","; the new history items newest first
    std::size_t asked;
  } cases[] = {
      {"CR LF, blank lines", "ID\r\n\r\nPX\n  STAT  \n", {}, "", "ID,PX,STAT,", "STAT,PX,ID,", 0},
      // The ESC between two lines is the idle ESC: ABORT, and no more lines.
      {"ESC in the second line", "ID\nPX\nSTAT\n", {}, "PX", "ID,PX,ABORT,", "PX,ID,", 0},
      {"a long paste, declined", hundredAndOne, ui::MessageBoxAnswer::Declined, "", "", "", 1},
      {"a long paste, accepted", hundredAndOne, ui::MessageBoxAnswer::Accepted, "", ids, ids, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Station s;
    std::size_t asked = 0;
    s.gui.messageBoxResponder = [&](const ui::MessageBoxRequest&) { return ++asked, c.answer; };
    if (*c.escAfter) s.EscAfter(c.escAfter, 1);
    s.gui.SetChecked({app::kMainForm, app::tmain::kRecordHistory}, true);
    const std::size_t before = s.gui.Items({app::kMainForm, app::tmain::kHistory}).size();
    s.Enter(c.pasted);
    const Strings history = s.gui.Items({app::kMainForm, app::tmain::kHistory});
    ASSERT_GE(history.size(), before);
    EXPECT_EQ(Joined(s.hid->sent, s.hid->sent.size()), c.sent);
    EXPECT_EQ(Joined(history, history.size() - before), c.history);
    EXPECT_EQ(asked, c.asked);
  }
}

const ui::ControlRef kDisplay{kMainForm, tmain::kDisplay};

// A choice in the menu acts at once and is remembered for the next start; with everything off
// again the display is as it always was. The clock: tests/ui/qt and the test below.
TEST(DisplayOptions, TheMenusChoicesActAndAreRemembered) {
  const struct {
    ui::TimeStampChoice stamps;
    bool log;
    const char* file;
    const char* entry;  // a regular expression for the entry of "PX"
  } cases[] = {
      {ui::TimeStampChoice::SincePrevious, true, "session_log=on\ntime_stamps=since\n",
       R"(\+\d+\.\d{3}  >> PX[\s\S]*)"},
      {ui::TimeStampChoice::Off, false, "session_log=off\ntime_stamps=off\n", R"( >> PX[\s\S]*)"},
  };
  Station plain;
  plain.Enter("PX");
  const std::string unstamped = plain.Display();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Station s;
    ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppConfig/Display.cfg", "# mine\n"));
    s.gui.ChooseDisplayOptions(kDisplay, {c.stamps, c.log});
    while (s.gui.PendingEvents()) s.gui.DoEvents();
    EXPECT_EQ(s.Read("AppConfig/Display.cfg"), std::string("# mine\n") + c.file);
    EXPECT_EQ(s.application->SessionLogOn(), c.log);
    s.Enter("PX");
    EXPECT_TRUE(std::regex_match(s.Display(), std::regex(c.entry))) << s.Display();
    EXPECT_TRUE(c.stamps != ui::TimeStampChoice::Off || s.Display() == unstamped) << s.Display();
    // The next start has them, and so has the menu.
    Station next({}, 0, {}, [&](const TestFolder& f) {
      EXPECT_TRUE(
          platform::WriteFileAtomic(f / "AppConfig/Display.cfg", s.Read("AppConfig/Display.cfg")));
    });
    EXPECT_EQ(next.gui.GetDisplayOptions(kDisplay), (ui::DisplayOptions{c.stamps, c.log}));
    EXPECT_EQ(next.application->SessionLogOn(), c.log);
  }
}

// Lines of the file it cannot use are named on the display; the rest holds.
TEST(DisplayOptions, LinesThatCannotBeUsedAreNamed) {
  Station s({}, 0, {}, [](const TestFolder& f) {
    EXPECT_TRUE(platform::WriteFileAtomic(f / "AppConfig/Display.cfg",
                                          "session_log=maybe\ntime_stamps=clock\ncolour=red\n"));
  });
  EXPECT_NE(s.Display().find("line 1: \"session_log=maybe\""), std::string::npos) << s.Display();
  EXPECT_NE(s.Display().find("line 3: \"colour=red\": unknown"), std::string::npos);
  EXPECT_EQ(s.gui.GetDisplayOptions(kDisplay),
            (ui::DisplayOptions{ui::TimeStampChoice::Clock, false}));
}

// The live plot's feed: which replies are samples, timed from the first.
TEST(PlotFeed, OnlyAWholeFiniteDecimalNumberIsASample) {
  const std::pair<const char*, double> numbers[] = {
      {"123", 123},   {" -12.5\r\n", -12.5},
      {"+.5", 0.5},   {"5.", 5},
      {"1E+06", 1e6}, {"0e400", 0},
      {"1e-400", 0},  {"123456789012345678901234567890", 1.2345678901234568e29}};
  for (const auto& [reply, value] : numbers) {
    const app::PlotValue read = app::ReadPlotValue(reply);
    EXPECT_EQ(std::pair(read.reading, read.value), std::pair(PlotReading::Number, value)) << reply;
  }
  for (const char* reply : {"", "OK", "?BUSY", "12abc", "1,5", "1e", "X1F", "-"})
    EXPECT_EQ(app::ReadPlotValue(reply).reading, PlotReading::NotANumber) << reply;
  for (const char* reply : {"NAN", "-inf", "Infinity", "1e400", "-9e99999999999999999999"})
    EXPECT_EQ(app::ReadPlotValue(reply).reading, PlotReading::Unplottable) << reply;
  // A reply of a thousand digits costs no more than its length.
  EXPECT_EQ(app::ReadPlotValue(std::string(1000, '9')).reading, PlotReading::Unplottable);
}

TEST(PlotFeed, RepliedNumbersBecomeSamplesTimedFromTheFirst) {
  double now = 100;
  app::PlotFeed feed([&now] { return now; });
  using Exchange = std::tuple<double, std::string_view, std::string_view>;  // at, command, reply
  for (auto [at, command, reply] :
       {Exchange{100, "PX", "(SERIAL Timeout)"}, Exchange{100, "ID", "HLV-1"},
        Exchange{101, "PX", "10"}, Exchange{101.5, "PX", "NAN"}, Exchange{101.5, "PS", "250"},
        Exchange{103, "PX", "30"}}) {
    now = at;
    const bool replied = reply[0] != '(';  // the time-out is none
    feed.OnExchange({command, reply, "", 1, replied, !replied, {}, 0});
  }
  const ui::PlotData& data = *feed.Data();
  ASSERT_EQ(data.Series().size(), 2u);
  const ui::PlotSeries& px = *data.Find("PX");
  ASSERT_EQ(px.Size(), 2u);
  EXPECT_EQ(std::pair(px.At(0), px.At(1)), std::pair(ui::PlotPoint{0, 10}, ui::PlotPoint{2, 30}));
  EXPECT_EQ(data.Find("PS")->At(0), (ui::PlotPoint{0.5, 250}));
  EXPECT_EQ(data.Unplottable(), 1u);
}

// Ctrl+G opens the window on the station's samples (the display's menu: tests/ui/qt).
TEST(PlotFeed, TheKeyOpensThePlotOfTheRun) {
  testing_support::Station s;
  s.hid->answer = [](const std::string& command) { return command == "PX" ? "42" : "OK"; };
  s.Enter("PX,ID");
  s.gui.PressKey(app::kMainForm, 'G', true);
  while (s.gui.PendingEvents()) s.gui.DoEvents();
  EXPECT_EQ(s.gui.plotWindowOpened, 1);
  ASSERT_EQ(s.gui.plotWindow, s.application->PlotData());
  ASSERT_EQ(s.gui.plotWindow->Series().size(), 1u);
  EXPECT_EQ(s.gui.plotWindow->Find("PX")->At(0).value, 42);
}

}  // namespace

#include "app/application.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "app/gui/headless_gui.h"
#include "app/main_form.h"
#include "platform/files.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

using app::kMainForm;
using testing_support::FakeTransport;
namespace tmain = app::tmain;
namespace event = app::gui::event;

// A started application with fake links of all three kinds.
struct Station {
  testing_support::TestFolder folder;
  app::gui::HeadlessGui gui;
  std::shared_ptr<FakeTransport> hid = std::make_shared<FakeTransport>();
  std::shared_ptr<FakeTransport> usb = std::make_shared<FakeTransport>();
  std::shared_ptr<FakeTransport> serial = std::make_shared<FakeTransport>();
  devices::DeviceRegistry registry;
  std::vector<std::string> messages;  // what each SPMSGBOX showed
  std::unique_ptr<app::Application> application;

  Station(std::vector<std::string> hidEntries = {"Board A"},
          std::vector<std::string> usbEntries = {},
          std::vector<std::string> serialEntries = {"Axis 01 {COM1:9600}"}) {
    hid->entries = std::move(hidEntries);
    usb->entries = std::move(usbEntries);
    serial->entries = std::move(serialEntries);
    registry.SetTransport(devices::LinkKind::Hid, hid);
    registry.SetTransport(devices::LinkKind::Usb, usb);
    registry.SetTransport(devices::LinkKind::Serial, serial);
    application =
        std::make_unique<app::Application>(gui, app::DataFolders(folder.Path()), registry);
    application->Dialogs().operatorAnswers =
        [this](const std::string& form, const std::string& shown) -> std::optional<std::string> {
      if (form == app::kMessageForm) messages.push_back(shown);
      return std::string("OK");
    };
    application->Start(app::CommandOptions{});
  }
  std::string Display() { return gui.Text(kMainForm, tmain::kDisplay); }
  void Enter(const std::string& line) {
    gui.SetText(kMainForm, tmain::kCommandEntry, line);
    gui.Click(kMainForm, tmain::kEnterKey);
    while (gui.PendingEvents()) gui.DoEvents();
  }
};

TEST(MainWindow, StartsWithVersionCaptionRichDisplayAndDeviceList) {
  Station s({"Board A", "Board B"}, {"ZDK-X07" + std::string(46, ' ') + "[0]"});
  EXPECT_EQ(s.gui.Text(kMainForm, 0), "Halvorn Terminal 2.49-P");
  EXPECT_EQ(
      s.application->DeviceList(),
      (std::vector<std::string>{"Board A", "Board B", "ZDK-X07" + std::string(46, ' ') + "[0]",
                                "Axis 01 {COM1:9600}"}));
  EXPECT_EQ(s.application->SelectedDevice(), "Board A");
  EXPECT_EQ(s.application->Engine().Display().Kind(), engine::DisplayKind::Rich);
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kDelayBar), "100%GREEN");
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kDisplayMode), "=");
  EXPECT_FALSE(s.gui.Enabled(kMainForm, tmain::kFifo));
  EXPECT_EQ(s.gui.Accelerators(kMainForm).size(), 24u);
  EXPECT_EQ(s.application->Engine().State().BitMask, -1);
  // The data folders exist.
  EXPECT_TRUE(platform::DirectoryExists(s.folder / "AppPrograms/AutoControl/AutoResults"));
}

TEST(MainWindow, EnterRunsTheEntryOnTheSelectedDeviceAndClosesTheLink) {
  Station s;
  s.gui.SelectItem(kMainForm, tmain::kDeviceSelector, 1);
  s.serial->answer = [](const std::string& c) { return c == "PX" ? std::string("1234") : "OK"; };
  s.Enter("  LSPD=500 ,PX  ");
  EXPECT_EQ(s.serial->sent, (std::vector<std::string>{"LSPD=500", "PX"}));
  EXPECT_EQ(s.serial->opened, (std::vector<std::string>{"Axis 01 {COM1:9600}"}));
  EXPECT_EQ(s.serial->opens, 1);
  EXPECT_EQ(s.serial->closes, 1);
  EXPECT_TRUE(s.hid->sent.empty());
  EXPECT_NE(s.Display().find(" >> PX\r\n      Reply: 1234"), std::string::npos) << s.Display();
  EXPECT_EQ(s.application->Shell().BusyFlag, 0);
  // Back in the normal state: busy controls visible, ESC label hidden.
  EXPECT_TRUE(s.gui.Visible(kMainForm, tmain::kCommandEntry));
  EXPECT_FALSE(s.gui.Visible(kMainForm, tmain::kEscLabel));
  EXPECT_EQ(s.gui.FocusedControl(), std::make_pair(std::string(kMainForm), tmain::kCommandEntry));
}

TEST(MainWindow, TheWindowIsBusyWhileALineRuns) {
  Station s;
  bool checked = false;
  s.hid->afterSend = [&](const std::string&) {
    checked = true;
    EXPECT_EQ(s.application->Shell().BusyFlag, 1);
    EXPECT_FALSE(s.gui.Visible(kMainForm, tmain::kCommandEntry));
    EXPECT_FALSE(s.gui.Enabled(kMainForm, tmain::kDeviceSelector));
    EXPECT_TRUE(s.gui.Visible(kMainForm, tmain::kEscLabel));
    EXPECT_TRUE(s.gui.Visible(kMainForm, tmain::kCommandBar));
    int text, back;
    s.gui.Colours(kMainForm, 0, text, back);
    EXPECT_EQ(back, 21);
    // A close request is refused while busy.
    EXPECT_TRUE(s.gui.Ask({kMainForm, 0, event::kCloseRequest, 0}).refuse);
  };
  s.Enter("ID");
  EXPECT_TRUE(checked);
  int text, back;
  s.gui.Colours(kMainForm, 0, text, back);
  EXPECT_EQ(back, 36);
}

TEST(MainWindow, ClearAfterSendEmptiesTheEntry) {
  Station s;
  s.Enter("ID");
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kCommandEntry), "ID");
  s.gui.SetChecked(kMainForm, tmain::kClearAfterSend, true);
  s.Enter("ID");
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kCommandEntry), "");
}

TEST(MainWindow, ADeviceThatCannotBeOpenedIsReportedAndNothingIsShown) {
  Station s;
  s.hid->openSucceeds = false;
  s.Enter("PX");
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_EQ(s.messages[0], "Device Not Available!: Board A\r\n");
  const app::DialogValues& shown = s.application->Dialogs().Values();
  EXPECT_EQ(shown.MessageCaption, "Device Not Available!//40");
  EXPECT_EQ(shown.MessageButton, "OK//20");
  EXPECT_EQ(shown.MessageFontSlot, 21);
  // The colour overrides are reset after the report.
  EXPECT_EQ(shown.MessageBoxColourOverrides, (std::array<int, 3>{-1, -1, -1}));
  EXPECT_FALSE(s.gui.FormLoaded(app::kMessageForm));
  EXPECT_TRUE(s.hid->sent.empty());
  EXPECT_EQ(s.Display(), "");
  EXPECT_EQ(s.application->Shell().DeviceNotAvailableCount, 1);
}

TEST(MainWindow, NoDeviceOrNoLineSendsNothingAndReportsNothing) {
  Station s({}, {}, {});
  EXPECT_TRUE(s.application->DeviceList().empty());
  s.Enter("PX");
  EXPECT_TRUE(s.messages.empty());
  Station t;
  t.Enter("   ");
  EXPECT_TRUE(t.hid->sent.empty());
  EXPECT_EQ(t.hid->opens, 0);
}

TEST(MainWindow, EscWhileIdleSendsAbortWithoutPumping) {
  Station s;
  s.gui.Click(kMainForm, tmain::kEscKey);
  s.gui.DoEvents();
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"ABORT"}));
  EXPECT_EQ(s.application->Script().State().EscFlag, 1);
  EXPECT_EQ(s.application->Script().State().LoopActive, 0);
  EXPECT_EQ(s.application->Engine().State().PumpSuppressed, 0);
  EXPECT_EQ(s.application->Engine().State().AbortRequest, 0);
}

TEST(MainWindow, EscDuringALineStopsItAndSendsAbort) {
  Station s;
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "B") s.gui.Click(kMainForm, tmain::kEscKey);  // reaches the engine at its next pump
  };
  s.Enter("A,B,C,D,E");
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"A", "B", "ABORT"}));
  EXPECT_NE(s.Display().find("ABORT (ESCAPED)"), std::string::npos);
}

TEST(MainWindow, EnterWhileALineRunsIsIgnored) {
  Station s;
  s.hid->afterSend = [&](const std::string& c) {
    if (c == "A") s.gui.Click(kMainForm, tmain::kEnterKey);
  };
  s.Enter("A,B");
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"A", "B"}));
}

TEST(MainWindow, DisplayModeButtonCyclesThroughFiveModes) {
  Station s;
  const char* captions[] = {"{{BIG_DOUBLE_RECT}}", "..", "!", "!'", "="};
  for (int i = 0; i < 5; ++i) {
    s.gui.Click(kMainForm, tmain::kDisplayMode);
    s.gui.DoEvents();
    EXPECT_EQ(s.gui.Text(kMainForm, tmain::kDisplayMode), captions[i]);
    EXPECT_EQ(s.application->Engine().State().ShowMode, (i + 1) % 5 + 1);
  }
  s.gui.SetText(kMainForm, tmain::kDisplayMode, "?");
  s.gui.Click(kMainForm, tmain::kDisplayMode);
  s.gui.DoEvents();
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kDisplayMode), "=");
}

TEST(DeviceSlots, ASlotIsAPositionInTheCurrentList) {
  Station s({"Board A"}, {}, {"Axis 01 {COM1:9600}"});
  s.application->SelectDeviceSlot(3);  // only two entries: nothing selected, slot kept
  EXPECT_EQ(s.application->Shell().CurrentSlot, 2);
  EXPECT_TRUE(s.messages.empty());
  EXPECT_EQ(s.application->SelectedDevice(), "");
  s.application->SelectDeviceSlot(2);
  EXPECT_EQ(s.application->SelectedDevice(), "Axis 01 {COM1:9600}");
  // After a refresh the same position is selected, whatever holds it now.
  s.hid->entries = {"Board A", "Board B"};
  s.application->RefreshDevices();
  EXPECT_EQ(s.application->SelectedDevice(), "Board B");
  // The refresh button selects the first entry instead.
  s.gui.Click(kMainForm, tmain::kRefreshDevices);
  s.gui.DoEvents();
  EXPECT_EQ(s.application->SelectedDevice(), "Board A");
  EXPECT_EQ(s.application->DeviceList().size(), 3u);
}

TEST(DeviceSlots, EntriesAreClassifiedByTheirText) {
  Station s({"zdk-lower"}, {}, {"ZDK-1 {COM2:9600}"});
  s.Enter("ID");
  EXPECT_EQ(s.hid->sent.size(), 1u);  // lower-case "zdk-" is a HID board name
  s.application->SelectDeviceSlot(2);
  s.Enter("ID");
  EXPECT_EQ(s.serial->sent.size(), 1u);  // "{" wins over "ZDK-"
  EXPECT_TRUE(s.usb->sent.empty());
}

TEST(MainWindow, RecordHistoryEnablesFifoThroughAPostedEvent) {
  Station s;
  s.gui.Click(kMainForm, tmain::kRecordHistory);
  s.gui.DoEvents();
  EXPECT_FALSE(s.gui.Enabled(kMainForm, tmain::kFifo));  // the posted event is still pending
  s.gui.DoEvents();
  EXPECT_TRUE(s.gui.Enabled(kMainForm, tmain::kFifo));
}

TEST(MainWindow, SaveDisplayOffersTheLastNameAndKeepsTheOldFileOnFailure) {
  Station s;
  s.Enter("ID");
  std::vector<app::gui::FileDialogRequest> asked;
  std::string answer = s.folder / "TermDisplay/run1.txt";
  s.gui.fileDialogResponder = [&](const app::gui::FileDialogRequest& r) {
    asked.push_back(r);
    return answer;
  };
  s.gui.Click(kMainForm, tmain::kSaveDisplay);
  s.gui.DoEvents();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].defaultName, "myfile.txt");
  EXPECT_EQ(asked[0].title, "Save Terminal");
  EXPECT_EQ(asked[0].folder, s.folder / "TermDisplay");
  std::string saved;
  ASSERT_TRUE(platform::ReadFile(answer, saved));
  EXPECT_EQ(saved, s.Display());
  // A second save offers the chosen name; a failing one reports and keeps nothing broken.
  answer = s.folder / "TermDisplay/missing-folder/run2.txt";
  s.gui.Click(kMainForm, tmain::kSaveDisplay);
  s.gui.DoEvents();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].defaultName, "run1.txt");
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_NE(s.messages[0].find("run2.txt"), std::string::npos);
}

TEST(MainWindow, ClearDisplayEmptiesItAndTheCounter) {
  Station s;
  s.Enter("ID");
  EXPECT_NE(s.Display(), "");
  s.gui.Click(kMainForm, tmain::kClearDisplay);
  s.gui.DoEvents();
  EXPECT_EQ(s.Display(), "");
  EXPECT_EQ(s.gui.Text(kMainForm, tmain::kByteCounter), "Bytes: 0");
}

}  // namespace

namespace {

TEST(MainWindow, TheChosenLanguageTranslatesTheMessageCaption) {
  // A German language file in the data folder and lang.ini choosing it.
  testing_support::TestFolder folder;
  app::DataFolders folders(folder.Path());
  folders.EnsureDataFolders();
  std::string german;
  ASSERT_TRUE(platform::ReadFile(
      std::string(std::getenv("HALVORN_BIN_DIR") ? std::getenv("HALVORN_BIN_DIR") : ".") +
          "/demo-data/AppLanguages/terminal_de.lng",
      german));
  ASSERT_TRUE(platform::WriteFileAtomic(folders.DataPath("AppLanguages\\terminal_de.lng"), german));
  ASSERT_TRUE(platform::WriteFileAtomic(folders.DataPath("lang.ini"), "deutsch"));
  app::gui::HeadlessGui gui;
  devices::DeviceRegistry registry;
  auto hid = std::make_shared<testing_support::FakeTransport>();
  hid->entries = {"Board A"};
  hid->openSucceeds = false;
  registry.SetTransport(devices::LinkKind::Hid, hid);
  app::Application application(gui, folders, registry);
  std::vector<std::string> shown;
  application.Dialogs().operatorAnswers = [&](const std::string&, const std::string& text) {
    shown.push_back(text);
    return std::optional<std::string>("OK");
  };
  application.Start(app::CommandOptions{});
  EXPECT_EQ(application.Languages().LanguageIndex(), 1);
  EXPECT_EQ(gui.Items(app::kMainForm, app::tmain::kLanguageSelector),
            (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(gui.SelectedItem(app::kMainForm, app::tmain::kLanguageSelector), 1);
  application.ExecuteOnSelectedDevice("PX");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind(application.Translate("Device Not Available!//40") + ": Board A", 0),
            0u);
  EXPECT_NE(application.Translate("Device Not Available!//40"), "Device Not Available!");
  // Choosing English in the selector removes the stored choice.
  gui.SelectItem(app::kMainForm, app::tmain::kLanguageSelector, 0);
  gui.Inject({app::kMainForm, app::tmain::kLanguageSelector, app::gui::event::kSelectionChange, 0});
  gui.DoEvents();
  EXPECT_EQ(application.Languages().LanguageIndex(), 0);
  EXPECT_FALSE(platform::FileExists(folders.DataPath("lang.ini")));
}

}  // namespace

namespace {

TEST(ProgramKeys, CtrlF1RunsTheStoredProgramOnTheSelectedDevice) {
  Station s;
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test01.prg", "PX,5\r\nID\r\n"));
  s.hid->answer = [](const std::string& c) { return c == "PX" ? std::string("4") : "OK"; };
  s.gui.Click(kMainForm, app::tmain::kProgramKeyFirst);
  while (s.gui.PendingEvents()) s.gui.DoEvents();
  EXPECT_EQ(s.hid->sent, (std::vector<std::string>{"PX", "ID"}));
  EXPECT_NE(s.Display().find("!! Expected: 5"), std::string::npos) << s.Display();
  EXPECT_EQ(s.application->PlainCapture().FailCount, 1);
  EXPECT_FALSE(s.application->Engine().State().ExpectedValuesPresent);
  EXPECT_TRUE(s.gui.Visible(kMainForm, app::tmain::kCommandEntry));
}

TEST(ProgramKeys, AProgramWithoutADeviceLeavesTheWindowUsable) {
  Station s({}, {}, {});
  ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppPrograms/test02.prg", "PX,5\r\n"));
  s.gui.Click(kMainForm, app::tmain::kProgramKeyFirst + 1);
  while (s.gui.PendingEvents()) s.gui.DoEvents();
  EXPECT_TRUE(s.gui.Visible(kMainForm, app::tmain::kCommandEntry));
  EXPECT_FALSE(s.gui.Visible(kMainForm, app::tmain::kProgramBar));
  EXPECT_FALSE(s.application->Engine().State().ExpectedValuesPresent);
  // The next typed line is not judged against the program's replies.
  EXPECT_EQ(s.application->Programs().ProgramCommandLine, "");
}

}  // namespace

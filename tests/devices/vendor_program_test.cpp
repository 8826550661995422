// The access-library links inside the whole program: discovery order across
// the three kinds of link, command lines on each kind, and the version label.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/gui/headless_gui.h"
#include "app/links.h"
#include "app/main_form.h"
#include "app/program.h"
#include "devices/vendor/hid_transport.h"
#include "platform/files.h"
#include "serial_pty_peer.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"
#include "vendor_standin.h"

namespace {

using testing_support::Standin;

const std::string kBlanks(46, ' ');

// halvorn-terminal --headless with the real links: the stand-in libraries
// beside the program and a serial controller on a pseudo-terminal.
class ProgramWithSimulators : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Ready());
    peer.Serve([](const std::string& frame) {
      return frame == "@01ID\r" ? std::string("SERIAL 01\r") : std::string("OK\r");
    });
    ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig"));
    ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Ports.cfg",
                                          "Axis 01 {" + peer.Path() + ":9600}\r\n"));
    hid.Do("devices 2");
    usb.Do("devices 1");
  }

  int Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--headless", "--data-root", folder.Path()});
    out.str("");
    std::istringstream in;
    app::ProgramIo io{in, out, err, -1};
    return app::RunProgram(arguments, io, app::InstallRealLinks);
  }

  Standin hid{testing_support::HidStandinPath()};
  Standin usb{testing_support::UsbStandinPath()};
  testing_support::TestFolder folder;
  serial_test::PtyPeer peer;
  std::ostringstream out, err;
};

TEST_F(ProgramWithSimulators, ListsHidBoardsThenUsbControllersThenSerialEntries) {
  EXPECT_EQ(Run({"--list-devices"}), app::kExitOk);
  EXPECT_EQ(out.str(), "Torvane Sim Board 1\nTorvane Sim Board 2\nZDK-SIM4-01" + kBlanks +
                           "[0]\nAxis 01 {" + peer.Path() + ":9600}\n");
}

TEST_F(ProgramWithSimulators, RunsACommandLineOnEachKindOfLink) {
  struct Case {
    const char* device;
    std::string identity;
  };
  const Case cases[] = {
      {"1", "Torvane Sim Board 2"},
      {"2", "Zendrik-SIM4"},
      {"3", "SERIAL 01"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({"--device", c.device, "--exec", "ID"}), app::kExitOk) << err.str();
    EXPECT_NE(out.str().find("Reply: " + c.identity + " ("), std::string::npos) << out.str();
  }
  EXPECT_EQ(Run({"--device", "0", "--exec", "HSPD=6100 , HSPD"}), app::kExitOk);
  EXPECT_NE(out.str().find("Reply: 6100 ("), std::string::npos) << out.str();
}

TEST_F(ProgramWithSimulators, ABoardThatIsGoneIsNotAvailable) {
  hid.Do("result OpenTorvaneHID 0");
  EXPECT_EQ(Run({"--device", "0", "--exec", "ID"}), app::kExitDeviceNotAvailable);
  EXPECT_NE(err.str().find("Device Not Available!"), std::string::npos) << err.str();
}

// The main window's version label once the window has started.
struct Window {
  explicit Window(std::shared_ptr<devices::Transport> hidLink) {
    registry.SetTransport(devices::LinkKind::Hid, std::move(hidLink));
    application =
        std::make_unique<app::Application>(gui, app::DataFolders(folder.Path()), registry);
    application->Start(app::CommandOptions{});
  }
  std::string Label() { return gui.Text(app::kMainForm, app::tmain::kVersionLabel); }
  std::pair<int, int> Colours() {
    int text = 0, back = 0;
    gui.Colours(app::kMainForm, app::tmain::kVersionLabel, text, back);
    return {text, back};
  }

  testing_support::TestFolder folder;
  app::gui::HeadlessGui gui;
  devices::DeviceRegistry registry;
  std::unique_ptr<app::Application> application;
};

TEST(VersionLabel, ShowsTheBoardLibrarysVersion) {
  Standin standin(testing_support::HidStandinPath());
  standin.Do("version 4 11 30517");
  auto library = devices::LoadHidLibrary(testing_support::HidStandinPath());
  Window window(std::make_shared<devices::HidTransport>(library));
  EXPECT_EQ(window.Label(), "4.11.30517");
  EXPECT_EQ(window.Colours(), std::make_pair(15, 37));  // as the window table has it
}

TEST(VersionLabel, AskForANewerLibraryWhenTheVersionIsUnknown) {
  Standin standin(testing_support::HidStandinWithoutVersionPath());
  auto library = devices::LoadHidLibrary(testing_support::HidStandinWithoutVersionPath());
  ASSERT_NE(library, nullptr);
  const std::shared_ptr<devices::Transport> links[] = {
      std::make_shared<devices::HidTransport>(library),
      std::make_shared<devices::HidTransport>(nullptr),  // no board library at all
      std::make_shared<testing_support::FakeTransport>(),
  };
  for (const auto& link : links) {
    Window window(link);
    EXPECT_EQ(window.Label(), "Update DLL !");
    EXPECT_EQ(window.Colours(), std::make_pair(15, 12));
  }
}

}  // namespace

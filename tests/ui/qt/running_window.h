// The real application on the Qt backend (offscreen), started on a data
// folder of its own with one HID board, its main window active: the base of
// the tests that drive the window as an operator would.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "platform/data_folders.h"
#include "screens/main_form.h"
#include "station/application.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"
#include "ui/qt/qt_gui.h"

namespace ui::qt {

class RunningWindow : public ::testing::Test {
 protected:
  RunningWindow() {
    hid->entries = {"Board A"};
    registry.SetTransport(devices::LinkKind::Hid, hid);
    application =
        std::make_unique<app::Application>(gui, platform::DataFolders(folder.Path()), registry);
    application->Start();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Main()));
    gui.DoEvents();
  }

  FormWindow* Main() { return gui.FormWidget(app::kMainForm); }

  testing_support::TestFolder folder;
  QtGui gui;
  std::shared_ptr<testing_support::FakeTransport> hid =
      std::make_shared<testing_support::FakeTransport>();
  devices::DeviceRegistry registry;
  std::unique_ptr<app::Application> application;
};

}  // namespace ui::qt

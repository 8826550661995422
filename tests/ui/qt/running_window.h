// The real application on Qt (offscreen), on a data folder of its own with one HID board, its
// main window active: the base of the tests that drive the window as an operator would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <memory>

#include "platform/data_folders.h"
#include "screens/main_form.h"
#include "station/application.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"
#include "ui/qt/qt_gui.h"

namespace ui::qt {

// Triggers the entry `caption` of `viewport`'s context menu from inside the menu's own loop.
inline void ChooseFromContextMenu(QWidget* viewport, const QString& caption) {
  QTimer::singleShot(0, [caption] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* action : menu->findChildren<QAction*>())
      if (action->text() == caption) {
        action->trigger();
        break;
      }
    menu->close();
  });
  QContextMenuEvent open(QContextMenuEvent::Mouse, QPoint(5, 5),
                         viewport->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(viewport, &open);
}

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
  void Pump() {
    for (int i = 0; i < 5; ++i) gui.DoEvents();
  }

  testing_support::TestFolder folder;
  QtGui gui;
  std::shared_ptr<testing_support::FakeTransport> hid =
      std::make_shared<testing_support::FakeTransport>();
  devices::DeviceRegistry registry;
  std::unique_ptr<app::Application> application;
};

}  // namespace ui::qt

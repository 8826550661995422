// An application started with a script file, on virtual time: the script
// timer ticks without waiting, the operator answers from a queue, the local
// clock is the test's, and a fake HID board answers every command.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/gui/headless_gui.h"
#include "app/main_form.h"
#include "platform/files.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace testing_support {

using app::kMainForm;
namespace tmain = app::tmain;

struct ScriptStation {
  testing_support::TestFolder folder;
  app::gui::HeadlessGui gui;
  std::shared_ptr<FakeTransport> hid = std::make_shared<FakeTransport>();
  devices::DeviceRegistry registry;
  std::unique_ptr<app::Application> application;
  std::deque<std::string> answers;  // operator answers, in order
  std::vector<std::string> shown;   // what each dialog showed
  std::vector<std::string> forms;   // which dialog
  std::tm now{};
  int ended = 0;

  explicit ScriptStation(const std::string& script, int scriptNumber = 0) {
    platform::DataFolders folders(folder.Path());
    folders.EnsureDataFolders();
    std::string name = scriptNumber ? "autocontrol_" + std::to_string(scriptNumber) + ".txt"
                                    : std::string("autocontrol.txt");
    EXPECT_TRUE(
        platform::WriteFileAtomic(folders.DataPath("AppPrograms\\AutoControl\\" + name), script));
    hid->entries = {"Board A"};
    registry.SetTransport(devices::LinkKind::Hid, hid);
    application = std::make_unique<app::Application>(gui, folders, registry);
    application->Dialogs().operatorAnswers =
        [this](const std::string& form, const std::string& text) -> std::optional<std::string> {
      forms.push_back(form);
      shown.push_back(text);
      if (form == app::kMessageForm) return std::string("OK");
      if (answers.empty()) return std::nullopt;
      std::string a = answers.front();
      answers.pop_front();
      return a;
    };
    now.tm_year = 2026 - 1900;
    now.tm_mon = 2;
    now.tm_mday = 5;
    now.tm_hour = 13;
    now.tm_min = 5;
    application->localTime = [this] { return now; };
    application->onScriptEnded = [this](int result) {
      ended = result;
      gui.Quit(0);
    };
    app::CommandOptions options;
    options.scriptNumber = scriptNumber;
    application->Start(options);
  }
  void Run() { gui.Run(); }
  std::string Display() { return gui.Text(kMainForm, tmain::kDisplay); }
  autocontrol::ScriptState& State() { return application->Script().State(); }
  int FailCount() { return application->PlainCapture().FailCount; }
  std::string Read(const std::string& relative) {
    std::string text;
    EXPECT_TRUE(platform::ReadFile(platform::JoinPath(folder.Path(), relative), text)) << relative;
    return text;
  }
  bool Exists(const std::string& relative) {
    return platform::FileExists(platform::JoinPath(folder.Path(), relative));
  }
  // Presses ESC once `command` has been sent `times` times.
  void EscAfter(const std::string& command, int times) {
    auto count = std::make_shared<int>(0);
    hid->afterSend = [this, command, times, count](const std::string& c) {
      if (c == command && ++*count == times) gui.Click(kMainForm, tmain::kEscKey);
    };
  }
};

}  // namespace testing_support

// A started application on virtual time with fake links of all three kinds: the script timer
// ticks without waiting, the operator answers dialogs from a queue, the local clock is the
// test's. With a script the application starts in AutoControl mode.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/files.h"
#include "screens/main_form.h"
#include "station/application.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"
#include "ui/headless/headless_gui.h"

namespace testing_support {

// Where a script's automatic saves go, relative to the data folder.
inline const std::string kAuto = "AppPrograms/AutoControl/AutoResults/";

using app::kMainForm;
namespace tmain = app::tmain;
using Strings = std::vector<std::string>;

struct Links {
  std::vector<std::string> hid = {"Board A"}, usb = {}, serial = {};
};

struct Station : app::Surroundings, app::StationListener, app::OperatorAnswers {
  TestFolder folder;
  ui::headless::HeadlessGui gui;
  std::shared_ptr<FakeTransport> hid = std::make_shared<FakeTransport>();
  std::shared_ptr<FakeTransport> usb = std::make_shared<FakeTransport>();
  std::shared_ptr<FakeTransport> serial = std::make_shared<FakeTransport>();
  devices::DeviceRegistry registry;
  std::unique_ptr<app::Application> application;
  std::deque<std::string> answers;  // operator answers, in order; none left: ESC
  std::vector<std::string> forms;   // the dialogs shown, in order
  std::vector<std::string> shown;   // what each showed
  // When set, answers instead of `answers` (a test that answers by what a dialog shows).
  std::function<std::optional<std::string>(const std::string& form, const std::string& shown)>
      answerBy;
  std::tm now{};  // the local clock
  // How the script ended (Idle: it has not)
  autocontrol::StepResult ended = autocontrol::StepResult::Idle;
  // Starts the programs of [SHELLAPP]; by default nothing starts.
  std::function<bool(const Strings& argv, bool wait)> startProgram = [](const Strings&, bool) {
    return false;
  };

  // `prepare` runs on the data folder before the application starts.
  explicit Station(const std::string& script = {}, int scriptNumber = 0, Links links = {},
                   const std::function<void(const TestFolder&)>& prepare = nullptr) {
    platform::DataFolders folders(folder.Path());
    folders.EnsureDataFolders();
    if (!script.empty()) {
      const std::string name = scriptNumber ? "autocontrol_" + std::to_string(scriptNumber) + ".txt"
                                            : std::string("autocontrol.txt");
      EXPECT_TRUE(
          platform::WriteFileAtomic(folders.DataPath("AppPrograms\\AutoControl\\" + name), script));
    }
    hid->entries = links.hid;
    usb->entries = links.usb;
    serial->entries = links.serial;
    registry.SetTransport(devices::LinkKind::Hid, hid);
    registry.SetTransport(devices::LinkKind::Usb, usb);
    registry.SetTransport(devices::LinkKind::Serial, serial);
    application = std::make_unique<app::Application>(gui, folders, registry, this);
    application->SetOperatorAnswers(this);
    std::tie(now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour, now.tm_min) =
        std::tuple(126, 2, 5, 13, 5);  // 5 March 2026, 13:05
    application->AddListener(*this);
    if (prepare) prepare(folder);
    application->Start({.scriptNumber = scriptNumber});
  }
  void Run() { gui.Run(); }
  std::tm LocalTime() override { return now; }
  std::optional<std::string> Answer(const std::string& form, const std::string& text) override {
    forms.push_back(form);
    shown.push_back(text);
    if (answerBy) return answerBy(form, text);
    if (form == app::kMessageForm) return std::string("OK");
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
  bool StartProgram(const Strings& argv, bool wait) override { return startProgram(argv, wait); }
  void OnScriptEnded(autocontrol::StepResult result) override {
    ended = result;
    gui.Quit(0);
  }
  // Runs `line` as the Enter key runs the command entry.
  void Enter(const std::string& line) {
    gui.SetText({kMainForm, tmain::kCommandEntry}, line);
    Press(tmain::kEnterKey);
  }
  // A click (or an accelerator) and everything it causes.
  void Press(int control) {
    gui.Click({kMainForm, control});
    while (gui.PendingEvents()) gui.DoEvents();
  }
  std::string Display() { return application->DisplayText(); }
  int Background() { return gui.Colours({kMainForm, 0}).back; }
  const autocontrol::ScriptState& State() const { return application->Script().State(); }
  const records::ResultFiles& Results() const { return application->Results(); }
  int FailCount() { return application->PlainCapture().FailCount; }
  std::string Read(const std::string& relative) { return testing_support::Read(folder / relative); }
  bool Exists(const std::string& relative) { return platform::FileExists(folder / relative); }
  // Presses ESC once `command` has been sent `times` times.
  void EscAfter(const std::string& command, int times) {
    auto count = std::make_shared<int>(0);
    hid->afterSend = [this, command, times, count](const std::string& c) {
      if (c == command && ++*count == times) gui.Click({kMainForm, tmain::kEscKey});
    };
  }
};

}  // namespace testing_support

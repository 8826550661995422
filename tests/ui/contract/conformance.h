// What every backend of ui/contract/gui.h must get right, driven by the backend's own hands.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ui/contract/gui.h"

namespace gui_conformance {

// A backend and hands that act as an operator, each action through its event loop.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual ui::Gui& Gui() = 0;
  virtual void Click(const ui::ControlRef& control) = 0;
  // A key pressed while `form` is active: it reaches what has the focus.
  virtual void PressKey(const std::string& form, int keyCode, bool control = false) = 0;
  virtual void Pick(const ui::ControlRef& control, int index) = 0;
  virtual void RequestClose(const std::string& form) = 0;  // the close button
  // Chooses in a multi-line box's context menu the one option that differs from the box's.
  virtual void ChooseDisplayOptions(const ui::ControlRef& control,
                                    const ui::DisplayOptions& options) = 0;
  // Has the control painted, as the window system does when it shows it.
  virtual void Paint(const ui::ControlRef& control) = 0;
};

// Whether `gui`'s Now() moved with the time of day across a Delay (a virtual clock jumps).
bool NowRunsWithTheTimeOfDay(ui::Gui& gui);

struct BackendFactory {
  std::string name;
  std::function<std::unique_ptr<Backend>()> make;
};

inline std::string FactoryName(const ::testing::TestParamInfo<BackendFactory>& info) {
  return info.param.name;
}

class GuiConformance : public ::testing::TestWithParam<BackendFactory>, public ui::EventSink {
 protected:
  void SetUp() override { (backend = GetParam().make())->Gui().SetEventSink(this); }
  void TearDown() override { gui().SetEventSink(nullptr); }
  void OnEvent(const ui::Event& e, ui::EventReply& reply) override {
    events.push_back(e);
    if (onEvent) onEvent(e, reply);
  }
  void OnDraw(const ui::DrawRequest& r, ui::Canvas&) override { draws.push_back(r); }
  ui::Gui& gui() { return backend->Gui(); }

  // Drop-down 10 (loads), text box 20 (focus events), check box 30, button 40, owner-drawn
  // label 50, multi-line box 60, label 70 (stretches right, moves down with the form).
  ui::FormSpec TestForm(const std::string& name = "F") const;
  // Loads form "F" and delivers the events of its loading.
  void LoadSettled() { gui().LoadForm(TestForm()), Settle(); }
  // Pumps the event loop until `done` or two seconds of the backend's clock.
  bool RunUntil(const std::function<bool()>& done);
  // Pumps until no event came for a tenth of a second.
  void Settle();
  // The events of the given codes, "form:control/code=value" joined by " ".
  std::string Trace(std::initializer_list<int> codes) const;

  std::unique_ptr<Backend> backend;
  std::vector<ui::Event> events;
  std::vector<ui::DrawRequest> draws;
  std::function<void(const ui::Event&, ui::EventReply&)> onEvent;
};

}  // namespace gui_conformance

// The contract's conformance suite: what every backend of ui/contract/gui.h must
// get right and the application cannot check by itself. A backend's test
// program compiles conformance.cpp and instantiates the suite with hands of
// its own (see headless_conformance.cpp). Waits are bounded by the backend's
// own clock, real or virtual.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ui/contract/gui.h"

namespace gui_conformance {

// A backend under test, and hands that act on it as an operator would; every
// action reaches the application through the backend's event loop.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual ui::Gui& Gui() = 0;
  virtual void Click(const ui::ControlRef& control) = 0;
  // A key pressed while `form` is active: it reaches what has the focus.
  virtual void PressKey(const std::string& form, int keyCode, bool control = false) = 0;
  virtual void Pick(const ui::ControlRef& control, int index) = 0;
  virtual void RequestClose(const std::string& form) = 0;  // the close button
  // Chooses options in a multi-line text box's context menu; the hands
  // change one option a call (the other is as the box has it).
  virtual void ChooseDisplayOptions(const ui::ControlRef& control,
                                    const ui::DisplayOptions& options) = 0;
  // Has the control painted, as the window system does when it shows it.
  virtual void Paint(const ui::ControlRef& control) = 0;
};

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

  // The test form: a drop-down list 10 that loads, a single-line text box 20
  // with focus events, a check box 30, a button 40, an owner-drawn label 50,
  // a multi-line text box 60 and a label 70 that stretches to the right and
  // moves down with the form.
  ui::FormSpec TestForm(const std::string& name = "F") const;
  // Loads form "F" and delivers the events of its loading.
  void LoadSettled();
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

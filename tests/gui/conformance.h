// The contract's conformance suite: what every backend of app/gui/gui.h must
// get right and the application cannot check by itself. One set of tests,
// run once per backend: a backend's test program compiles conformance.cpp
// and instantiates the suite with a factory of its own, e.g.
//
//   INSTANTIATE_TEST_SUITE_P(Qt, GuiConformance,
//                            ::testing::Values(gui_conformance::BackendFactory{
//                                "Qt", [] { return std::make_unique<QtHands>(); }}),
//                            gui_conformance::FactoryName);
//
// Waits are bounded by the backend's own clock, so the suite runs on real
// and on virtual time alike.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/gui.h"

namespace gui_conformance {

// A backend under test and the hands that act on it as an operator would.
// Every action is delivered through the backend's event loop.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual app::gui::Gui& Gui() = 0;
  virtual void Click(const std::string& form, int control) = 0;
  // A key pressed while `form` is active (it reaches what has the focus).
  virtual void PressKey(const std::string& form, int keyCode, bool control = false) = 0;
  virtual void Pick(const std::string& form, int control, int index) = 0;
  // The window's close button.
  virtual void RequestClose(const std::string& form) = 0;
  // The control painted now, as the window system paints it when shown.
  virtual void Paint(const std::string& form, int control) = 0;
};

struct BackendFactory {
  std::string name;
  std::function<std::unique_ptr<Backend>()> make;
};

inline std::string FactoryName(const ::testing::TestParamInfo<BackendFactory>& info) {
  return info.param.name;
}

// Everything the backend reports, in order.
struct Recorder : app::gui::EventSink {
  std::vector<app::gui::Event> events;
  std::vector<app::gui::DrawRequest> draws;
  std::function<void(const app::gui::Event&, app::gui::EventReply&)> onEvent;
  void OnEvent(const app::gui::Event& e, app::gui::EventReply& reply) override {
    events.push_back(e);
    if (onEvent) onEvent(e, reply);
  }
  void OnDraw(const app::gui::DrawRequest& request, app::gui::Canvas&) override {
    draws.push_back(request);
  }
};

class GuiConformance : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override;
  void TearDown() override;
  app::gui::Gui& gui() { return backend->Gui(); }

  // The test form "F" (or another name): a drop-down list 10 that loads, a
  // single-line text box 20 with focus events, a check box 30, a button 40,
  // an owner-drawn label 50, a multi-line text box 60 and a label 70 that
  // stretches with the form.
  app::gui::FormSpec TestForm(const std::string& name = "F") const;
  // Pumps the event loop until `done` or two seconds of the backend's clock.
  bool RunUntil(const std::function<bool()>& done);
  // Pumps until the backend is idle (no event for a tenth of a second).
  void Settle();
  // The events of code `code`, in order.
  std::vector<app::gui::Event> Events(int code) const;

  std::unique_ptr<Backend> backend;
  Recorder sink;
};

}  // namespace gui_conformance

// The conformance suite on the headless backend, on virtual time.
#include "tests/ui/contract/conformance.h"
#include "ui/headless/headless_gui.h"

namespace gui_conformance {
namespace {

class HeadlessHands : public Backend {
 public:
  ui::Gui& Gui() override { return gui_; }
  void Click(const ui::ControlRef& control) override { gui_.Click(control); }
  void PressKey(const std::string& form, int keyCode, bool control) override {
    gui_.PressKey(form, keyCode, control);
  }
  void Pick(const ui::ControlRef& control, int index) override { gui_.Pick(control, index); }
  void RequestClose(const std::string& form) override { gui_.RequestClose(form); }
  void ChooseDisplayOptions(const ui::ControlRef& control,
                            const ui::DisplayOptions& options) override {
    gui_.ChooseDisplayOptions(control, options);
  }
  void Paint(const ui::ControlRef& control) override { gui_.Paint(control); }

 private:
  ui::headless::HeadlessGui gui_;
};

// The suite runs on virtual time (its own test checks that clock); real time says so too.
TEST(HeadlessGui, RealTimeSaysWhetherNowRunsWithTheTimeOfDayOnTheRealClock) {
  ui::headless::HeadlessGui gui(ui::headless::HeadlessGui::Time::Real);
  EXPECT_EQ(gui.RealTime(), NowRunsWithTheTimeOfDay(gui));
}

INSTANTIATE_TEST_SUITE_P(Headless, GuiConformance,
                         ::testing::Values(BackendFactory{
                             "Headless", [] { return std::make_unique<HeadlessHands>(); }}),
                         FactoryName);

}  // namespace
}  // namespace gui_conformance

#include "tests/ui/contract/conformance.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <tuple>

namespace gui_conformance {

using ui::ControlKind;
using ui::Event;
using ui::EventReply;
using ui::UnitRect;
namespace event = ui::event;
namespace key = ui::key;

bool NowRunsWithTheTimeOfDay(ui::Gui& gui) {
  const auto wall = std::chrono::system_clock::now();
  const double start = gui.Now();
  gui.Delay(0.05);
  const double moved = gui.Now() - start;
  const double passed =
      std::chrono::duration<double>(std::chrono::system_clock::now() - wall).count();
  return std::abs(moved - passed) < 0.02;
}

ui::FormSpec GuiConformance::TestForm(const std::string& name) const {
  ui::FormSpec form;
  std::tie(form.name, form.caption, form.place) =
      std::tuple(name, "Form " + name, UnitRect{2, 3, 40, 20});
  form.style.resizable = true;
  const std::tuple<int, ControlKind, const char*, UnitRect> rows[] = {
      {10, ControlKind::ComboBox, "a|b|c", {1, 1, 10, 6}},
      {20, ControlKind::TextBox, "", {12, 1, 10, 1.5}},
      {30, ControlKind::CheckBox, "check", {1, 8, 10, 1.5}},
      {40, ControlKind::Button, "button", {12, 8, 10, 2}},
      {50, ControlKind::Label, "label", {1, 11, 10, 2}},
      {60, ControlKind::TextBox, "", {12, 11, 20, 5}},
      {70, ControlKind::Label, "wide", {1, 17, 30, 1}}};
  for (const auto& [id, kind, caption, place] : rows) {
    ui::ControlSpec c;
    std::tie(c.id, c.kind, c.caption, c.place) = std::tie(id, kind, caption, place);
    form.controls.push_back(c);
  }
  form.controls[0].wantsLoading = true;
  form.controls[1].focusEvents = form.controls[1].style.tabStop = true;
  form.controls[4].ownerDrawn = true;
  form.controls[5].style.multiLine = true;
  form.controls[6].resize = {ui::ResizeRule::Axis::Stretch, ui::ResizeRule::Axis::Far};
  return form;
}

bool GuiConformance::RunUntil(const std::function<bool()>& done) {
  const double end = gui().Now() + 2;
  while (!done()) {
    if (gui().Now() > end) return false;
    gui().DoEvents();
    gui().Delay(0.001);
  }
  return true;
}

void GuiConformance::Settle() {
  std::size_t seen = events.size();
  double quietSince = gui().Now();
  RunUntil([&] {
    if (events.size() != seen) std::tie(seen, quietSince) = std::tuple(events.size(), gui().Now());
    return gui().Now() - quietSince > 0.1;
  });
}

std::string GuiConformance::Trace(std::initializer_list<int> codes) const {
  std::string trace;
  for (const Event& e : events) {
    if (std::find(codes.begin(), codes.end(), e.code) == codes.end()) continue;
    trace += (trace.empty() ? "" : " ") + e.form + ":" + std::to_string(e.control) + "/" +
             std::to_string(e.code) + "=" + std::to_string(e.value);
  }
  return trace;
}

TEST_P(GuiConformance, LoadingDeliversLoadingThenLoadedThenStartedOnce) {
  LoadSettled();
  EXPECT_EQ(Trace({event::kLoading, event::kLoaded, event::kStarted}),
            "F:10/85=0 F:10/87=0 F:20/87=0 F:30/87=0 F:40/87=0 F:50/87=0 F:60/87=0 F:70/87=0 "
            "F:0/87=0 F:0/86=0");
  EXPECT_EQ(gui().Text({"F", 0}), "Form F");
  EXPECT_EQ(gui().Items({"F", 10}), (std::vector<std::string>{"a", "b", "c"}));
}

// Not even from a later pass of the loop (the application changes controls in its handlers).
TEST_P(GuiConformance, CallsOfTheContractRaiseNoEvent) {
  LoadSettled();
  events.clear();
  gui().SetText({"F", 20}, "typed"), gui().SelectItem({"F", 10}, 2),
      gui().SetChecked({"F", 30}, true);
  gui().AddItems({"F", 10}, {"d", "e|f"}), gui().InsertItem({"F", 10}, 0, "z");
  gui().SetSelection({"F", 20}, {1, 3}), gui().SetVisible({"F", 40}, false);
  gui().SetEnabled({"F", 30}, false), gui().SetColours({"F", 50}, 1, 2), gui().Raise({"F", 70});
  gui().Redraw({"F", 0}), gui().SetFormGeometry("F", {2, 3, 45, 25});
  Settle();
  EXPECT_EQ(Trace({event::kClick, event::kSelectionChange, event::kKey, event::kFocusGained}), "");
  EXPECT_TRUE(gui().SelectedItem({"F", 10}) == 3 && gui().Checked({"F", 30}));  // 3: still its item
}

// Offered once given; the choice is the box's before event 900; the application's raises none.
TEST_P(GuiConformance, DisplayOptionsRoundTripAndTheOperatorsChoiceIsEvent900) {
  using Stamps = ui::TimeStampChoice;
  LoadSettled();
  std::vector<ui::DisplayOptions> seen;
  onEvent = [&](const Event& e, EventReply&) {
    if (e.code == event::kDisplayOptions) seen.push_back(gui().GetDisplayOptions({"F", 60}));
  };
  backend->ChooseDisplayOptions({"F", 60}, {Stamps::Clock, false});
  Settle();
  EXPECT_TRUE(seen.empty());  // not offered yet
  EXPECT_EQ(gui().GetDisplayOptions({"F", 60}), ui::DisplayOptions{});
  gui().SetDisplayOptions({"F", 60}, {Stamps::Off, true});
  Settle();
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(gui().GetDisplayOptions({"F", 60}), (ui::DisplayOptions{Stamps::Off, true}));
  const ui::DisplayOptions choices[] = {
      {Stamps::Clock, true}, {Stamps::Clock, false}, {Stamps::SincePrevious, false}};
  for (const ui::DisplayOptions& chosen : choices) {
    seen.clear();
    backend->ChooseDisplayOptions({"F", 60}, chosen);
    Settle();
    EXPECT_EQ(seen, std::vector<ui::DisplayOptions>{chosen});
  }
  EXPECT_EQ(Trace({event::kDisplayOptions}), "F:60/900=0 F:60/900=0 F:60/900=0");
}

TEST_P(GuiConformance, PostedEventsArriveInOrderAndDoEventsRunsOnePass) {
  LoadSettled();
  events.clear();
  onEvent = [this](const Event& e, EventReply&) {
    if (e.value == 1) gui().PostEvent({"F", 40}, event::kPosted, 9);  // waits for the next pass
  };
  for (int value : {1, 2, 3}) gui().PostEvent({"F", 20}, event::kPosted, value);
  EXPECT_TRUE(events.empty());
  gui().DoEvents();
  EXPECT_EQ(Trace({event::kPosted}), "F:20/410=1 F:20/410=2 F:20/410=3");
  gui().Delay(0.01);  // delivers nothing
  EXPECT_EQ(events.size(), 3u);
  gui().DoEvents();
  EXPECT_EQ(Trace({event::kPosted}), "F:20/410=1 F:20/410=2 F:20/410=3 F:40/410=9");
}

TEST_P(GuiConformance, AFormUnloadsItselfInsideItsOwnEventAndComesBackFresh) {
  LoadSettled();
  onEvent = [this](const Event& e, EventReply&) {
    if (e.code == event::kPosted && e.value == 1) gui().UnloadForm("F");
  };
  gui().SetText({"F", 20}, "old");
  gui().PostEvent({"F", 0}, event::kPosted, 1);
  gui().PostEvent({"F", 0}, event::kPosted, 2);  // dies with the form
  Settle();
  EXPECT_FALSE(gui().FormLoaded("F"));
  LoadSettled();
  EXPECT_EQ(gui().Text({"F", 20}), "");
  EXPECT_EQ(Trace({event::kPosted}), "F:0/410=1");
}

TEST_P(GuiConformance, ShowModalReturnsOnceTheFormHasUnloadedItself) {
  gui().LoadForm(TestForm("MAIN"));
  onEvent = [this](const Event& e, EventReply&) {
    if (e.form == "D" && e.code == event::kStarted) gui().PostEvent({"D", 40}, event::kPosted, 0);
    if (e.form == "D" && e.code == event::kPosted) gui().UnloadForm("D");
  };
  gui().ShowModal(TestForm("D"));
  EXPECT_TRUE(!gui().FormLoaded("D") && gui().FormLoaded("MAIN"));
  EXPECT_EQ(Trace({event::kPosted}), "D:40/410=0");
}

TEST_P(GuiConformance, TimersTickByFormAndIdAndStopWithTheirForm) {
  for (const char* form : {"F", "G"}) gui().LoadForm(TestForm(form));
  for (const auto& [form, id] : {std::pair{"F", 1}, {"F", 2}, {"G", 1}})
    gui().StartTimer(form, id, 0.01);
  auto ticks = [this](const std::string& form, int id) {
    return std::count_if(events.begin(), events.end(), [&](const Event& e) {
      return e.code == event::kTimerTick && e.form == form && e.control == id;
    });
  };
  ASSERT_TRUE(
      RunUntil([&] { return ticks("F", 1) >= 2 && ticks("F", 2) >= 2 && ticks("G", 1) >= 2; }));
  gui().StopTimer("F", 2);
  gui().UnloadForm("G");
  const auto f2 = ticks("F", 2), g1 = ticks("G", 1), f1 = ticks("F", 1);
  ASSERT_TRUE(RunUntil([&] { return ticks("F", 1) >= f1 + 3; }));
  EXPECT_EQ(std::make_pair(ticks("F", 2), ticks("G", 1)), std::make_pair(f2, g1));
}

// The session log times its stamps by Now() when the backend says it is real.
TEST_P(GuiConformance, RealTimeSaysWhetherNowRunsWithTheTimeOfDay) {
  EXPECT_EQ(gui().RealTime(), NowRunsWithTheTimeOfDay(gui()));
}

TEST_P(GuiConformance, RunEndsWithTheQuitStatusAndTheApplicationEnd) {
  gui().LoadForm(TestForm());
  gui().StartTimer("F", 5, 0.01);
  onEvent = [this](const Event& e, EventReply&) {
    if (e.code == event::kTimerTick) gui().Quit(7);
  };
  EXPECT_EQ(gui().Run(), 7);
  EXPECT_EQ(Trace({event::kApplicationEnd}), "{APP}:0/-100=0");
}

TEST_P(GuiConformance, AllByteValuesCrossAsLatin1BothWaysAndListsKeepEveryItemWhole) {
  gui().LoadForm(TestForm());
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b == '\n' || b == '\r' ? 'x' : b);
  for (int control : {0, 20, 50}) {
    gui().SetText({"F", control}, bytes);
    EXPECT_EQ(gui().Text({"F", control}), bytes) << control;
  }
  const std::string lines = bytes + "\r\n" + bytes + "\r\n";
  std::string all;
  for (int i = 0; i < 50; ++i, all += lines) gui().AppendText({"F", 60}, lines);
  EXPECT_EQ(gui().Text({"F", 60}), all);
  gui().ClearItems({"F", 10}), gui().AddItems({"F", 10}, {"a", "b|c"});
  gui().InsertItem({"F", 10}, 0, "x|y"), gui().InsertItem({"F", 10}, 99, "z");
  EXPECT_EQ(gui().Items({"F", 10}), (std::vector<std::string>{"x|y", "a", "b|c", "z"}));
  gui().SelectItem({"F", 10}, 1);
  EXPECT_EQ(gui().Text({"F", 10}), "a");
  gui().SelectItem({"F", 10}, 4);
  EXPECT_EQ(std::make_pair(gui().SelectedItem({"F", 10}), gui().Text({"F", 10})),
            std::make_pair(-1, std::string()));
}

TEST_P(GuiConformance, OperatorActionsChangeStateBeforeTheirEvent) {
  LoadSettled();
  std::string seen;
  onEvent = [&](const Event& e, EventReply&) {
    if (e.code == event::kSelectionChange) seen += "picked " + gui().Text({"F", 10}) + ", ";
    if (e.code == event::kClick)
      seen += std::to_string(e.control) + (gui().Checked({"F", 30}) ? " on, " : " off, ");
  };
  backend->Pick({"F", 10}, 2), backend->Click({"F", 30}), backend->Click({"F", 40});
  RunUntil([&] { return seen.size() >= 26; });
  EXPECT_EQ(seen, "picked c, 30 on, 40 on, ");
}

TEST_P(GuiConformance, SelectionAndFocusRoundTripAndFocusEventsComeFromTheLoop) {
  LoadSettled();
  gui().SetText({"F", 20}, "abcdef");
  const std::pair<ui::TextSelection, ui::TextSelection> cases[] = {
      {{2, 5}, {2, 5}}, {{3, 3}, {3, 3}}, {{1, -1}, {1, 6}}};
  for (const auto& [set, get] : cases) {
    gui().SetSelection({"F", 20}, set);
    EXPECT_EQ(gui().Selection({"F", 20}), get) << set.start << "," << set.end;
  }
  events.clear();
  gui().SetFocus({"F", 20});
  EXPECT_EQ(gui().FocusedControl(), (ui::ControlRef{"F", 20}));
  EXPECT_TRUE(events.empty());
  gui().SetFocus({"F", 40});
  RunUntil([&] { return events.size() >= 2; });
  EXPECT_EQ(Trace({event::kFocusGained, event::kFocusLost}), "F:20/800=0 F:20/801=0");
}

TEST_P(GuiConformance, GeometryRoundTripsThroughTheUnitRuleWithinTheLimits) {
  gui().LoadForm(TestForm());
  const int dpi = gui().Screen().dotsPerInch;
  const auto onGrid = [dpi](UnitRect r) {  // what the pixel grid makes of a place
    const ui::PixelRect p = ui::UnitsToPixels(r, dpi);
    return UnitRect{ui::PixelsToUnitsX(p.x, dpi), ui::PixelsToUnitsY(p.y, dpi),
                    ui::PixelsToUnitsX(p.width, dpi), ui::PixelsToUnitsY(p.height, dpi)};
  };
  gui().SetFormLimits("F", 40, 20, 60, 30);
  const std::pair<UnitRect, UnitRect> cases[] = {{{5, 6, 50, 25}, {5, 6, 50, 25}},
                                                 {{5, 6, 47.3, 22.1}, {5, 6, 47.3, 22.1}},
                                                 {{5, 6, 30, 10}, {5, 6, 40, 20}},
                                                 {{5, 6, 80, 90}, {5, 6, 60, 30}}};
  for (const auto& [set, result] : cases) {
    gui().SetFormGeometry("F", set);
    Settle();
    const UnitRect now = gui().FormGeometry("F"), want = onGrid(result);
    EXPECT_EQ(std::make_pair(now.width, now.height), std::make_pair(want.width, want.height));
    if (gui().Screen().canPlaceWindows) {
      EXPECT_EQ(std::make_pair(now.x, now.y), std::make_pair(want.x, want.y));
    }
    EXPECT_EQ(gui().ControlGeometry({"F", 70}),
              onGrid({1, 17 + now.height - 20, 30 + now.width - 40, 1}));
  }
}

TEST_P(GuiConformance, AcceleratorsArriveOnceAsClicksAndOtherKeysReachTheFocus) {
  for (const char* form : {"MAIN", "PLAIN"}) gui().LoadForm(TestForm(form));
  gui().DefineAccelerators("MAIN", {{key::kEnter, false, false, false, 7777},
                                    {key::kF1, true, false, false, 9701},
                                    {key::kF1 + 2, false, false, false, 8003}});
  for (const char* form : {"MAIN", "PLAIN"}) gui().SetFocus({form, 20});
  Settle();
  for (auto [form, code, control] : {std::tuple{"MAIN", key::kEnter, false},
                                     {"MAIN", key::kF1, true},
                                     {"MAIN", key::kF1 + 2, false},
                                     {"PLAIN", key::kEnter, false},
                                     {"PLAIN", key::kEscape, false}})
    backend->PressKey(form, code, control);
  Settle();
  EXPECT_EQ(Trace({event::kClick, event::kKey}),
            "MAIN:7777/1=0 MAIN:9701/1=0 MAIN:8003/1=0 PLAIN:20/31=13 PLAIN:20/31=27");
}

TEST_P(GuiConformance, ACloseRequestUnloadsUnlessRefused) {
  LoadSettled();
  bool refuse = true;
  onEvent = [&](const Event& e, EventReply& reply) {
    reply.refuse = e.code == event::kCloseRequest && refuse;
  };
  backend->RequestClose("F");
  Settle();
  EXPECT_TRUE(gui().FormLoaded("F"));
  refuse = false;
  backend->RequestClose("F");
  EXPECT_TRUE(RunUntil([&] { return !gui().FormLoaded("F"); }));
}

TEST_P(GuiConformance, ADrawRequestCarriesTheControlsTextColoursAndPixelSize) {
  gui().LoadForm(TestForm());
  gui().SetText({"F", 50}, "shown"), gui().SetColours({"F", 50}, 5, 6);
  backend->Paint({"F", 50});
  ASSERT_TRUE(RunUntil([&] { return !draws.empty(); }));
  const ui::DrawRequest& r = draws.back();
  const ui::PixelRect size = ui::UnitsToPixels({1, 11, 10, 2}, gui().Screen().dotsPerInch);
  EXPECT_EQ(
      std::tie(r.form, r.control, r.text, r.textColour, r.backColour, r.area.width, r.area.height),
      std::make_tuple("F", 50, "shown", 5, 6, size.width, size.height));
}

}  // namespace gui_conformance

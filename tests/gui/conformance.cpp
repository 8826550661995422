#include "tests/gui/conformance.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace gui_conformance {
namespace {

using app::gui::ControlKind;
using app::gui::ControlSpec;
using app::gui::Event;
using app::gui::EventReply;
using app::gui::UnitRect;
namespace event = app::gui::event;
namespace key = app::gui::key;

ControlSpec Control(int id, ControlKind kind, const char* caption, UnitRect place) {
  ControlSpec c;
  c.id = id;
  c.kind = kind;
  c.caption = caption;
  c.place = place;
  return c;
}

}  // namespace

void GuiConformance::SetUp() {
  backend = GetParam().make();
  gui().SetEventSink(&sink);
}

void GuiConformance::TearDown() {
  gui().SetEventSink(nullptr);
}

app::gui::FormSpec GuiConformance::TestForm(const std::string& name) const {
  app::gui::FormSpec form;
  form.name = name;
  form.caption = "Form " + name;
  form.place = {2, 3, 40, 20};
  form.style.resizable = true;
  form.controls = {
      Control(10, ControlKind::ComboBox, "a|b|c", {1, 1, 10, 6}),
      Control(20, ControlKind::TextBox, "", {12, 1, 10, 1.5}),
      Control(30, ControlKind::CheckBox, "check", {1, 8, 10, 1.5}),
      Control(40, ControlKind::Button, "button", {12, 8, 10, 2}),
      Control(50, ControlKind::Label, "label", {1, 11, 10, 2}),
      Control(60, ControlKind::TextBox, "", {12, 11, 20, 5}),
      Control(70, ControlKind::Label, "wide", {1, 17, 30, 1}),
  };
  form.controls[0].wantsLoading = true;
  form.controls[1].focusEvents = true;
  form.controls[1].style.tabStop = true;
  form.controls[4].ownerDrawn = true;
  form.controls[4].textColour = 3;
  form.controls[4].backColour = 4;
  form.controls[5].style.multiLine = true;
  form.controls[6].resize.horizontal = app::gui::ResizeRule::Axis::Stretch;
  form.controls[6].resize.vertical = app::gui::ResizeRule::Axis::Far;
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
  std::size_t seen = sink.events.size();
  double quietSince = gui().Now();
  RunUntil([&] {
    if (sink.events.size() != seen) {
      seen = sink.events.size();
      quietSince = gui().Now();
    }
    return gui().Now() - quietSince > 0.1;
  });
}

std::vector<Event> GuiConformance::Events(int code) const {
  std::vector<Event> found;
  std::copy_if(sink.events.begin(), sink.events.end(), std::back_inserter(found),
               [code](const Event& e) { return e.code == code; });
  return found;
}

TEST_P(GuiConformance, LoadingDeliversLoadingThenLoadedThenStartedOnce) {
  gui().LoadForm(TestForm());
  Settle();
  std::vector<std::pair<int, int>> seen;  // control, code
  for (const Event& e : sink.events) {
    if (e.form == "F" &&
        (e.code == event::kLoading || e.code == event::kLoaded || e.code == event::kStarted))
      seen.emplace_back(e.control, e.code);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{10, 85},
                                                    {10, 87},
                                                    {20, 87},
                                                    {30, 87},
                                                    {40, 87},
                                                    {50, 87},
                                                    {60, 87},
                                                    {70, 87},
                                                    {0, 87},
                                                    {0, 86}}));
  EXPECT_EQ(gui().Text("F", 0), "Form F");
  EXPECT_EQ(gui().Items("F", 10), (std::vector<std::string>{"a", "b", "c"}));
}

// The application changes controls freely inside its handlers; none of its
// calls may come back as an event, not even from the next loop pass.
TEST_P(GuiConformance, CallsOfTheContractRaiseNoEvent) {
  gui().LoadForm(TestForm());
  Settle();
  sink.events.clear();
  gui().SetText("F", 20, "typed");
  gui().SelectItem("F", 10, 2);
  gui().SetChecked("F", 30, true);
  gui().AddItems("F", 10, "d|e");
  gui().InsertItem("F", 10, 0, "z");
  gui().SetSelection("F", 20, {1, 3});
  gui().SetVisible("F", 40, false);
  gui().SetEnabled("F", 30, false);
  gui().SetColours("F", 50, 1, 2);
  gui().Raise("F", 70);
  gui().Redraw("F", 0);
  gui().SetFormGeometry("F", {2, 3, 45, 25});
  EXPECT_TRUE(sink.events.empty());
  Settle();
  EXPECT_TRUE(Events(event::kSelectionChange).empty());
  EXPECT_TRUE(Events(event::kClick).empty());
  EXPECT_TRUE(Events(event::kKey).empty());
  EXPECT_EQ(gui().SelectedItem("F", 10), 3);  // the selection stays on its item
  EXPECT_TRUE(gui().Checked("F", 30));
}

TEST_P(GuiConformance, PostedEventsArriveInOrderOnePassAtATime) {
  gui().LoadForm(TestForm());
  Settle();
  sink.events.clear();
  sink.onEvent = [this](const Event& e, EventReply&) {
    if (e.value == 1) gui().PostEvent("F", 40, event::kPosted, 9);  // waits for the next pass
  };
  for (int value : {1, 2, 3}) gui().PostEvent("F", 20, event::kPosted, value);
  EXPECT_TRUE(sink.events.empty());
  gui().DoEvents();
  ASSERT_EQ(Events(event::kPosted).size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Events(event::kPosted)[i].value, i + 1);
  gui().DoEvents();
  ASSERT_EQ(Events(event::kPosted).size(), 4u);
  EXPECT_EQ(Events(event::kPosted)[3].control, 40);
}

TEST_P(GuiConformance, AFormUnloadsItselfInsideItsOwnEventAndComesBackFresh) {
  gui().LoadForm(TestForm());
  Settle();
  sink.onEvent = [this](const Event& e, EventReply&) {
    if (e.code == event::kPosted && e.value == 1) {
      gui().UnloadForm("F");
      EXPECT_FALSE(gui().FormLoaded("F"));
    }
  };
  gui().SetText("F", 20, "old");
  gui().PostEvent("F", 0, event::kPosted, 1);
  gui().PostEvent("F", 0, event::kPosted, 2);  // dies with the form
  Settle();
  EXPECT_FALSE(gui().FormLoaded("F"));
  ASSERT_EQ(Events(event::kPosted).size(), 1u);
  gui().LoadForm(TestForm());
  Settle();
  EXPECT_EQ(gui().Text("F", 20), "");
  EXPECT_EQ(Events(event::kPosted).size(), 1u);
}

TEST_P(GuiConformance, ShowModalReturnsOnceTheFormHasUnloadedItself) {
  gui().LoadForm(TestForm("MAIN"));
  sink.onEvent = [this](const Event& e, EventReply&) {
    if (e.form == "D" && e.code == event::kStarted) gui().PostEvent("D", 40, event::kPosted, 0);
    if (e.form == "D" && e.code == event::kPosted) gui().UnloadForm("D");
  };
  gui().ShowModal(TestForm("D"));
  EXPECT_FALSE(gui().FormLoaded("D"));
  EXPECT_TRUE(gui().FormLoaded("MAIN"));
  ASSERT_FALSE(Events(event::kPosted).empty());
  EXPECT_EQ(Events(event::kPosted).back().form, "D");
}

TEST_P(GuiConformance, TimersTickByFormAndIdAndStopWithTheirForm) {
  gui().LoadForm(TestForm("F"));
  gui().LoadForm(TestForm("G"));
  gui().StartTimer("F", 1, 0.01);
  gui().StartTimer("F", 2, 0.01);
  gui().StartTimer("G", 1, 0.01);
  auto ticks = [this](const std::string& form, int id) {
    return std::count_if(sink.events.begin(), sink.events.end(), [&](const Event& e) {
      return e.code == event::kTimerTick && e.form == form && e.control == id;
    });
  };
  ASSERT_TRUE(
      RunUntil([&] { return ticks("F", 1) >= 2 && ticks("F", 2) >= 2 && ticks("G", 1) >= 2; }));
  gui().StopTimer("F", 2);
  gui().UnloadForm("G");
  const auto f2 = ticks("F", 2), g1 = ticks("G", 1), f1 = ticks("F", 1);
  ASSERT_TRUE(RunUntil([&] { return ticks("F", 1) >= f1 + 3; }));
  EXPECT_EQ(ticks("F", 2), f2);
  EXPECT_EQ(ticks("G", 1), g1);
}

TEST_P(GuiConformance, DelayAndDoEventsKeepTheirPromises) {
  gui().LoadForm(TestForm());
  Settle();
  sink.events.clear();
  gui().PostEvent("F", 0, event::kPosted, 0);
  const double before = gui().Now();
  gui().Delay(0.02);
  EXPECT_GE(gui().Now() - before, 0.019);
  EXPECT_TRUE(sink.events.empty()) << "Delay delivers nothing";
  gui().DoEvents();
  EXPECT_EQ(Events(event::kPosted).size(), 1u);
}

TEST_P(GuiConformance, RunEndsWithTheQuitStatusAndTheApplicationEnd) {
  gui().LoadForm(TestForm());
  gui().StartTimer("F", 5, 0.01);
  sink.onEvent = [this](const Event& e, EventReply&) {
    if (e.code == event::kTimerTick) gui().Quit(7);
  };
  EXPECT_EQ(gui().Run(), 7);
  ASSERT_FALSE(sink.events.empty());
  EXPECT_EQ(sink.events.back().form, app::gui::kApplicationForm);
  EXPECT_EQ(sink.events.back().code, event::kApplicationEnd);
}

TEST_P(GuiConformance, AllByteValuesCrossAsLatin1BothWays) {
  gui().LoadForm(TestForm());
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b == '\n' || b == '\r' ? 'x' : b);
  for (int control : {0, 20, 50}) {
    gui().SetText("F", control, bytes);
    EXPECT_EQ(gui().Text("F", control), bytes) << control;
  }
  // The multi-line box keeps line ends as given and takes appends in order.
  const std::string lines = bytes + "\r\n" + bytes + "\r\n";
  gui().SetText("F", 60, "");
  for (int i = 0; i < 50; ++i) gui().AppendText("F", 60, lines);
  std::string all;
  for (int i = 0; i < 50; ++i) all += lines;
  EXPECT_EQ(gui().Text("F", 60), all);
}

TEST_P(GuiConformance, ListsKeepAnInsertedPipeAndSelectOnlyInside) {
  gui().LoadForm(TestForm());
  gui().ClearItems("F", 10);
  gui().AddItems("F", 10, "a|b");
  gui().InsertItem("F", 10, 0, "x|y");
  gui().InsertItem("F", 10, 99, "z");
  EXPECT_EQ(gui().Items("F", 10), (std::vector<std::string>{"x|y", "a", "b", "z"}));
  gui().SelectItem("F", 10, 1);
  EXPECT_EQ(gui().Text("F", 10), "a");
  gui().SelectItem("F", 10, 4);
  EXPECT_EQ(gui().SelectedItem("F", 10), -1);
  EXPECT_EQ(gui().Text("F", 10), "");
}

TEST_P(GuiConformance, OperatorActionsChangeStateBeforeTheirEvent) {
  gui().LoadForm(TestForm());
  Settle();
  std::vector<std::string> seen;
  sink.onEvent = [&](const Event& e, EventReply&) {
    if (e.code == event::kSelectionChange) seen.push_back("picked " + gui().Text("F", 10));
    if (e.code == event::kClick && e.control == 30)
      seen.push_back(gui().Checked("F", 30) ? "checked" : "unchecked");
    if (e.code == event::kClick && e.control == 40) seen.push_back("button");
  };
  backend->Pick("F", 10, 2);
  backend->Click("F", 30);
  backend->Click("F", 40);
  ASSERT_TRUE(RunUntil([&] { return seen.size() == 3; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"picked c", "checked", "button"}));
}

TEST_P(GuiConformance, SelectionAndFocusRoundTripAndFocusEventsComeFromTheLoop) {
  gui().LoadForm(TestForm());
  Settle();
  gui().SetText("F", 20, "abcdef");
  const struct {
    app::gui::TextSelection set, get;
  } cases[] = {{{2, 5}, {2, 5}}, {{3, 3}, {3, 3}}, {{1, -1}, {1, 6}}};
  for (const auto& c : cases) {
    gui().SetSelection("F", 20, c.set);
    EXPECT_EQ(gui().Selection("F", 20), c.get) << c.set.start << "," << c.set.end;
  }
  sink.events.clear();
  gui().SetFocus("F", 20);
  EXPECT_EQ(gui().FocusedControl(), std::make_pair(std::string("F"), 20));
  EXPECT_TRUE(sink.events.empty());
  ASSERT_TRUE(RunUntil([&] { return !Events(event::kFocusGained).empty(); }));
  gui().SetFocus("F", 40);
  ASSERT_TRUE(RunUntil([&] { return !Events(event::kFocusLost).empty(); }));
  EXPECT_EQ(Events(event::kFocusLost)[0].control, 20);
}

TEST_P(GuiConformance, GeometryRoundTripsThroughTheUnitRuleWithinTheLimits) {
  gui().LoadForm(TestForm());
  const int dpi = gui().Screen().dotsPerInch;
  const auto exact = [dpi](UnitRect r) {  // what the pixel grid makes of a place
    const app::gui::PixelRect p = app::gui::UnitsToPixels(r, dpi);
    return UnitRect{app::gui::PixelsToUnitsX(p.x, dpi), app::gui::PixelsToUnitsY(p.y, dpi),
                    app::gui::PixelsToUnitsX(p.width, dpi),
                    app::gui::PixelsToUnitsY(p.height, dpi)};
  };
  gui().SetFormLimits("F", 40, 20, 60, 30);
  const struct {
    UnitRect set, size;  // size: the client size that results
  } cases[] = {{{5, 6, 50, 25}, {0, 0, 50, 25}},
               {{5, 6, 47.3, 22.1}, {0, 0, 47.3, 22.1}},
               {{5, 6, 30, 10}, {0, 0, 40, 20}},
               {{5, 6, 80, 90}, {0, 0, 60, 30}}};
  for (const auto& c : cases) {
    gui().SetFormGeometry("F", c.set);
    Settle();
    const UnitRect now = gui().FormGeometry("F");
    const UnitRect want = exact({c.set.x, c.set.y, c.size.width, c.size.height});
    EXPECT_EQ(now.width, want.width) << c.set.width;
    EXPECT_EQ(now.height, want.height) << c.set.height;
    if (gui().Screen().canPlaceWindows) {
      EXPECT_EQ(std::make_pair(now.x, now.y), std::make_pair(want.x, want.y));
    }
    // Label 70 stretches to the right and moves down with the form.
    EXPECT_EQ(gui().ControlGeometry("F", 70),
              exact({1, 17 + now.height - 20, 30 + now.width - 40, 1}));
  }
}

TEST_P(GuiConformance, AcceleratorsArriveOnceAsClicksAndOtherKeysReachTheFocus) {
  gui().LoadForm(TestForm("MAIN"));
  gui().LoadForm(TestForm("PLAIN"));
  using app::gui::Accelerator;
  gui().DefineAccelerators("MAIN", {Accelerator{key::kEnter, false, false, false, 7777},
                                    Accelerator{key::kF1, true, false, false, 9701},
                                    Accelerator{key::kF1 + 2, false, false, false, 8003}});
  gui().SetFocus("MAIN", 20);
  gui().SetFocus("PLAIN", 20);
  Settle();
  sink.events.clear();
  backend->PressKey("MAIN", key::kEnter);
  backend->PressKey("MAIN", key::kF1, true);
  backend->PressKey("MAIN", key::kF1 + 2);
  backend->PressKey("PLAIN", key::kEnter);
  backend->PressKey("PLAIN", key::kEscape);
  Settle();
  std::vector<std::string> seen;
  for (const Event& e : sink.events) {
    if (e.code == event::kClick || e.code == event::kKey)
      seen.push_back(e.form + " " + std::to_string(e.control) + " " + std::to_string(e.code) + " " +
                     std::to_string(e.value));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"MAIN 7777 1 0", "MAIN 9701 1 0", "MAIN 8003 1 0",
                                            "PLAIN 20 31 13", "PLAIN 20 31 27"}));
}

TEST_P(GuiConformance, ACloseRequestUnloadsUnlessRefused) {
  gui().LoadForm(TestForm());
  Settle();
  bool refuse = true;
  sink.onEvent = [&](const Event& e, EventReply& reply) {
    if (e.code == event::kCloseRequest) reply.refuse = refuse;
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
  gui().SetText("F", 50, "shown");
  gui().SetColours("F", 50, 5, 6);
  backend->Paint("F", 50);
  ASSERT_TRUE(RunUntil([&] { return !sink.draws.empty(); }));
  const app::gui::DrawRequest& r = sink.draws.back();
  const app::gui::PixelRect size =
      app::gui::UnitsToPixels({1, 11, 10, 2}, gui().Screen().dotsPerInch);
  EXPECT_EQ(
      std::make_tuple(r.form, r.control, r.text, r.textColour, r.backColour, r.area.width,
                      r.area.height),
      std::make_tuple(std::string("F"), 50, std::string("shown"), 5, 6, size.width, size.height));
}

}  // namespace gui_conformance

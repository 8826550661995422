#include "app/gui/headless_gui.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using app::gui::ControlKind;
using app::gui::Event;
using app::gui::FormSpec;
using app::gui::HeadlessGui;
namespace event = app::gui::event;

struct Recorder : app::gui::EventSink {
  std::vector<Event> events;
  std::function<void(const Event&, bool&)> handler;
  void OnEvent(const Event& e, bool& refuse) override {
    events.push_back(e);
    if (handler) handler(e, refuse);
  }
};

FormSpec Form(const std::string& name) {
  FormSpec form;
  form.name = name;
  form.caption = "caption";
  app::gui::ControlSpec combo;
  combo.id = 10;
  combo.kind = ControlKind::ComboBox;
  combo.caption = "a|b";
  combo.wantsLoading = true;
  app::gui::ControlSpec text;
  text.id = 20;
  text.kind = ControlKind::TextBox;
  text.hidden = true;
  form.controls = {combo, text};
  return form;
}

TEST(HeadlessGui, LoadingSendsLoadingLoadedAndStartedInOrder) {
  HeadlessGui gui;
  Recorder sink;
  gui.SetEventSink(&sink);
  gui.LoadForm(Form("F"));
  ASSERT_EQ(sink.events.size(), 5u);
  EXPECT_EQ(sink.events[0].control, 10);
  EXPECT_EQ(sink.events[0].code, event::kLoading);
  EXPECT_EQ(sink.events[1].code, event::kLoaded);
  EXPECT_EQ(sink.events[2].control, 20);
  EXPECT_EQ(sink.events[3].control, 0);
  EXPECT_EQ(sink.events[3].code, event::kLoaded);
  EXPECT_EQ(sink.events[4].code, event::kStarted);
  EXPECT_FALSE(gui.Visible("F", 20));
  EXPECT_EQ(gui.Items("F", 10), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(gui.Text("F", 10), "a");
  // Like a drop-down list, a position past the end selects nothing.
  gui.SelectItem("F", 10, 2);
  EXPECT_EQ(gui.SelectedItem("F", 10), -1);
  EXPECT_EQ(gui.Text("F", 10), "");
}

TEST(HeadlessGui, TimersTickOnVirtualTimeWithoutWaiting) {
  HeadlessGui gui;
  Recorder sink;
  int ticks = 0;
  sink.handler = [&](const Event& e, bool&) {
    if (e.code == event::kTimerTick && ++ticks == 100) gui.UnloadForm("F");
  };
  gui.SetEventSink(&sink);
  gui.LoadForm(Form("F"));
  gui.StartTimer("F", 4793, 0.05);
  gui.Run();
  EXPECT_EQ(ticks, 100);
  EXPECT_NEAR(gui.Now(), 5.0, 1e-6);
  gui.Delay(60);  // a delay only moves the clock
  EXPECT_NEAR(gui.Now(), 65.0, 1e-6);
}

TEST(HeadlessGui, RunEndsWhenNothingCanHappenAnyMore) {
  HeadlessGui gui;
  gui.LoadForm(Form("F"));
  EXPECT_EQ(gui.Run(), 0);  // no timer, no event, no idle source: no hang
}

TEST(HeadlessGui, RefusedCloseKeepsTheForm) {
  HeadlessGui gui;
  Recorder sink;
  bool refuse = true;
  sink.handler = [&](const Event& e, bool& r) {
    if (e.code == event::kCloseRequest) r = refuse;
  };
  gui.SetEventSink(&sink);
  gui.LoadForm(Form("F"));
  gui.RequestClose("F");
  gui.DoEvents();
  EXPECT_TRUE(gui.FormLoaded("F"));
  refuse = false;
  gui.RequestClose("F");
  gui.DoEvents();
  EXPECT_FALSE(gui.FormLoaded("F"));
}

TEST(HeadlessGui, DoEventsRunsOnlyWhatWasPendingWhenCalled) {
  HeadlessGui gui;
  Recorder sink;
  sink.handler = [&](const Event& e, bool&) {
    if (e.code == event::kClick) gui.PostEvent("F", 20, event::kPosted, 0);
  };
  gui.SetEventSink(&sink);
  gui.LoadForm(Form("F"));
  sink.events.clear();
  gui.Click("F", 10);
  gui.DoEvents();
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(gui.PendingEvents(), 1u);
  gui.DoEvents();
  EXPECT_EQ(sink.events.back().code, event::kPosted);
}

TEST(HeadlessGui, ModalFormReturnsWhenUnloadedByItsOwnEvent) {
  HeadlessGui gui;
  Recorder sink;
  sink.handler = [&](const Event& e, bool&) {
    if (e.form == "D" && e.code == event::kKey && e.value == 13)
      gui.PostEvent("D", 0, event::kPosted, 0);
    if (e.form == "D" && e.code == event::kPosted) gui.UnloadForm("D");
  };
  gui.SetEventSink(&sink);
  gui.LoadForm(Form("F"));
  gui.onIdle = [&] {
    if (!gui.FormLoaded("D")) return false;
    gui.PressKey("D", 20, 13);
    gui.onIdle = nullptr;
    return true;
  };
  gui.ShowModal(Form("D"));
  EXPECT_FALSE(gui.FormLoaded("D"));
  EXPECT_TRUE(gui.FormLoaded("F"));
}

TEST(HeadlessGui, RichTextKeepsItsLimitAndReportsEveryAppend) {
  HeadlessGui gui;
  gui.LoadForm(Form("F"));
  std::string seen;
  gui.onAppend = [&](const std::string&, int, const std::string& t) { seen += t; };
  gui.MakeRichText("F", 20, 5);
  gui.AppendText("F", 20, "abc");
  gui.AppendText("F", 20, "defg");
  EXPECT_EQ(gui.Text("F", 20), "abcde");
  EXPECT_EQ(seen, "abcde");
}

}  // namespace

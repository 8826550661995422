// The Qt backend driven like an operator: real key and mouse events on the
// offscreen platform, pixels read back from grabbed widgets.
#include "app/qt/qt_gui.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QTest>
#include <functional>
#include <map>

namespace app::qt {
namespace {

// Records events and paints every painted control in one flat colour
// (white under the mouse), so pixels tell which control lies on top.
class Recorder : public gui::EventSink {
 public:
  void OnEvent(const gui::Event& e, gui::EventReply& reply) override {
    events.push_back(e);
    if (onEvent) onEvent(e, reply);
  }
  void OnDraw(const gui::DrawRequest& r, gui::Canvas& canvas) override {
    gui::Rgb colour = fills.count(r.control) ? fills[r.control] : gui::Rgb{128, 128, 128};
    canvas.Fill(r.area, r.state.hover ? gui::Rgb{255, 255, 255} : colour);
  }
  // Operator events only: loading and start-up events left out.
  std::vector<gui::Event> Actions() const {
    std::vector<gui::Event> out;
    for (const gui::Event& e : events) {
      if (e.code != gui::event::kLoading && e.code != gui::event::kLoaded &&
          e.code != gui::event::kStarted && e.code != gui::event::kOwnerSize) {
        out.push_back(e);
      }
    }
    return out;
  }
  std::vector<gui::Event> events;
  std::function<void(const gui::Event&, gui::EventReply&)> onEvent;
  std::map<int, gui::Rgb> fills;
};

gui::ControlSpec Make(int id, gui::ControlKind kind, gui::UnitRect place) {
  gui::ControlSpec c;
  c.id = id;
  c.kind = kind;
  c.place = place;
  c.style.tabStop = true;
  return c;
}

gui::FormSpec Form(const std::string& name, std::vector<gui::ControlSpec> controls = {}) {
  gui::FormSpec f;
  f.name = name;
  f.place = {0, 0, 40, 20};
  f.controls = std::move(controls);
  return f;
}

class QtGuiTest : public ::testing::Test {
 protected:
  QtGuiTest() { gui.SetEventSink(&sink); }

  FormWindow* Show(gui::FormSpec spec) {
    gui.LoadForm(spec);
    FormWindow* form = gui.FormWidget(spec.name);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form));
    gui.DoEvents();
    sink.events.clear();
    return form;
  }
  QWidget* W(const std::string& form, int id) { return gui.ControlWidget(form, id); }

  QtGui gui;
  Recorder sink;
};

bool Same(const gui::Event& a, const gui::Event& b) {
  return a.form == b.form && a.control == b.control && a.code == b.code && a.value == b.value;
}

TEST_F(QtGuiTest, KeysReachAcceleratorsOnceOrTheFocusedControl) {
  gui::FormSpec main = Form("M");
  gui::ControlSpec entry = Make(105, gui::ControlKind::TextBox, {1, 1, 30, 1.5});
  entry.focusEvents = true;
  main.controls = {entry};
  gui::FormSpec dialog = Form("D");
  gui::ControlSpec answer = Make(115, gui::ControlKind::TextBox, {1, 1, 30, 1.5});
  answer.focusEvents = true;
  dialog.controls = {answer, Make(120, gui::ControlKind::Button, {1, 4, 8, 2})};
  dialog.controls[1].ownerDrawn = true;

  struct Row {
    const char* form;
    int focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    gui::Event expected;
  };
  const Row rows[] = {
      {"M", 105, Qt::Key_Return, Qt::NoModifier, {"M", 7777, gui::event::kClick, 0}},
      {"M", 105, Qt::Key_Enter, Qt::KeypadModifier, {"M", 7777, gui::event::kClick, 0}},
      {"M", 105, Qt::Key_Escape, Qt::NoModifier, {"M", 8888, gui::event::kClick, 0}},
      {"M", 105, Qt::Key_F3, Qt::NoModifier, {"M", 8003, gui::event::kClick, 0}},
      {"M", 105, Qt::Key_P, Qt::ControlModifier, {"M", 9711, gui::event::kClick, 0}},
      {"D", 115, Qt::Key_Return, Qt::NoModifier, {"D", 115, gui::event::kKey, 13}},
      {"D", 115, Qt::Key_Enter, Qt::KeypadModifier, {"D", 115, gui::event::kKey, 13}},
      {"D", 115, Qt::Key_Escape, Qt::NoModifier, {"D", 115, gui::event::kKey, 27}},
      {"D", 115, Qt::Key_Down, Qt::NoModifier, {"D", 115, gui::event::kKey, 40}},
      {"D", 120, Qt::Key_Return, Qt::NoModifier, {"D", 120, gui::event::kKey, 13}},
  };
  for (const Row& row : rows) {
    gui::FormSpec spec = std::string(row.form) == "M" ? main : dialog;
    FormWindow* form = Show(spec);
    if (spec.name == "M") {
      gui.DefineAccelerators("M", {{gui::key::kEnter, false, false, false, 7777},
                                   {gui::key::kEscape, false, false, false, 8888},
                                   {gui::key::kF1 + 2, false, false, false, 8003},
                                   {'P', true, false, false, 9711}});
    }
    gui.SetFocus(row.form, row.focus);
    gui.DoEvents();
    sink.events.clear();
    QTest::keyClick(form->windowHandle(), row.key, row.modifiers);
    gui.DoEvents();
    std::vector<gui::Event> seen = sink.Actions();
    ASSERT_EQ(seen.size(), 1u) << row.form << " key " << row.key;
    EXPECT_TRUE(Same(seen[0], row.expected))
        << row.form << " key " << row.key << " gave " << seen[0].control << "/" << seen[0].value;
    // Typing still reaches the box: only Enter, ESC and the table's keys are taken.
    gui.UnloadForm(row.form);
  }
}

}  // namespace
}  // namespace app::qt

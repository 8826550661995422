// The Qt backend driven like an operator: real key and mouse events on the
// offscreen platform, pixels read back from grabbed widgets.
#include "app/qt/qt_gui.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

#include "app/look/painters.h"

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
    if (r.control == kBar) {
      look::PaintBar(canvas, r.area, r.text, {255, 255, 255}, {255, 255, 255});
      return;
    }
    if (r.control == kButton) {
      look::PaintButton(canvas, r.area, r.state, {look::PaletteColour(23)}, {}, languages, 96);
      return;
    }
    gui::Rgb colour = fills.count(r.control) ? fills[r.control] : gui::Rgb{128, 128, 128};
    canvas.Fill(r.area, colour);
  }
  static constexpr int kBar = 900;
  static constexpr int kButton = 901;
  lang::Languages languages;
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

QColor Pixel(QWidget* w, int x, int y) {
  return w->grab().toImage().pixelColor(x, y);
}

TEST_F(QtGuiTest, OnlyTheOperatorRaisesEvents) {
  gui::ControlSpec list = Make(250, gui::ControlKind::ComboBox, {1, 1, 20, 8});
  list.caption = "English|Deutsch|Svenska";
  gui::ControlSpec box = Make(220, gui::ControlKind::CheckBox, {1, 4, 10, 2});
  Show(Form("M", {list, box}));
  gui.SelectItem("M", 250, 2);
  gui.SetChecked("M", 220, true);
  gui.SetText("M", 250, "Deutsch");
  gui.DoEvents();
  EXPECT_TRUE(sink.Actions().empty());
  EXPECT_EQ(gui.Text("M", 250), "Deutsch");

  auto* combo = static_cast<QComboBox*>(W("M", 250));
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(2, 0)).center());
  QTest::mouseClick(W("M", 220), Qt::LeftButton);
  gui.DoEvents();
  std::vector<gui::Event> seen = sink.Actions();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(Same(seen[0], {"M", 250, gui::event::kSelectionChange, 2}));
  EXPECT_EQ(gui.SelectedItem("M", 250), 2);
  EXPECT_TRUE(Same(seen[1], {"M", 220, gui::event::kClick, 0}));
  EXPECT_FALSE(gui.Checked("M", 220));
}

// The main window's row of check boxes in small: box 215 (created first)
// over the larger box 220, and a click-through caption over 215.
TEST_F(QtGuiTest, ClicksReachTheTopmostControlThatTakesThem) {
  gui::ControlSpec caption = Make(205, gui::ControlKind::Label, {22, 2, 6, 1});
  caption.ownerDrawn = true;
  caption.clickThrough = true;
  gui::ControlSpec fifo = Make(215, gui::ControlKind::CheckBox, {20, 1.5, 9.5, 2});
  gui::ControlSpec record = Make(220, gui::ControlKind::CheckBox, {1, 1.5, 30, 2});
  sink.fills[205] = {255, 0, 0};
  FormWindow* form = Show(Form("M", {caption, fifo, record}));
  const QPoint onCaption(25 * 8, 2 * 16 + 8);
  EXPECT_EQ(Pixel(form, onCaption.x(), onCaption.y()), QColor(255, 0, 0));
  QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, onCaption);
  gui.DoEvents();
  std::vector<gui::Event> seen = sink.Actions();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].control, 215);
  EXPECT_TRUE(gui.Checked("M", 215));
  EXPECT_FALSE(gui.Checked("M", 220));
}

int Hue(const QColor& c) {
  return c.hsvHue();
}

TEST_F(QtGuiTest, PaintedControlsReachTheScreen) {
  gui::ControlSpec bar = Make(Recorder::kBar, gui::ControlKind::SegmentBar, {0, 0, 25, 1});
  bar.caption = "60%RED|40%GREEN";
  gui::ControlSpec button = Make(Recorder::kButton, gui::ControlKind::Button, {2, 4, 10, 2});
  button.ownerDrawn = true;
  Show(Form("M", {bar, button}));
  QWidget* w = W("M", Recorder::kBar);
  EXPECT_LT(std::min(Hue(Pixel(w, 60, 8)), 360 - Hue(Pixel(w, 60, 8))), 20);  // red at 30 %
  EXPECT_NEAR(Hue(Pixel(w, 160, 8)), 120, 20);                                // green at 80 %

  QWidget* b = W("M", Recorder::kButton);
  const int before = Pixel(b, 40, 16).lightness();
  QTest::mouseMove(b->window()->windowHandle(), b->geometry().center());
  QTest::qWait(20);
  EXPECT_GT(Pixel(b, 40, 16).lightness(), before);
}

TEST_F(QtGuiTest, EveryByteSurvivesTheTextBoxes) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') all += static_cast<char>(b);
  }
  gui::ControlSpec display = Make(160, gui::ControlKind::TextBox, {1, 1, 30, 10});
  display.style.multiLine = true;
  display.style.readOnly = true;
  Show(Form("M", {Make(105, gui::ControlKind::TextBox, {1, 12, 30, 1.5}), display}));
  gui.SetText("M", 105, all);
  EXPECT_EQ(gui.Text("M", 105), all);
  gui.AppendText("M", 160, "first\r\n");
  gui.AppendText("M", 160, all + "\r\n");
  EXPECT_EQ(gui.Text("M", 160), "first\r\n" + all + "\r\n");
  // Qt's own limit of 32,767 characters does not cut a long command line.
  const std::string line(100000, 'X');
  gui.SetText("M", 105, line);
  EXPECT_EQ(gui.Text("M", 105).size(), line.size());
}

TEST_F(QtGuiTest, TheDisplayIsSelectedAndCopiedWithMouseAndKeys) {
  gui::ControlSpec display = Make(160, gui::ControlKind::TextBox, {1, 1, 30, 10});
  display.style.multiLine = true;
  display.style.readOnly = true;
  Show(Form("M", {display}));
  gui.AppendText("M", 160, " >> LSPD=500\r\n      Reply: OK (1.2ms)\r\n");
  auto* view = static_cast<QAbstractScrollArea*>(W("M", 160))->viewport();
  const int row = view->fontMetrics().lineSpacing();
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, row + row / 2));
  QTest::mouseMove(view, QPoint(view->width() - 1, row + row / 2));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() - 1, row + row / 2));
  EXPECT_EQ(gui.Selection("M", 160), (gui::TextSelection{14, 37}));
  QTest::keyClick(W("M", 160), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "      Reply: OK (1.2ms)");
  QTest::keyClick(W("M", 160), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(gui.Selection("M", 160), (gui::TextSelection{0, 39}));
}

TEST_F(QtGuiTest, TheEntryEditsLikeAnEntryFieldAtAnyLength) {
  Show(Form("M", {Make(105, gui::ControlKind::TextBox, {1, 1, 30, 1.5})}));
  QWidget* entry = W("M", 105);
  entry->setFocus();
  QTest::keyClicks(entry, "LSPD=500");
  QTest::keyClick(entry, Qt::Key_Home);
  for (int i = 0; i < 4; ++i) QTest::keyClick(entry, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(gui.Selection("M", 105), (gui::TextSelection{0, 4}));
  QTest::keyClicks(entry, "HSPD");
  QTest::keyClick(entry, Qt::Key_End);
  QTest::keyClick(entry, Qt::Key_Backspace);
  QTest::keyClicks(entry, "9");
  for (char16_t c : {u'\u00B5', u'\u20AC'}) {  // MICRO SIGN, EURO SIGN
    QTest::sendKeyEvent(QTest::Click, entry, Qt::Key_unknown, QString(QChar(c)), {});
  }
  EXPECT_EQ(gui.Text("M", 105), "HSPD=509\xB5?");

  // A pasted line of 10 MB is kept whole, and the field stays usable.
  std::string line(10 << 20, 'X');
  QApplication::clipboard()->setText(QString::fromLatin1(line.data(), qsizetype(line.size())));
  QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(entry, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(entry, Qt::Key_Home);
  QTest::keyClick(entry, Qt::Key_Delete);
  QTest::keyClick(entry, Qt::Key_End);
  QTest::keyClicks(entry, ",ID");
  entry->grab();
  EXPECT_EQ(gui.Text("M", 105), line.substr(1) + ",ID");
}

TEST_F(QtGuiTest, ADialogUnloadingItselfEndsShowModal) {
  Show(Form("M"));
  gui::FormSpec dialog = Form("D", {Make(100, gui::ControlKind::Button, {1, 1, 8, 2})});
  dialog.controls[0].ownerDrawn = true;
  dialog.owner = "M";
  dialog.place = {0, 0, 20, 8};
  sink.onEvent = [&](const gui::Event& e, gui::EventReply&) {
    if (e.form == "D" && e.control == 100 && e.code == gui::event::kClick) gui.UnloadForm("D");
    if (e.form == "D" && e.code == gui::event::kStarted) {
      QWidget* button = gui.ControlWidget("D", 100);
      QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    }
  };
  gui.ShowModal(dialog);
  EXPECT_FALSE(gui.FormLoaded("D"));
  EXPECT_TRUE(gui.FormLoaded("M"));
}

TEST_F(QtGuiTest, SizesAreClientSizesAndDialogsSitCentredOverTheirOwner) {
  gui::ControlSpec stretched = Make(160, gui::ControlKind::Label, {1, 1, 10, 5});
  stretched.resize = {gui::ResizeRule::Axis::Stretch, gui::ResizeRule::Axis::Far};
  gui::FormSpec main = Form("M", {stretched});
  main.style.resizable = true;
  main.place = {10, 5, 59, 41.25};
  FormWindow* form = Show(main);
  EXPECT_EQ(form->size(), QSize(472, 660));
  EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(80, 80));

  gui::FormSpec dialog = Form("D");
  dialog.owner = "M";
  dialog.place = {0, 0, 57, 18.5};
  FormWindow* d = Show(dialog);
  EXPECT_EQ(d->frameGeometry().center().x(), form->frameGeometry().center().x());

  gui.SetFormGeometry("M", {10, 5, 69, 51.25});
  EXPECT_EQ(W("M", 160)->geometry(), QRect(8, 16 + 160, 80 + 80, 80));
}

}  // namespace
}  // namespace app::qt

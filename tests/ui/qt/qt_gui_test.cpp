// The Qt backend's widgets, offscreen: keys as event 31, selection and copy, long entries.
#include "ui/qt/qt_gui.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <tuple>

namespace ui::qt {
namespace {

ui::ControlSpec Make(int id, ui::ControlKind kind, ui::UnitRect place) {
  ui::ControlSpec c;
  std::tie(c.id, c.kind, c.place, c.style.tabStop) = std::tuple(id, kind, place, true);
  return c;
}

// Records the key and click events.
class QtGuiTest : public ::testing::Test, public ui::EventSink {
 protected:
  QtGuiTest() { gui.SetEventSink(this); }
  void OnEvent(const ui::Event& e, ui::EventReply&) override {
    if (e.code == ui::event::kKey || e.code == ui::event::kClick) events.push_back(e);
  }
  void OnDraw(const ui::DrawRequest&, ui::Canvas&) override {}

  void Show(std::vector<ui::ControlSpec> controls) {
    ui::FormSpec form;
    std::tie(form.name, form.place, form.controls) =
        std::tuple("D", ui::UnitRect{0, 0, 40, 20}, controls);
    gui.LoadForm(form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(gui.FormWidget("D")));
    gui.DoEvents();
  }
  QWidget* W(int id) { return gui.ControlWidget({"D", id}); }

  std::vector<ui::Event> events;  // outlives the backend
  QtGui gui;
};

// Without a key table: keypad Enter is Enter, an owner-drawn button hears Enter instead of being
// pressed, and Up and Down reach only a box that reports its focus (the main window's entry).
TEST_F(QtGuiTest, KeysReachTheFocusedControlAsEvent31) {
  ui::ControlSpec pass = Make(110, ui::ControlKind::Button, {1, 4, 8, 2});
  pass.ownerDrawn = true;
  Show({pass, Make(115, ui::ControlKind::TextBox, {1, 8, 30, 1.5})});
  // The focus, the key; control/event=value of each event that came.
  const std::tuple<int, Qt::Key, Qt::KeyboardModifiers, std::string> rows[] = {
      {115, Qt::Key_Enter, Qt::KeypadModifier, "115/31=13 "},
      {110, Qt::Key_Return, {}, "110/31=13 "},
      {110, Qt::Key_Escape, {}, "110/31=27 "},
      {115, Qt::Key_Down, {}, ""}};
  for (const auto& [focus, key, modifiers, expected] : rows) {
    gui.SetFocus({"D", focus});
    gui.DoEvents();
    events.clear();
    QTest::keyClick(gui.FormWidget("D")->windowHandle(), key, modifiers);
    gui.DoEvents();
    std::string came;
    for (const ui::Event& e : events)
      came += std::to_string(e.control) + "/" + std::to_string(e.code) + "=" +
              std::to_string(e.value) + " ";
    EXPECT_EQ(came, expected) << focus << " " << key;
  }
}

TEST_F(QtGuiTest, TheDisplayIsSelectedAndCopiedWithMouseAndKeys) {
  ui::ControlSpec display = Make(160, ui::ControlKind::TextBox, {1, 1, 30, 10});
  display.style.multiLine = display.style.readOnly = true;
  Show({display});
  gui.AppendText({"D", 160}, " >> LSPD=500\r\n      Reply: OK (1.2ms)\r\n");
  QWidget* view = static_cast<QAbstractScrollArea*>(W(160))->viewport();
  const int row = view->fontMetrics().lineSpacing();
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, row + row / 2));
  QTest::mouseMove(view, QPoint(view->width() - 1, row + row / 2));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() - 1, row + row / 2));
  EXPECT_EQ(gui.Selection({"D", 160}), (ui::TextSelection{14, 37}));
  QTest::keyClick(W(160), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "      Reply: OK (1.2ms)");
  QTest::keyClick(W(160), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(gui.Selection({"D", 160}), (ui::TextSelection{0, 39}));
}

// A character beyond Latin-1 becomes "?".
TEST_F(QtGuiTest, TheEntryEditsLikeAnEntryFieldAtAnyLength) {
  Show({Make(105, ui::ControlKind::TextBox, {1, 1, 30, 1.5})});
  QWidget* entry = W(105);
  entry->setFocus();
  QTest::keyClicks(entry, "HSPD=509");
  for (char16_t c : {u'\u00B5', u'\u20AC'})  // MICRO SIGN, EURO SIGN
    QTest::sendKeyEvent(QTest::Click, entry, Qt::Key_unknown, QString(QChar(c)), {});
  EXPECT_EQ(gui.Text({"D", 105}), "HSPD=509\xB5?");

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
  EXPECT_EQ(gui.Text({"D", 105}), line.substr(1) + ",ID");
}

// Quit (a stop signal's end) ends the run while a dialog of the window's own tools, the plot's
// file dialog, runs its loop inside the run's: the dialog is answered as cancelled.
TEST_F(QtGuiTest, QuitEndsTheRunThroughADialogOfTheWindowsOwnTools) {
  Show({Make(115, ui::ControlKind::TextBox, {1, 8, 30, 1.5})});
  int answer = -1;
  QTimer::singleShot(0, [&] {
    QDialog tool(gui.FormWidget("D"));
    QTimer::singleShot(0, [&] { gui.Quit(5); });
    QTimer::singleShot(20'000, &tool, [&] { tool.accept(); });  // when Quit left it open
    answer = tool.exec();
  });
  EXPECT_EQ(gui.Run(), 5);
  EXPECT_EQ(answer, QDialog::Rejected);
}

}  // namespace
}  // namespace ui::qt

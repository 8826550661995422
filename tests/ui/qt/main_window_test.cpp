// The real application on Qt (offscreen), driven like an operator: windows, keys, pixels, dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <string_view>

#include "platform/files.h"
#include "screens/dialogs.h"
#include "ui/look/layout.h"
#include "ui/qt/running_window.h"

namespace ui::qt {
namespace {

using namespace app;

class MainWindowTest : public RunningWindow {
 protected:
  QWidget* W(int id) { return gui.ControlWidget({kMainForm, id}); }
  QPoint Centre(int id) { return W(id)->geometry().center(); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(Main()->windowHandle(), key, modifiers), Pump();
  }
  // Runs `inside` on the dialog `form` once it is on screen.
  void OnDialog(const char* form, std::function<void(FormWindow*)> inside) {
    QTimer::singleShot(0, [this, form, inside] {
      ASSERT_TRUE(QTest::qWaitFor([&] { return gui.FormWidget(form) != nullptr; }));
      FormWindow* dialog = gui.FormWidget(form);
      ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
      inside(dialog);
    });
  }
  // Opens the dialog `form` as the station does; returns once it is closed.
  void Open(std::string_view form) {
    if (form == kInputForm) application->AskOperator("Serial Number", false, false);
    if (form == kPassFailForm) application->ShowPassFail("", "", 0);
    if (form == kMessageForm)
      application->ShowMessageBox("Board A\r\n", "Device Not Available!//40", "OK//20");
  }
};

// Runs `answer` on the next modal dialog (a file dialog) once it is open.
void WhenModal(std::function<void(QDialog*)> answer, int tries = 500) {
  QTimer::singleShot(10, [answer, tries] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog) answer(dialog);
    if (!dialog && tries > 0) WhenModal(answer, tries - 1);
  });
}

// Whether `act` opens one of Qt's file dialogs (which is then cancelled).
bool OpensFileDialog(const std::function<void()>& act) {
  bool asked = false;
  WhenModal([&asked](QDialog* dialog) {
    asked = qobject_cast<QFileDialog*>(dialog) != nullptr;
    dialog->reject();
  });
  act();
  return QTest::qWaitFor([&] { return asked; });
}

void ExpectPlacesOf(QtGui& gui, const ui::FormSpec& spec) {
  for (const ui::ControlSpec& c : spec.controls) {
    QWidget* w = gui.ControlWidget({spec.name, c.id});
    ASSERT_NE(w, nullptr) << spec.name << " " << c.id;
    const ui::PixelRect p = ui::UnitsToPixels(c.place, 96);
    QRect got = w->geometry();
    // A drop-down's height in the table is its open list's.
    if (c.kind == ui::ControlKind::ComboBox && got.height() <= p.height) got.setHeight(p.height);
    EXPECT_EQ(got, QRect(p.x, p.y, p.width, p.height)) << spec.name << " " << c.id;
  }
}

// The input dialog sits centred over the main window; OK's click closes the message box.
TEST_F(MainWindowTest, TheInputDialogIsCentredAndAClickOnOkClosesTheMessageBox) {
  OnDialog(kInputForm, [this](FormWindow* d) {
    EXPECT_EQ(d->frameGeometry().center().x(), Main()->frameGeometry().center().x());
    QTest::keyClicks(gui.ControlWidget({kInputForm, app::tinput::kAnswer}), "a,b;c");
    QTest::keyClick(d->windowHandle(), Qt::Key_Return);
  });
  EXPECT_EQ(application->AskOperator("Serial Number", false, false), "abc");
  OnDialog(kMessageForm, [this](FormWindow*) {
    QTest::mouseClick(gui.ControlWidget({kMessageForm, app::tmessage::kOk}), Qt::LeftButton);
  });
  Open(kMessageForm);
  EXPECT_FALSE(gui.FormLoaded(kMessageForm));
}

// Every control inside its window, the window inside the work area; a form at its floor scrolls
// instead, and a control that takes the keyboard comes into view when it gets it.
void ExpectReachable(FormWindow* form) {
  SCOPED_TRACE(form->Name());
  const QRect area = form->screen()->availableGeometry();
  EXPECT_TRUE(area.contains(form->frameGeometry()))
      << form->frameGeometry().width() << "x" << form->frameGeometry().height();
  const double readable = ui::look::kSmallestFit / form->screen()->devicePixelRatio();
  EXPECT_GE(form->Scale() + 0.01, std::min(1.0, readable));
  for (Control* c : form->Controls()) {
    QWidget* w = c->Widget();
    // The table lets the logo's box hang over the bottom edge.
    if (c->Id() == tmain::kLogo && form->Name() == kMainForm) continue;
    if (form->Scrolls()) {
      if (w->focusPolicy() == Qt::NoFocus) continue;
      w->setFocus(Qt::TabFocusReason);
      QApplication::processEvents();
    }
    EXPECT_TRUE(form->Viewport().contains(w->geometry())) << c->Id();
    // A drop-down box's arrow shrinks with it and leaves its text the room.
    if (auto* box = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox option;
      option.initFrom(box);
      const auto part = [&](QStyle::SubControl sub) {
        return box->style()->subControlRect(QStyle::CC_ComboBox, &option, sub, box).width();
      };
      EXPECT_GE(part(QStyle::SC_ComboBoxEditField), part(QStyle::SC_ComboBoxArrow)) << c->Id();
      // Closed, it keeps to its smaller font and reaches no other control.
      for (Control* other : form->Controls()) {
        const QWidget* o = other->Widget();
        if (other == c || !o->isVisible() || o->parent() != w->parent()) continue;
        EXPECT_FALSE(w->geometry().intersects(o->geometry()))
            << c->Id() << " reaches " << other->Id();
      }
    }
    // Fonts shrink with the form.
    const ui::FontRef& font = c->Spec().font;
    if (font.slot < 0 && w->font().pixelSize() > 0) {
      EXPECT_NEAR(w->font().pixelSize(), font.font.pixelHeight * form->Scale(), 1) << c->Id();
    }
  }
}

TEST_F(MainWindowTest, EveryControlOfTheWindowAndTheDialogsIsOnTheScreenAtItsPlace) {
  ExpectReachable(Main());
  // ESC closes each dialog, Enter the message box too.
  for (const ui::FormSpec& spec : {InputFormSpec(96), PassFailFormSpec(96), MessageFormSpec(96)}) {
    const std::string form = spec.name;
    OnDialog(form.c_str(), [this, &spec, form](FormWindow* d) {
      ExpectPlacesOf(gui, spec);
      ExpectReachable(d);
      QTest::keyClick(d->windowHandle(), form == kMessageForm ? Qt::Key_Return : Qt::Key_Escape);
    });
    Open(form);
    EXPECT_FALSE(gui.FormLoaded(form)) << form;
  }
}

// Refitted on a screen it does not fit, full size again back home (two screens only).
TEST_F(MainWindowTest, AMoveToAnotherScreenFitsTheWindowAgain) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2) GTEST_SKIP() << "one screen";
  ASSERT_EQ(Main()->Scale(), 1.0);
  for (QScreen* to : {screens[1], screens[0]}) {
    Main()->windowHandle()->setScreen(to);
    gui.DoEvents();
    SCOPED_TRACE(to->name().toStdString());
    ExpectReachable(Main());
  }
  Main()->windowHandle()->setScreen(screens[1]);
  gui.DoEvents();
  EXPECT_TRUE(Main()->Scrolls());
}

// Ctrl with +, =, -, 0 or the wheel zooms the display's font in steps.
TEST_F(MainWindowTest, TheDisplayZoomsByKeysAndWheelAndTheNextRunKeepsIt) {
  const auto size = [this] { return W(tmain::kDisplay)->font().pixelSize(); };
  const int base = size();
  // Ctrl with a key, or with the wheel turned by `notches`; the size after, in percent.
  const std::tuple<Qt::Key, int, int> steps[] = {
      {Qt::Key_Plus, 0, 110},   {Qt::Key_Equal, 0, 125},   {Qt::Key_0, 0, 100},
      {Qt::Key_Minus, 0, 90},   {Qt::Key_unknown, 3, 125}, {Qt::Key_unknown, -1, 110},
      {Qt::Key_unknown, 2, 150}};
  for (const auto& [key, notches, percent] : steps) {
    QWidget* display = W(tmain::kDisplay);
    QWheelEvent turn(QPointF(5, 5), display->mapToGlobal(QPointF(5, 5)), {}, {0, 120 * notches},
                     Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    notches ? void(QApplication::sendEvent(display, &turn)) : Key(key, Qt::ControlModifier);
    gui.DoEvents();
    EXPECT_EQ(size(), std::lround(base * percent / 100.0)) << percent;
  }
  application.reset();
  application = std::make_unique<Application>(gui, platform::DataFolders(folder.Path()), registry);
  application->Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Main()));
  EXPECT_EQ(size(), std::lround(base * 1.5));
}

// Long reasons break at blanks (or inside an overlong word); nothing is cut, OK stays inside.
TEST_F(MainWindowTest, TheMessageBoxWrapsItsTextAndGrowsToShowAllOfIt) {
  std::string reason = "Board A\r\nNo such file or directory: /dev/serial/by-id/" +
                       std::string(150, 'x') + " and some words after it\r\n";
  for (int i = 0; i < 16; ++i) reason += "line " + std::to_string(i) + "\r\n";
  OnDialog(kMessageForm, [this](FormWindow* d) {
    auto* box = dynamic_cast<QTextEdit*>(gui.ControlWidget({kMessageForm, tmessage::kText}));
    ASSERT_NE(box, nullptr);
    EXPECT_GT(d->height(), ui::UnitsToPixelsY(18.5, 96));
    EXPECT_TRUE(d->screen()->availableGeometry().contains(d->frameGeometry()));
    EXPECT_EQ(box->verticalScrollBar()->maximum(), 0);
    EXPECT_LE(box->document()->idealWidth(), box->viewport()->width());
    EXPECT_TRUE(box->toPlainText().endsWith(QLatin1String("line 15\n")));
    EXPECT_TRUE(d->rect().contains(gui.ControlWidget({kMessageForm, tmessage::kOk})->geometry()));
    QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
  });
  application->ShowMessageBox(reason, "Device Not Available!//40", "OK//20");
  EXPECT_FALSE(gui.FormLoaded(kMessageForm));
}

// In the device and the language list, in the open list and in the closed box.
TEST_F(MainWindowTest, CutListEntriesShowTheirWholeTextAsATooltip) {
  const std::string whole =
      "Bench 7 {/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK3LQ-if00:115200}";
  for (int id : {tmain::kDeviceSelector, tmain::kLanguageSelector}) {
    auto* list = dynamic_cast<QComboBox*>(W(id));
    ASSERT_NE(list, nullptr);
    gui.AddItems({kMainForm, id}, {whole, "A1"});
    const int last = list->count() - 1;
    EXPECT_EQ(list->itemData(last - 1, Qt::ToolTipRole).toString().toStdString(), whole) << id;
    EXPECT_FALSE(list->itemData(last, Qt::ToolTipRole).isValid()) << id;
    gui.SelectItem({kMainForm, id}, last - 1);
    EXPECT_EQ(list->toolTip().toStdString(), whole) << id;
    gui.SelectItem({kMainForm, id}, last);
    EXPECT_TRUE(list->toolTip().isEmpty()) << id;
  }
}

TEST_F(MainWindowTest, KeysOfTheTableArriveOnceEachWhereverTheFocusIs) {
  gui.SetFocus({kMainForm, tmain::kCommandEntry});
  QTest::keyClicks(W(tmain::kCommandEntry), "LSPD=500,PX");
  Key(Qt::Key_Return);
  gui.SetText({kMainForm, tmain::kCommandEntry}, "ID");
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  Key(Qt::Key_Escape);  // idle: ABORT to the selected device
  EXPECT_EQ(hid->sent, (std::vector<std::string>{"LSPD=500", "PX", "ID", "ABORT"}));
  // Ctrl+P and Ctrl+S open Qt's own file dialogs; ESC closes the function-key list.
  for (Qt::Key key : {Qt::Key_P, Qt::Key_S})
    EXPECT_TRUE(OpensFileDialog([&] { Key(key, Qt::ControlModifier); })) << key;
  EXPECT_EQ(hid->sent.size(), 4u);
  OnDialog(kMessageForm, [](FormWindow* d) { QTest::keyClick(d->windowHandle(), Qt::Key_Escape); });
  QTest::mouseClick(W(tmain::kShowFunctionKeys), Qt::LeftButton);
  EXPECT_FALSE(gui.FormLoaded(kMessageForm));
}

TEST_F(MainWindowTest, AClickOnFifoTogglesFifoNotRecordHistoryAndItsTooltipShows) {
  QTest::mouseClick(Main()->windowHandle(), Qt::LeftButton, {}, Centre(200));  // "Record History"
  for (int i = 0; i < 3; ++i) gui.DoEvents();
  ASSERT_TRUE(gui.Checked({kMainForm, tmain::kRecordHistory}));
  ASSERT_TRUE(gui.Enabled({kMainForm, tmain::kFifo}));
  QTest::mouseClick(Main()->windowHandle(), Qt::LeftButton, {}, Centre(205));  // "FIFO"
  gui.DoEvents();
  EXPECT_TRUE(gui.Checked({kMainForm, tmain::kFifo}));
  EXPECT_TRUE(gui.Checked({kMainForm, tmain::kRecordHistory}));
  QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), W(tmain::kFifo)->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(W(tmain::kFifo), &help);
  EXPECT_EQ(QToolTip::text(), "Add to History in First In First Out order");
}

TEST_F(MainWindowTest, EveryByteSurvivesTheDisplayAndTheCounter) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  hid->answer = [&](const std::string&) { return bytes; };
  gui.SetText({kMainForm, tmain::kCommandEntry}, "ID");
  Key(Qt::Key_Return);
  const std::string core = application->DisplayText();
  EXPECT_NE(core.find(bytes), std::string::npos);
  EXPECT_EQ(gui.Text({kMainForm, tmain::kDisplay}), core);
  EXPECT_EQ(gui.Text({kMainForm, tmain::kByteCounter}), "Bytes: " + std::to_string(core.size()));
}

// Share of the pixels in `area` within 60 of palette colour `number` (per channel sum).
double Share(const QImage& image, const QRect& area, int number) {
  const ui::Rgb p = ui::look::PaletteColour(number);
  const auto d = [](int a, int b) { return std::abs(a - b); };
  int near = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      near += d(c.red(), p.red) + d(c.green(), p.green) + d(c.blue(), p.blue) < 60;
    }
  return static_cast<double>(near) / (area.width() * area.height());
}

TEST_F(MainWindowTest, WhatReachesTheScreen) {
  gui.SetText({kMainForm, tmain::kDelayBar}, "60%RED|40%GREEN");
  const QImage bar = W(tmain::kDelayBar)->grab().toImage();
  auto hue = [&](int x) { return bar.pixelColor(bar.width() * x / 10, bar.height() / 2).hsvHue(); };
  EXPECT_LT(std::min(hue(3), 360 - hue(3)), 20);  // red
  EXPECT_NEAR(hue(8), 120, 20);                   // green

  QWidget* clear = W(235);
  const int before = clear->grab().toImage().pixelColor(10, clear->height() - 4).lightness();
  QTest::mouseMove(Main()->windowHandle(), Centre(235));
  QTest::qWait(20);
  EXPECT_GT(clear->grab().toImage().pixelColor(10, clear->height() - 4).lightness(), before);

  // The byte counter (on label 280) and the check-box captions show their dark text.
  const QImage screen = Main()->grab().toImage();
  const QRect counter = W(tmain::kByteCounter)->geometry();
  EXPECT_GT(Share(screen, counter, 22), 0.5);
  EXPECT_GT(Share(screen, counter, 6), 0.005);
  for (int caption : {195, 200}) EXPECT_GT(Share(screen, W(caption)->geometry(), 0), 0.02);
  EXPECT_GT(Share(screen, W(205)->geometry(), 4), 0.02);
}

// Never smaller than created nor wider than the screen; the display takes the growth.
TEST_F(MainWindowTest, TheWindowsSizeStaysWithinBounds) {
  const ui::UnitRect created = MainFormSpec(96).place;
  gui.SetFormGeometry(kMainForm, {0, 0, 1, 1});
  EXPECT_EQ(gui.FormGeometry(kMainForm).width, created.width);
  ExpectPlacesOf(gui, MainFormSpec(96));
  gui.SetFormGeometry(kMainForm, {0, 0, 999, 999});
  EXPECT_LE(Main()->width(), Main()->screen()->virtualSize().width());
  EXPECT_GT(W(tmain::kDisplay)->height(), ui::UnitsToPixelsY(15.25, 96));
}

TEST_F(MainWindowTest, UpDownAndInsertAtTheCaretOnTheEntry) {
  gui.SetChecked({kMainForm, tmain::kRecordHistory}, true);
  for (const char* line : {"ID", "PX"})
    gui.SetText({kMainForm, tmain::kCommandEntry}, line), Key(Qt::Key_Return);
  gui.SetText({kMainForm, tmain::kCommandEntry}, "draft");
  std::vector<std::string> seen;
  for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down})
    Key(key), seen.push_back(gui.Text({kMainForm, tmain::kCommandEntry}));
  EXPECT_EQ(seen, (std::vector<std::string>{"PX", "ID", "ID", "PX", "draft"}));
  // The history's PX at the caret after "JX+,", wherever the click puts the focus.
  gui.SetText({kMainForm, tmain::kCommandEntry}, "JX+,STOP");
  gui.SetSelection({kMainForm, tmain::kCommandEntry}, {4, 4});
  QTest::mouseClick(W(tmain::kHistoryToSelection), Qt::LeftButton), Pump();
  EXPECT_EQ(gui.Text({kMainForm, tmain::kCommandEntry}), "JX+,PX,STOP");
}

TEST_F(MainWindowTest, ASaveDialogReplacesAnExistingFileWithoutAsking) {
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "myfile.txt", ""));
  WhenModal([](QDialog* dialog) {
    ASSERT_NE(qobject_cast<QFileDialog*>(dialog), nullptr);
    // A replace question would be a second modal dialog: refuse both to fail, not hang.
    QTimer::singleShot(500, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    dialog->accept();
  });
  EXPECT_EQ(gui.FileDialog({true, kMainForm, "Save Terminal", folder.Path(), "myfile.txt",
                            "Text|*.txt", "txt"}),
            folder / "myfile.txt");
  WhenModal([](QDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(gui.FileDialog({true, kMainForm, "Save", folder.Path(), "a.txt", "", ""}), "");
}

TEST_F(MainWindowTest, AMessageBoxShowsPlainLinesAndReturnsTheButton) {
  for (ui::MessageBoxAnswer answer : {MessageBoxAnswer::Accepted, MessageBoxAnswer::Declined}) {
    WhenModal([answer](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), QString::fromUtf8("<b>Device</b>\nNot Available \xC2\xB5"));
      box->button(answer == MessageBoxAnswer::Accepted ? QMessageBox::Yes : QMessageBox::No)
          ->click();
    });
    EXPECT_EQ(gui.MessageBox({kMainForm, "<b>Device</b>|Not Available \xB5", "Title",
                              ui::MessageBoxRequest::Buttons::YesNo}),
              answer);
  }
}

TEST_F(MainWindowTest, TheHelpWindowRendersMarkdownAndFollowsLinks) {
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "index.md", "# Terminal\n\nSee [it](next.md).\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "next.md", "# Scripts\n\nEvery keyword.\n"));
  EXPECT_FALSE(gui.ShowHelpWindow("Help", folder / "none.md"));
  ASSERT_TRUE(gui.ShowHelpWindow("Help", folder / "index.md"));
  QTextBrowser* browser = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QTextBrowser*>(w)) browser = b;
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().startsWith("Terminal"));  // a heading, not "# Terminal"
  browser->setSource(QUrl("next.md"));
  EXPECT_TRUE(browser->toPlainText().startsWith("Scripts"));
  browser->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(browser));
  QTest::keyClick(browser, Qt::Key_Escape);
  EXPECT_FALSE(browser->isVisible());
}

// Where Debian's translations of Qt have the language; English again without one.
TEST_F(MainWindowTest, QtsOwnDialogsFollowTheChosenLanguage) {
  for (auto [language, cancel] :
       {std::pair{"de", "Abbrechen"}, {"zz", "Cancel"}, {"de", "Abbrechen"}, {"", "Cancel"}}) {
    gui.SetDialogLanguage(language);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel) << language;
  }
}

// 2 pixels just outside the control that has the keyboard; the frame follows the focus.
TEST_F(MainWindowTest, TheFocusIsFramedInTheHighlightColour) {
  const QColor highlight = QApplication::palette().color(QPalette::Highlight);
  // The colour just left of a control's middle, and 3 pixels further out.
  const auto beside = [this](int id) {
    const QImage shot = Main()->grab().toImage();
    const QRect place = W(id)->geometry();
    return std::pair(shot.pixelColor(place.left() - 1, place.center().y()),
                     shot.pixelColor(place.left() - 2, place.center().y()));
  };
  for (int id : {tmain::kCommandEntry, tmain::kSaveDisplay, tmain::kDeviceSelector}) {
    W(id)->setFocus(Qt::TabFocusReason);
    gui.DoEvents();
    EXPECT_EQ(beside(id), std::pair(highlight, highlight)) << id;
  }
  EXPECT_NE(beside(tmain::kCommandEntry).first, highlight);  // it moved on
}

// Row by row from the top, left to right, the save button and the display too.
TEST_F(MainWindowTest, TabReachesEveryControlInReadingOrder) {
  std::vector<QWidget*> reachable;
  for (Control* c : Main()->Controls()) {
    QWidget* w = c->Widget();
    if (w->focusPolicy() != Qt::NoFocus && w->isVisible() && w->isEnabled()) reachable.push_back(w);
  }
  ASSERT_FALSE(reachable.empty());
  W(tmain::kDeviceSelector)->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> visited{QApplication::focusWidget()};
  for (std::size_t i = 0; i < reachable.size() + 2; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    if (QApplication::focusWidget() == visited.front()) break;
    visited.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ(visited.size(), reachable.size());
  for (int id : {tmain::kSaveDisplay, tmain::kDisplay, tmain::kCommandEntry, tmain::kHistory})
    EXPECT_NE(std::find(visited.begin(), visited.end(), W(id)), visited.end()) << id;
  for (std::size_t i = 1; i < visited.size(); ++i) {
    const QRect before = visited[i - 1]->geometry(), now = visited[i]->geometry();
    // Never back up a row, never leftwards within one.
    EXPECT_FALSE(now.bottom() < before.top()) << i;
    EXPECT_TRUE(now.top() >= before.center().y() || now.left() > before.left()) << i;
  }
}

}  // namespace
}  // namespace ui::qt

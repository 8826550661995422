// The display's find bar driven by keys, and its plot, on the real main window (offscreen).
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cctype>
#include <tuple>

#include "ui/qt/log_view.h"
#include "ui/qt/running_window.h"

namespace ui::qt {
namespace {

using namespace app;

class DisplayToolsTest : public RunningWindow {
 protected:
  LogView& Display() {
    return *dynamic_cast<LogView*>(gui.ControlWidget({kMainForm, tmain::kDisplay}));
  }
  // Keys into `widget` (by default the find bar's text) while it has the keyboard.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, QWidget* widget = nullptr) {
    QTest::keyClick(widget ? widget : Edit(), key, modifiers), Pump();
  }
  void Type(const QString& text) { QTest::keyClicks(Edit(), text), Pump(); }
  QLineEdit* Edit() { return Display().Finder().findChild<QLineEdit*>(); }
};

// Ctrl+F opens the bar, typing finds, (Shift+)Enter steps round, the case switch narrows, ESC
// closes it; Enter and ESC are the bar's: nothing goes to the device.
TEST_F(DisplayToolsTest, TheFindBarFindsStepsAndCountsWithItsOwnKeys) {
  for (const char* line : {"PX", "ID", "px", "STATUS PX"})
    application->ExecuteOnSelectedDevice(line);
  gui.DoEvents();
  const std::vector<std::string> sent = hid->sent;
  gui.SetFocus({kMainForm, tmain::kCommandEntry});
  gui.DoEvents();
  Key(Qt::Key_F, Qt::ControlModifier, gui.ControlWidget({kMainForm, tmain::kCommandEntry}));
  FindBar& bar = Display().Finder();
  ASSERT_FALSE(bar.isHidden());
  EXPECT_TRUE(Edit()->hasFocus() || !Main()->isActiveWindow());
  EXPECT_EQ(bar.CountText(), "Type the text to find");
  // The bar takes a strip above the text; the search starts at the top line shown.
  EXPECT_GE(bar.geometry().top(), 0);
  EXPECT_GE(Display().viewport()->y(), bar.geometry().bottom());
  Display().verticalScrollBar()->setValue(0);
  Type("px");
  const auto starts = [](std::string text, bool fold) {  // of "px"
    for (char& c : text)
      if (fold) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::size_t> at;
    for (std::size_t i = 0; (i = text.find("px", i)) != std::string::npos; i += 2) at.push_back(i);
    return at;
  };
  const std::vector<std::size_t> any = starts(Display().Text(), true),
                                 expected = starts(Display().Text(), false);
  ASSERT_GE(any.size(), 3u) << Display().Text();
  ASSERT_LT(expected.size(), any.size());
  const std::string n = " of " + std::to_string(any.size());
  EXPECT_EQ(Display().Matches(), any);
  EXPECT_EQ(bar.CountText().toStdString(), "1" + n);
  for (const auto& [key, modifiers, count] : {std::tuple{Qt::Key_Return, Qt::NoModifier, "2"},
                                              {Qt::Key_Return, Qt::ShiftModifier, "1"},
                                              {Qt::Key_Return, Qt::ShiftModifier, ""},
                                              {Qt::Key_Enter, Qt::NoModifier, "1"}}) {
    Key(key, modifiers);
    // "": round to the last match
    EXPECT_EQ(bar.CountText().toStdString(), (*count ? count : std::to_string(any.size())) + n);
    const std::size_t at = Display().Matches()[Display().CurrentMatch()];
    EXPECT_EQ(Display().Selection(),
              (ui::TextSelection{static_cast<int>(at), static_cast<int>(at + 2)}));
  }
  bar.SetMatchCase(true);
  gui.DoEvents();
  EXPECT_EQ(Display().Matches(), expected);
  // A line that ends gives the keyboard to the command entry; the open bar keeps it and
  // returns it there.
  QWidget* entry = gui.ControlWidget({kMainForm, tmain::kCommandEntry});
  gui.SetFocus({kMainForm, tmain::kDisplay});
  gui.SetFocus({kMainForm, tmain::kCommandEntry});
  gui.DoEvents();
  EXPECT_EQ(Main()->focusWidget(), Edit());
  Key(Qt::Key_Escape);
  EXPECT_TRUE(bar.isHidden());
  EXPECT_EQ(Main()->focusWidget(), entry);
  EXPECT_TRUE(Display().Matches().empty());
  EXPECT_EQ(hid->sent, sent);
}

// What cannot be found says why; control pictures find the bytes the display shows with them.
TEST_F(DisplayToolsTest, TheFindBarExplainsEmptyAndImpossibleTexts) {
  Display().SetText("a\r\nb\001c\r\n");
  Display().OpenFinder();
  FindBar& bar = Display().Finder();
  const std::tuple<QString, std::size_t, QString> cases[] = {
      {"", 0, "Type the text to find"},
      {QString(QChar(0x20AC)), 0, "A character of it is never in the display"},
      {QString(QChar(0x2401)), 1, "1 of 1"},
      {QString(QChar(0x240D)) + QChar(0x240A), 2, "1 of 2"},
      {"zz", 0, "No matches"}};
  for (const auto& [query, matches, count] : cases) {
    bar.SetQuery(query);
    EXPECT_EQ(std::pair(Display().Matches().size(), bar.CountText()), std::pair(matches, count))
        << query.toStdString();
  }
}

// Tens of megabytes searched whole; appended text found as it comes.
TEST_F(DisplayToolsTest, TheFindBarSearchesABigDisplayAndKeepsUpWithAppends) {
  std::string text;
  for (int i = 0; i < 300000; ++i)
    text += " >> LSPD=" + std::to_string(i) + "\r\n      Reply: OK (0ms)\r\n";
  Display().SetText(text);
  Display().OpenFinder();
  Display().Finder().SetQuery("lspd=1234");
  // 1234, 12340..12349, 123400..123499
  EXPECT_EQ(Display().Matches().size(), 111u);
  Display().AppendText(" >> LSPD=1234\r\n");
  EXPECT_EQ(Display().Matches().size(), 112u);
  EXPECT_EQ(Display().Matches().back(), text.size() + 4);
}

// Non-overlapping matches from a place on; Latin-1 folding spares the signs x and /.
TEST(FindMatches, FindsEveryMatchAsTheCaseSwitchSays) {
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "aaaa";
  many += "A";
  const std::tuple<std::string, std::string, bool, int, std::vector<std::size_t>> cases[] = {
      {"aaaa", "aa", true, 0, {0, 2}},
      {"xAbxabxAB", "ab", false, 0, {1, 4, 7}},
      {"xAbxabxAB", "ab", true, 0, {4}},
      {"xAbxabxAB", "ab", false, 2, {4, 7}},
      {"\xC9t\xE9", "\xE9", false, 0, {0, 2}},
      {"\xD7\xF7", "\xF7", false, 0, {1}},
      {"ab", "abc", false, 0, {}},
      {"end", "nd", false, 0, {1}},
      {many, "a", true, 3999, {3999}},
      {many, "a", false, 3998, {3998, 3999, 4000}}};
  for (const auto& [text, pattern, matchCase, from, expected] : cases) {
    std::vector<std::size_t> starts;
    FindMatches(text, pattern, matchCase, from, starts);
    EXPECT_EQ(starts, expected) << pattern << " " << matchCase << " " << from;
  }
}

// The display's menu opens the plot of the replies that are numbers.
TEST_F(DisplayToolsTest, TheDisplaysMenuOpensThePlotOfTheRun) {
  hid->answer = [](const std::string& command) {
    return std::string(command == "PX" ? "5" : "OK");
  };
  application->ExecuteOnSelectedDevice("PX,ID,PX");
  gui.DoEvents();
  ChooseFromContextMenu(Display().viewport(), "Plot..."), Pump();
  ASSERT_NE(gui.Plot(), nullptr);
  EXPECT_TRUE(gui.Plot()->isVisible());
  EXPECT_EQ(gui.Plot()->SeriesList().count(), 1);
  EXPECT_EQ(gui.Plot()->DrawnPoints("PX"), 2);
}

}  // namespace
}  // namespace ui::qt

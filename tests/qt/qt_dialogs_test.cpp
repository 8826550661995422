// The library dialogs, the help window and tooltips of the Qt backend,
// answered the way an operator would answer them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <functional>

#include "app/qt/qt_gui.h"

namespace app::qt {
namespace {

class Sink : public gui::EventSink {
 public:
  void OnEvent(const gui::Event& e, gui::EventReply& reply) override {
    events.push_back(e);
    if (e.code == gui::event::kTooltip)
      reply.tooltip = "Add to History in First In First Out order";
  }
  void OnDraw(const gui::DrawRequest&, gui::Canvas&) override {}
  int Count(int control, int code) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const gui::Event& e) {
      return e.control == control && e.code == code;
    }));
  }
  std::vector<gui::Event> events;
};

// Runs `answer` on the modal dialog that the next call opens.
void Answer(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    answer(dialog);
  });
}

class QtDialogsTest : public ::testing::Test {
 protected:
  QtDialogsTest() {
    gui.SetEventSink(&sink);
    gui::FormSpec form;
    form.name = "M";
    form.place = {0, 0, 40, 20};
    gui::ControlSpec fifo;
    fifo.id = 215;
    fifo.kind = gui::ControlKind::CheckBox;
    fifo.place = {1, 4, 10, 2};
    fifo.tooltip = true;
    form.controls = {fifo};
    gui.LoadForm(form);
    EXPECT_TRUE(QTest::qWaitForWindowActive(gui.FormWidget("M")));
  }
  QtGui gui;
  Sink sink;
};

TEST_F(QtDialogsTest, ASaveDialogReplacesAnExistingFileWithoutAsking) {
  QTemporaryDir folder;
  QFile existing(folder.filePath("myfile.txt"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  Answer([](QWidget* dialog) {
    ASSERT_NE(qobject_cast<QFileDialog*>(dialog), nullptr);  // Qt's own dialog
    // A question about replacing the file would be a second modal dialog:
    // refuse it, and close the file dialog, so the test fails, not hangs.
    QTimer::singleShot(500, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    static_cast<QDialog*>(dialog)->accept();
  });
  const std::string chosen = gui.FileDialog(
      {true, "M", "Save Terminal", folder.path().toStdString(), "myfile.txt", "Text|*.txt", "txt"});
  EXPECT_EQ(chosen, folder.filePath("myfile.txt").toStdString());

  Answer([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
  EXPECT_EQ(gui.FileDialog({true, "M", "Save", folder.path().toStdString(), "a.txt", "", ""}), "");
}

TEST_F(QtDialogsTest, AMessageBoxShowsPlainLinesAndReturnsTheButton) {
  for (int button : {1, 2}) {
    Answer([button](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), QString::fromUtf8("<b>Device</b>\nNot Available \xC2\xB5"));
      box->button(button == 1 ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    EXPECT_EQ(gui.MessageBox({"M", "<b>Device</b>|Not Available \xB5", "Title", "YESNO"}), button);
  }
}

TEST_F(QtDialogsTest, TheHelpWindowRendersMarkdownAndFollowsLinks) {
  QTemporaryDir folder;
  QFile index(folder.filePath("index.md")), next(folder.filePath("next.md"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly) && next.open(QIODevice::WriteOnly));
  index.write("# Terminal\n\nSee [scripts](next.md).\n");
  next.write("# Scripts\n\nEvery keyword.\n");
  index.close();
  next.close();
  EXPECT_FALSE(gui.ShowHelpWindow("Help", folder.filePath("none.md").toStdString()));
  ASSERT_TRUE(gui.ShowHelpWindow("Help", index.fileName().toStdString()));
  QTextBrowser* browser = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* b = qobject_cast<QTextBrowser*>(w)) browser = b;
  }
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().startsWith("Terminal"));  // a heading, not "# Terminal"
  browser->setSource(QUrl("next.md"));
  EXPECT_TRUE(browser->toPlainText().startsWith("Scripts"));
}

TEST_F(QtDialogsTest, ATooltipShowsTheTextTheApplicationAnswers) {
  QWidget* fifo = gui.ControlWidget("M", 215);
  QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), fifo->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(fifo, &help);
  EXPECT_EQ(sink.Count(215, gui::event::kTooltip), 1);
  EXPECT_EQ(QToolTip::text(), "Add to History in First In First Out order");
}

}  // namespace
}  // namespace app::qt

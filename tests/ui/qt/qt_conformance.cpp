// The contract's conformance suite on the Qt backend, with hands that act
// through Qt's input, each action queued so it comes from the event loop.
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "tests/ui/contract/conformance.h"
#include "ui/qt/qt_gui.h"

namespace gui_conformance {
namespace {

Qt::Key QtKey(int keyCode) {
  namespace key = ui::key;
  if (keyCode == key::kEnter) return Qt::Key_Return;
  if (keyCode == key::kEscape) return Qt::Key_Escape;
  if (keyCode == key::kUp) return Qt::Key_Up;
  if (keyCode == key::kDown) return Qt::Key_Down;
  if (keyCode >= key::kF1 && keyCode < key::kF1 + 24) {
    return static_cast<Qt::Key>(Qt::Key_F1 + (keyCode - key::kF1));
  }
  return static_cast<Qt::Key>(keyCode);  // letters and digits
}

class QtHands : public Backend {
 public:
  ui::Gui& Gui() override { return gui_; }
  void Click(const ui::ControlRef& control) override {
    Later([=, this] { QTest::mouseClick(gui_.ControlWidget(control), Qt::LeftButton); });
  }
  void PressKey(const std::string& form, int keyCode, bool control) override {
    Later([=, this] {
      QTest::keyClick(gui_.FormWidget(form)->windowHandle(), QtKey(keyCode),
                      control ? Qt::ControlModifier : Qt::NoModifier);
    });
  }
  void Pick(const ui::ControlRef& control, int index) override {
    Later([=, this] {
      auto* list = static_cast<QComboBox*>(gui_.ControlWidget(control));
      list->showPopup();
      QAbstractItemView* view = list->view();
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        view->visualRect(view->model()->index(index, 0)).center());
    });
  }
  void RequestClose(const std::string& form) override {
    Later([=, this] { gui_.FormWidget(form)->close(); });
  }
  // The box's context menu opened at a point inside it; the entry is
  // triggered from inside the menu's own loop, as a click on it would.
  void ChooseDisplayOptions(const ui::ControlRef& control,
                            const ui::DisplayOptions& options) override {
    Later([=, this] {
      const ui::DisplayOptions now = gui_.GetDisplayOptions(control);
      const char* stampCaptions[] = {"Off", "Time of Day", "Time Since Previous Entry"};
      const QString wanted =
          QString::fromLatin1(options.sessionLog != now.sessionLog
                                  ? "Session Log"
                                  : stampCaptions[static_cast<int>(options.timeStamps)]);
      QTimer::singleShot(0, [wanted] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->findChildren<QAction*>()) {
          if (action->text() == wanted) {
            action->trigger();
            break;
          }
        }
        menu->close();
      });
      QWidget* viewport =
          static_cast<QAbstractScrollArea*>(gui_.ControlWidget(control))->viewport();
      QContextMenuEvent open(QContextMenuEvent::Mouse, QPoint(5, 5),
                             viewport->mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(viewport, &open);
    });
  }
  void Paint(const ui::ControlRef& control) override {
    Later([=, this] { gui_.ControlWidget(control)->repaint(); });
  }

 private:
  void Later(std::function<void()> action) { QTimer::singleShot(0, &gui_, std::move(action)); }
  ui::qt::QtGui gui_;
};

INSTANTIATE_TEST_SUITE_P(Qt, GuiConformance,
                         ::testing::Values(BackendFactory{
                             "Qt", [] { return std::make_unique<QtHands>(); }}),
                         FactoryName);

}  // namespace
}  // namespace gui_conformance

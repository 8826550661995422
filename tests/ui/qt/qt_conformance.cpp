// The conformance suite on Qt, with hands acting through Qt's input from the event loop.
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include "tests/ui/contract/conformance.h"
#include "ui/qt/qt_gui.h"
#include "ui/qt/running_window.h"

namespace gui_conformance {
namespace {

Qt::Key QtKey(int keyCode) {
  namespace key = ui::key;
  if (keyCode == key::kEnter) return Qt::Key_Return;
  if (keyCode == key::kEscape) return Qt::Key_Escape;
  if (keyCode >= key::kF1 && keyCode < key::kF1 + 24)
    return static_cast<Qt::Key>(Qt::Key_F1 + (keyCode - key::kF1));
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
  void ChooseDisplayOptions(const ui::ControlRef& control,
                            const ui::DisplayOptions& options) override {
    Later([=, this] {
      const ui::DisplayOptions now = gui_.GetDisplayOptions(control);
      const char* stampCaptions[] = {"Off", "Time of Day", "Time Since Previous Entry"};
      ui::qt::ChooseFromContextMenu(
          static_cast<QAbstractScrollArea*>(gui_.ControlWidget(control))->viewport(),
          options.sessionLog != now.sessionLog
              ? "Session Log"
              : stampCaptions[static_cast<int>(options.timeStamps)]);
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

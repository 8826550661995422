// The plot window offscreen: check boxes, pause, the wheel, drags, marks and its two exports.
#include "ui/qt/plot_window.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QTest>
#include <QWheelEvent>

#include "support/test_folder.h"

namespace ui::qt {
namespace {

class PlotWindowTest : public ::testing::Test {
 protected:
  PlotWindowTest() {
    for (int i = 0; i <= 100; ++i) data->Add("PX", i * 0.1, i * 10);
    data->Add("PS", 0, 5);
    data->Add("\xB5X", 0, 1);  // a command's byte beyond ASCII
    window.resize(900, 500);
    window.show();
    Settle();
  }
  // The timer's next redraws and the layout's.
  void Settle() {
    for (int i = 0; i < 3; ++i) QTest::qWait(60);
  }
  QPointF Pixel(double time, double value) {
    return window.View().chart()->mapToPosition(QPointF(time, value));
  }
  std::shared_ptr<PlotData> data = std::make_shared<PlotData>();
  PlotWindow window{data};
};

TEST_F(PlotWindowTest, CheckBoxesShowSeriesAndPauseHoldsTheCurveWhileDataGrow) {
  ASSERT_EQ(window.SeriesList().count(), 3);
  for (auto [command, points] : {std::pair{"PX", 101}, {"PS", 1}, {"\xB5X", 1}})
    EXPECT_EQ(window.DrawnPoints(command), points) << command;
  window.SeriesList().item(1)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(window.DrawnPoints("PS"), 0);

  QTest::mouseClick(&window.PauseButton(), Qt::LeftButton);
  EXPECT_TRUE(window.Paused());
  for (int i = 101; i < 110; ++i) data->Add("PX", i * 0.1, i * 10);
  Settle();
  EXPECT_EQ(window.DrawnPoints("PX"), 101);
  QTest::mouseClick(&window.PauseButton(), Qt::LeftButton);
  EXPECT_EQ(window.DrawnPoints("PX"), 110);
  EXPECT_EQ(window.ShownRange().right(), 10.9);  // still following the data
  // Closed, it leaves the data alone; shown again, it takes them.
  window.hide();
  data->Add("PX", 11, 1100);
  Settle();
  EXPECT_EQ(window.DrawnPoints("PX"), 110);
  window.show();
  EXPECT_EQ(window.DrawnPoints("PX"), 111);
}

TEST_F(PlotWindowTest, TheWheelZoomsAtTheCursorAndADragMovesTheTimes) {
  const QRectF before = window.ShownRange();
  const QPointF at = Pixel(5, 500);
  QWheelEvent wheel(at, window.View().mapToGlobal(at.toPoint()), {}, {0, 120}, Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(window.View().viewport(), &wheel);
  const QRectF zoomed = window.ShownRange();
  EXPECT_NEAR(zoomed.width(), before.width() * 0.8, 1e-9);
  EXPECT_NEAR(zoomed.left() + zoomed.width() / 2, 5, 0.05);  // around the cursor
  EXPECT_EQ(zoomed.height(), before.height());
  // A drag to the right shows earlier times; new samples no longer move it.
  QTest::mousePress(window.View().viewport(), Qt::LeftButton, {}, at.toPoint());
  QTest::mouseMove(window.View().viewport(), (at + QPointF(100, 0)).toPoint());
  QTest::mouseRelease(window.View().viewport(), Qt::LeftButton, {},
                      (at + QPointF(100, 0)).toPoint());
  EXPECT_LT(window.ShownRange().left(), zoomed.left());
  EXPECT_NEAR(window.ShownRange().width(), zoomed.width(), 1e-9);
  const QRectF dragged = window.ShownRange();
  data->Add("PX", 20, 2000);
  Settle();
  EXPECT_EQ(window.ShownRange(), dragged);
  window.Fit();
  EXPECT_EQ(window.ShownRange().right(), 20);
}

TEST_F(PlotWindowTest, TwoClicksMarkSamplesAndShowTheirDifference) {
  QTest::mouseClick(window.View().viewport(), Qt::LeftButton, {},
                    (Pixel(2, 200) + QPointF(2, 1)).toPoint());
  QTest::mouseClick(window.View().viewport(), Qt::LeftButton, {}, Pixel(7, 700).toPoint());
  EXPECT_EQ(window.MarksText().toStdString(),
            "A: PX at 2 s = 200    B: PX at 7 s = 700    B - A: 5 s, 500");
  QTest::mouseMove(window.View().viewport(), Pixel(3, 250).toPoint());
  EXPECT_TRUE(window.ReadoutText().startsWith("time 3")) << window.ReadoutText().toStdString();
}

TEST_F(PlotWindowTest, ThePictureShowsTheCurveAndTheTableEverySample) {
  testing_support::TestFolder folder;
  ASSERT_TRUE(window.SavePicture(folder / "plot.png"));
  QImage picture(QString::fromStdString(folder / "plot.png"));
  ASSERT_FALSE(picture.isNull());
  // The curve's own colour where PX is 500 at 5 s.
  const QColor curve = window.View().chart()->series().front()->property("color").value<QColor>();
  const QPoint at = Pixel(5, 500).toPoint();
  bool found = false;
  for (int dx = -2; dx <= 2 && !found; ++dx)
    for (int dy = -2; dy <= 2 && !found; ++dy)
      found = picture.pixelColor(at + QPoint(dx, dy)) == curve;
  EXPECT_TRUE(found);
  ASSERT_TRUE(window.SaveTable(folder / "plot.csv"));
  EXPECT_EQ(testing_support::Read(folder / "plot.csv"), PlotCsv(*data));
  EXPECT_FALSE(window.SaveTable(folder / "no/plot.csv"));
}

}  // namespace
}  // namespace ui::qt

// The live plot (Gui::OpenPlotWindow): every series of a ui::PlotData as a
// line over time, drawn with Qt Charts.
//
// The window is a view of the data: it reads them on a timer (every 50 ms,
// and only when their generation changed), never per sample, and draws for
// each shown series only the samples Decimate picks for the chart's pixel
// columns, so a series of a million samples redraws in a few milliseconds.
//
// The operator shows and hides series with the check boxes of the list,
// pauses and resumes the drawing (the data keep growing meanwhile), zooms
// the time axis with the wheel (the value axis with Shift and the wheel),
// drags the plot with the left button, reads time and value under the
// crosshair, and clicks two samples to mark them: the marks' difference in
// time and value is shown. "Fit" follows the whole data again. The plot is
// saved as a PNG picture or a CSV table of every sample.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRectF>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"
#include "ui/contract/plot_data.h"

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace ui::qt {

class PlotWindow : public QWidget {
 public:
  explicit PlotWindow(std::shared_ptr<const ui::PlotData> source, QWidget* parent = nullptr);
  ~PlotWindow() override;

  void SetData(std::shared_ptr<const ui::PlotData> source);
  // Takes what the data hold now: new series join the list (the first few
  // checked), the curves of the checked series are drawn again. The timer
  // calls it while the plot runs and the data changed.
  void Refresh();
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  // Every series checked (the picture of a run shows them all).
  void CheckAll();

  // The range shown: time from left to right, value from bottom to top.
  QRectF ShownRange() const { return range_; }
  // Shows `range` and stops following the data until Fit.
  void ShowRange(const QRectF& range);
  void Fit();

  // Marks the sample nearest to `position` (in the chart view's pixels) of
  // the shown series: the first and the second mark, then the first again.
  void MarkAt(const QPointF& position);
  QString MarksText() const { return marks_->text(); }
  QString ReadoutText() const { return readout_->text(); }

  // The picture of the chart as shown now, and the two exports.
  QImage Picture() const;
  platform::Result<> SavePicture(const std::string& path) const;
  platform::Result<> SaveTable(const std::string& path) const;

  QListWidget& SeriesList() { return *list_; }
  QPushButton& PauseButton() { return *pause_; }
  QChartView& View() { return *view_; }
  // How many points the curve of `key` draws now (0: not shown).
  int DrawnPoints(const std::string& key) const;

  // The view's mouse: wheel zoom, drag, crosshair, marks.
  void Wheel(const QPointF& position, int delta, bool values);
  void Drag(const QPointF& from, const QPointF& to, const QRectF& start);
  void Hover(const QPointF& position);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Mark {
    std::string key;
    ui::PlotPoint point;
  };
  void SyncList();
  QLineSeries* CurveOf(const std::string& key);
  void ShowMarks();
  void Tick();
  void AskAndSave(bool picture);

  std::shared_ptr<const ui::PlotData> data_;
  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  QValueAxis* timeAxis_ = nullptr;
  QValueAxis* valueAxis_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* pause_ = nullptr;
  QLabel* readout_ = nullptr;
  QLabel* marks_ = nullptr;
  QLabel* notice_ = nullptr;
  QTimer timer_;
  std::map<std::string, QLineSeries*> curves_;
  QRectF range_{0, 0, 1, 1};
  bool following_ = true;
  bool paused_ = false;
  std::uint64_t shownGeneration_ = ~std::uint64_t{0};
  std::optional<Mark> first_;
  std::optional<Mark> second_;
  bool nextIsFirst_ = true;
};

}  // namespace ui::qt

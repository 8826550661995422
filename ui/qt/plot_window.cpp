#include "ui/qt/plot_window.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/files.h"
#include "ui/contract/window.h"

namespace ui::qt {
namespace {

// Series checked when they first appear; more would hide each other.
constexpr int kFirstChecked = 8;
// A click that moves less than this (pixels) marks rather than drags.
constexpr double kClickSlop = 3;

QString Number(double value) {
  return QString::number(value, 'g', 10);
}

// The chart view: the operator's mouse goes to the window, the crosshair
// and the marks are painted over the chart.
class PlotView : public QChartView {
 public:
  PlotView(QChart* chart, PlotWindow& window) : QChartView(chart), window_(window) {
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing, false);
  }
  std::optional<QPointF> crosshair;
  std::vector<std::pair<QString, QPointF>> marks;  // label and value point

 protected:
  void wheelEvent(QWheelEvent* event) override {
    window_.Wheel(event->position(), event->angleDelta().y(),
                  (event->modifiers() & Qt::ShiftModifier) != 0);
    event->accept();
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QChartView::mousePressEvent(event);
    pressed_ = event->position();
    pressedRange_ = window_.ShownRange();
    event->accept();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (pressed_ && (event->buttons() & Qt::LeftButton)) {
      window_.Drag(*pressed_, event->position(), pressedRange_);
    }
    window_.Hover(event->position());
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !pressed_) {
      return QChartView::mouseReleaseEvent(event);
    }
    const QPointF moved = event->position() - *pressed_;
    if (std::abs(moved.x()) < kClickSlop && std::abs(moved.y()) < kClickSlop) {
      window_.MarkAt(event->position());
    }
    pressed_.reset();
    event->accept();
  }
  void leaveEvent(QEvent* event) override {
    crosshair.reset();
    viewport()->update();
    QChartView::leaveEvent(event);
  }
  void drawForeground(QPainter* painter, const QRectF& rect) override {
    QChartView::drawForeground(painter, rect);
    const QRectF area = chart()->plotArea();
    painter->save();
    if (crosshair && area.contains(*crosshair)) {
      painter->setPen(QPen(QColor(120, 120, 120), 0, Qt::DashLine));
      painter->drawLine(QPointF(crosshair->x(), area.top()),
                        QPointF(crosshair->x(), area.bottom()));
      painter->drawLine(QPointF(area.left(), crosshair->y()),
                        QPointF(area.right(), crosshair->y()));
    }
    painter->setPen(QPen(QColor(200, 0, 0), 2));
    for (const auto& [label, value] : marks) {
      const QPointF at = chart()->mapToPosition(value);
      if (!area.contains(at)) continue;
      painter->drawEllipse(at, 5, 5);
      painter->drawText(at + QPointF(7, -7), label);
    }
    painter->restore();
  }

 private:
  PlotWindow& window_;
  std::optional<QPointF> pressed_;
  QRectF pressedRange_;
};

PlotView& ViewOf(QChartView& view) {
  return static_cast<PlotView&>(view);
}

}  // namespace

PlotWindow::PlotWindow(std::shared_ptr<const ui::PlotData> source, QWidget* parent)
    : QWidget(parent), data_(std::move(source)) {
  setWindowTitle(QStringLiteral("Plot - Halvorn Terminal"));
  chart_ = new QChart();
  chart_->legend()->setAlignment(Qt::AlignBottom);
  timeAxis_ = new QValueAxis(chart_);
  timeAxis_->setTitleText(QStringLiteral("time (s)"));
  valueAxis_ = new QValueAxis(chart_);
  valueAxis_->setTitleText(QStringLiteral("reply"));
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(valueAxis_, Qt::AlignLeft);
  view_ = new PlotView(chart_, *this);

  list_ = new QListWidget(this);
  list_->setMaximumWidth(200);
  connect(list_, &QListWidget::itemChanged, this, [this] { Refresh(); });
  pause_ = new QPushButton(QStringLiteral("Pause"), this);
  pause_->setCheckable(true);
  connect(pause_, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
  auto* fit = new QPushButton(QStringLiteral("Fit"), this);
  connect(fit, &QPushButton::clicked, this, [this] { Fit(); });
  auto* picture = new QPushButton(QStringLiteral("Save Picture..."), this);
  connect(picture, &QPushButton::clicked, this, [this] { AskAndSave(true); });
  auto* table = new QPushButton(QStringLiteral("Save Table..."), this);
  connect(table, &QPushButton::clicked, this, [this] { AskAndSave(false); });
  readout_ = new QLabel(this);
  marks_ = new QLabel(QStringLiteral("Click two samples to mark them."), this);
  notice_ = new QLabel(this);
  notice_->setStyleSheet(QStringLiteral("color: #a00000"));
  notice_->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{pause_, fit, picture, table}) {
    buttons->addWidget(w);
  }
  buttons->addWidget(readout_, 1);
  auto* middle = new QHBoxLayout;
  middle->addWidget(list_);
  middle->addWidget(view_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addLayout(middle, 1);
  layout->addWidget(marks_);
  layout->addWidget(notice_);
  resize(1000, 600);

  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start(50);
  Refresh();
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!paused_) Refresh();
}

void PlotWindow::SetData(std::shared_ptr<const ui::PlotData> source) {
  if (source == data_) return;
  data_ = std::move(source);
  for (auto& [key, curve] : curves_) {
    chart_->removeSeries(curve);
    delete curve;
  }
  curves_.clear();
  list_->clear();
  first_.reset();
  second_.reset();
  ShowMarks();
  Fit();
}

void PlotWindow::Tick() {
  // A closed window costs nothing: it takes the data again when shown.
  if (!paused_ && isVisible() && data_ && data_->Generation() != shownGeneration_) Refresh();
}

void PlotWindow::SyncList() {
  const auto& series = data_->Series();
  const QSignalBlocker quiet(list_);
  for (int i = list_->count(); i < static_cast<int>(series.size()); ++i) {
    auto* item = new QListWidgetItem(QString::fromLatin1(series[i]->Key().c_str()), list_);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(i < kFirstChecked ? Qt::Checked : Qt::Unchecked);
  }
}

void PlotWindow::CheckAll() {
  if (!data_) return;
  SyncList();
  {
    const QSignalBlocker quiet(list_);
    for (int i = 0; i < list_->count(); ++i) list_->item(i)->setCheckState(Qt::Checked);
  }
  Refresh();
}

QLineSeries* PlotWindow::CurveOf(const std::string& key) {
  if (auto found = curves_.find(key); found != curves_.end()) return found->second;
  auto* curve = new QLineSeries();
  curve->setName(QString::fromLatin1(key.c_str()));
  // Decimated curves hold a few thousand points: OpenGL would not pay.
  chart_->addSeries(curve);
  curve->attachAxis(timeAxis_);
  curve->attachAxis(valueAxis_);
  curves_[key] = curve;
  return curve;
}

void PlotWindow::Refresh() {
  if (!data_) return;
  shownGeneration_ = data_->Generation();
  SyncList();
  std::vector<const ui::PlotSeries*> shown;
  // The list holds the series in their order (a command's bytes need not
  // survive a round trip through the item's text).
  for (int i = 0; i < list_->count(); ++i) {
    const ui::PlotSeries* series = data_->Series()[static_cast<std::size_t>(i)].get();
    if (list_->item(i)->checkState() == Qt::Checked) {
      shown.push_back(series);
    } else if (auto found = curves_.find(series->Key()); found != curves_.end()) {
      chart_->removeSeries(found->second);
      delete found->second;
      curves_.erase(found);
    }
  }
  if (following_) {
    double from = std::numeric_limits<double>::infinity();
    double to = -from;
    for (const ui::PlotSeries* series : shown) {
      if (series->Size() == 0) continue;
      from = std::min(from, series->At(0).time);
      to = std::max(to, series->At(series->Size() - 1).time);
    }
    if (!(from <= to)) from = 0, to = 1;
    if (to - from < 1e-9) from -= 0.5, to += 0.5;
    range_.setLeft(from);
    range_.setRight(to);
  }
  const int columns = std::max(100, static_cast<int>(chart_->plotArea().width()));
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const ui::PlotSeries* series : shown) {
    const std::vector<ui::PlotPoint> picked =
        ui::Decimate(*series, range_.left(), range_.right(), columns);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(picked.size()));
    for (const ui::PlotPoint& p : picked) {
      points.append(QPointF(p.time, p.value));
      if (p.time >= range_.left() && p.time <= range_.right()) {
        low = std::min(low, p.value);
        high = std::max(high, p.value);
      }
    }
    CurveOf(series->Key())->replace(points);
  }
  if (following_) {
    if (!(low <= high)) low = 0, high = 1;
    const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(low) * 0.05);
    range_.setTop(low - margin);
    range_.setBottom(high + margin);
  }
  timeAxis_->setRange(range_.left(), range_.right());
  valueAxis_->setRange(range_.top(), range_.bottom());
  const std::string notice = data_->Notice();
  notice_->setText(QString::fromLatin1(notice.c_str()));
  notice_->setVisible(!notice.empty());
  ShowMarks();
}

void PlotWindow::SetPaused(bool paused) {
  paused_ = paused;
  const QSignalBlocker quiet(pause_);
  pause_->setChecked(paused);
  pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
  if (!paused) Refresh();
}

void PlotWindow::ShowRange(const QRectF& range) {
  if (!(range.width() > 0) || !(range.height() > 0)) return;
  following_ = false;
  range_ = range;
  Refresh();
}

void PlotWindow::Fit() {
  following_ = true;
  Refresh();
}

void PlotWindow::Wheel(const QPointF& position, int delta, bool values) {
  if (delta == 0) return;
  const double factor = delta > 0 ? 0.8 : 1.25;
  const QPointF at = chart_->mapToValue(position);
  QRectF range = range_;
  if (values) {
    range.setTop(at.y() - (at.y() - range_.top()) * factor);
    range.setBottom(at.y() + (range_.bottom() - at.y()) * factor);
  } else {
    range.setLeft(at.x() - (at.x() - range_.left()) * factor);
    range.setRight(at.x() + (range_.right() - at.x()) * factor);
  }
  ShowRange(range);
}

void PlotWindow::Drag(const QPointF& from, const QPointF& to, const QRectF& start) {
  const QRectF area = chart_->plotArea();
  if (area.width() <= 0 || area.height() <= 0) return;
  const double dx = (to.x() - from.x()) * start.width() / area.width();
  const double dy = (to.y() - from.y()) * start.height() / area.height();
  // Right moves the time earlier; down shows higher values.
  ShowRange(start.translated(-dx, dy));
}

void PlotWindow::Hover(const QPointF& position) {
  PlotView& view = ViewOf(*view_);
  view.crosshair = position;
  const QPointF at = chart_->mapToValue(position);
  readout_->setText(QStringLiteral("time %1 s   value %2").arg(Number(at.x()), Number(at.y())));
  view.viewport()->update();
}

void PlotWindow::MarkAt(const QPointF& position) {
  std::optional<Mark> nearest;
  double best = std::numeric_limits<double>::infinity();
  const double time = chart_->mapToValue(position).x();
  for (const auto& [key, curve] : curves_) {
    const ui::PlotSeries* series = data_->Find(key);
    if (!series || series->Size() == 0) continue;
    const std::size_t after = series->LowerBound(time);
    for (std::size_t i : {after == 0 ? 0 : after - 1, std::min(after, series->Size() - 1)}) {
      const ui::PlotPoint p = series->At(i);
      const QPointF shown = chart_->mapToPosition(QPointF(p.time, p.value));
      const double distance = std::hypot(shown.x() - position.x(), shown.y() - position.y());
      if (distance < best) best = distance, nearest = Mark{key, p};
    }
  }
  if (!nearest) return;
  (nextIsFirst_ ? first_ : second_) = nearest;
  nextIsFirst_ = !nextIsFirst_;
  ShowMarks();
}

void PlotWindow::ShowMarks() {
  PlotView& view = ViewOf(*view_);
  view.marks.clear();
  auto describe = [](const char* name, const Mark& mark) {
    return QStringLiteral("%1: %2 at %3 s = %4")
        .arg(QLatin1String(name), QString::fromLatin1(mark.key.c_str()), Number(mark.point.time),
             Number(mark.point.value));
  };
  QStringList parts;
  if (first_) {
    parts << describe("A", *first_);
    view.marks.emplace_back(QStringLiteral("A"), QPointF(first_->point.time, first_->point.value));
  }
  if (second_) {
    parts << describe("B", *second_);
    view.marks.emplace_back(QStringLiteral("B"),
                            QPointF(second_->point.time, second_->point.value));
  }
  if (first_ && second_) {
    parts << QStringLiteral("B - A: %1 s, %2")
                 .arg(Number(second_->point.time - first_->point.time),
                      Number(second_->point.value - first_->point.value));
  }
  if (!parts.isEmpty()) marks_->setText(parts.join(QStringLiteral("    ")));
  view.viewport()->update();
}

int PlotWindow::DrawnPoints(const std::string& key) const {
  const auto found = curves_.find(key);
  return found == curves_.end() ? 0 : static_cast<int>(found->second->count());
}

QImage PlotWindow::Picture() const {
  return view_->grab().toImage();
}

platform::Result<> PlotWindow::SavePicture(const std::string& path) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!Picture().save(&buffer, "PNG")) {
    return platform::Result<>::SystemFailureSaying("the picture could not be made");
  }
  return platform::WriteFileAtomic(
      path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

platform::Result<> PlotWindow::SaveTable(const std::string& path) const {
  return ui::WritePlotCsv(*data_, path);
}

void PlotWindow::AskAndSave(bool picture) {
  const QString path = QFileDialog::getSaveFileName(
      this, picture ? QStringLiteral("Save Picture") : QStringLiteral("Save Table"),
      picture ? QStringLiteral("plot.png") : QStringLiteral("plot.csv"),
      picture ? QStringLiteral("PNG pictures (*.png)") : QStringLiteral("CSV tables (*.csv)"));
  if (path.isEmpty()) return;
  const std::string name = path.toStdString();
  const platform::Result<> saved = picture ? SavePicture(name) : SaveTable(name);
  if (!saved) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("The plot was not saved: %1").arg(QString::fromStdString(saved.Text())));
  }
}

}  // namespace ui::qt

namespace ui {

platform::Result<> WritePlotPicture(const PlotData& data, const std::string& path) {
  // Qt's notes on the off-screen platform (no runtime folder, no window
  // manager) mean nothing to a run without a window; its errors still show.
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
          std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        }
      });
  // A run without a window draws off screen, with an application of its own.
  std::unique_ptr<QApplication> own;
  if (QCoreApplication::instance() == nullptr) {
    static char name[] = "halvorn-terminal";
    static char option[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {name, option, offscreen, nullptr};
    static int argc = 3;
    own = std::make_unique<QApplication>(argc, argv);
  }
  platform::Result<> saved = platform::Result<>::Success();
  {
    // The window only reads the data, which outlive it.
    qt::PlotWindow window(
        std::shared_ptr<const PlotData>(std::shared_ptr<const PlotData>(), &data));
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.resize(1200, 700);
    window.show();
    QCoreApplication::processEvents();
    window.CheckAll();  // laid out now: as many columns as the chart has pixels
    QCoreApplication::processEvents();
    saved = window.SavePicture(path);
  }
  own.reset();
  qInstallMessageHandler(previous);
  return saved;
}

bool DrawsPlotPictures() {
  return true;
}

}  // namespace ui

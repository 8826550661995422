// The live plot, measured side by side in one run (offscreen, so it needs
// no display):
//  (a) the decimation of a series of 1,000,000 samples to 1,000 pixel
//      columns, the whole series in view and a tenth of it;
//  (b) a redraw of the plot window with that series: the window takes the
//      data (decimation, the chart's curve) and paints (target < 16 ms);
//  (c) 100,000 samples appended one an event-loop pass while the window is
//      open on a full series: the longest gap between two passes, which
//      holds the window's own redraws (target < 50 ms);
//  (d) samples of 5,000 distinct commands with the window open.
#include <QApplication>
#include <QChartView>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ui/contract/plot_data.h"
#include "ui/qt/plot_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

template <typename Work>
double Best(int rounds, Work work) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto a = Clock::now();
    work();
    best = std::min(best, Milliseconds(a, Clock::now()));
  }
  return best;
}

// A move's position read every millisecond, with noise.
void Fill(ui::PlotData& data, int samples, int from = 0) {
  for (int i = from; i < from + samples; ++i) {
    const double t = i * 0.001;
    data.Add("PX", t, 1000 * std::sin(t / 50) + (i % 7));
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  auto data = std::make_shared<ui::PlotData>();
  Fill(*data, 1'000'000);
  const ui::PlotSeries& series = *data->Find("PX");

  std::size_t points = 0;
  std::vector<ui::PlotPoint> kept;
  const double whole = Best(10, [&] { points = ui::Decimate(series, 0, 1000, 1000).size(); });
  const double tenth = Best(10, [&] { ui::Decimate(series, 450, 550, 1000).swap(kept); });
  std::printf(
      "(a) decimation of 1,000,000 samples to 1,000 columns: %.2f ms (%zu points), "
      "a tenth in view %.2f ms\n",
      whole, points, tenth);

  ui::qt::PlotWindow window(data);
  window.resize(1200, 700);
  window.show();
  QApplication::processEvents();
  const double take = Best(10, [&] { window.Refresh(); });
  const double redraw = Best(10, [&] {
    window.Refresh();
    window.View().grab();  // the paint itself, as the screen would get it
  });
  std::printf(
      "(b) plot redraw with 1,000,000 samples: %.2f ms (taking the data %.2f ms); "
      "ratio to the 16 ms target %.2f\n",
      redraw, take, redraw / 16);

  int passes = 0;
  double longest = 0;
  auto last = Clock::now();
  for (int i = 0; i < 100'000; ++i) {
    Fill(*data, 1, 1'000'000 + i);
    QApplication::processEvents();
    const auto now = Clock::now();
    longest = std::max(longest, Milliseconds(last, now));
    last = now;
    ++passes;
  }
  std::printf(
      "(c) 100,000 appends while the window is open on a full series: longest gap "
      "between event-loop passes %.2f ms over %d passes; ratio to the 50 ms target "
      "%.2f (%zu samples kept)\n",
      longest, passes, longest / 50, series.Size());

  // (d) Thousands of distinct commands: the plot keeps 64 and counts the rest.
  auto many = std::make_shared<ui::PlotData>();
  window.SetData(many);
  longest = 0;
  last = Clock::now();
  for (int i = 0; i < 100'000; ++i) {
    many->Add("CMD" + std::to_string(i % 5000), i * 0.001, i % 100);
    if (i % 10 == 0) QApplication::processEvents();
    const auto now = Clock::now();
    longest = std::max(longest, Milliseconds(last, now));
    last = now;
  }
  std::printf(
      "(d) 100,000 samples of 5,000 distinct commands: longest gap %.2f ms; %zu series "
      "kept, %llu samples refused\n",
      longest, many->Series().size(), static_cast<unsigned long long>(many->Refused()));
  return 0;
}

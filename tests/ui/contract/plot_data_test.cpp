// The live plot's samples: the series' bounds, the decimation a redraw
// relies on, and the CSV table of a run.
#include "ui/contract/plot_data.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>

namespace {

using ui::PlotPoint;

ui::PlotSeries SeriesOf(const std::vector<PlotPoint>& points, std::size_t capacity = 100) {
  ui::PlotSeries series("PX", capacity);
  for (const PlotPoint& p : points) series.Append(p);
  return series;
}

TEST(PlotDecimation, KeepsEachColumnsFirstLowestHighestAndLastInOrder) {
  const struct {
    const char* name;
    std::vector<PlotPoint> samples;
    double from, to;
    int columns;
    std::vector<PlotPoint> expected;
  } cases[] = {
      {"fewer samples than columns: all",
       {{0, 1}, {1, 2}, {2, 3}},
       0,
       2,
       10,
       {{0, 1}, {1, 2}, {2, 3}}},
      {"one column: first, low, high, last",
       {{0, 5}, {0.1, 9}, {0.2, 1}, {0.3, 4}, {0.4, 6}},
       0,
       0.5,
       1,
       {{0, 5}, {0.1, 9}, {0.2, 1}, {0.4, 6}}},
      {"the nearest sample outside each side",
       {{0, 7}, {1, 1}, {2, 2}, {3, 3}, {4, 8}, {5, 9}},
       1.5,
       3.5,
       2,
       {{1, 1}, {2, 2}, {3, 3}, {4, 8}}},
      {"no columns: nothing", {{0, 1}}, 0, 1, 0, {}},
      {"a reversed range: nothing", {{0, 1}}, 1, 0, 10, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ui::Decimate(SeriesOf(c.samples), c.from, c.to, c.columns), c.expected) << c.name;
  }
}

// Every pixel column of the decimated curve reaches the same lowest and
// highest value as the full curve, so the line covers the same pixels.
TEST(PlotDecimation, EveryColumnKeepsItsExtremesOfAMillionSamples) {
  ui::PlotSeries series("PX", 1'000'000);
  std::mt19937 random(7);
  std::normal_distribution<double> step(0, 1);
  double value = 0;
  for (int i = 0; i < 1'000'000; ++i) series.Append({i * 0.001, value += step(random)});
  const double from = 100, to = 900;
  const int columns = 640;
  const std::vector<PlotPoint> drawn = ui::Decimate(series, from, to, columns);
  EXPECT_LE(drawn.size(), static_cast<std::size_t>(4 * columns + 2));
  auto column = [&](double t) {
    return std::min(columns - 1, int((t - from) / (to - from) * columns));
  };
  std::vector<std::pair<double, double>> full(columns, {1e300, -1e300}), shown = full;
  for (std::size_t i = series.LowerBound(from); i < series.LowerBound(to); ++i) {
    auto& [low, high] = full[column(series.At(i).time)];
    low = std::min(low, series.At(i).value), high = std::max(high, series.At(i).value);
  }
  for (const PlotPoint& p : drawn) {
    if (p.time < from || p.time >= to) continue;
    auto& [low, high] = shown[column(p.time)];
    low = std::min(low, p.value), high = std::max(high, p.value);
  }
  EXPECT_EQ(shown, full);
}

TEST(PlotData, ASeriesKeepsItsNewestSamplesInTimeOrder) {
  ui::PlotSeries series = SeriesOf({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {3.5, 5}}, 3);
  ASSERT_EQ(series.Size(), 3u);
  EXPECT_EQ(series.Dropped(), 2u);
  EXPECT_EQ(series.At(0), (PlotPoint{3, 3}));
  EXPECT_EQ(series.At(2), (PlotPoint{4, 5}));  // an earlier time is taken as the last
  EXPECT_EQ(series.LowerBound(3.5), 1u);
  EXPECT_EQ(series.LowerBound(9), 3u);
}

TEST(PlotData, CommandsBeyondTheLimitAreRefusedAndNamed) {
  ui::PlotData data(10, 2);
  EXPECT_TRUE(data.Add("PX", 0, 1));
  EXPECT_TRUE(data.Add("PS", 0, 1));
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(data.Add("C" + std::to_string(i), 0, 1));
  EXPECT_TRUE(data.Add("PX", 1, 2));
  data.CountUnplottable();
  EXPECT_EQ(data.Series().size(), 2u);
  EXPECT_EQ(data.Find("PX")->Size(), 2u);
  EXPECT_EQ(data.Notice(),
            "at most 2 commands are plotted: 5 samples of others (C0, C1, C2 ...) not plotted; 1 "
            "replies were NaN, infinite or beyond the range of a plot value");
  EXPECT_EQ(ui::PlotData().Notice(), "");
}

TEST(PlotData, TheTableHasOneExactRowASampleWhateverTheLocale) {
  ui::PlotData data;
  data.Add("PX", 0, 0.1);
  data.Add("A,\"B\"", 0.25, -1e300);
  data.Add("PX", 1.5, 123456789012345678901234567890.0);
  const char* before = std::setlocale(LC_ALL, nullptr);
  const std::string saved = before ? before : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // a decimal comma, where there is one
  const std::string csv = ui::PlotCsv(data);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(csv,
            "command,time_s,value\r\n"
            "PX,0,0.1\r\n"
            "PX,1.5,1.2345678901234568e+29\r\n"
            "\"A,\"\"B\"\"\",0.25,-1e+300\r\n");
}

TEST(PlotData, TheFileKindIsTheNamesEnd) {
  EXPECT_EQ(ui::PlotFileKindOf("run.PNG"), ui::PlotFileKind::Picture);
  EXPECT_EQ(ui::PlotFileKindOf("a/run.csv"), ui::PlotFileKind::Table);
  EXPECT_EQ(ui::PlotFileKindOf(".csv"), ui::PlotFileKind::Unknown);
  EXPECT_EQ(ui::PlotFileKindOf("run.png.txt"), ui::PlotFileKind::Unknown);
}

}  // namespace

// The live plot's samples: the series' bounds, the decimation and the CSV table of a run.
#include "ui/contract/plot_data.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

using ui::PlotPoint;

ui::PlotSeries SeriesOf(const std::vector<PlotPoint>& points, std::size_t capacity = 100) {
  ui::PlotSeries series("PX", capacity);
  for (const PlotPoint& p : points) series.Append(p);
  return series;
}

// Each pixel column keeps its first, lowest, highest and last sample in time order, and the
// nearest sample outside each side of the range.
TEST(PlotDecimation, KeepsEachColumnsFirstLowestHighestAndLastInOrder) {
  using Points = std::vector<PlotPoint>;
  const std::tuple<double, double, int, Points, Points> cases[] = {
      {0, 2, 10, {{0, 1}, {1, 2}, {2, 3}}, {{0, 1}, {1, 2}, {2, 3}}},
      {0, 5, 1, {{0, 5}, {1, 9}, {2, 1}, {3, 4}, {4, 6}}, {{0, 5}, {1, 9}, {2, 1}, {4, 6}}},
      {0, 4, 2, {{0, 1}, {1, 9}, {2, 2}, {3, 0}}, {{0, 1}, {1, 9}, {2, 2}, {3, 0}}},
      {1.5, 2.5, 1, {{0, 7}, {1, 1}, {2, 2}, {3, 8}, {4, 9}}, {{1, 1}, {2, 2}, {3, 8}}},
      {0, 1, 0, {{0, 1}}, {}},   // no columns
      {1, 0, 10, {{0, 1}}, {}},  // a reversed range
  };
  for (const auto& [from, to, columns, samples, expected] : cases)
    EXPECT_EQ(ui::Decimate(SeriesOf(samples), from, to, columns), expected) << from;
}

TEST(PlotData, ASeriesKeepsItsNewestSamplesInTimeOrder) {
  ui::PlotSeries series = SeriesOf({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {3.5, 5}}, 3);
  ASSERT_EQ(series.Size(), 3u);
  EXPECT_EQ(series.Dropped(), 2u);
  EXPECT_EQ(series.At(0), (PlotPoint{3, 3}));
  EXPECT_EQ(series.At(2), (PlotPoint{4, 5}));  // an earlier time is taken as the last
  EXPECT_EQ(std::tuple(series.LowerBound(3.5), series.LowerBound(4), series.LowerBound(9)),
            std::tuple(1u, 1u, 3u));  // at 4: the first of equal times
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
            "command,time_s,value\r\nPX,0,0.1\r\nPX,1.5,1.2345678901234568e+29\r\n"
            "\"A,\"\"B\"\"\",0.25,-1e+300\r\n");
}

TEST(PlotData, TheFileKindIsTheNamesEnd) {
  EXPECT_EQ(ui::PlotFileKindOf("run.PNG"), ui::PlotFileKind::Picture);
  EXPECT_EQ(ui::PlotFileKindOf("a/run.csv"), ui::PlotFileKind::Table);
  EXPECT_EQ(ui::PlotFileKindOf(".csv"), ui::PlotFileKind::Unknown);
  EXPECT_EQ(ui::PlotFileKindOf("run.png.txt"), ui::PlotFileKind::Unknown);
}

}  // namespace

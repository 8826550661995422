// The live plot's feed: which replies are samples, and the samples a run's
// exchanges give, timed from the first.
#include "station/plot_feed.h"

#include <gtest/gtest.h>

#include "support/station.h"

namespace {

using app::PlotReading;

TEST(PlotFeed, OnlyAWholeFiniteDecimalNumberIsASample) {
  const std::pair<const char*, double> numbers[] = {
      {"123", 123},   {" -12.5\r\n", -12.5},
      {"+.5", 0.5},   {"5.", 5},
      {"1E+06", 1e6}, {"0e400", 0},
      {"1e-400", 0},  {"123456789012345678901234567890", 1.2345678901234568e29}};
  for (const auto& [reply, value] : numbers) {
    const app::PlotValue read = app::ReadPlotValue(reply);
    EXPECT_EQ(std::pair(read.reading, read.value), std::pair(PlotReading::Number, value)) << reply;
  }
  for (const char* reply : {"", "OK", "?BUSY", "12abc", "1,5", "1e", "X1F", "-"})
    EXPECT_EQ(app::ReadPlotValue(reply).reading, PlotReading::NotANumber) << reply;
  for (const char* reply : {"NAN", "-inf", "Infinity", "1e400", "-9e99999999999999999999"})
    EXPECT_EQ(app::ReadPlotValue(reply).reading, PlotReading::Unplottable) << reply;
  // A reply of a thousand digits costs no more than its length.
  EXPECT_EQ(app::ReadPlotValue(std::string(1000, '9')).reading, PlotReading::Unplottable);
}

TEST(PlotFeed, RepliedNumbersBecomeSamplesTimedFromTheFirst) {
  double now = 100;
  app::PlotFeed feed([&now] { return now; });
  auto exchange = [&feed](std::string_view command, std::string_view reply, bool replied = true) {
    feed.OnExchange({command, reply, "", 1, replied, !replied, {}, 0});
  };
  exchange("PX", "(SERIAL Timeout)", false);
  exchange("ID", "HLV-1");
  now = 101;
  exchange("PX", "10");
  now = 101.5;
  exchange("PX", "NAN");
  exchange("PS", "250");
  now = 103;
  exchange("PX", "30");
  const ui::PlotData& data = *feed.Data();
  ASSERT_EQ(data.Series().size(), 2u);
  const ui::PlotSeries& px = *data.Find("PX");
  ASSERT_EQ(px.Size(), 2u);
  EXPECT_EQ(px.At(0), (ui::PlotPoint{0, 10}));
  EXPECT_EQ(px.At(1), (ui::PlotPoint{2, 30}));
  EXPECT_EQ(data.Find("PS")->At(0), (ui::PlotPoint{0.5, 250}));
  EXPECT_EQ(data.Unplottable(), 1u);
}

// Ctrl+G opens the window on the station's samples (the display's menu: tests/ui/qt).
TEST(PlotFeed, TheKeyOpensThePlotOfTheRun) {
  testing_support::Station s;
  s.hid->answer = [](const std::string& command) { return command == "PX" ? "42" : "OK"; };
  s.Enter("PX,ID");
  s.gui.PressKey(app::kMainForm, 'G', true);
  while (s.gui.PendingEvents()) s.gui.DoEvents();
  EXPECT_EQ(s.gui.plotWindowOpened, 1);
  ASSERT_EQ(s.gui.plotWindow, s.application->PlotData());
  ASSERT_EQ(s.gui.plotWindow->Series().size(), 1u);
  EXPECT_EQ(s.gui.plotWindow->Find("PX")->At(0).value, 42);
}

}  // namespace

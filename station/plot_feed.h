// The live plot's feed: it hears every device exchange and keeps each reply
// that is a number as a sample of its command (ui/contract/plot_data.h),
// timed by the station's clock from the plot's first sample on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/command_engine.h"
#include "ui/contract/plot_data.h"

namespace app {

// What a reply is to the plot.
enum class PlotReading {
  Number,       // a sample
  NotANumber,   // text, an empty reply, a number with more after it
  Unplottable,  // NaN, an infinity, or a number beyond the range of a double
};

struct PlotValue {
  PlotReading reading = PlotReading::NotANumber;
  double value = 0;
};

// The reply as a plot value. The whole reply, blanks, tabs, CR and LF around
// it aside, must be one decimal number: an optional sign, digits with an
// optional point, an optional exponent ("-12", "3.5", ".5", "1E+06"). Only
// the decimal reading of platform/text.h reads it, so the process locale
// plays no part. An integer beyond 64 bits is a sample like any other (a
// plot value keeps about 16 significant digits).
PlotValue ReadPlotValue(std::string_view reply);

class PlotFeed : public engine::ExchangeListener {
 public:
  // `clock`: the station's seconds (Gui::Now).
  explicit PlotFeed(std::function<double()> clock);
  void OnExchange(const engine::ExchangeVerdict& exchange) override;
  std::shared_ptr<const ui::PlotData> Data() const { return data_; }

 private:
  std::function<double()> clock_;
  std::optional<double> start_;
  std::shared_ptr<ui::PlotData> data_ = std::make_shared<ui::PlotData>();
};

}  // namespace app

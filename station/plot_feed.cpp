#include "station/plot_feed.h"

#include "platform/text.h"

namespace app {
namespace {

bool NamesNotANumber(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return platform::EqualsNoCase(text, "NAN") || platform::EqualsNoCase(text, "INF") ||
         platform::EqualsNoCase(text, "INFINITY");
}

}  // namespace

PlotValue ReadPlotValue(std::string_view reply) {
  const std::string_view text = platform::TrimmedView(reply, " \t\r\n");
  if (NamesNotANumber(text)) return {PlotReading::Unplottable, 0};
  // The decimal reading must take the whole reply: "12 mm" is no sample.
  const platform::DecimalReading<double> read = platform::ReadDecimalPrefix(text);
  if (read.length == 0 || read.length != text.size()) return {};
  if (read.tooLarge) return {PlotReading::Unplottable, 0};
  return {PlotReading::Number, read.value};
}

PlotFeed::PlotFeed(std::function<double()> clock) : clock_(std::move(clock)) {}

void PlotFeed::OnExchange(const engine::ExchangeVerdict& exchange) {
  if (!exchange.replied) return;
  const PlotValue read = ReadPlotValue(exchange.reply);
  if (read.reading == PlotReading::Unplottable) data_->CountUnplottable();
  if (read.reading != PlotReading::Number) return;
  const double now = clock_();
  if (!start_) start_ = now;
  data_->Add(exchange.command, now - *start_, read.value);
}

}  // namespace app

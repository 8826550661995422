#include "station/plot_feed.h"

#include <cmath>

#include "platform/text.h"

namespace app {
namespace {

bool Digit(char c) {
  return c >= '0' && c <= '9';
}

bool NamesNotANumber(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return platform::EqualsNoCase(text, "NAN") || platform::EqualsNoCase(text, "INF") ||
         platform::EqualsNoCase(text, "INFINITY");
}

}  // namespace

PlotValue ReadPlotValue(std::string_view reply) {
  const std::string_view text = platform::TrimmedView(reply, " \t\r\n");
  if (NamesNotANumber(text)) return {PlotReading::Unplottable, 0};
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool significant = false;  // a digit other than 0 in the mantissa
  std::size_t digits = 0;
  for (; i < text.size() && Digit(text[i]); ++i) ++digits, significant |= text[i] != '0';
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && Digit(text[i]); ++i) ++digits, significant |= text[i] != '0';
  }
  if (digits == 0) return {};
  bool negativeExponent = false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    std::size_t exponentDigits = 0;
    for (; i < text.size() && Digit(text[i]); ++i) ++exponentDigits;
    if (exponentDigits == 0) return {};
  }
  if (i != text.size()) return {};
  const double value = platform::ReadDecimal(text);
  // The decimal reading gives 0 for a value beyond a double's range; a
  // value too small for one is 0 to the plot as well.
  if (value == 0 && significant && !negativeExponent) return {PlotReading::Unplottable, 0};
  if (!std::isfinite(value)) return {PlotReading::Unplottable, 0};
  return {PlotReading::Number, value};
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

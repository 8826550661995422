#include "ui/contract/plot_data.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/files.h"
#include "platform/text.h"

namespace ui {

PlotSeries::PlotSeries(std::string key, std::size_t capacity)
    : key_(std::move(key)), capacity_(std::max<std::size_t>(capacity, 1)) {}

void PlotSeries::Append(PlotPoint point) {
  if (size_ > 0) point.time = std::max(point.time, At(size_ - 1).time);
  if (ring_.size() < capacity_) {
    ring_.push_back(point);
    ++size_;
    return;
  }
  ring_[start_] = point;
  start_ = start_ + 1 == capacity_ ? 0 : start_ + 1;
  ++dropped_;
}

std::size_t PlotSeries::LowerBound(double time) const {
  // Times never go back (Append clamps them), so the ring is sorted by time.
  std::size_t low = 0;
  std::size_t high = size_;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (At(middle).time < time) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

PlotData::PlotData(std::size_t samplesPerSeries, std::size_t maxSeries)
    : samplesPerSeries_(samplesPerSeries), maxSeries_(maxSeries) {}

const PlotSeries* PlotData::Find(std::string_view key) const {
  // The newest series is the likeliest: a move polls one command.
  for (auto it = series_.rbegin(); it != series_.rend(); ++it) {
    if ((*it)->Key() == key) return it->get();
  }
  return nullptr;
}

bool PlotData::Add(std::string_view key, double time, double value) {
  ++generation_;
  auto* series = const_cast<PlotSeries*>(Find(key));  // one of this store's own
  if (series == nullptr) {
    if (series_.size() >= maxSeries_) {
      ++refused_;
      if (refusedKeys_.size() < 3 &&
          std::find(refusedKeys_.begin(), refusedKeys_.end(), key) == refusedKeys_.end()) {
        refusedKeys_.emplace_back(key);
      }
      return false;
    }
    series_.push_back(std::make_unique<PlotSeries>(std::string(key), samplesPerSeries_));
    series = series_.back().get();
  }
  series->Append({time, value});
  return true;
}

std::string PlotData::Notice() const {
  std::string notice;
  auto add = [&notice](const std::string& part) { notice += (notice.empty() ? "" : "; ") + part; };
  std::uint64_t dropped = 0;
  for (const auto& series : series_) dropped += series->Dropped();
  if (dropped > 0) {
    add(std::to_string(dropped) + " older samples given up (a series keeps its newest " +
        std::to_string(samplesPerSeries_) + ")");
  }
  if (refused_ > 0) {
    std::string keys;
    for (const std::string& key : refusedKeys_) keys += (keys.empty() ? "" : ", ") + key;
    add("at most " + std::to_string(maxSeries_) +
        " commands are plotted: " + std::to_string(refused_) + " samples of others (" + keys +
        (refused_ > 3 ? " ..." : "") + ") not plotted");
  }
  if (unplottable_ > 0) {
    add(std::to_string(unplottable_) +
        " replies were NaN, infinite or beyond the range of a plot value");
  }
  return notice;
}

std::vector<PlotPoint> Decimate(const PlotSeries& series, double from, double to, int columns) {
  std::vector<PlotPoint> out;
  const std::size_t size = series.Size();
  if (size == 0 || columns < 1 || !(to >= from)) return out;
  std::size_t begin = series.LowerBound(from);
  const std::size_t end = std::min(size, series.LowerBound(to) + 1);  // one past `to`
  if (begin > 0) --begin;                                             // one before `from`
  const double width = to > from ? (to - from) / columns : 1;
  out.reserve(std::min<std::size_t>(end - begin, static_cast<std::size_t>(columns) * 4 + 2));
  std::size_t i = begin;
  while (i < end) {
    const PlotPoint first = series.At(i);
    // The column of this sample; samples outside the range have columns of
    // their own (-1 and `columns`).
    const double position = (first.time - from) / width;
    const long column = position < 0 ? -1 : std::min<long>(static_cast<long>(position), columns);
    std::size_t lowest = i;
    std::size_t highest = i;
    std::size_t last = i;
    PlotPoint low = first;
    PlotPoint high = first;
    for (std::size_t j = i + 1; j < end; ++j) {
      const PlotPoint p = series.At(j);
      const double pj = (p.time - from) / width;
      const long cj = pj < 0 ? -1 : std::min<long>(static_cast<long>(pj), columns);
      if (cj != column) break;
      last = j;
      if (p.value < low.value) low = p, lowest = j;
      if (p.value > high.value) high = p, highest = j;
    }
    std::array<std::size_t, 4> picks = {i, std::min(lowest, highest), std::max(lowest, highest),
                                        last};
    std::size_t previous = end;
    for (std::size_t pick : picks) {
      if (pick != previous) out.push_back(series.At(pick));
      previous = pick;
    }
    i = last + 1;
  }
  return out;
}

namespace {

void AppendNumber(std::string& out, double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), error == std::errc() ? end : buffer.data());
}

}  // namespace

std::string PlotCsv(const PlotData& data) {
  std::string out = "command,time_s,value\r\n";
  for (const auto& series : data.Series()) {
    const std::string key = platform::CsvField(series->Key());
    for (std::size_t i = 0; i < series->Size(); ++i) {
      const PlotPoint p = series->At(i);
      out += key;
      out += ',';
      AppendNumber(out, p.time);
      out += ',';
      AppendNumber(out, p.value);
      out += "\r\n";
    }
  }
  return out;
}

platform::Result<> WritePlotCsv(const PlotData& data, const std::string& path) {
  return platform::WriteFileAtomic(path, PlotCsv(data));
}

PlotFileKind PlotFileKindOf(std::string_view path) {
  const std::string upper = platform::ToUpper(path);
  auto endsWith = [&upper](std::string_view end) {
    return upper.size() > end.size() &&
           upper.compare(upper.size() - end.size(), end.size(), end) == 0;
  };
  if (endsWith(".PNG")) return PlotFileKind::Picture;
  if (endsWith(".CSV")) return PlotFileKind::Table;
  return PlotFileKind::Unknown;
}

}  // namespace ui

// The samples of the live plot: every command whose replies are numbers is a
// series of (time, value) samples, kept here in plain C++ so that the
// station can fill it, a window backend can draw it and a run without a
// window can write it to a file.
//
// A series keeps its newest kSamplesPerSeries samples (the oldest are given
// up one by one and counted); the store keeps at most kMaxSeries series, and
// the samples of a command beyond them are refused and counted, so a run that
// sends thousands of distinct commands cannot fill the memory or the screen.
// Notice() says both in one line for the operator.
//
// Everything runs on one thread (the station's): the window reads the store
// on its own timer and redraws only when Generation() has changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace ui {

struct PlotPoint {
  double time = 0;  // seconds since the plot's first sample
  double value = 0;
  bool operator==(const PlotPoint&) const = default;
};

// One command's samples, oldest first, in time order.
class PlotSeries {
 public:
  PlotSeries(std::string key, std::size_t capacity);
  const std::string& Key() const { return key_; }
  std::size_t Size() const { return size_; }
  PlotPoint At(std::size_t index) const {
    const std::size_t slot = start_ + index;
    return ring_[slot < ring_.size() ? slot : slot - ring_.size()];
  }
  // Samples given up to keep the newest `capacity`.
  std::uint64_t Dropped() const { return dropped_; }
  // A time earlier than the last one is taken as the last, so the series
  // stays in time order (and can be searched by time).
  void Append(PlotPoint point);
  // The index of the first sample at or after `time` (Size() when none).
  std::size_t LowerBound(double time) const;

 private:
  std::string key_;
  std::size_t capacity_;
  std::vector<PlotPoint> ring_;  // grows up to capacity_, then wraps
  std::size_t start_ = 0;
  std::size_t size_ = 0;
  std::uint64_t dropped_ = 0;
};

class PlotData {
 public:
  static constexpr std::size_t kSamplesPerSeries = 1'000'000;
  static constexpr std::size_t kMaxSeries = 64;

  explicit PlotData(std::size_t samplesPerSeries = kSamplesPerSeries,
                    std::size_t maxSeries = kMaxSeries);

  // Adds a sample of the command `key`. False when the series limit refused
  // it (a new command with kMaxSeries series there already).
  bool Add(std::string_view key, double time, double value);
  // A reply of a command that was a number but not one the plot can show
  // (NaN, an infinity, beyond the range of a double).
  void CountUnplottable() { ++unplottable_, ++generation_; }

  // The series in the order of their first sample.
  const std::vector<std::unique_ptr<PlotSeries>>& Series() const { return series_; }
  const PlotSeries* Find(std::string_view key) const;
  // Changes whenever anything here changes.
  std::uint64_t Generation() const { return generation_; }
  std::uint64_t Refused() const { return refused_; }
  std::uint64_t Unplottable() const { return unplottable_; }
  // What the operator should know of samples not shown, in one line ("" when
  // every sample is there).
  std::string Notice() const;

 private:
  std::size_t samplesPerSeries_;
  std::size_t maxSeries_;
  std::vector<std::unique_ptr<PlotSeries>> series_;
  std::vector<std::string> refusedKeys_;  // the first few, for the notice
  std::uint64_t refused_ = 0;
  std::uint64_t unplottable_ = 0;
  std::uint64_t generation_ = 0;
};

// The samples of `series` that a plot `columns` pixels wide shows between
// times `from` and `to`: per column the first, lowest, highest and last
// sample in their order (each once), plus the nearest sample on each side
// of the range so that the line runs to the edges. The line drawn through
// them covers the same pixels as the line through every sample, at a cost
// bounded by the columns rather than the samples once they are found.
std::vector<PlotPoint> Decimate(const PlotSeries& series, double from, double to, int columns);

// One row per sample: "command,time_s,value", the series in their order,
// numbers written exactly (shortest form that reads back the same) whatever
// the process locale.
std::string PlotCsv(const PlotData& data);
// PlotCsv written to `path`, replacing it atomically.
platform::Result<> WritePlotCsv(const PlotData& data, const std::string& path);

// Picture or table, by the name's extension (either case).
enum class PlotFileKind { Picture, Table, Unknown };
PlotFileKind PlotFileKindOf(std::string_view path);

}  // namespace ui

#include "programs/history.h"

#include <utility>

namespace programs {
namespace {

const std::string kNoItem;

}  // namespace

History::History() {
  items_.emplace_back(kHistorySample);
}

std::size_t History::RecordHistory(std::string line, bool fifo) {
  std::size_t at = 0;
  if (fifo) {
    items_.push_back(std::move(line));
    at = items_.size() - 1;
  } else {
    items_.push_front(std::move(line));
  }
  selected_ = 0;
  return at;
}

void History::Clear() {
  items_.clear();
  selected_ = -1;
}

const std::string& History::Item(std::size_t index) const {
  return index < items_.size() ? items_[index] : kNoItem;
}

void History::Select(int index) {
  selected_ = (index >= 0 && static_cast<std::size_t>(index) < items_.size()) ? index : -1;
}

const std::string& History::SelectedItem() const {
  return selected_ < 0 ? kNoItem : Item(static_cast<std::size_t>(selected_));
}

std::string History::ShownText(std::string_view item) {
  if (item.size() <= kShownItemLength) return std::string(item);
  std::string shown(item.substr(0, kShownItemLength - 3));
  shown += "...";
  return shown;
}

}  // namespace programs

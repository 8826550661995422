#include "programs/command_recall.h"

#include "platform/text.h"

namespace programs {

void CommandRecall::Sent(std::string_view line) {
  line = platform::TrimmedView(line);
  if (!line.empty() && (lines_.empty() || lines_.back() != line)) lines_.emplace_back(line);
  position_ = lines_.size();
  unsent_.clear();
}

std::string CommandRecall::Up(std::string_view current) {
  if (lines_.empty()) return std::string(current);
  if (position_ == lines_.size()) unsent_ = current;
  if (position_ > 0) --position_;
  return lines_[position_];
}

std::string CommandRecall::Down(std::string_view current) {
  if (position_ == lines_.size()) return std::string(current);
  ++position_;
  return position_ == lines_.size() ? unsent_ : lines_[position_];
}

}  // namespace programs

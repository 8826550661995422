#include "programs/entry_transfers.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"

namespace programs {
namespace {

std::int32_t Position(std::size_t length) {
  return static_cast<std::int32_t>(length);
}

}  // namespace

std::optional<EntryEdit> TransferToFront(std::string_view item, std::string_view entry) {
  item = platform::TrimmedView(item);
  if (item.empty()) return std::nullopt;
  entry = platform::TrimmedView(entry);
  std::string text(item);
  if (!entry.empty()) {
    text += ',';
    text += entry;
  }
  return EntryEdit{std::move(text), {0, 0}};
}

std::optional<EntryEdit> TransferToEnd(std::string_view item, std::string_view entry) {
  item = platform::TrimmedView(item);
  if (item.empty()) return std::nullopt;
  entry = platform::TrimmedView(entry);
  std::string text(entry);
  if (!entry.empty()) text += ',';
  text += item;
  const std::int32_t caret = Position(entry.size());
  return EntryEdit{std::move(text), {caret, caret}};
}

std::optional<EntryEdit> TransferAtSelection(std::string_view item, std::string_view entry,
                                             EntrySelection saved) {
  item = platform::TrimmedView(item);
  if (item.empty()) return std::nullopt;
  if (entry.empty()) return EntryEdit{std::string(item), {0, 0}};

  const std::size_t start =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(saved.start, 0)), entry.size());
  std::string text(entry.substr(0, start));
  if (!text.empty() && text.back() != ',') text += ',';
  text += item;
  if (saved.end != -1) {
    const std::size_t end = std::max(start, static_cast<std::size_t>(std::max(saved.end, 0)));
    std::string_view right = end < entry.size() ? entry.substr(end) : std::string_view();
    if (!right.empty() && right.front() != ',') text += ',';
    text += right;
  }
  const std::int32_t caret = Position(start);
  return EntryEdit{std::move(text), {caret, caret}};
}

}  // namespace programs

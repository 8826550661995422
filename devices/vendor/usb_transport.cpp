#include "devices/vendor/usb_transport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/text.h"

namespace devices {
namespace {

using platform::TrimmedView;

constexpr std::size_t kEntryBlanks = 46;
constexpr std::string_view kMakerPrefix = "Zendrik-";

// The text of a buffer up to its first NUL, never reading past its end.
template <std::size_t N>
std::string TextOf(const std::array<char, N>& buffer) {
  return CutAtNul(std::string_view(buffer.data(), N));
}

// A decimal number at the start of `text` as an index, rounded to the
// nearest integer (ties to even); 0 when there is none.
int LeadingNumber(std::string_view text) {
  double value = std::nearbyint(platform::ReadDecimal(text));  // ties to even
  constexpr double kLowest = std::numeric_limits<int>::min();
  constexpr double kHighest = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(value, kLowest, kHighest));
}

}  // namespace

std::string CutAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

int UsbEntryIndex(std::string_view entry) {
  std::size_t bracket = entry.rfind('[');
  if (bracket == std::string_view::npos) return 0;
  // The entry ends in "]": the number lies between the bracket and it.
  std::string_view inner = entry.substr(0, entry.size() - 1);
  if (bracket + 1 > inner.size()) return 0;
  return LeadingNumber(platform::TrimmedView(inner.substr(bracket + 1)));
}

UsbTransport::UsbTransport(std::shared_ptr<const UsbLibrary> library)
    : library_(std::move(library)) {}

std::string UsbTransport::UsbListDevices() {
  if (!library_) return {};
  std::int32_t count = 0;
  if (library_->Api().getNumDevices(&count) != 1) return {};
  count = std::min<std::int32_t>(count, kMaxListedDevices);
  std::vector<std::string> entries;
  for (int index = 0; index < count; ++index) {
    std::array<char, kNameBufferSize> buffer{};
    library_->Api().getProductString(index, buffer.data(), 0);
    std::string product = TextOf(buffer);
    // A controller without a product string is left out; the others keep
    // their library index in brackets, so positions and indices may differ.
    if (product.empty()) continue;
    // A "|" would split the entry in two in the list, and its first half
    // would open controller 0: it is shown as "/".
    std::string identity = IdentityOf(index, product);
    std::replace(identity.begin(), identity.end(), '|', '/');
    entries.push_back("ZDK-" + identity + std::string(kEntryBlanks, ' ') + "[" +
                      std::to_string(index) + "]");
  }
  return JoinList(entries);
}

// The controller's own name for itself, told apart from others of its model
// by the last two characters of its product string.
std::string UsbTransport::IdentityOf(int index, const std::string& product) {
  LinkHandle handle = 0;
  if (UsbOpenIndex(handle, index) != 1) return product;
  std::string reply;
  UsbSendReceive(handle, "ID", reply);
  UsbClose(handle);
  std::string_view identity = platform::TrimmedView(reply);
  if (identity.substr(0, kMakerPrefix.size()) == kMakerPrefix) {
    identity.remove_prefix(kMakerPrefix.size());
  }
  std::string_view trimmed = platform::TrimmedView(product);
  std::string_view suffix = trimmed.substr(trimmed.size() >= 2 ? trimmed.size() - 2 : 0);
  return std::string(identity) + "-" + std::string(suffix);
}

platform::Result<LinkHandle> UsbTransport::Open(const std::string& entry) {
  if (!library_) return platform::Result<>::Unsupported("no controller library was found");
  LinkHandle handle = 0;
  if (UsbOpenEntry(handle, entry) == 1) return handle;
  return platform::Result<>::SystemFailureSaying("the controller library did not open controller " +
                                                 std::to_string(UsbEntryIndex(entry)));
}

int UsbTransport::UsbOpenEntry(LinkHandle& handle, const std::string& entry) {
  return UsbOpenIndex(handle, UsbEntryIndex(entry));
}

int UsbTransport::UsbOpenIndex(LinkHandle& handle, int index) {
  if (!library_) return 0;
  const UsbEntryPoints& api = library_->Api();
  api.setTimeouts(kTimeout, kTimeout);
  std::int32_t opened = 0;
  // Any non-zero result is an open controller, judged on the full 32 bits.
  if (api.open(index, &opened) == 0) {
    api.close(opened);
    handle = opened;
    return 0;
  }
  handle = opened;
  api.flush(opened);
  return 1;
}

std::int16_t UsbTransport::UsbSendReceive(LinkHandle handle, const std::string& command,
                                          std::string& reply) {
  if (!library_ || command.empty()) return 0;
  // A 64-byte message carries NUL-terminated text: 63 characters at most.
  std::array<char, kExchangeBufferSize> sent{};
  std::memcpy(sent.data(), command.data(), std::min(command.size(), sent.size() - 1));
  std::array<char, kExchangeBufferSize> received{};
  std::int32_t status = library_->Api().sendRecv(handle, sent.data(), kExchangeBufferSize,
                                                 kExchangeBufferSize, received.data());
  reply = TextOf(received);
  return static_cast<std::int16_t>(status);
}

std::int16_t UsbTransport::UsbClose(LinkHandle handle) {
  if (!library_) return 0;
  return static_cast<std::int16_t>(library_->Api().close(handle));
}

}  // namespace devices

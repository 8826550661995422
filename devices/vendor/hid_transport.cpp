#include "devices/vendor/hid_transport.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace devices {
namespace {

// The text of a buffer up to its first NUL; the whole buffer when a library
// left none, and never a byte beyond it.
template <std::size_t N>
std::string TextOf(const std::array<char, N>& buffer) {
  return std::string(buffer.data(), ::strnlen(buffer.data(), N));
}

}  // namespace

HidTransport::HidTransport(std::shared_ptr<const HidLibrary> library)
    : library_(std::move(library)) {}

std::vector<std::string> HidTransport::ListEntries() {
  return SplitList(HidList());
}

int HidTransport::HidDeviceCount() {
  if (!library_) return 0;
  return library_->Api().getNumber();
}

std::string HidTransport::HidDeviceName(int index) {
  int count = HidDeviceCount();
  if (index < 0 || index > count - 1) return {};
  std::array<char, kNameBufferSize> name{};
  if (library_->Api().getName(index, name.data()) != 1) return {};
  return TextOf(name);
}

std::string HidTransport::HidList() {
  int count = std::min(HidDeviceCount(), kMaxListedDevices);
  std::vector<std::string> names;
  for (int index = 0; index < count; ++index) names.push_back(HidDeviceName(index));
  return JoinList(names);
}

platform::Result<LinkHandle> HidTransport::Open(const std::string& entry) {
  if (!library_) return platform::Result<>::Unsupported("no board library was found");
  LinkHandle handle = 0;
  if (HidOpen(handle, entry) == 1) return handle;
  return platform::Result<>::SystemFailureSaying("the board library did not open the board \"" +
                                                 entry + "\"");
}

int HidTransport::HidOpen(LinkHandle& handle, const std::string& name) {
  if (!library_) return 0;
  // The library takes a NUL-terminated name; a copy keeps its buffer ours.
  std::vector<char> text(name.begin(), name.end());
  text.push_back('\0');
  std::int32_t opened = 0;
  int result = library_->Api().open(&opened, text.data());
  handle = opened;
  return result == 1 ? 1 : 0;
}

int HidTransport::HidSendReceive(LinkHandle handle, const std::string& command,
                                 std::string& reply) {
  if (!library_) {
    reply.clear();
    return 0;
  }
  // The board takes NUL-terminated text in a fixed 64-byte report: 63
  // characters and the NUL. Longer commands are cut, never overrun.
  std::array<char, kExchangeBufferSize> sent{};
  std::memcpy(sent.data(), command.data(), std::min(command.size(), sent.size() - 1));
  std::array<char, kExchangeBufferSize> received{};
  int status = library_->Api().sendReceive(handle, sent.data(), received.data());
  reply = TextOf(received);
  return status;
}

int HidTransport::HidClose(LinkHandle handle) {
  if (!library_) return 0;
  return library_->Api().close(handle);
}

std::string HidTransport::HidLibraryVersion() {
  if (!library_ || library_->Api().getVersion == nullptr) return {};
  // The library writes one number into the first byte of each buffer; the
  // buffers are roomier than that so a library that writes a little more
  // stays inside them.
  std::array<std::uint8_t, 16> first{};
  std::array<std::uint8_t, 16> second{};
  std::int32_t third = 0;
  library_->Api().getVersion(first.data(), second.data(), &third);
  return std::to_string(first[0]) + "." + std::to_string(second[0]) + "." + std::to_string(third);
}

std::string HidLibraryVersionOf(Transport& transport) {
  auto* hid = dynamic_cast<HidTransport*>(&transport);
  return hid != nullptr ? hid->HidLibraryVersion() : std::string();
}

}  // namespace devices

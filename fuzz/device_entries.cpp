// The device entries of both access libraries built from whatever a library
// reports: counts, board names and product strings of any bytes (with or
// without their NUL), statuses, and "ID" replies. Every listed entry must
// open the very device it was built from, at its own list position.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devices/vendor/hid_transport.h"
#include "devices/vendor/usb_transport.h"

namespace {

// The libraries are plain C entry points: they read the fuzz data from here.
FuzzedDataProvider* data = nullptr;
std::int32_t opened = -1;  // the index or name the last open asked for
std::string openedName;
std::int32_t boards = 0;         // the board count of this run
std::vector<std::string> names;  // the board names the library gave, by index

void Fill(char* buffer, std::size_t size) {
  const std::string bytes = data->ConsumeRandomLengthString(size);
  std::memcpy(buffer, bytes.data(), bytes.size());
}

std::int32_t Status() {
  return data->ConsumeBool() ? 1 : data->ConsumeIntegralInRange<std::int32_t>(-2, 2);
}

std::int32_t HidNumber() {
  return boards;
}
std::int32_t HidName(std::int32_t index, char* name) {
  Fill(name, devices::kNameBufferSize);
  const std::int32_t status = Status();
  names.at(static_cast<std::size_t>(index)) =
      status == 1 ? std::string(name, strnlen(name, devices::kNameBufferSize)) : std::string();
  return status;
}
std::int32_t HidOpen(std::int32_t* handle, char* name) {
  openedName = name;
  *handle = 7;
  return 1;
}
std::int32_t HidSendReceive(std::int32_t, char*, char* reply) {
  Fill(reply, devices::kExchangeBufferSize);
  return 1;
}
std::int32_t HidClose(std::int32_t) {
  return 1;
}

std::int32_t UsbCount(std::int32_t* count) {
  *count = data->ConsumeIntegralInRange<std::int32_t>(-3, 40);
  return Status();
}
std::int32_t UsbProduct(std::int32_t, char* product, std::int32_t) {
  Fill(product, devices::kNameBufferSize);
  return 1;
}
std::int32_t UsbTimeouts(std::int32_t, std::int32_t) {
  return 1;
}
std::int32_t UsbOpen(std::int32_t index, std::int32_t* handle) {
  opened = index;
  *handle = index + 100;
  return data->ConsumeBool() ? 1 : 0;
}
std::int32_t UsbFlush(std::int32_t) {
  return 1;
}
std::int32_t UsbSendRecv(std::int32_t, char*, std::int32_t, std::int32_t, char* reply) {
  Fill(reply, devices::kExchangeBufferSize);
  return 1;
}
std::int32_t UsbClose(std::int32_t) {
  return 1;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckUsbEntries() {
  devices::UsbEntryPoints api{UsbCount, UsbProduct,  UsbTimeouts, UsbOpen,
                              UsbFlush, UsbSendRecv, UsbClose};
  devices::UsbTransport usb(std::make_shared<devices::UsbLibrary>(nullptr, api));
  int previous = -1;
  for (const std::string& entry : usb.ListEntries()) {
    // "ZDK-" + identity + 46 blanks + "[" + index + "]", indexes rising.
    Check(entry.rfind("ZDK-", 0) == 0 && entry.back() == ']');
    Check(entry.find('\0') == std::string::npos);
    const std::size_t bracket = entry.rfind('[');
    Check(bracket != std::string::npos && bracket >= 46 + 4);
    Check(entry.compare(bracket - 46, 46, std::string(46, ' ')) == 0);
    const int index = std::stoi(entry.substr(bracket + 1));
    Check(index > previous && entry.substr(bracket) == "[" + std::to_string(index) + "]");
    previous = index;
    opened = -1;
    devices::LinkHandle handle = 0;
    usb.UsbOpenEntry(handle, entry);
    Check(opened == index);  // the entry opens its own controller
  }
}

void CheckHidEntries() {
  devices::HidEntryPoints api{HidNumber, HidName, HidOpen, HidSendReceive, HidClose, nullptr};
  devices::HidTransport hid(std::make_shared<devices::HidLibrary>(nullptr, api));
  boards = data->ConsumeIntegralInRange<std::int32_t>(-3, 40);
  names.assign(boards > 0 ? static_cast<std::size_t>(boards) : 0, std::string());
  const std::vector<std::string> entries = hid.ListEntries();
  // The list is the names the library gave, in board order, by the list rule.
  Check(hid.HidList() == devices::JoinList(names));
  for (const std::string& entry : entries) {
    Check(entry.size() <= devices::kNameBufferSize && entry.find('\0') == std::string::npos);
    devices::LinkHandle handle = 0;
    Check(hid.HidOpen(handle, entry) == 1 && openedName == entry);  // opened by its exact name
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider provider(bytes, size);
  data = &provider;
  if (provider.ConsumeBool()) {
    CheckUsbEntries();
  } else {
    CheckHidEntries();
  }
  return 0;
}

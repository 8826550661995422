#include "devices/link_kinds.h"

#include <array>

#include "devices/serial_transport.h"
#include "devices/vendor/hid_transport.h"
#include "devices/vendor/usb_transport.h"

namespace devices {
namespace {

// A brace group ({PORT:BAUD}) makes a serial entry whatever its label says.
bool IsSerialEntry(std::string_view entry) {
  return entry.find('{') != std::string_view::npos;
}

bool IsUsbEntry(std::string_view entry) {
  return !IsSerialEntry(entry) && entry.substr(0, 4) == "ZDK-";
}

// A missing access library leaves its kind of link without devices.
std::shared_ptr<Transport> FindHid(const platform::DataFolders&) {
  auto library = FindHidLibrary();
  return library ? std::make_shared<HidTransport>(*library) : nullptr;
}

std::shared_ptr<Transport> FindUsb(const platform::DataFolders&) {
  auto library = FindUsbLibrary();
  return library ? std::make_shared<UsbTransport>(*library) : nullptr;
}

std::shared_ptr<Transport> FindSerial(const platform::DataFolders& folders) {
  return std::make_shared<SerialTransport>(folders.GetDataRoot());
}

constexpr std::array<LinkKindRow, 3> kRows = {{
    {LinkKind::Hid, "HID board", nullptr, FindHid},
    {LinkKind::Usb, "USB controller", IsUsbEntry, FindUsb},
    {LinkKind::Serial, "serial port", IsSerialEntry, FindSerial},
}};

}  // namespace

std::span<const LinkKindRow> LinkKinds() {
  return kRows;
}

const LinkKindRow* LinkKindOf(LinkKind kind) {
  for (const LinkKindRow& row : kRows) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

LinkKind ClassifyEntry(std::string_view entry) {
  const LinkKindRow* unclaimed = nullptr;
  for (const LinkKindRow& row : kRows) {
    if (!row.claims) {
      unclaimed = &row;
    } else if (row.claims(entry)) {
      return row.kind;
    }
  }
  return unclaimed ? unclaimed->kind : LinkKind::Hid;
}

}  // namespace devices

#include "app/links.h"

#include <memory>

#include "devices/serial_transport.h"
#include "devices/vendor/hid_transport.h"
#include "devices/vendor/usb_transport.h"

namespace app {

void InstallRealLinks(devices::DeviceRegistry& registry, const platform::DataFolders& folders) {
  // A missing access library leaves its kind of link without devices.
  if (auto hid = devices::FindHidLibrary()) {
    registry.SetTransport(devices::LinkKind::Hid, std::make_shared<devices::HidTransport>(hid));
  }
  if (auto usb = devices::FindUsbLibrary()) {
    registry.SetTransport(devices::LinkKind::Usb, std::make_shared<devices::UsbTransport>(usb));
  }
  registry.SetTransport(devices::LinkKind::Serial,
                        std::make_shared<devices::SerialTransport>(folders.GetDataRoot()));
}

}  // namespace app

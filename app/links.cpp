#include "app/links.h"

#include <memory>

#include "devices/serial_transport.h"

namespace app {

void InstallRealLinks(devices::DeviceRegistry& registry, const DataFolders& folders) {
  registry.SetTransport(devices::LinkKind::Serial,
                        std::make_shared<devices::SerialTransport>(folders.GetDataRoot()));
}

}  // namespace app

// The links a real run reaches: the serial ports of the configuration file,
// and the HID boards and USB controllers of the access libraries when they
// can be loaded.
#pragma once

#include "app/data_folders.h"
#include "devices/device_registry.h"

namespace app {

void InstallRealLinks(devices::DeviceRegistry& registry, const DataFolders& folders);

}  // namespace app

// The links a real run reaches: the serial ports of the configuration file,
// and the HID boards and USB controllers of the access libraries when they
// can be loaded.
#pragma once

#include "devices/device_registry.h"
#include "platform/data_folders.h"

namespace app {

void InstallRealLinks(devices::DeviceRegistry& registry, const platform::DataFolders& folders);

}  // namespace app

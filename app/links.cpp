#include "app/links.h"

namespace app {

void InstallRealLinks(devices::DeviceRegistry& registry, const platform::DataFolders& folders) {
  registry.FindTransports(folders);
}

}  // namespace app

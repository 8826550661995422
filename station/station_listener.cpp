#include "station/station_listener.h"

#include "platform/process.h"

namespace app {

std::tm SystemSurroundings::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

bool SystemSurroundings::StartProgram(const std::vector<std::string>& argv, bool wait) {
  return static_cast<bool>(platform::StartProcess(argv, wait));
}

}  // namespace app

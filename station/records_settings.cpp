#include "station/records_settings.h"

#include "platform/data_folders.h"
#include "platform/files.h"
#include "platform/text.h"

namespace app {

RecordsSettings ReadRecordsSettings(const std::string& dataRoot, RecordsSettings settings,
                                    std::vector<std::string>& notes) {
  const std::string path = platform::DataFolders(dataRoot).DataPath("AppConfig\\Records.cfg");
  std::string text;
  if (!platform::FileExists(path) || !platform::ReadFile(path, text)) return settings;
  for (const platform::SettingLine& line : platform::SettingLines(text)) {
    const std::string where =
        path + ", line " + std::to_string(line.number) + ": \"" + std::string(line.text) + "\": ";
    if (line.name == "RECORDS" && platform::EqualsNoCase(line.value, "OFF")) {
      settings.enabled = false;
    } else if (line.name == "RECORDS" && !line.value.empty()) {
      settings.path = line.value.front() == '/'
                          ? std::string(line.value)
                          : platform::DataFolders(dataRoot).DataPath(std::string(line.value));
    } else if (line.name == "STATION" && !line.value.empty()) {
      settings.station = line.value;
    } else if (line.name == "CENTRAL" && !line.value.empty()) {
      settings.central = line.value;
    } else if (line.name == "RECORDS" || line.name == "STATION" || line.name == "CENTRAL") {
      notes.push_back(where + "no value; the line is ignored");
    } else {
      notes.push_back(where +
                      "unknown (the names are RECORDS, STATION and CENTRAL); the line is ignored");
    }
  }
  return settings;
}

}  // namespace app

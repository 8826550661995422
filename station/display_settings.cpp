#include "station/display_settings.h"

#include "platform/files.h"
#include "platform/text.h"
#include "station/display_zoom.h"

namespace app {

namespace {

constexpr const char* kFile = "AppConfig\\Display.cfg";

struct StampWord {
  const char* word;
  engine::TimeStamps stamps;
};
constexpr StampWord kStampWords[] = {
    {"off", engine::TimeStamps::Off},
    {"clock", engine::TimeStamps::Clock},
    {"since", engine::TimeStamps::SincePrevious},
};

}  // namespace

DisplaySettings ReadDisplaySettings(const platform::DataFolders& folders,
                                    std::vector<std::string>& notes) {
  DisplaySettings settings;
  const std::string path = folders.DataPath(kFile);
  std::string text;
  if (!platform::FileExists(path)) return settings;
  if (const platform::Result<> read = platform::ReadFile(path, text); !read) {
    notes.push_back(read.Text() + "; the display's options stay off");
    return settings;
  }
  for (const platform::SettingLine& line : platform::SettingLines(text)) {
    const std::string where =
        path + ", line " + std::to_string(line.number) + ": \"" + std::string(line.text) + "\": ";
    if (line.name == "SESSION_LOG" && platform::EqualsNoCase(line.value, "on")) {
      settings.sessionLog = true;
    } else if (line.name == "SESSION_LOG" && platform::EqualsNoCase(line.value, "off")) {
      settings.sessionLog = false;
    } else if (line.name == "SESSION_LOG") {
      notes.push_back(where + "the value is on or off; the line is ignored");
    } else if (line.name == "TIME_STAMPS") {
      bool known = false;
      for (const StampWord& word : kStampWords) {
        if (platform::EqualsNoCase(line.value, word.word)) {
          settings.timeStamps = word.stamps;
          known = true;
        }
      }
      if (!known) notes.push_back(where + "the value is off, clock or since; the line is ignored");
    } else if (line.name == "ZOOM") {
      const std::optional<int> percent = platform::ReadWholeNumber(line.value);
      if (percent && *percent > 0) {
        settings.zoom = DisplayZoom::NearestStep(*percent);
      } else {
        notes.push_back(where + "the value is a percentage; the line is ignored");
      }
    } else {
      notes.push_back(
          where + "unknown (the names are session_log, time_stamps and zoom); the line is ignored");
    }
  }
  return settings;
}

platform::Result<> WriteDisplaySettings(const platform::DataFolders& folders,
                                        const DisplaySettings& settings) {
  const std::string path = folders.DataPath(kFile);
  std::string old;
  if (platform::FileExists(path)) {
    if (const platform::Result<> read = platform::ReadFile(path, old); !read) return read;
  }
  // Every line but the two written here stays, comments and all.
  std::string text;
  for (std::size_t start = 0; start < old.size();) {
    std::size_t end = old.find('\n', start);
    end = end == std::string::npos ? old.size() : end + 1;
    const std::string_view line = std::string_view(old).substr(start, end - start);
    const std::vector<platform::SettingLine> parsed = platform::SettingLines(line);
    const bool ours =
        !parsed.empty() && (parsed[0].name == "SESSION_LOG" || parsed[0].name == "TIME_STAMPS" ||
                            parsed[0].name == "ZOOM");
    if (!ours) {
      text += line;
      if (line.back() != '\n') text += '\n';
    }
    start = end;
  }
  text += std::string("session_log=") + (settings.sessionLog ? "on" : "off") + "\n";
  for (const StampWord& word : kStampWords) {
    if (word.stamps == settings.timeStamps) text += std::string("time_stamps=") + word.word + "\n";
  }
  if (settings.zoom != 100) text += "zoom=" + std::to_string(settings.zoom) + "\n";
  return platform::WriteFileAtomic(path, text);
}

}  // namespace app

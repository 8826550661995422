#include "app/qt/window_start.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace app::qt {
namespace {

// Sets the display variables for one case and puts them back afterwards.
class DisplayEnvironment {
 public:
  DisplayEnvironment() {
    for (const char* name : kNames) saved_.push_back(Get(name));
  }
  ~DisplayEnvironment() {
    for (std::size_t i = 0; i < std::size(kNames); ++i) Set(kNames[i], saved_[i]);
  }
  static void Set(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

 private:
  static std::optional<std::string> Get(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  }
  static constexpr const char* kNames[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(WindowStart, SaysInOneLineWhyNoWindowOpens) {
  struct Row {
    std::optional<std::string> platform, display, wayland;
    const char* reason;  // "" when a window can open
  };
  const Row rows[] = {
      {std::nullopt, std::nullopt, std::nullopt, "no display"},
      {std::nullopt, "", "", "no display"},
      {std::nullopt, ":97", std::nullopt, "cannot reach the X display \":97\""},
      {"no-such-platform", ":0", std::nullopt, "platform plugin \"no-such-platform\" is not"},
      {"offscreen", std::nullopt, std::nullopt, ""},
  };
  for (const Row& row : rows) {
    DisplayEnvironment environment;
    DisplayEnvironment::Set("QT_QPA_PLATFORM", row.platform);
    DisplayEnvironment::Set("DISPLAY", row.display);
    DisplayEnvironment::Set("WAYLAND_DISPLAY", row.wayland);
    const std::string why = WhyNoWindow();
    if (std::string(row.reason).empty()) {
      EXPECT_EQ(why, "");
    } else {
      EXPECT_NE(why.find(row.reason), std::string::npos) << why;
      EXPECT_EQ(why.find('\n'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace app::qt

#include "ui/qt/window_start.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

namespace ui::qt {
namespace {

using Value = std::optional<std::string>;

void Set(const char* name, const Value& value) {
  value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

TEST(WindowStart, SaysInOneLineWhyNoWindowOpens) {
  const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  Value saved[3];
  for (int i = 0; i < 3; ++i)
    if (const char* v = std::getenv(names[i])) saved[i] = v;
  const std::pair<std::array<Value, 3>, const char*> rows[] = {
      {{std::nullopt, std::nullopt, std::nullopt}, "no display"},
      {{std::nullopt, "", ""}, "no display"},
      {{std::nullopt, ":97", std::nullopt}, "cannot reach the X display \":97\""},
      {{"no-such-platform", ":0", std::nullopt}, "platform plugin \"no-such-platform\" is not"},
      {{"offscreen", std::nullopt, std::nullopt}, ""}};
  for (const auto& [values, reason] : rows) {
    for (int i = 0; i < 3; ++i) Set(names[i], values[i]);
    const std::string why = WhyNoWindow();
    const bool oneLine = why.find('\n') == std::string::npos;
    EXPECT_TRUE(*reason ? why.find(reason) != std::string::npos && oneLine : why.empty()) << why;
  }
  for (int i = 0; i < 3; ++i) Set(names[i], saved[i]);
}

}  // namespace
}  // namespace ui::qt

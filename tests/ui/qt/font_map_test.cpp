#include "ui/qt/font_map.h"

#include <gtest/gtest.h>

#include <QFontInfo>

namespace ui::qt {
namespace {

// Of the same metrics at the height asked for; an unknown face or a height of 0 still gives one.
TEST(FontMap, TableFacesResolveToInstalledFonts) {
  const std::tuple<const char*, int, int, const char*, int, int> rows[] = {
      {" arial ", 700, 15, "Liberation Sans", 700, 15},
      {"Courier New", 300, 15, "Liberation Mono", 300, 15},
      {"Arial Black", 400, 15, "Liberation Sans", 900, 15},
      {"Terminal", 500, 15, "DejaVu Sans Mono", 500, 15},
      {"MS Mincho", 400, 0, nullptr, 400, 1}};
  for (const auto& [face, weight, height, family, givenWeight, givenHeight] : rows) {
    const QFont q = ToQFont({.face = face, .pixelHeight = height, .weight = weight});
    const QFontInfo info(q);
    const std::string got = info.family().toStdString();
    EXPECT_TRUE(family ? got == family : !got.empty()) << face << ": " << got;
    EXPECT_EQ(std::pair(int(q.weight()), info.pixelSize()), std::pair(givenWeight, givenHeight))
        << face;
  }
}

}  // namespace
}  // namespace ui::qt

#include "ui/qt/font_map.h"

#include <gtest/gtest.h>

#include <QFontInfo>

namespace ui::qt {
namespace {

// The faces of the form tables resolve to installed fonts of the same
// metrics, at the pixel height asked for; a face that is not installed and
// a height of 0 still give a usable font.
TEST(FontMap, TableFacesResolveToInstalledFonts) {
  const struct {
    const char* face;
    int weight, height;
    const char* family;  // nullptr: any installed one
    int resolvedWeight, resolvedHeight;
  } rows[] = {
      {" arial ", 700, 15, "Liberation Sans", 700, 15},
      {"Courier New", 300, 15, "Liberation Mono", 300, 15},
      {"Arial Black", 400, 15, "Liberation Sans", 900, 15},
      {"Terminal", 500, 15, "DejaVu Sans Mono", 500, 15},
      {"MS Mincho", 400, 0, nullptr, 400, 1},
  };
  for (const auto& row : rows) {
    const QFont q = ToQFont({.face = row.face, .pixelHeight = row.height, .weight = row.weight});
    const QFontInfo info(q);
    const std::string family = info.family().toStdString();
    EXPECT_TRUE(row.family ? family == row.family : !family.empty()) << row.face << ": " << family;
    EXPECT_EQ(std::pair(int(q.weight()), info.pixelSize()),
              std::pair(row.resolvedWeight, row.resolvedHeight))
        << row.face;
  }
}

}  // namespace
}  // namespace ui::qt

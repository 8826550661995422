#include "app/qt/font_map.h"

#include <gtest/gtest.h>

#include <QFontInfo>

namespace app::qt {
namespace {

// The faces of the form tables resolve to installed fonts of the same
// metrics, at the pixel height asked for.
TEST(FontMap, TableFacesResolveToInstalledFonts) {
  struct Row {
    const char* face;
    int weight;
    const char* family;
    int resolvedWeight;
  };
  const Row rows[] = {
      {"Arial", 400, "Liberation Sans", 400},       {" arial ", 700, "Liberation Sans", 700},
      {"Courier New", 300, "Liberation Mono", 300}, {"Tahoma", 700, "DejaVu Sans", 700},
      {"Arial Black", 400, "Liberation Sans", 900}, {"Terminal", 500, "DejaVu Sans Mono", 500},
  };
  for (const Row& row : rows) {
    gui::Font font;
    font.face = row.face;
    font.pixelHeight = 15;
    font.weight = row.weight;
    QFont q = ToQFont(font);
    QFontInfo info(q);
    EXPECT_EQ(info.family().toStdString(), row.family) << row.face;
    EXPECT_EQ(q.weight(), row.resolvedWeight) << row.face;
    EXPECT_EQ(info.pixelSize(), 15) << row.face;
  }
}

TEST(FontMap, AFaceThatIsNotInstalledStillGivesAFont) {
  gui::Font font;
  font.face = "MS Mincho";
  font.pixelHeight = 0;
  QFontInfo info(ToQFont(font));
  EXPECT_FALSE(info.family().isEmpty());
  EXPECT_GE(info.pixelSize(), 1);
}

}  // namespace
}  // namespace app::qt

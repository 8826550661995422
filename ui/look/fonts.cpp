#include "ui/look/fonts.h"

#include <algorithm>
#include <limits>

namespace ui::look {

ui::Font ToGuiFont(const lang::FontDescription& description) {
  ui::Font font;
  font.face = description.face;
  // -INT_MIN does not exist: such a height is as big as a height gets.
  const int height = description.height == std::numeric_limits<int>::min()
                         ? std::numeric_limits<int>::max()
                         : (description.height < 0 ? -description.height : description.height);
  font.pixelHeight = std::max(1, height);
  font.weight = description.weight;
  font.italic = description.italic;
  font.underline = description.underline;
  font.strikeOut = description.strikeOut;
  font.fixedPitch = description.pitch == 1;
  return font;
}

ui::Font DescribeFont(std::string_view face, double points, std::string_view style,
                      int dotsPerInch) {
  return ToGuiFont(lang::DescribeFont(face, 0, points, style, dotsPerInch));
}

int LineHeight(const ui::Font& font) {
  const long long em = std::max(1, font.pixelHeight);
  return static_cast<int>(std::min<long long>((em * 6 + 4) / 5, std::numeric_limits<int>::max()));
}

}  // namespace ui::look

#include "ui/qt/font_map.h"

#include <QFontDatabase>
#include <algorithm>
#include <array>
#include <string_view>

#include "platform/text.h"
#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

struct Substitute {
  std::string_view face;  // upper case
  const char* desktop;
  int minimumWeight;
};

// Liberation fonts keep the widths of the faces they replace, so captions
// laid out for those faces still fit their controls.
constexpr std::array<Substitute, 9> kSubstitutes{{
    {"ARIAL", "Liberation Sans", 0},
    {"ARIAL BLACK", "Liberation Sans", 900},
    {"HELVETICA", "Liberation Sans", 0},
    {"COURIER NEW", "Liberation Mono", 0},
    {"COURIER", "Liberation Mono", 0},
    {"TIMES NEW ROMAN", "Liberation Serif", 0},
    {"TAHOMA", "DejaVu Sans", 0},
    {"VERDANA", "DejaVu Sans", 0},
    {"TERMINAL", "DejaVu Sans Mono", 0},
}};

std::string UpperTrimmed(const std::string& face) {
  return platform::ToUpper(platform::TrimmedView(face));
}

const Substitute* FindSubstitute(const std::string& face) {
  const std::string upper = UpperTrimmed(face);
  for (const Substitute& s : kSubstitutes) {
    if (s.face == upper) return &s;
  }
  return nullptr;
}

}  // namespace

QString DesktopFace(const std::string& face) {
  if (const Substitute* s = FindSubstitute(face)) return QString::fromLatin1(s->desktop);
  if (UpperTrimmed(face).empty())
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  return FromBytes(face).trimmed();
}

QFont ToQFont(const ui::Font& font) {
  QFont q(DesktopFace(font.face));
  q.setPixelSize(std::max(1, font.pixelHeight));
  int weight = std::clamp(font.weight, 100, 900);
  if (const Substitute* s = FindSubstitute(font.face)) weight = std::max(weight, s->minimumWeight);
  q.setWeight(static_cast<QFont::Weight>(weight));
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  q.setStrikeOut(font.strikeOut);
  q.setFixedPitch(font.fixedPitch);
  q.setStyleHint(font.fixedPitch ? QFont::TypeWriter : QFont::AnyStyle);
  return q;
}

}  // namespace ui::qt

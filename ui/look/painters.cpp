#include "ui/look/painters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/bar_markup.h"
#include "platform/text.h"
#include "ui/look/fonts.h"

namespace ui::look {
namespace {

constexpr ui::Rgb kWhite{255, 255, 255};
constexpr ui::Rgb kBlack{0, 0, 0};
constexpr int kSunkenFrameColour = 8;

bool Empty(const ui::PixelRect& area) {
  return area.width <= 0 || area.height <= 0;
}

ui::TextLayout Centred() {
  return ui::TextLayout{ui::Align::Centre, true, false};
}

// The rounded corner's radius of 6 pixels at 96 dots per inch.
int CornerRadius(int cornerCode, const ui::PixelRect& area, int dotsPerInch) {
  if (cornerCode == 1) return std::min(area.width, area.height) / 2;
  if (cornerCode != -2) return 0;
  const int radius = ui::UnitsToPixelsY(6.0 / ui::kUnitPixelsY, dotsPerInch);
  return std::min(radius, std::min(area.width, area.height) / 2);
}

struct MacroToken {
  std::string_view name;
  std::optional<ui::ShapeKind> shape;
};

constexpr MacroToken kShapes[] = {
    {"RECT", ui::ShapeKind::Rect},         {"RRECT", ui::ShapeKind::RoundedRect},
    {"ELLIPSE", ui::ShapeKind::Ellipse},   {"ARROWRT", ui::ShapeKind::ArrowRight},
    {"ARROWLF", ui::ShapeKind::ArrowLeft}, {"ARROWUP", ui::ShapeKind::ArrowUp},
};

// Reads one token into `macro`; false for a token the grammar does not have.
bool ReadToken(std::string_view token, Macro& macro) {
  if (token == "BIG") return macro.big = true;
  if (token == "DOUBLE") return macro.twin = true;
  if (token == "SAME") return macro.filled = true;
  for (const MacroToken& t : kShapes) {
    if (t.name == token && !macro.shape) {
      macro.shape = t.shape;
      return true;
    }
  }
  return false;
}

}  // namespace

void PaintBar(ui::Canvas& canvas, const ui::PixelRect& area, std::string_view markup, ui::Rgb first,
              ui::Rgb second, Effect effect) {
  if (Empty(area)) return;
  canvas.VerticalGradient(area, first, second);
  for (const engine::BarSegment& s : engine::LayoutBar(markup, area.width)) {
    // The layout lets a rounded-up segment end one past the bar; the last
    // pixel of the bar is where it stops.
    const int right = std::min(s.right, area.width - 1);
    if (right < s.left) continue;
    const ui::PixelRect part{area.x + s.left, area.y, right - s.left + 1, area.height};
    if (s.useControlColours) {
      canvas.VerticalGradient(part, second, first);
    } else {
      canvas.VerticalGradient(part, PaletteColour(s.firstColour), PaletteColour(s.secondColour));
    }
  }
  if (effect == Effect::Sunken) canvas.Frame(area, 1, PaletteColour(kSunkenFrameColour));
}

void PaintCaption(ui::Canvas& canvas, const ui::PixelRect& area, const Caption& caption,
                  const lang::Languages& languages, int dotsPerInch) {
  if (Empty(area)) return;
  std::string text(caption.text);
  if (caption.label) {
    if (platform::TrimmedView(text).empty()) text = caption.ownText;
    std::replace(text.begin(), text.end(), '|', '\n');
  }
  const lang::CaptionText shown = languages.Caption(text);
  if (shown.translated) {
    if (shown.text.empty()) return;
    const ui::Font font = ToGuiFont(
        languages.Font(languages.LanguageIndex(), shown.sizeIndex, shown.bold, dotsPerInch));
    canvas.Text(area, ui::CanvasText{shown.text, true}, font, caption.colour, Centred());
    return;
  }
  if (platform::TrimmedView(shown.text).empty()) return;
  canvas.Text(area, ui::CanvasText{shown.text, false}, caption.font, caption.colour, Centred());
}

int LabelTextColour(int textColour, int backColour) {
  return textColour >= 0 && textColour == backColour ? 0 : textColour;
}

void PaintLabel(ui::Canvas& canvas, const ui::PixelRect& area, ui::Rgb back, const Caption& caption,
                const lang::Languages& languages, int dotsPerInch) {
  if (Empty(area)) return;
  canvas.Fill(area, back);
  PaintCaption(canvas, area, caption, languages, dotsPerInch);
}

std::optional<Macro> ParseMacro(std::string_view caption) {
  caption = platform::TrimmedView(caption);
  if (caption.size() < 4 || caption.substr(0, 2) != "{{" ||
      caption.substr(caption.size() - 2) != "}}") {
    return std::nullopt;
  }
  Macro macro;
  const std::string tokens = platform::ToUpper(caption.substr(2, caption.size() - 4));
  for (platform::FieldWalker walker(tokens, "_"); !walker.Done();) {
    if (!ReadToken(walker.Next(), macro)) return Macro{};  // unknown: draws nothing
  }
  return macro;
}

void PaintMacro(ui::Canvas& canvas, const ui::PixelRect& area, const Macro& macro, ui::Rgb colour) {
  if (!macro.shape || Empty(area)) return;
  const int side = std::min(area.width, area.height);
  int size = static_cast<int>(std::lround(side * (macro.big ? 0.6 : 0.4)));
  const int copies = macro.twin ? 2 : 1;
  int gap = macro.twin ? std::max(1, size / 4) : 0;
  // Two shapes side by side must still fit across the button.
  if (copies * size + gap > area.width) {
    gap = macro.twin ? 1 : 0;
    size = (area.width - gap) / copies;
  }
  if (size <= 0) return;
  const int group = copies * size + gap;
  int x = area.x + (area.width - group) / 2;
  const int y = area.y + (area.height - size) / 2;
  for (int i = 0; i < copies; ++i, x += size + gap) {
    canvas.Shape(*macro.shape, ui::PixelRect{x, y, size, size}, colour, macro.filled);
  }
}

ButtonShades ShadesOf(ui::Rgb base, const ui::DrawState& state) {
  ButtonShades shades{Mix(base, kWhite, 0.35), base, Mix(base, kBlack, 0.25)};
  if (state.hover) {
    shades.top = Mix(shades.top, kWhite, 0.15);
    shades.bottom = Mix(shades.bottom, kWhite, 0.15);
  }
  if (state.pressed) std::swap(shades.top, shades.bottom);
  return shades;
}

void PaintButton(ui::Canvas& canvas, const ui::PixelRect& area, const ui::DrawState& state,
                 const ButtonLook& look, const Caption& caption, const lang::Languages& languages,
                 int dotsPerInch) {
  if (Empty(area)) return;
  const ButtonShades shades = ShadesOf(look.base, state);
  canvas.RoundedFace(area, CornerRadius(look.cornerCode, area, dotsPerInch), shades.top,
                     shades.bottom, shades.border);
  // The button Enter or Space would press: a dialog's Pass and Fail buttons
  // look alike otherwise, and the operator must see which one has the keys.
  if (state.focused && state.enabled && area.width > 8 && area.height > 8) {
    canvas.Frame({area.x + 3, area.y + 3, area.width - 6, area.height - 6}, 1, shades.border);
  }
  if (const std::optional<Macro> macro = ParseMacro(caption.text)) {
    PaintMacro(canvas, area, *macro, caption.colour);
  } else {
    PaintCaption(canvas, area, caption, languages, dotsPerInch);
  }
}

void PaintShape(ui::Canvas& canvas, const ui::PixelRect& area, int borderWidth, ui::Rgb colour) {
  if (Empty(area)) return;
  if (borderWidth <= 0) {
    canvas.Fill(area, colour);
    return;
  }
  canvas.Frame(area, std::min(borderWidth, std::min(area.width, area.height)), colour);
}

void PaintSelectorItem(ui::Canvas& canvas, const ui::PixelRect& area, std::string_view text,
                       bool selectedLook, const ui::Font& font) {
  if (Empty(area)) return;
  canvas.Fill(area, PaletteColour(selectedLook ? 12 : 14));
  canvas.Frame(area, 1, PaletteColour(selectedLook ? 4 : 6));
  canvas.Text(area, ui::CanvasText{text, false}, font, PaletteColour(selectedLook ? 15 : 0),
              Centred());
}

}  // namespace ui::look

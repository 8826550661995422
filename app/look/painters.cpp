#include "app/look/painters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/look/fonts.h"
#include "engine/bar_markup.h"
#include "platform/text.h"

namespace app::look {
namespace {

constexpr gui::Rgb kWhite{255, 255, 255};
constexpr gui::Rgb kBlack{0, 0, 0};
constexpr int kSunkenFrameColour = 8;

bool Empty(const gui::PixelRect& area) {
  return area.width <= 0 || area.height <= 0;
}

gui::TextLayout Centred() {
  return gui::TextLayout{gui::Align::Centre, true, false};
}

// The rounded corner's radius of 6 pixels at 96 dots per inch.
int CornerRadius(int cornerCode, const gui::PixelRect& area, int dotsPerInch) {
  if (cornerCode == 1) return std::min(area.width, area.height) / 2;
  if (cornerCode != -2) return 0;
  const int radius = gui::UnitsToPixelsY(6.0 / gui::kUnitPixelsY, dotsPerInch);
  return std::min(radius, std::min(area.width, area.height) / 2);
}

struct MacroToken {
  std::string_view name;
  std::optional<gui::ShapeKind> shape;
};

constexpr MacroToken kShapes[] = {
    {"RECT", gui::ShapeKind::Rect},         {"RRECT", gui::ShapeKind::RoundedRect},
    {"ELLIPSE", gui::ShapeKind::Ellipse},   {"ARROWRT", gui::ShapeKind::ArrowRight},
    {"ARROWLF", gui::ShapeKind::ArrowLeft}, {"ARROWUP", gui::ShapeKind::ArrowUp},
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

void PaintBar(gui::Canvas& canvas, const gui::PixelRect& area, std::string_view markup,
              gui::Rgb first, gui::Rgb second, Effect effect) {
  if (Empty(area)) return;
  canvas.VerticalGradient(area, first, second);
  for (const engine::BarSegment& s : engine::LayoutBar(markup, area.width)) {
    // The layout lets a rounded-up segment end one past the bar; the last
    // pixel of the bar is where it stops.
    const int right = std::min(s.right, area.width - 1);
    if (right < s.left) continue;
    const gui::PixelRect part{area.x + s.left, area.y, right - s.left + 1, area.height};
    if (s.useControlColours) {
      canvas.VerticalGradient(part, second, first);
    } else {
      canvas.VerticalGradient(part, PaletteColour(s.firstColour), PaletteColour(s.secondColour));
    }
  }
  if (effect == Effect::Sunken) canvas.Frame(area, 1, PaletteColour(kSunkenFrameColour));
}

void PaintCaption(gui::Canvas& canvas, const gui::PixelRect& area, const Caption& caption,
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
    const gui::Font font = ToGuiFont(
        languages.Font(languages.LanguageIndex(), shown.sizeIndex, shown.bold, dotsPerInch));
    canvas.Text(area, gui::CanvasText{shown.text, true}, font, caption.colour, Centred());
    return;
  }
  if (platform::TrimmedView(shown.text).empty()) return;
  canvas.Text(area, gui::CanvasText{shown.text, false}, caption.font, caption.colour, Centred());
}

int LabelTextColour(int textColour, int backColour) {
  return textColour >= 0 && textColour == backColour ? 0 : textColour;
}

void PaintLabel(gui::Canvas& canvas, const gui::PixelRect& area, gui::Rgb back,
                const Caption& caption, const lang::Languages& languages, int dotsPerInch) {
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

void PaintMacro(gui::Canvas& canvas, const gui::PixelRect& area, const Macro& macro,
                gui::Rgb colour) {
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
    canvas.Shape(*macro.shape, gui::PixelRect{x, y, size, size}, colour, macro.filled);
  }
}

ButtonShades ShadesOf(gui::Rgb base, const gui::DrawState& state) {
  ButtonShades shades{Mix(base, kWhite, 0.35), base, Mix(base, kBlack, 0.25)};
  if (state.hover) {
    shades.top = Mix(shades.top, kWhite, 0.15);
    shades.bottom = Mix(shades.bottom, kWhite, 0.15);
  }
  if (state.pressed) std::swap(shades.top, shades.bottom);
  return shades;
}

void PaintButton(gui::Canvas& canvas, const gui::PixelRect& area, const gui::DrawState& state,
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

void PaintShape(gui::Canvas& canvas, const gui::PixelRect& area, int borderWidth, gui::Rgb colour) {
  if (Empty(area)) return;
  if (borderWidth <= 0) {
    canvas.Fill(area, colour);
    return;
  }
  canvas.Frame(area, std::min(borderWidth, std::min(area.width, area.height)), colour);
}

void PaintSelectorItem(gui::Canvas& canvas, const gui::PixelRect& area, std::string_view text,
                       bool selectedLook, const gui::Font& font) {
  if (Empty(area)) return;
  canvas.Fill(area, PaletteColour(selectedLook ? 12 : 14));
  canvas.Frame(area, 1, PaletteColour(selectedLook ? 4 : 6));
  canvas.Text(area, gui::CanvasText{text, false}, font, PaletteColour(selectedLook ? 15 : 0),
              Centred());
}

}  // namespace app::look

// A Canvas that draws nothing and remembers every call with its arguments,
// so painters are tested as tables of calls and fuzzed without a screen.
// Text is measured with fixed metrics: every character is 11/20 of the
// font's pixel height wide (at least 1 pixel), a line is 6/5 of it high.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ui/contract/gui.h"

namespace ui::headless {

struct CanvasCall {
  enum class Kind { Fill, Gradient, RoundedFace, Frame, Shape, Text };
  Kind kind = Kind::Fill;
  PixelRect area;
  Rgb colour;    // Fill, Frame, Shape, Text; the top colour of Gradient and RoundedFace
  Rgb bottom;    // Gradient and RoundedFace
  Rgb border;    // RoundedFace
  int size = 0;  // RoundedFace: the corner radius; Frame: the width
  ShapeKind shape = ShapeKind::Rect;
  bool filled = false;
  std::string text{};  // Text: the bytes as given
  bool utf8 = false;
  Font font{};
  TextLayout layout{};
};

class RecordingCanvas : public Canvas {
 public:
  std::vector<CanvasCall> calls;

  // True when every call lies inside `area` (an empty call area counts).
  bool AllInside(const PixelRect& area) const;
  // The calls of one kind, in order.
  std::vector<CanvasCall> Of(CanvasCall::Kind kind) const;

  void Fill(const PixelRect& area, Rgb colour) override;
  void VerticalGradient(const PixelRect& area, Rgb top, Rgb bottom) override;
  void RoundedFace(const PixelRect& area, int radius, Rgb top, Rgb bottom, Rgb border) override;
  void Frame(const PixelRect& area, int width, Rgb colour) override;
  void Shape(ShapeKind kind, const PixelRect& area, Rgb colour, bool filled) override;
  void Text(const PixelRect& area, CanvasText text, const Font& font, Rgb colour,
            const TextLayout& layout) override;
  std::pair<int, int> MeasureText(CanvasText text, const Font& font) override;

 private:
  CanvasCall& Add(CanvasCall::Kind kind, const PixelRect& area, Rgb colour);
};

}  // namespace ui::headless

// The contract's Canvas on a QPainter: every owner-drawn label, button,
// segment bar, shape and list item is painted through this, by the core's
// painters, inside one paintEvent.
#pragma once

#include <QPainter>
#include <utility>

#include "app/gui/gui.h"

namespace app::qt {

QColor ToQColor(gui::Rgb colour);
QRect ToQRect(const gui::PixelRect& rect);

class PainterCanvas : public gui::Canvas {
 public:
  // Draws with `painter`, clipped to `clip` (the request's area).
  PainterCanvas(QPainter& painter, const gui::PixelRect& clip);

  void Fill(const gui::PixelRect& area, gui::Rgb colour) override;
  void VerticalGradient(const gui::PixelRect& area, gui::Rgb top, gui::Rgb bottom) override;
  void RoundedFace(const gui::PixelRect& area, int radius, gui::Rgb top, gui::Rgb bottom,
                   gui::Rgb border) override;
  void Frame(const gui::PixelRect& area, int width, gui::Rgb colour) override;
  void Shape(gui::ShapeKind kind, const gui::PixelRect& area, gui::Rgb colour,
             bool filled) override;
  void Text(const gui::PixelRect& area, gui::CanvasText text, const gui::Font& font,
            gui::Rgb colour, const gui::TextLayout& layout) override;
  std::pair<int, int> MeasureText(gui::CanvasText text, const gui::Font& font) override;

 private:
  QPainter& painter_;
};

// Text measurement without a painter (the screen's font metrics).
std::pair<int, int> MeasureScreenText(gui::CanvasText text, const gui::Font& font);

}  // namespace app::qt

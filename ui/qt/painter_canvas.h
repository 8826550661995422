// The contract's Canvas on a QPainter: every owner-drawn label, button,
// segment bar, shape and list item is painted through this, by the core's
// painters, inside one paintEvent.
#pragma once

#include <QPainter>
#include <utility>

#include "ui/contract/gui.h"

namespace ui::qt {

QColor ToQColor(ui::Rgb colour);
QRect ToQRect(const ui::PixelRect& rect);

class PainterCanvas : public ui::Canvas {
 public:
  // Draws with `painter`, clipped to `clip` (the request's area); text in
  // fonts drawn at `fontScale` (the share of its size its form is drawn at).
  PainterCanvas(QPainter& painter, const ui::PixelRect& clip, double fontScale = 1.0);

  void Fill(const ui::PixelRect& area, ui::Rgb colour) override;
  void VerticalGradient(const ui::PixelRect& area, ui::Rgb top, ui::Rgb bottom) override;
  void RoundedFace(const ui::PixelRect& area, int radius, ui::Rgb top, ui::Rgb bottom,
                   ui::Rgb border) override;
  void Frame(const ui::PixelRect& area, int width, ui::Rgb colour) override;
  void Shape(ui::ShapeKind kind, const ui::PixelRect& area, ui::Rgb colour, bool filled) override;
  void Text(const ui::PixelRect& area, ui::CanvasText text, const ui::Font& font, ui::Rgb colour,
            const ui::TextLayout& layout) override;
  std::pair<int, int> MeasureText(ui::CanvasText text, const ui::Font& font) override;

 private:
  ui::Font Scaled(ui::Font font) const;
  QPainter& painter_;
  double fontScale_;
};

// Text measurement without a painter (the screen's font metrics).
std::pair<int, int> MeasureScreenText(ui::CanvasText text, const ui::Font& font);

}  // namespace ui::qt

#include "ui/qt/painter_canvas.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "ui/qt/font_map.h"
#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

// No control shows more than a few thousand characters; longer captions are
// cut before they reach the text layout so that drawing stays bounded.
constexpr qsizetype kMaxDrawnCharacters = 16384;

QString CanvasString(ui::CanvasText text) {
  std::string_view bytes = text.bytes;
  if (bytes.size() > static_cast<std::size_t>(kMaxDrawnCharacters) * 4) {
    bytes = bytes.substr(0, static_cast<std::size_t>(kMaxDrawnCharacters) * 4);
  }
  QString s = text.utf8 ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                        : FromBytes(bytes);
  if (s.size() > kMaxDrawnCharacters) s.truncate(kMaxDrawnCharacters);
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return s;
}

QRectF Inset(const QRect& r, qreal by) {
  return QRectF(r).adjusted(by, by, -by, -by);
}

// Arrow outlines in a unit square, pointing right; the others are turned.
QPolygonF ArrowRight() {
  return QPolygonF({{0.0, 0.32},
                    {0.52, 0.32},
                    {0.52, 0.05},
                    {1.0, 0.5},
                    {0.52, 0.95},
                    {0.52, 0.68},
                    {0.0, 0.68}});
}

QPolygonF FitArrow(ui::ShapeKind kind, const QRectF& box) {
  QPolygonF unit = ArrowRight();
  QTransform turn;
  if (kind == ui::ShapeKind::ArrowLeft) {
    turn = QTransform(-1, 0, 0, 1, 1, 0);
  } else if (kind == ui::ShapeKind::ArrowUp) {
    turn = QTransform(0, -1, 1, 0, 0, 1);  // (x, y) -> (y, 1 - x)
  }
  QPolygonF out;
  for (const QPointF& p : turn.map(unit)) {
    out << QPointF(box.left() + p.x() * box.width(), box.top() + p.y() * box.height());
  }
  return out;
}

}  // namespace

QColor ToQColor(ui::Rgb colour) {
  return QColor(colour.red, colour.green, colour.blue);
}

QRect ToQRect(const ui::PixelRect& rect) {
  return QRect(rect.x, rect.y, rect.width, rect.height);
}

PainterCanvas::PainterCanvas(QPainter& painter, const ui::PixelRect& clip, double fontScale)
    : painter_(painter), fontScale_(fontScale) {
  painter_.setClipRect(ToQRect(clip));
}

void PainterCanvas::Fill(const ui::PixelRect& area, ui::Rgb colour) {
  painter_.fillRect(ToQRect(area), ToQColor(colour));
}

void PainterCanvas::VerticalGradient(const ui::PixelRect& area, ui::Rgb top, ui::Rgb bottom) {
  QRect r = ToQRect(area);
  QLinearGradient gradient(r.topLeft(), QPointF(r.left(), r.top() + r.height()));
  gradient.setColorAt(0, ToQColor(top));
  gradient.setColorAt(1, ToQColor(bottom));
  painter_.fillRect(r, gradient);
}

void PainterCanvas::RoundedFace(const ui::PixelRect& area, int radius, ui::Rgb top, ui::Rgb bottom,
                                ui::Rgb border) {
  QRect r = ToQRect(area);
  if (r.isEmpty()) return;
  QRectF outline = Inset(r, 0.5);
  qreal rad = std::clamp<qreal>(radius, 0, std::min(outline.width(), outline.height()) / 2);
  QLinearGradient gradient(r.topLeft(), QPointF(r.left(), r.top() + r.height()));
  gradient.setColorAt(0, ToQColor(top));
  gradient.setColorAt(1, ToQColor(bottom));
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, rad > 0);
  painter_.setPen(QPen(ToQColor(border), 1));
  painter_.setBrush(gradient);
  painter_.drawRoundedRect(outline, rad, rad);
  painter_.restore();
}

void PainterCanvas::Frame(const ui::PixelRect& area, int width, ui::Rgb colour) {
  QRect r = ToQRect(area);
  int w = std::min({width, r.width() / 2 + 1, r.height() / 2 + 1});
  if (w <= 0 || r.isEmpty()) return;
  QColor c = ToQColor(colour);
  painter_.fillRect(QRect(r.left(), r.top(), r.width(), w), c);
  painter_.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), c);
  painter_.fillRect(QRect(r.left(), r.top(), w, r.height()), c);
  painter_.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), c);
}

void PainterCanvas::Shape(ui::ShapeKind kind, const ui::PixelRect& area, ui::Rgb colour,
                          bool filled) {
  QRect r = ToQRect(area);
  if (r.isEmpty()) return;
  QColor c = ToQColor(colour);
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  if (filled) {
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(c);
  } else {
    painter_.setPen(QPen(c, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.setBrush(Qt::NoBrush);
  }
  // An outline of width 2 is centred on the path: inset it by one pixel so
  // it stays inside the area.
  QRectF box = filled ? QRectF(r) : Inset(r, 1);
  switch (kind) {
    case ui::ShapeKind::Rect:
      painter_.drawRect(box);
      break;
    case ui::ShapeKind::RoundedRect: {
      qreal rad = std::min(box.width(), box.height()) / 4;
      painter_.drawRoundedRect(box, rad, rad);
      break;
    }
    case ui::ShapeKind::Ellipse:
      painter_.drawEllipse(box);
      break;
    case ui::ShapeKind::ArrowRight:
    case ui::ShapeKind::ArrowLeft:
    case ui::ShapeKind::ArrowUp:
      painter_.drawPolygon(FitArrow(kind, box));
      break;
  }
  painter_.restore();
}

void PainterCanvas::Text(const ui::PixelRect& area, ui::CanvasText text, const ui::Font& font,
                         ui::Rgb colour, const ui::TextLayout& layout) {
  QString s = CanvasString(text);
  if (s.isEmpty()) return;
  int flags = layout.verticalCentre ? Qt::AlignVCenter : Qt::AlignTop;
  switch (layout.align) {
    case ui::Align::Left:
      flags |= Qt::AlignLeft;
      break;
    case ui::Align::Centre:
      flags |= Qt::AlignHCenter;
      break;
    case ui::Align::Right:
      flags |= Qt::AlignRight;
      break;
  }
  if (layout.wrap) flags |= Qt::TextWordWrap;
  painter_.save();
  painter_.setFont(ToQFont(Scaled(font)));
  painter_.setPen(ToQColor(colour));
  painter_.drawText(ToQRect(area), flags, s);
  painter_.restore();
}

std::pair<int, int> PainterCanvas::MeasureText(ui::CanvasText text, const ui::Font& font) {
  return MeasureScreenText(text, Scaled(font));
}

ui::Font PainterCanvas::Scaled(ui::Font font) const {
  if (fontScale_ != 1.0) {
    font.pixelHeight = std::max(1, static_cast<int>(std::lround(font.pixelHeight * fontScale_)));
  }
  return font;
}

std::pair<int, int> MeasureScreenText(ui::CanvasText text, const ui::Font& font) {
  QFontMetrics metrics(ToQFont(font));
  QString s = CanvasString(text);
  s.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return {metrics.horizontalAdvance(s), metrics.height()};
}

}  // namespace ui::qt

#include "ui/headless/recording_canvas.h"

#include "ui/look/fonts.h"

#include <algorithm>
#include <iterator>

namespace ui::headless {
namespace {

bool Contains(const PixelRect& outer, const PixelRect& inner) {
  if (inner.width <= 0 || inner.height <= 0) return true;
  const long long right = static_cast<long long>(inner.x) + inner.width;
  const long long bottom = static_cast<long long>(inner.y) + inner.height;
  return inner.x >= outer.x && inner.y >= outer.y &&
         right <= static_cast<long long>(outer.x) + outer.width &&
         bottom <= static_cast<long long>(outer.y) + outer.height;
}

// Characters, not bytes, for UTF-8: continuation bytes take no width.
long long CharacterCount(CanvasText text) {
  if (!text.utf8) return static_cast<long long>(text.bytes.size());
  return std::count_if(text.bytes.begin(), text.bytes.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

}  // namespace

bool RecordingCanvas::AllInside(const PixelRect& area) const {
  return std::all_of(calls.begin(), calls.end(),
                     [&](const CanvasCall& c) { return Contains(area, c.area); });
}

std::vector<CanvasCall> RecordingCanvas::Of(CanvasCall::Kind kind) const {
  std::vector<CanvasCall> found;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
               [kind](const CanvasCall& c) { return c.kind == kind; });
  return found;
}

CanvasCall& RecordingCanvas::Add(CanvasCall::Kind kind, const PixelRect& area, Rgb colour) {
  CanvasCall& call = calls.emplace_back();
  call.kind = kind;
  call.area = area;
  call.colour = colour;
  return call;
}

void RecordingCanvas::Fill(const PixelRect& area, Rgb colour) {
  Add(CanvasCall::Kind::Fill, area, colour);
}

void RecordingCanvas::VerticalGradient(const PixelRect& area, Rgb top, Rgb bottom) {
  Add(CanvasCall::Kind::Gradient, area, top).bottom = bottom;
}

void RecordingCanvas::RoundedFace(const PixelRect& area, int radius, Rgb top, Rgb bottom,
                                  Rgb border) {
  CanvasCall& call = Add(CanvasCall::Kind::RoundedFace, area, top);
  call.bottom = bottom;
  call.border = border;
  call.size = radius;
}

void RecordingCanvas::Frame(const PixelRect& area, int width, Rgb colour) {
  Add(CanvasCall::Kind::Frame, area, colour).size = width;
}

void RecordingCanvas::Shape(ShapeKind kind, const PixelRect& area, Rgb colour, bool filled) {
  CanvasCall& call = Add(CanvasCall::Kind::Shape, area, colour);
  call.shape = kind;
  call.filled = filled;
}

void RecordingCanvas::Text(const PixelRect& area, CanvasText text, const Font& font, Rgb colour,
                           const TextLayout& layout) {
  CanvasCall& call = Add(CanvasCall::Kind::Text, area, colour);
  call.text = std::string(text.bytes);
  call.utf8 = text.utf8;
  call.font = font;
  call.layout = layout;
}

std::pair<int, int> RecordingCanvas::MeasureText(CanvasText text, const Font& font) {
  const long long em = std::max(1, font.pixelHeight);
  const long long advance = std::max(1LL, (em * 11 + 10) / 20);
  const long long width = std::min<long long>(CharacterCount(text) * advance, 1 << 30);
  return {static_cast<int>(width), ui::look::LineHeight(font)};
}

}  // namespace ui::headless

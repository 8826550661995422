// Paints arbitrary text as a bar markup, a button caption (macros included),
// a label caption and a selector item on a recording canvas, on areas chosen
// by the first bytes, and checks that nothing is drawn outside the area.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/gui/recording_canvas.h"
#include "app/look/fonts.h"
#include "app/look/painters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  namespace look = app::look;
  const app::gui::PixelRect area{data[0] % 16 - 4, data[1] % 16, data[2] - 8, data[3] % 80};
  const std::uint8_t flags = data[4];
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
  static const lang::Languages builtIn;
  const app::gui::Font font = look::DescribeFont("Arial", flags % 30, " L+V", 96);
  app::gui::RecordingCanvas canvas;
  look::PaintBar(canvas, area, text, {}, {255, 255, 255},
                 flags & 1 ? look::Effect::Sunken : look::Effect::None);
  const app::gui::DrawState state{.hover = (flags & 2) != 0, .pressed = (flags & 4) != 0};
  look::PaintButton(canvas, area, state, look::ButtonLook{{9, 9, 9}, flags & 8 ? 1 : -2},
                    look::Caption{.text = text, .font = font}, builtIn, 48 + flags);
  look::PaintLabel(canvas, area, {},
                   look::Caption{.text = text, .label = true, .ownText = text, .font = font},
                   builtIn, 96);
  look::PaintSelectorItem(canvas, area, text, (flags & 16) != 0, font);
  if (!canvas.AllInside(area)) __builtin_trap();
  return 0;
}

// Paints arbitrary text as a bar markup, a button caption (macros included),
// a label caption and a selector item on a recording canvas, on areas chosen
// by the first bytes, and checks that nothing is drawn outside the area.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/headless/recording_canvas.h"
#include "ui/look/fonts.h"
#include "ui/look/painters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const ui::PixelRect area{data[0] % 16 - 4, data[1] % 16, data[2] - 8, data[3] % 80};
  const std::uint8_t flags = data[4];
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
  static const lang::Languages builtIn;
  const ui::Font font = ui::look::DescribeFont("Arial", flags % 30, " L+V", 96);
  ui::headless::RecordingCanvas canvas;
  ui::look::PaintBar(canvas, area, text, {}, {255, 255, 255},
                     flags & 1 ? ui::look::Effect::Sunken : ui::look::Effect::None);
  const ui::DrawState state{.hover = (flags & 2) != 0, .pressed = (flags & 4) != 0};
  ui::look::PaintButton(canvas, area, state, ui::look::ButtonLook{{9, 9, 9}, flags & 8 ? 1 : -2},
                        ui::look::Caption{.text = text, .font = font}, builtIn, 48 + flags);
  ui::look::PaintLabel(
      canvas, area, {},
      ui::look::Caption{.text = text, .label = true, .ownText = text, .font = font}, builtIn, 96);
  ui::look::PaintSelectorItem(canvas, area, text, (flags & 16) != 0, font);
  if (!canvas.AllInside(area)) __builtin_trap();
  return 0;
}

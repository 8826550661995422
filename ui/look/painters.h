// The owner-drawn look: segment bars, captions, labels, buttons with their
// shape macros, shapes and the language selector's items. Each painter is a
// pure function drawing on a ui::Canvas inside the area it is given and
// nowhere else, whatever its input.
#pragma once

#include <optional>
#include <string_view>

#include "lang/languages.h"
#include "ui/contract/gui.h"
#include "ui/look/form_codes.h"
#include "ui/look/palette.h"

namespace ui::look {

// ---------------------------------------------------------------------------
// Segment bars

// Fills the bar with its own two colours (a vertical gradient, the first at
// the top), then draws the segments of `markup` (engine::LayoutBar) side by
// side as gradients of their palette pairs: DEFAULT in the bar's colours
// reversed; SKIP and unknown names leave their space in the bar's colours.
// A segment that runs past the bar's last pixel is cut there. A sunken bar
// gets a grey frame of one pixel over it.
void PaintBar(ui::Canvas& canvas, const ui::PixelRect& area, std::string_view markup, ui::Rgb first,
              ui::Rgb second, Effect effect = Effect::None);

// ---------------------------------------------------------------------------
// Captions

// Text to draw as a caption, translated through the selected language.
struct Caption {
  std::string_view text{};     // with its "//" identifier: "History//9"
  bool label = false;          // labels: "|" breaks lines, a blank text is `ownText`
  std::string_view ownText{};  // the label's own current text
  ui::Font font{};             // the control's own font (for untranslated text)
  ui::Rgb colour{};
};

// Draws a caption centred both ways: with the built-in language, or an
// identifier the language does not translate, the text before "//" in the
// control's font (nothing when it is blank); translated, the language's
// text as UTF-8 in the language's font of the text's size, bold when asked.
void PaintCaption(ui::Canvas& canvas, const ui::PixelRect& area, const Caption& caption,
                  const lang::Languages& languages, int dotsPerInch);

// The colour number an owner-drawn label writes its text in: its text
// colour, or colour 0 when text and background are the same colour, which
// would make the caption invisible.
int LabelTextColour(int textColour, int backColour);

// An owner-drawn label: its background, then its caption.
void PaintLabel(ui::Canvas& canvas, const ui::PixelRect& area, ui::Rgb back, const Caption& caption,
                const lang::Languages& languages, int dotsPerInch);

// ---------------------------------------------------------------------------
// Buttons and their shape macros

// A caption in macro form, "{{" tokens joined by "_" "}}": BIG (the shape
// takes 60 % of the button's smaller side, else 40 %), DOUBLE (two shapes
// side by side), SAME (filled in the caption colour, else outlined), and
// one shape: RECT, RRECT, ELLIPSE, ARROWRT, ARROWLF, ARROWUP.
struct Macro {
  bool big = false;
  bool twin = false;
  bool filled = false;
  std::optional<ui::ShapeKind> shape;  // none: an unknown macro, draws nothing
};
// Nothing when `caption` is not in macro form (then it is text).
std::optional<Macro> ParseMacro(std::string_view caption);
void PaintMacro(ui::Canvas& canvas, const ui::PixelRect& area, const Macro& macro, ui::Rgb colour);

struct ButtonLook {
  ui::Rgb base;
  int cornerCode = -2;  // -2 rounded corners (6 px at 96 dpi), 1 a pill, others square
};

// The button face's gradient and border, derived from the base colour:
// light is the base with 35 % white, dark the base with 25 % black; the face
// runs from light at the top to the base at the bottom, outlined in dark.
// Under the mouse both get 15 % more white; pressed, the gradient is turned
// upside down.
struct ButtonShades {
  ui::Rgb top, bottom, border;
};
ButtonShades ShadesOf(ui::Rgb base, const ui::DrawState& state);

// The face, a thin frame inside it while the button has the keyboard focus,
// then the caption: a macro as its shape in the caption colour, any other
// text through PaintCaption.
void PaintButton(ui::Canvas& canvas, const ui::PixelRect& area, const ui::DrawState& state,
                 const ButtonLook& look, const Caption& caption, const lang::Languages& languages,
                 int dotsPerInch);

// ---------------------------------------------------------------------------
// Shapes and the language selector

// A frame `borderWidth` pixels wide inside the area, or (0) the area filled.
void PaintShape(ui::Canvas& canvas, const ui::PixelRect& area, int borderWidth, ui::Rgb colour);

// One item of the language selector (or its closed box), centred in `font`:
// the selected look is colour 15 on 12 in a frame of colour 4, every other
// item 0 on 14 in a frame of colour 6.
void PaintSelectorItem(ui::Canvas& canvas, const ui::PixelRect& area, std::string_view text,
                       bool selectedLook, const ui::Font& font);

}  // namespace ui::look

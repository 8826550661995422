#include "ui/look/painters.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>

#include "lang/language_file.h"
#include "platform/files.h"
#include "support/test_folder.h"
#include "ui/headless/recording_canvas.h"
#include "ui/look/fonts.h"

namespace ui::look {
namespace {

using ui::PixelRect;
using ui::Rgb;
using ui::headless::CanvasCall;
using Kind = CanvasCall::Kind;

constexpr Rgb kFirst{255, 255, 255}, kSecond{200, 200, 200};

int Brightness(Rgb c) {
  return c.red + c.green + c.blue;
}

// A share past 100 is dropped; SKIP and unknown names keep their space; "|", "," and CR separate,
// LF and blanks are ignored; widths round up, the right edge stops at the last pixel; no "%" or no
// positive share draws nothing; DEFAULT draws in the control's own colours, upside down.
TEST(BarPainter, SegmentsLieOverTheControlsColoursAndStopAtTheLastPixel) {
  struct Segment {
    int x, width, top, bottom;  // palette colours; -1/-2: the control's first/second
  };
  const std::vector<Segment> redGreen = {{0, 60, 4, 20}, {60, 40, 2, 10}};
  const std::tuple<const char*, int, std::vector<Segment>> cases[] = {
      {"60%RED|40%GREEN", 100, redGreen},
      {"100%GREEN", 100, {{0, 100, 2, 10}}},
      {"60%RED|60%GREEN", 100, {{0, 60, 4, 20}}},
      {"60%RED|60%GREEN|40%BLUE", 100, {{0, 60, 4, 20}, {60, 40, 9, 17}}},
      {"50%SKIP|50%BLUE", 100, {{50, 50, 9, 17}}},
      {"50%MAUVE|50%BLUE", 100, {{50, 50, 9, 17}}},
      {"50%RED|50%GREEN", 99, {{0, 50, 4, 20}, {50, 49, 2, 10}}},  // rounded up, cut at pixel 98
      {"33%RED|33%GREEN|34%BLUE", 10, {{0, 4, 4, 20}, {4, 4, 2, 10}, {8, 2, 9, 17}}},
      {"60%RED,40%GREEN", 100, redGreen},
      {"60%RED\r\n40%GREEN", 100, redGreen},
      {" 6 0 % r e\nd | 40%green ", 100, redGreen},
      {"12.5%RED", 80, {{0, 10, 4, 20}}},
      {"60RED|40%GREEN", 100, {{0, 40, 2, 10}}},
      {"0%RED|-10%RED|50%GREEN", 100, {{0, 50, 2, 10}}},
      {"%RED|abc%RED", 100, {}},
      {"||,,60%RED", 100, {{0, 60, 4, 20}}},
      {"100%RED", INT_MAX, {{0, INT_MAX, 4, 20}}},
      {"30%default,x|1e308%RED", 100, {{0, 30, -2, -1}}},
      {"50%default|50%LightBlue", 10, {{0, 5, -2, -1}, {5, 5, 17, 25}}}};
  const auto colour = [](int n) { return n == -1 ? kFirst : n == -2 ? kSecond : PaletteColour(n); };
  for (const auto& [markup, width, segments] : cases) {
    ui::headless::RecordingCanvas canvas;
    const PixelRect area{0, 0, width, 12};
    PaintBar(canvas, area, markup, kFirst, kSecond);
    const auto gradients = canvas.Of(Kind::Gradient);
    ASSERT_EQ(gradients.size(), segments.size() + 1) << markup;
    // Filled with the control's colours first.
    EXPECT_EQ(std::tie(gradients[0].area, gradients[0].colour, gradients[0].bottom),
              std::tie(area, kFirst, kSecond))
        << markup;
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const Segment& s = segments[i];
      EXPECT_EQ(std::tie(gradients[i + 1].area, gradients[i + 1].colour, gradients[i + 1].bottom),
                std::make_tuple(PixelRect{s.x, 0, s.width, 12}, colour(s.top), colour(s.bottom)))
          << markup << " " << i;
    }
  }
}

TEST(CaptionPainter, TranslatedCaptionsTakeTheLanguagesFontAtTheirSize) {
  lang::LanguageFileContent content{
      "Deutsch", "Tahoma", 0, 0, {{14, u"Abbruch mit ESC//+5B"}, {2, u"Anzeige"}, {9, u""}}};
  std::string bytes;
  ASSERT_TRUE(lang::WriteLanguageFile(content, bytes));
  testing_support::TestFolder root;
  ASSERT_TRUE(platform::CreateDirectory(root / "AppLanguages"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "AppLanguages/terminal_de.lng", bytes));
  lang::Languages languages;
  languages.LoadLanguageFiles(root.Path());
  const ui::Font own = DescribeFont("Courier New", 10, " L+F", 96);  // 13 pixels
  const std::tuple<int, const char*, bool, const char*, const char*, bool, int, int> cases[] = {
      {1, "Press: ESC to Abort//14", false, "", "Abbruch mit ESC", true, 27, 700},  // 20 points
      {1, "Terminal Display//2", false, "", "Anzeige", true, 15, 400},              // 11 points
      {1, "History//9", false, "", nullptr, true, 0, 0},  // the language's text is empty
      {1, "Devices Found://3", false, "", "Devices Found:", false, 13, 400},  // not translated
      {0, "Press: ESC to Abort//14", false, "", "Press: ESC to Abort", false, 13, 400},
      {0, "one|two", true, "", "one\ntwo", false, 13, 400},  // labels break lines at "|"
      {0, "  ", true, "own text", "own text", false, 13, 400},
      {0, "  ", false, "own text", nullptr, false, 0, 0},  // a blank button caption
  };
  for (const auto& [language, caption, label, ownText, shown, utf8, height, weight] : cases) {
    languages.Select(language);
    ui::headless::RecordingCanvas canvas;
    const PixelRect area{0, 0, 200, 40};
    PaintCaption(canvas, area, Caption{caption, label, ownText, own, {1, 2, 3}}, languages, 96);
    const auto texts = canvas.Of(Kind::Text);
    ASSERT_EQ(texts.size(), shown ? 1u : 0u) << caption;
    if (!shown) continue;
    const CanvasCall& t = texts[0];
    EXPECT_EQ(std::tie(t.text, t.utf8, t.font.pixelHeight, t.font.weight, t.area),
              std::make_tuple(std::string(shown), utf8, height, weight, area))
        << caption;
    EXPECT_TRUE(t.layout.align == ui::Align::Centre && t.layout.verticalCentre);
  }
}

TEST(ButtonPainter, UnderTheMouseLighterPressedUpsideDownCornersByCodeFocusFramed) {
  const Rgb base{100, 120, 140};
  const ButtonShades normal = ShadesOf(base, {});
  const ButtonShades hover = ShadesOf(base, {.hover = true});
  const ButtonShades pressed = ShadesOf(base, {.pressed = true});
  EXPECT_EQ(normal.bottom, base);
  EXPECT_GT(Brightness(normal.top), Brightness(base));
  EXPECT_LT(Brightness(normal.border), Brightness(base));
  EXPECT_GT(Brightness(hover.top), Brightness(normal.top));
  EXPECT_GT(Brightness(hover.bottom), Brightness(normal.bottom));
  EXPECT_EQ(std::make_pair(pressed.top, pressed.bottom), std::make_pair(normal.bottom, normal.top));
  lang::Languages builtIn;
  for (const auto& [code, dpi, radius] :
       {std::tuple{-2, 96, 6}, {-2, 192, 12}, {1, 96, 20}, {0, 96, 0}}) {
    ui::headless::RecordingCanvas canvas;
    PaintButton(canvas, {0, 0, 80, 40}, {}, ButtonLook{base, code}, Caption{.text = "OK//20"},
                builtIn, dpi);
    ASSERT_EQ(canvas.Of(Kind::RoundedFace).size(), 1u);
    EXPECT_EQ(canvas.Of(Kind::RoundedFace)[0].size, radius) << code << " " << dpi;
    EXPECT_EQ(canvas.Of(Kind::Text).at(0).text, "OK");
  }
  // Only an enabled button with the keys shows the thin frame inside its face.
  for (const auto& [state, frames] : {std::pair{ui::DrawState{.focused = true}, 1u},
                                      {ui::DrawState{.focused = true, .enabled = false}, 0u},
                                      {ui::DrawState{}, 0u}}) {
    ui::headless::RecordingCanvas canvas;
    PaintButton(canvas, {0, 0, 80, 40}, state, ButtonLook{base}, Caption{.text = "OK"}, builtIn,
                96);
    ASSERT_EQ(canvas.Of(Kind::Frame).size(), frames);
    for (const CanvasCall& frame : canvas.Of(Kind::Frame))
      EXPECT_EQ(frame.area, (ui::PixelRect{3, 3, 74, 34}));
  }
}

TEST(ButtonPainter, AMacroCaptionDrawsItsShapeAndNeverText) {
  const std::tuple<const char*, std::size_t, ui::ShapeKind, bool, int> cases[] = {
      {"{{BIG_SAME_ARROWRT}}", 1, ui::ShapeKind::ArrowRight, true, 18},
      {"{{BIG_DOUBLE_SAME_RECT}}", 2, ui::ShapeKind::Rect, true, 18},
      {"{{rrect}}", 1, ui::ShapeKind::RoundedRect, false, 12},
      {"{{BIG_DOUBLE_ARROWLF}}", 2, ui::ShapeKind::ArrowLeft, false, 18},
      {"{{BIG_SAME_WOBBLE}}", 0, {}, false, 0},
      {"{{BIG_SAME}}", 0, {}, false, 0},
      {"{{RECT_ELLIPSE}}", 0, {}, false, 0},
      {"{{}}", 0, {}, false, 0}};
  lang::Languages builtIn;
  for (const auto& [caption, count, kind, filled, size] : cases) {
    ui::headless::RecordingCanvas canvas;
    const PixelRect area{0, 0, 60, 30};
    PaintButton(canvas, area, {}, ButtonLook{{1, 2, 3}}, Caption{caption, false, {}, {}, {9, 9, 9}},
                builtIn, 96);
    EXPECT_TRUE(canvas.Of(Kind::Text).empty()) << caption;
    const auto shapes = canvas.Of(Kind::Shape);
    ASSERT_EQ(shapes.size(), count) << caption;
    for (const CanvasCall& s : shapes)
      EXPECT_EQ(std::tie(s.shape, s.filled, s.area.width, s.colour),
                std::make_tuple(kind, filled, size, Rgb{9, 9, 9}))
          << caption;
    EXPECT_TRUE(canvas.AllInside(area)) << caption;
  }
}

TEST(SelectorPainter, TheSelectedItemAndTheOthers) {
  const ui::Font font = DescribeFont("Arial", 11, " L+V", 96);
  for (bool selected : {true, false}) {
    ui::headless::RecordingCanvas canvas;
    PaintSelectorItem(canvas, {0, 0, 100, 18}, "Deutsch", selected, font);
    ASSERT_EQ(canvas.calls.size(), 3u);
    EXPECT_EQ(std::tie(canvas.calls[0].colour, canvas.calls[1].kind, canvas.calls[1].colour,
                       canvas.calls[2].colour, canvas.calls[2].text),
              std::make_tuple(PaletteColour(selected ? 12 : 14), Kind::Frame,
                              PaletteColour(selected ? 4 : 6), PaletteColour(selected ? 15 : 0),
                              std::string("Deutsch")));
  }
  EXPECT_EQ(LineHeight(font), 18);  // the item height: 15 pixels and a fifth
}

}  // namespace
}  // namespace ui::look

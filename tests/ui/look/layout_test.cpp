#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <utility>

#include "screens/dialogs.h"
#include "screens/main_form.h"
#include "ui/headless/headless_gui.h"
#include "ui/look/accelerators.h"
#include "ui/look/form_codes.h"
#include "ui/look/layout.h"

namespace ui::look {
namespace {

using namespace app;

using Axis = ui::ResizeRule::Axis;
using ui::ControlKind;
using ui::UnitRect;

TEST(FormCodes, ResizeCodesPerAxis) {
  const std::tuple<const char*, Axis, Axis> cases[] = {
      {"FL,FR,FB,H2", Axis::Stretch, Axis::Far},
      {"CL,FR,FB,H", Axis::Stretch, Axis::Far},
      {"FL,FR,FT,FB,VH", Axis::Stretch, Axis::Stretch},
      {"FL,CR,FT,CB-2", Axis::Near, Axis::Near},
      {"FR,FB2", Axis::Far, Axis::Far},
      {"FL,FB-2", Axis::Near, Axis::Far},
      {"CL,CR,CT,CB2", Axis::Near, Axis::Near},
      {"fl , fr", Axis::Stretch, Axis::Near},
      {"", Axis::Near, Axis::Near},
      {"XY,F,FQ,H,-2,,", Axis::Near, Axis::Near}};
  for (const auto& [codes, across, down] : cases)
    EXPECT_EQ(ParseResizeCodes(codes), (ui::ResizeRule{across, down})) << codes;
}

TEST(FormCodes, StyleLettersPerKind) {
  const StyleCodes label = ParseStyleLetters(ControlKind::Label, "^CHO");
  EXPECT_TRUE(label.ownerDrawn && label.hidden && label.style.verticalCentre &&
              label.style.align == ui::Align::Centre);
  const StyleCodes plain = ParseStyleLetters(ControlKind::Label, "IL");
  EXPECT_TRUE(plain.style.transparent && !plain.ownerDrawn && plain.style.align == ui::Align::Left);
  const ui::ControlStyle display = ParseStyleLetters(ControlKind::TextBox, "BMSV").style;
  EXPECT_TRUE(display.border && display.multiLine && display.readOnly && display.verticalScroll);
  const ui::ControlStyle entry = ParseStyleLetters(ControlKind::TextBox, "ETU").style;
  EXPECT_TRUE(entry.border && entry.tabStop && !entry.multiLine && !entry.readOnly);
  EXPECT_TRUE(ParseStyleLetters(ControlKind::Button, "DHT").style.defaultButton);
  EXPECT_TRUE(ParseStyleLetters(ControlKind::ComboBox, "$OTV").style.ownerDrawnItems);
  for (const auto& [letters, width] : {std::pair{"2[", 2}, {"4I[", 4}, {"[", 1}, {"4I", 0}})
    EXPECT_EQ(ParseStyleLetters(ControlKind::Shape, letters).style.borderWidth, width) << letters;
  EXPECT_EQ(ParseStyleLetters(ControlKind::Label, "?!zq").style, ui::ControlStyle{});
  const ui::FormStyle main = ParseFormStyle("^_CZ");
  EXPECT_TRUE(main.resizable && main.minimiseBox && main.maximiseBox && main.systemMenu &&
              !main.modal);
  EXPECT_TRUE(ParseFormStyle("CMR").modal);
  EXPECT_EQ(ParseEffect("F"), Effect::Sunken);
}

TEST(Accelerators, TheTableTextBecomesKeysAndBadEntriesAreLeftOut) {
  using ui::Accelerator;
  EXPECT_EQ(ParseAccelerators("RETURN,7777|esc, 8888|^F1,9701|^P,9711|F10,8010|%+x,5|0,6"),
            (std::vector<Accelerator>{{13, false, false, false, 7777},
                                      {27, false, false, false, 8888},
                                      {112, true, false, false, 9701},
                                      {'P', true, false, false, 9711},
                                      {121, false, false, false, 8010},
                                      {'X', false, true, true, 5},
                                      {'0', false, false, false, 6}}));
  EXPECT_TRUE(ParseAccelerators("F13,1|F0,2|ESC,|ESC,12a|NOKEY,3|RETURN|,4||^,5").empty());
  const std::string_view table = kMainAccelerators;  // every entry of the window's table is a key
  EXPECT_EQ(ParseAccelerators(table).size(), std::count(table.begin(), table.end(), '|') + 1u);
}

bool Overlap(const UnitRect& a, const UnitRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

std::set<std::pair<int, int>> Overlaps(const ui::FormSpec& form, const UnitRect& size) {
  std::set<std::pair<int, int>> found;
  for (const ui::ControlSpec& a : form.controls)
    for (const ui::ControlSpec& b : form.controls)
      if (a.id < b.id && Overlap(ApplyResize(a.place, a.resize, form.place, size),
                                 ApplyResize(b.place, b.resize, form.place, size)))
        found.emplace(a.id, b.id);
  return found;
}

TEST(ResizeRule, TheMainWindowGrowsWithoutNewOverlaps) {
  const ui::FormSpec form = MainFormSpec(96);
  const std::set<std::pair<int, int>> atCreation = Overlaps(form, form.place);
  for (const UnitRect size :
       {UnitRect{0, 0, 60, 42}, {0, 0, 80, 41.25}, {0, 0, 59, 70}, {0, 0, 240, 135}})
    for (const auto& pair : Overlaps(form, size))
      EXPECT_TRUE(atCreation.count(pair))
          << pair.first << " and " << pair.second << " at " << size.width << " x " << size.height;
  // The display takes the growth; what lies below it moves down with the bottom edge.
  const ui::ControlSpec* display = FindControl(form, tmain::kDisplay);
  EXPECT_EQ(ApplyResize(display->place, display->resize, form.place, {0, 0, 80, 60}),
            (UnitRect{1, 5.5, 78, 15.25 + 18.75}));
}

// Common screens and scales, with a frame and a panel: each form fits whole, no smaller than the
// readable floor, and every control lies inside its client area.
TEST(FormFit, EveryFormFitsTheCommonScreensAtEveryScale) {
  const ui::FormSpec forms[] = {MainFormSpec(96), InputFormSpec(96), PassFailFormSpec(96),
                                MessageFormSpec(96)};
  const struct { int width, height; } screens[] = {{1366, 768}, {1600, 1000}, {1920, 1080}};
  constexpr int kFrameWidth = 10, kFrameHeight = 34, kPanel = 32;
  for (const auto& screen : screens)
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
      const ui::PixelRect area{0, 0, static_cast<int>(screen.width / scale),
                               static_cast<int>(screen.height / scale) - kPanel};
      for (const ui::FormSpec& form : forms) {
        SCOPED_TRACE(form.name + " " + std::to_string(screen.width) + " " + std::to_string(scale));
        const FormFit fit = FitForm(form.place, 96, scale, kFrameWidth, kFrameHeight, area);
        EXPECT_TRUE(!fit.scrolls && fit.clientWidth + kFrameWidth <= area.width &&
                    fit.clientHeight + kFrameHeight <= area.height);
        EXPECT_GE(fit.dotsPerInch * scale / 96, kSmallestFit);
        const UnitRect client{0, 0, ui::PixelsToUnitsX(fit.clientWidth, fit.dotsPerInch),
                              ui::PixelsToUnitsY(fit.clientHeight, fit.dotsPerInch)};
        for (const ui::ControlSpec& c : form.controls) {
          // The table lets the logo's box hang over the bottom edge.
          if (c.id == tmain::kLogo && form.name == kMainForm) continue;
          UnitRect place = ApplyResize(c.place, c.resize, form.place, client);
          // A drop-down's height in the table is its open list's.
          if (c.kind == ControlKind::ComboBox) place.height = std::min(place.height, 1.5);
          const ui::PixelRect p = ui::UnitsToPixels(place, fit.dotsPerInch);
          EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x + p.width <= fit.clientWidth &&
                      p.y + p.height <= fit.clientHeight)
              << c.id;
        }
      }
    }
}

TEST(FormFit, SmallerScreensDrawSmallerDownToTheFloorThenScroll) {
  const UnitRect main{0, 0, 59, 41.25};  // 472 x 660 at 96 dots per inch
  const std::tuple<const char*, ui::PixelRect, double, int, bool, int, int> cases[] = {
      {"fits: full size", {0, 0, 1920, 1080}, 1, 96, false, 472, 660},
      {"fits exactly", {0, 0, 482, 694}, 1, 96, false, 472, 660},
      {"one pixel short", {0, 0, 482, 693}, 1, 95, false, 467, 653},
      {"the floor's screen", {0, 0, 800, 480}, 1, 64, false, 315, 440},
      {"below the floor", {0, 0, 640, 360}, 1, 64, true, 315, 326},
      {"scale 3 of 1920x1080", {0, 0, 640, 360}, 3, 47, false, 231, 323},
      {"no room at all", {0, 0, 0, -5}, 1, 64, true, 1, 1},
      {"work area off the origin", {100, 50, 800, 480}, 1, 64, false, 315, 440}};
  for (const auto& [what, area, ratio, dpi, scrolls, width, height] : cases) {
    const FormFit fit = FitForm(main, 96, ratio, 10, 34, area);
    EXPECT_EQ(std::tie(fit.dotsPerInch, fit.scrolls, fit.clientWidth, fit.clientHeight),
              std::tie(dpi, scrolls, width, height))
        << what;
  }
}

// First created on top; labels, shapes and bars let clicks through.
TEST(Stacking, ClicksReachTheControlsUnderCaptionsAndFrames) {
  ui::headless::HeadlessGui gui;
  gui.LoadForm(MainFormSpec(96));
  const auto at = [&gui](double x, double y) {
    return gui.ControlAt(kMainForm, ui::UnitsToPixelsX(x, 96), ui::UnitsToPixelsY(y, 96));
  };
  EXPECT_EQ(at(52, 30.2), tmain::kFifo);  // not Record History 220 under it, nor caption 205
  EXPECT_EQ(at(10, 30.2), tmain::kClearAfterSend);  // under its caption 195
  EXPECT_EQ(at(10, 25.4), tmain::kCommandEntry);    // inside its frame 185
  EXPECT_EQ(at(40, 4), tmain::kClearDisplay);       // the hidden bars take nothing
  gui.SetVisible({kMainForm, tmain::kCommandBar}, true);
  gui.Raise({kMainForm, tmain::kCommandBar});
  EXPECT_EQ(at(40, 4), tmain::kClearDisplay);  // shown and raised, a bar still lets clicks through
}

}  // namespace
}  // namespace ui::look

#include "screens/placement.h"

#include "platform/text.h"

namespace app {
namespace {

bool Holds(std::string_view upper, std::string_view word) {
  return upper.find(word) != std::string_view::npos;
}

}  // namespace

PlacementWords ReadPlacementWords(std::string_view text) {
  const std::string upper = platform::ToUpper(text);
  using Side = PlacementWords::Side;
  PlacementWords words;
  if (Holds(upper, "LEFT")) {
    words.side = Side::Left;
  } else if (Holds(upper, "CENTER")) {
    words.side = Side::Centre;
  } else if (Holds(upper, "RIGHT")) {
    words.side = Side::Right;
  }
  words.max = Holds(upper, "MAX");
  return words;
}

ui::UnitRect MainWindowPlace(const PlacementWords& words, const ui::UnitRect& current,
                             double referenceWidth, double referenceHeight,
                             const ui::ScreenInfo& screen) {
  const int dpi = screen.dotsPerInch;
  const ui::PixelRect& area = screen.workArea;
  const double left = ui::PixelsToUnitsX(area.x, dpi);
  const double top = ui::PixelsToUnitsY(area.y, dpi);
  const double areaWidth = ui::PixelsToUnitsX(area.width, dpi);
  const double areaHeight = ui::PixelsToUnitsY(area.height, dpi);
  const double frameWidth = ui::PixelsToUnitsX(screen.frameWidth, dpi);
  const double frameHeight = ui::PixelsToUnitsY(screen.frameHeight, dpi);

  ui::UnitRect place{current.x, current.y, referenceWidth, referenceHeight};
  if (words.max) {
    place.y = top;
    place.height = areaHeight - frameHeight;
  }
  const double outerWidth = place.width + frameWidth;
  switch (words.side) {
    case PlacementWords::Side::Left:
      place.x = left;
      break;
    case PlacementWords::Side::Centre:
      place.x = left + (areaWidth - outerWidth) / 2;
      break;
    case PlacementWords::Side::Right:
      place.x = left + areaWidth - outerWidth;
      break;
    case PlacementWords::Side::None:
      break;
  }
  return place;
}

void WindowPlacement::PlaceMainWindow(ui::Gui& gui, const std::string& form,
                                      std::string_view text) {
  if (!gui.FormLoaded(form)) return;
  const ui::UnitRect current = gui.FormGeometry(form);
  if (!referenceTaken_) {
    referenceTaken_ = true;
    referenceWidth_ = current.width;
    referenceHeight_ = current.height;
  }
  const PlacementWords words = ReadPlacementWords(text);
  if (words.max && words.side == PlacementWords::Side::None) {
    gui.MaximiseForm(form);
    return;
  }
  const ui::ScreenInfo screen = gui.Screen();
  ui::UnitRect place = MainWindowPlace(words, current, referenceWidth_, referenceHeight_, screen);
  if (!screen.canPlaceWindows) {
    // The desktop keeps the position; only the size is the program's.
    place.x = current.x;
    place.y = current.y;
  }
  gui.SetFormGeometry(form, place);
}

void PlaceDialog(ui::Gui& gui, const std::string& dialog, const std::string& mainForm) {
  if (!gui.FormLoaded(dialog) || !gui.FormLoaded(mainForm)) return;
  const ui::UnitRect own = gui.FormGeometry(dialog);
  const ui::UnitRect main = gui.FormGeometry(mainForm);
  gui.MoveForm(dialog, own.x, main.y + main.height - own.height - 0.25);
}

}  // namespace app

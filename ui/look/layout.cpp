#include "ui/look/layout.h"

#include <algorithm>
#include <cmath>

namespace ui::look {
namespace {

using Axis = ui::ResizeRule::Axis;

// One axis: the near edge and size, moved or stretched by `growth`.
void Follow(Axis axis, double growth, double& near, double& size) {
  if (axis == Axis::Far) near += growth;
  if (axis == Axis::Stretch) size = std::max(0.0, size + growth);
}

}  // namespace

ui::UnitRect ApplyResize(const ui::UnitRect& creation, const ui::ResizeRule& rule,
                         const ui::UnitRect& formCreation, const ui::UnitRect& formNow) {
  ui::UnitRect place = creation;
  Follow(rule.horizontal, formNow.width - formCreation.width, place.x, place.width);
  Follow(rule.vertical, formNow.height - formCreation.height, place.y, place.height);
  return place;
}

void ApplyStacking(ui::ControlSpec& control) {
  using Kind = ui::ControlKind;
  control.stacking = control.kind == Kind::Shape ? 1 : 0;
  control.clickThrough = control.kind == Kind::Label || control.kind == Kind::Shape ||
                         control.kind == Kind::SegmentBar;
}

FormFit FitForm(const ui::UnitRect& units, int dotsPerInch, double pixelRatio, int frameWidth,
                int frameHeight, const ui::PixelRect& workArea) {
  FormFit fit;
  dotsPerInch = std::max(1, dotsPerInch);
  const int roomWidth = std::max(1, workArea.width - std::max(0, frameWidth));
  const int roomHeight = std::max(1, workArea.height - std::max(0, frameHeight));
  const auto clientAt = [&](int dpi) {
    fit.dotsPerInch = dpi;
    fit.clientWidth = std::max(1, ui::UnitsToPixelsX(units.width, dpi));
    fit.clientHeight = std::max(1, ui::UnitsToPixelsY(units.height, dpi));
  };
  clientAt(dotsPerInch);
  if (fit.clientWidth <= roomWidth && fit.clientHeight <= roomHeight) return fit;
  // The densest whole density that fits, found from the top: the rounding
  // of the unit rule makes the size a step function of the density.
  const double ratio = std::max(0.01, pixelRatio);
  const int floor = std::clamp(
      static_cast<int>(std::ceil(ui::kReferenceDotsPerInch * kSmallestFit / ratio - 1e-9)), 1,
      dotsPerInch);
  const double share = std::min(static_cast<double>(roomWidth) / fit.clientWidth,
                                static_cast<double>(roomHeight) / fit.clientHeight);
  int dpi = std::clamp(static_cast<int>(std::floor(dotsPerInch * share)) + 1, floor, dotsPerInch);
  for (clientAt(dpi);
       dpi > floor && (fit.clientWidth > roomWidth || fit.clientHeight > roomHeight);)
    clientAt(--dpi);
  if (fit.clientWidth > roomWidth || fit.clientHeight > roomHeight) {
    fit.scrolls = true;
    fit.clientWidth = std::min(fit.clientWidth, roomWidth);
    fit.clientHeight = std::min(fit.clientHeight, roomHeight);
  }
  return fit;
}

}  // namespace ui::look

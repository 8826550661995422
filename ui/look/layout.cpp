#include "ui/look/layout.h"

#include <algorithm>

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

}  // namespace ui::look

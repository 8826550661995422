#include "app/look/layout.h"

#include <algorithm>

namespace app::look {
namespace {

using Axis = gui::ResizeRule::Axis;

// One axis: the near edge and size, moved or stretched by `growth`.
void Follow(Axis axis, double growth, double& near, double& size) {
  if (axis == Axis::Far) near += growth;
  if (axis == Axis::Stretch) size = std::max(0.0, size + growth);
}

}  // namespace

gui::UnitRect ApplyResize(const gui::UnitRect& creation, const gui::ResizeRule& rule,
                          const gui::UnitRect& formCreation, const gui::UnitRect& formNow) {
  gui::UnitRect place = creation;
  Follow(rule.horizontal, formNow.width - formCreation.width, place.x, place.width);
  Follow(rule.vertical, formNow.height - formCreation.height, place.y, place.height);
  return place;
}

void ApplyStacking(gui::ControlSpec& control) {
  using Kind = gui::ControlKind;
  control.stacking = control.kind == Kind::Shape ? 1 : 0;
  control.clickThrough = control.kind == Kind::Label || control.kind == Kind::Shape ||
                         control.kind == Kind::SegmentBar;
}

}  // namespace app::look

#include "ui/look/form_codes.h"

#include <cctype>

#include "platform/text.h"

namespace ui::look {
namespace {

using Axis = ui::ResizeRule::Axis;

bool Has(std::string_view letters, char letter) {
  return letters.find(letter) != std::string_view::npos;
}

// One axis from the codes found on it: far "F" with a near code stretches,
// far "F" alone follows the far edge, anything else stays.
Axis AxisOf(bool nearCode, bool farKeptByDistance) {
  if (!farKeptByDistance) return Axis::Near;
  return nearCode ? Axis::Stretch : Axis::Far;
}

}  // namespace

ui::ResizeRule ParseResizeCodes(std::string_view codes) {
  bool left = false, right = false, top = false, bottom = false;
  for (platform::FieldWalker pieces(codes, ","); !pieces.Done();) {
    const std::string code = platform::ToUpper(platform::TrimmedView(pieces.Next()));
    if (code.size() < 2 || (code[0] != 'F' && code[0] != 'C')) continue;
    const bool byDistance = code[0] == 'F';
    switch (code[1]) {
      case 'L':
        left = true;
        break;
      case 'T':
        top = true;
        break;
      case 'R':
        right = right || byDistance;
        break;
      case 'B':
        bottom = bottom || byDistance;
        break;
      default:
        break;
    }
  }
  ui::ResizeRule rule;
  rule.horizontal = AxisOf(left, right);
  rule.vertical = AxisOf(top, bottom);
  return rule;
}

StyleCodes ParseStyleLetters(ui::ControlKind kind, std::string_view letters) {
  using Kind = ui::ControlKind;
  StyleCodes codes;
  ui::ControlStyle& s = codes.style;
  codes.hidden = Has(letters, 'H');
  s.tabStop = Has(letters, 'T');
  switch (kind) {
    case Kind::Label:
      if (Has(letters, 'C')) s.align = ui::Align::Centre;
      if (Has(letters, 'R')) s.align = ui::Align::Right;
      if (Has(letters, 'L')) s.align = ui::Align::Left;
      s.verticalCentre = Has(letters, '^');
      s.transparent = Has(letters, 'I');
      codes.ownerDrawn = Has(letters, 'O');
      break;
    case Kind::TextBox:
      s.border = Has(letters, 'B') || Has(letters, 'E');
      s.multiLine = Has(letters, 'M');
      s.readOnly = s.multiLine;
      s.verticalScroll = Has(letters, 'V');
      s.horizontalScroll = Has(letters, 'S');
      break;
    case Kind::Button:
      s.defaultButton = Has(letters, 'D');
      break;
    case Kind::ComboBox:
      s.ownerDrawnItems = Has(letters, 'O');
      break;
    case Kind::Shape:
      if (Has(letters, '[')) {
        // The leading digits: "2[" is 2 pixels, "4I[" 4 (at most 99).
        int width = 0;
        for (std::size_t i = 0;
             i < letters.size() && i < 2 && std::isdigit(static_cast<unsigned char>(letters[i]));
             ++i) {
          width = width * 10 + (letters[i] - '0');
        }
        s.borderWidth = width > 0 ? width : 1;
      }
      break;
    default:
      break;
  }
  return codes;
}

ui::FormStyle ParseFormStyle(std::string_view letters) {
  ui::FormStyle style;
  style.resizable = Has(letters, 'Z');
  style.minimiseBox = Has(letters, '_');
  style.maximiseBox = Has(letters, '^');
  style.modal = Has(letters, 'M');
  style.systemMenu = Has(letters, 'C');
  return style;
}

ui::Region ParseRegion(int code) {
  if (code == 2 || code == -2) return ui::Region::Rounded;
  if (code == 1) return ui::Region::Pill;
  return ui::Region::Rectangle;
}

Effect ParseEffect(std::string_view letters) {
  return Has(platform::ToUpper(letters), 'F') ? Effect::Sunken : Effect::None;
}

}  // namespace ui::look

#include "screens/main_form.h"

#include "screens/form_table.h"
#include "ui/look/form_codes.h"

namespace app {

std::vector<ControlRow> MainFormRows() {
  using K = ui::ControlKind;
  constexpr bool kOwner = true;
  constexpr bool kHidden = true;
  return {
      {100, K::Label, "Press: ESC to Abort//14", 1.25, 22.5, 56.75, 18.25, 15, 12,
       FontFace("Arial", 26, "IBV"), "FL,FR,FB,H2", "^CHO", kOwner, kHidden},
      {105, K::TextBox, "", 2, 24.6875, 55, 1.5, 15, 15, FontFace("Terminal", 12, "L+OF"),
       "FL,FR,FB,H", "ETU"},
      {110, K::Button, "{{BIG_SAME_ARROWRT}}", 29.375, 21.9375, 5, 2, 18, 18, FontSlot(6),
       "FL,FB-2", "T", kOwner},
      {115, K::Button, "Clear Commands//5", 36.5, 21.9375, 21.25, 2, 42, 42, FontSlot(6),
       "FL,FR,FB-2", "T", kOwner},
      {120, K::Button, "{{BIG_SAME_RECT}}", 28, 3, 4.5, 2.25, 43, 43, FontSlot(6), "FL,CR,FT,CB-2",
       "T", kOwner},
      {125, K::ComboBox, "", 15.625, 34.375, 42, 15.25, -1, -1, FontFace("Terminal", 12, "L+OF"),
       "CL,FR,FB,H", "JTV"},
      {130, K::Button, "{{BIG_DOUBLE_SAME_ARROWLF}}", 16.875, 31.9375, 5, 2, 23, 23, FontSlot(6),
       "FL,FB-2", "T", kOwner},
      {135, K::Button, "{{BIG_SAME_ARROWUP}}", 22.375, 31.9375, 5, 2, 23, 23, FontSlot(6),
       "FL,FB-2", "T", kOwner},
      {140, K::Button, "{{BIG_DOUBLE_SAME_ARROWRT}}", 28, 31.9375, 5, 2, 23, 23, FontSlot(6),
       "FL,FB-2", "T", kOwner},
      {145, K::Button, "Attach Selected History Item to Function Key//11", 1, 36.3125, 56.75, 2, 23,
       23, FontSlot(6), "FL,FB-2", "T", kOwner},
      {150, K::SegmentBar, "50%RED|50%GREEN", 1, 20.75, 57, 1, -1, -1, FontSlot(4), "CL,FR,FB,H",
       ""},
      {155, K::ComboBox, "F1|F2|F3|F4|F5|F6|F7|F8|F9|F10", 1, 34.375, 7.125, 14.9375, -1, -1,
       FontSlot(6), "CL,CR,FB,H", "JTV"},
      {160, K::TextBox, "", 1, 5.5, 57, 15.25, 38, 38, FontFace("Courier New", 18, "L+F"),
       "FL,FR,FT,FB,VH", "BMSV"},
      {165, K::Label, "", 2, 4.1875, 21.25, 1, 6, 22, FontFace("Arial", 8, "L+V"), "", "C"},
      {170, K::Label, "Terminal Display//2", 1, 2.5, 23, 1.875, 6, 43, FontSlot(9), "CL,CR,CT,CB2",
       "^CO", kOwner},
      {175, K::Label, "History//9", 1.125, 31.6875, 15.125, 2.4375, 15, 16, FontSlot(7),
       "FL,CR,FB,H2", "^CO", kOwner},
      {180, K::Label, "Devices Found://3", 2, 0.5, 20.5, 1.5, 36, 36, FontSlot(6), "", "^CO",
       kOwner},
      {185, K::Shape, "", 1, 24.1875, 56.75, 2.5, 3, 15, FontSlot(4), "FL,FR,FB,H", "2["},
      {190, K::Label, "Enter Commands below:// 4", 1, 21.9375, 27, 2.75, 37, 42, FontSlot(7),
       "CL,CR,FB,H2", "^CO", kOwner},
      {195, K::Label, "Clear Text after Send//6", 4.625, 29.625, 21.875, 1.25, 42, 42, FontSlot(6),
       "FL,FB", "CO", kOwner},
      {200, K::Label, "Record History//7", 29.625, 29.625, 17.375, 1.25, 31, 31, FontSlot(6),
       "FL,FB", "CO", kOwner},
      {205, K::Label, "FIFO//8", 50, 29.6875, 6, 1, 4, 31, FontSlot(6), "FL,FB", "CO", kOwner},
      {210, K::CheckBox, "", 1.125, 29.1875, 25.875, 2, 42, 42, FontSlot(6), "FL,FB", "FT"},
      {215, K::CheckBox, "", 47.5, 29.25, 9.5, 1.8125, 31, 31, FontSlot(6), "FL,FB", "T"},
      {220, K::CheckBox, "", 27.625, 29.1875, 29.875, 2, 31, 31, FontSlot(6), "FL,FB", "FT"},
      {225, K::Button, "Attach Command Line to Function Key//12", 1, 26.875, 56.75, 2, 42, 42,
       FontSlot(6), "FL,FB-2", "T", kOwner},
      {230, K::Button, "{{BIG_SAME_RRECT}}", 8.5, 34.375, 5, 1.5625, 17, 23, FontSlot(6), "FL,FB-2",
       "T", kOwner},
      {235, K::Button, "Clear Terminal Display// 1", 33, 3, 25, 2.25, 43, 43, FontSlot(6),
       "FL,FR,CT,CB-2", "T", kOwner},
      {240, K::Button, "Clear History//10", 35.625, 31.9375, 22, 2, 23, 23, FontSlot(6),
       "FL,FR,FB-2", "T", kOwner},
      {245, K::ComboBox, "", 24.25, 0.4375, 27.125, 16.1875, -1, -1, FontSlot(6), "FL,FT", "JTV"},
      {250, K::ComboBox, "English", 1, 39.125, 29.5, 11.25, 15, 15, FontSlot(6), "FL,FB", "$OTV"},
      {255, K::Button, "{{BIG_SAME_ELLIPSE}}", 52, 0.1875, 3.75, 2.0625, 9, 23, FontSlot(6),
       "FL,FT-2", "T", kOwner},
      {260, K::Button, "{{BIG_DOUBLE_SAME_RECT}}", 24.5, 3.75, 3, 1.5, 22, 22,
       FontFace("Arial Black", 12, "XV"), "FL,CR,FT,CB-2", "T", kOwner},
      {265, K::Picture, "SAMPLEBMP", 43.5, 38.5625, 6, 3, -1, -1, FontSlot(4), "FR,FB", ""},
      {270, K::Label, "256.256.99999.0", 31.5, 39.25, 11, 1.5, 15, 37, FontFace("Tahoma", 8, "BV"),
       "FR,FB2", "^C"},
      {275, K::Button, "?", 55.875, 0.1875, 3, 2.0625, 25, 25, FontFace("Arial Black", 12, "XV"),
       "", "T", kOwner},
      {280, K::Label, "", 1, 4, 23, 1.875, 6, 43, FontSlot(9), "CL,CR,CT,CB", "^C"},
      {295, K::SegmentBar, "50%GOLD|50%GRAY", 25, 3.5, 33, 1.5, -1, -1, FontSlot(4), "FL,FR,FT",
       "H", false, kHidden},
      {300, K::SegmentBar, "50%GOLD|50%GRAY", 1, 2.75, 57, 2.8125, -1, -1, FontSlot(4), "FL,FR,FT",
       "H", false, kHidden},
  };
}

ui::FormSpec MainFormSpec(int dotsPerInch) {
  const FormRow window{kMainForm, kMainCaption, 0, 0, 59, 41.25, "^_CZ", 36, 36};
  ui::FormSpec form = BuildForm(window, MainFormRows(), dotsPerInch);
  for (ui::ControlSpec& c : form.controls) {
    // The language selector and the picture are filled while they load.
    c.wantsLoading = c.id == tmain::kLanguageSelector || c.id == tmain::kLogo;
    c.focusEvents = c.id == tmain::kCommandEntry;
    c.tooltip = c.id == tmain::kFifo;
    // Window regions: rounded labels and owner-drawn buttons, a pill for help.
    int region = 0;
    if (c.kind == ui::ControlKind::Label && c.ownerDrawn) region = 2;
    if (c.id == tmain::kByteCounter || c.id == tmain::kVersionLabel) region = 2;
    if (c.kind == ui::ControlKind::Button && c.ownerDrawn) region = -2;
    if (c.id == tmain::kHelp) region = 1;
    c.region = ui::look::ParseRegion(region);
  }
  return form;
}

}  // namespace app

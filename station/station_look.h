// How the station looks: the colour and font slots it defines in the
// backend before the first form, the forms it loaded, and the painting of
// their owner-drawn controls (bars, shapes, labels, buttons, the language
// selector's items) through ui/look.
#pragma once

#include <map>
#include <string>

#include "lang/languages.h"
#include "ui/contract/gui.h"
#include "ui/look/form_codes.h"
#include "ui/look/palette.h"

namespace app {

class StationLook {
 public:
  StationLook(ui::Gui& gui, const lang::Languages& languages) : gui_(gui), languages_(languages) {}

  // The palette, the defined colours and the dialogs' fonts, for a screen
  // of `dotsPerInch`; images come from `imageFolder`.
  void DefineDefaults(const std::string& imageFolder, int dotsPerInch);
  // The display's fonts, once it is known to be wanted.
  void DefineTerminalFonts();
  // A form this program loads, kept for painting its controls.
  void KeepForm(ui::FormSpec form);
  // A form kept before (an empty one if none).
  const ui::FormSpec& Form(const std::string& name) const;
  // How the main window's bar `control` changes as it fills.
  void SetBarEffect(int control, ui::look::Effect effect) { barEffects_[control] = effect; }

  void Draw(const ui::DrawRequest& request, ui::Canvas& canvas) const;
  // The font a control draws its caption in (its slot's or its own).
  ui::Font FontOf(const ui::FontRef& font) const;
  const ui::look::Palette& Palette() const { return palette_; }
  int DotsPerInch() const { return dotsPerInch_; }

 private:
  ui::Gui& gui_;
  const lang::Languages& languages_;
  int dotsPerInch_ = ui::kReferenceDotsPerInch;
  ui::look::Palette palette_;
  std::map<int, ui::Font> fontSlots_;
  std::map<std::string, ui::FormSpec> forms_;   // every form this program loads
  std::map<int, ui::look::Effect> barEffects_;  // of the main window's bars
};

}  // namespace app

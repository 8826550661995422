// Fonts of the contract as desktop fonts. The form tables name the faces an
// operator knows from the test station's PCs; Debian has metric-compatible
// or look-alike faces for them, chosen the way fontconfig's own aliases do.
#pragma once

#include <QFont>
#include <QString>
#include <string>

#include "ui/contract/gui.h"

namespace ui::qt {

// The installed face that stands for `face` ("Arial" -> "Liberation Sans").
// A face without a substitute is kept: fontconfig then picks its nearest
// installed font, so an unknown face never fails.
QString DesktopFace(const std::string& face);

// The QFont for a contract font: pixel height, weight, italic, underline,
// strike-out and pitch as described; "Arial Black" is drawn black (900).
QFont ToQFont(const ui::Font& font);

}  // namespace ui::qt

// The images a picture, an icon or a form icon names (see "Images" in
// ui/contract/gui.h): the program's own, the desktop's message icons, or files
// in the image folder found without regard to letter case.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <string>

namespace ui::qt {

// The image fitted into `size` (keeping its proportions); null when the
// name names nothing.
QPixmap ImagePixmap(const std::string& name, const std::string& imageFolder, const QSize& size);
// The same image as a window icon, in the sizes desktops ask for.
QIcon ImageIcon(const std::string& name, const std::string& imageFolder);

}  // namespace ui::qt

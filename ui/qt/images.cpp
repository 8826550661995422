#include "ui/qt/images.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStyle>
#include <QSvgRenderer>
#include <string_view>

#include "ui/qt/latin1.h"

namespace ui::qt {

// The SVG sources of the program's own images (built in by CMake).
extern const std::string_view kProgramIconSvg;
extern const std::string_view kLogoSvg;

namespace {

QPixmap RenderSvg(std::string_view svg, const QSize& size) {
  QSvgRenderer renderer(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
  if (!renderer.isValid() || size.isEmpty()) return {};
  QSize fitted = renderer.defaultSize().scaled(size, Qt::KeepAspectRatio);
  QPixmap pixmap(fitted);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

// A file of the image folder: the name as given, or with ".png" or ".bmp",
// in any letter case.
QString FindImageFile(const std::string& name, const std::string& imageFolder) {
  QDir folder(QFile::decodeName(imageFolder.c_str()));
  const QString wanted = QFile::decodeName(name.c_str());
  if (wanted.isEmpty() || !folder.exists()) return {};
  const QStringList entries = folder.entryList(QDir::Files);
  for (const QString& candidate : {wanted, wanted + ".png", wanted + ".bmp"}) {
    for (const QString& entry : entries) {
      if (entry.compare(candidate, Qt::CaseInsensitive) == 0) return folder.filePath(entry);
    }
  }
  return {};
}

QPixmap FitPixmap(const QPixmap& pixmap, const QSize& size) {
  if (pixmap.isNull() || size.isEmpty() || pixmap.size() == size) return pixmap;
  return pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

QPixmap ImagePixmap(const std::string& name, const std::string& imageFolder, const QSize& size) {
  if (name == "$BPROGRAM") return RenderSvg(kProgramIconSvg, size);
  if (name == "$HLVLOGO") return RenderSvg(kLogoSvg, size);
  if (!name.empty() && name[0] == '$') return {};
  if (name == "#?Icon" || name == "#!Icon") {
    QStyle::StandardPixmap which =
        name == "#?Icon" ? QStyle::SP_MessageBoxQuestion : QStyle::SP_MessageBoxWarning;
    int side = std::min(size.width(), size.height());
    return QApplication::style()->standardIcon(which).pixmap(QSize(side, side));
  }
  QString file = FindImageFile(name, imageFolder);
  return file.isEmpty() ? QPixmap() : FitPixmap(QPixmap(file), size);
}

QIcon ImageIcon(const std::string& name, const std::string& imageFolder) {
  QIcon icon;
  for (int side : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap = ImagePixmap(name, imageFolder, QSize(side, side));
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace ui::qt

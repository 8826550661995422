// What a control widget needs from the backend: a way to report what the
// operator did and a way to have itself painted by the application.
#pragma once

#include <QColor>
#include <QFont>
#include <optional>
#include <string>

#include "ui/contract/gui.h"

class QPainter;

namespace ui::qt {

class ControlHost {
 public:
  virtual ~ControlHost() = default;
  // Delivers an event to the application and returns its reply.
  virtual ui::EventReply Deliver(const ui::Event& event) = 0;
  // Paints `request` with the application's painters on `painter`.
  virtual void Draw(const ui::DrawRequest& request, QPainter& painter) = 0;
  // The colour of slot `number`; nothing for -1 or an undefined slot.
  virtual std::optional<QColor> Colour(int number) const = 0;
  virtual QFont FontOf(const ui::FontRef& font) const = 0;
  // The image a picture, icon or form icon names (null when none).
  virtual QPixmap Image(const std::string& name, const QSize& size) const = 0;
};

}  // namespace ui::qt

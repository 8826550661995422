// What a control widget needs from the backend: a way to report what the
// operator did and a way to have itself painted by the application.
#pragma once

#include <QColor>
#include <QFont>
#include <optional>
#include <string>

#include "app/gui/gui.h"

class QPainter;

namespace app::qt {

class ControlHost {
 public:
  virtual ~ControlHost() = default;
  // Delivers an event to the application and returns its reply.
  virtual gui::EventReply Deliver(const gui::Event& event) = 0;
  // Paints `request` with the application's painters on `painter`.
  virtual void Draw(const gui::DrawRequest& request, QPainter& painter) = 0;
  // The colour of slot `number`; nothing for -1 or an undefined slot.
  virtual std::optional<QColor> Colour(int number) const = 0;
  virtual QFont FontOf(const gui::FontRef& font) const = 0;
  // The image a picture, icon or form icon names (null when none).
  virtual QPixmap Image(const std::string& name, const QSize& size) const = 0;
};

}  // namespace app::qt

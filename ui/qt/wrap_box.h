// A read-only multi-line box that breaks its lines at blanks to fit its
// width (ControlStyle::wrap): a message of any length shows whole, its
// form made taller to show every line, up to the screen's work area, and
// scrolling beyond that.
#pragma once

#include <QTextEdit>
#include <string>

#include "ui/qt/controls.h"

namespace ui::qt {

class WrapBox : public QTextEdit, public TextBoxControl {
 public:
  WrapBox(ControlHost& host, const std::string& form, const ui::ControlSpec& spec, QWidget* parent);
  QWidget* Widget() override { return this; }
  void SetText(const std::string& text) override;
  void AppendText(const std::string& text) override;
  ui::TextSelection Selection() const override;
  void SetSelection(ui::TextSelection selection) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Makes the form taller by what the wrapped text needs beyond the box.
  void GrowToShowAll();
};

}  // namespace ui::qt

#include "ui/qt/wrap_box.h"

#include <QEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "ui/qt/form_window.h"
#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

// The text as shown: line ends of any kind as one line break.
QString Shown(const std::string& text) {
  QString s = FromBytes(text);
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

}  // namespace

WrapBox::WrapBox(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                 QWidget* parent)
    : QTextEdit(parent), TextBoxControl(host, form, spec) {
  setReadOnly(true);
  setAcceptRichText(false);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(spec.style.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  if (!spec.style.border) setFrameShape(QFrame::NoFrame);
  setPlainText(Shown(text_));
}

void WrapBox::SetText(const std::string& text) {
  text_ = text;
  setPlainText(Shown(text));
  GrowToShowAll();
}

void WrapBox::AppendText(const std::string& text) {
  SetText(text_ + text);
}

ui::TextSelection WrapBox::Selection() const {
  const QTextCursor c = textCursor();
  return {c.selectionStart(), c.selectionEnd()};
}

void WrapBox::SetSelection(ui::TextSelection selection) {
  const int last = std::max(0, document()->characterCount() - 1);
  QTextCursor c(document());
  c.setPosition(std::clamp(selection.start, 0, last));
  c.setPosition(selection.end < 0 ? last : std::clamp(selection.end, 0, last),
                QTextCursor::KeepAnchor);
  setTextCursor(c);
}

void WrapBox::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  // A font given after the text needs the room measured again.
  if (event->type() == QEvent::FontChange) GrowToShowAll();
}

void WrapBox::GrowToShowAll() {
  auto* form = dynamic_cast<FormWindow*>(parentWidget());
  if (!form) return;
  document()->setTextWidth(viewport()->width());
  const int needed = static_cast<int>(std::ceil(document()->size().height()));
  if (needed > viewport()->height()) form->GrowBy(needed - viewport()->height());
}

}  // namespace ui::qt

#include "ui/qt/controls.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/text.h"
#include "ui/look/painters.h"
#include "ui/qt/latin1.h"
#include "ui/qt/line_box.h"
#include "ui/qt/log_view.h"
#include "ui/qt/painter_canvas.h"
#include "ui/qt/wrap_box.h"

namespace ui::qt {
namespace {

Qt::Alignment ToAlignment(const ui::ControlStyle& style) {
  Qt::Alignment a = style.verticalCentre ? Qt::AlignVCenter : Qt::AlignTop;
  switch (style.align) {
    case ui::Align::Left:
      return a | Qt::AlignLeft;
    case ui::Align::Centre:
      return a | Qt::AlignHCenter;
    case ui::Align::Right:
      return a | Qt::AlignRight;
  }
  return a;
}

ui::PixelRect ToPixelRect(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

// Sets a colour role in every colour group, so a disabled or inactive
// control keeps the colours of its table.
void SetRole(QPalette& palette, QPalette::ColorRole role, const std::optional<QColor>& colour) {
  if (colour) palette.setColor(role, *colour);
}

void SetFocusPolicyFor(QWidget* w, const ui::ControlSpec& spec) {
  w->setFocusPolicy(spec.style.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

// Paints the items of an owner-drawn list through the application.
class ItemPainter : public QStyledItemDelegate {
 public:
  ItemPainter(ControlHost& host, ComboBoxControl& list, QObject* parent)
      : QStyledItemDelegate(parent), host_(host), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    ui::DrawRequest request;
    request.form = list_.Form();
    request.control = list_.Id();
    request.area = ToPixelRect(option.rect);
    request.state.hover = option.state.testFlag(QStyle::State_MouseOver);
    request.state.selected = option.state.testFlag(QStyle::State_Selected);
    request.state.focused = option.state.testFlag(QStyle::State_HasFocus);
    request.state.enabled = option.state.testFlag(QStyle::State_Enabled);
    request.item = index.row();
    request.itemText = ToBytes(index.data(Qt::DisplayRole).toString());
    request.text = list_.Text();
    request.textColour = list_.TextColour();
    request.backColour = list_.BackColour();
    host_.Draw(request, *painter);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (list_.ItemHeight() > 0) size.setHeight(list_.ItemHeight());
    return size;
  }

 private:
  ControlHost& host_;
  ComboBoxControl& list_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Control

Control::Control(ControlHost& host, std::string form, const ui::ControlSpec& spec)
    : host_(host), form_(std::move(form)), spec_(spec), text_(spec.caption) {}

void Control::SetText(const std::string& text) {
  text_ = text;
  Widget()->update();
}

void Control::ApplyColours(int text, int back) {
  textColour_ = text;
  backColour_ = back;
  Widget()->update();
}

void Control::Place(const QRect& rect) {
  placed_ = rect;
  Widget()->setGeometry(rect);
}

void Control::SetFont(const QFont& font) {
  font_ = font;
  Widget()->setFont(ScaledFont(font, scale_));
}

void Control::SetScale(double scale) {
  if (scale == scale_) return;
  scale_ = scale;
  if (font_) Widget()->setFont(ScaledFont(*font_, scale_));
  ScaleChanged();
}

QFont ScaledFont(QFont font, double scale) {
  if (scale == 1.0) return font;
  if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * scale))));
  } else if (font.pointSizeF() > 0) {
    font.setPointSizeF(std::max(1.0, font.pointSizeF() * scale));
  }
  return font;
}

ui::DrawRequest Control::Request(const ui::DrawState& state) const {
  ui::DrawRequest request;
  request.form = form_;
  request.control = spec_.id;
  request.area = {0, 0, placed_.width(), placed_.height()};
  request.state = state;
  request.text = Text();
  request.textColour = textColour_;
  request.backColour = backColour_;
  return request;
}

// ---------------------------------------------------------------------------
// Painted controls

PaintedControl::PaintedControl(ControlHost& host, const std::string& form,
                               const ui::ControlSpec& spec, QWidget* parent)
    : QWidget(parent), Control(host, form, spec) {
  setFocusPolicy(Qt::NoFocus);
}

void PaintedControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ui::DrawState state;
  state.enabled = isEnabled();
  ui::DrawRequest request = Request(state);
  request.area = {0, 0, width(), height()};
  host_.Draw(request, painter);
}

PaintedButton::PaintedButton(ControlHost& host, const std::string& form,
                             const ui::ControlSpec& spec, QWidget* parent)
    : QAbstractButton(parent), Control(host, form, spec) {
  SetFocusPolicyFor(this, spec);
  connect(this, &QAbstractButton::clicked, this, [this] {
    host_.Deliver({form_, spec_.id, ui::event::kClick, 0});
  });
}

void PaintedButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ui::DrawState state;
  state.hover = hover_;
  state.pressed = isDown();
  state.focused = hasFocus();
  state.enabled = isEnabled();
  ui::DrawRequest request = Request(state);
  request.area = {0, 0, width(), height()};
  host_.Draw(request, painter);
}

void PaintedButton::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void PaintedButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

bool PaintedButton::hitButton(const QPoint& pos) const {
  if (spec_.region == ui::Region::Rectangle) return rect().contains(pos);
  qreal radius = spec_.region == ui::Region::Pill ? std::min(width(), height()) / 2.0
                                                  : 6.0 * logicalDpiY() / 96.0;
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), radius, radius);
  return path.contains(QPointF(pos) + QPointF(0.5, 0.5));
}

PlainButton::PlainButton(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                         QWidget* parent)
    : QPushButton(parent), Control(host, form, spec) {
  setAutoDefault(false);
  setDefault(spec.style.defaultButton);
  SetFocusPolicyFor(this, spec);
  PlainButton::SetText(text_);
  connect(this, &QPushButton::clicked, this, [this] {
    host_.Deliver({form_, spec_.id, ui::event::kClick, 0});
  });
}

void PlainButton::SetText(const std::string& text) {
  text_ = text;
  // "&" would mark a mnemonic; the caption is shown as it is.
  QPushButton::setText(FromBytes(text).replace(QLatin1Char('&'), QLatin1String("&&")));
}

// ---------------------------------------------------------------------------
// Plain label

PlainLabel::PlainLabel(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                       QWidget* parent)
    : QLabel(parent), Control(host, form, spec) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(ToAlignment(spec.style));
  setFocusPolicy(Qt::NoFocus);
  QLabel::setText(FromBytes(text_));
}

void PlainLabel::SetText(const std::string& text) {
  text_ = text;
  QLabel::setText(FromBytes(text));
}

void PlainLabel::ApplyColours(int text, int back) {
  Control::ApplyColours(text, back);
  QPalette p = palette();
  std::optional<QColor> background = host_.Colour(back);
  const bool filled = background.has_value() && !spec_.style.transparent;
  // Text in the label's own background colour would not show (or, on a
  // transparent label, hardly: PASSFAIL's white name on its light form):
  // colour 0 then, as for owner-drawn labels.
  SetRole(p, QPalette::WindowText, host_.Colour(ui::look::LabelTextColour(text, back)));
  SetRole(p, QPalette::Window, background);
  setPalette(p);
  setAutoFillBackground(filled);
}

// ---------------------------------------------------------------------------
// Text boxes (ui/qt/line_box.h and ui/qt/log_view.h)

void TextBoxControl::ApplyColours(int text, int back) {
  Control::ApplyColours(text, back);
  QPalette p = Widget()->palette();
  SetRole(p, QPalette::Text, host_.Colour(ui::look::LabelTextColour(text, back)));
  SetRole(p, QPalette::Base, host_.Colour(back));
  Widget()->setPalette(p);
}

// ---------------------------------------------------------------------------
// Check box

CheckBoxControl::CheckBoxControl(ControlHost& host, const std::string& form,
                                 const ui::ControlSpec& spec, QWidget* parent)
    : QCheckBox(parent), Control(host, form, spec) {
  SetFocusPolicyFor(this, spec);
  connect(this, &QCheckBox::clicked, this, [this] {
    host_.Deliver({form_, spec_.id, ui::event::kClick, 0});
  });
}

void CheckBoxControl::ApplyColours(int text, int back) {
  Control::ApplyColours(text, back);
  QPalette p = palette();
  SetRole(p, QPalette::WindowText, host_.Colour(text));
  std::optional<QColor> background = host_.Colour(back);
  SetRole(p, QPalette::Window, background);
  setPalette(p);
  setAutoFillBackground(background.has_value());
}

// ---------------------------------------------------------------------------
// Drop-down list

ComboBoxControl::ComboBoxControl(ControlHost& host, const std::string& form,
                                 const ui::ControlSpec& spec, QWidget* parent)
    : QComboBox(parent), Control(host, form, spec) {
  SetFocusPolicyFor(this, spec);
  if (spec.style.ownerDrawnItems) setItemDelegate(new ItemPainter(host, *this, this));
  AddItems(spec.caption);
  text_.clear();
  Select(count() > 0 ? 0 : -1);
  // Only the operator's pick is an event; a programmatic selection is not.
  connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    host_.Deliver({form_, spec_.id, ui::event::kSelectionChange, index});
  });
  connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { MarkCutItems(); });
}

void ComboBoxControl::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  if (event->type() == QEvent::FontChange) MarkCutItems();
}

void ComboBoxControl::MarkCutItems() {
  // The closed box loses its arrow's width; the open list is as wide.
  const int room = width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 8;
  const QFontMetrics metrics(font());
  const auto cut = [&](const QString& text) { return metrics.horizontalAdvance(text) > room; };
  for (int i = 0; i < count(); ++i) {
    const QString text = itemText(i);
    setItemData(i, cut(text) ? QVariant(text) : QVariant(), Qt::ToolTipRole);
  }
  setToolTip(currentIndex() >= 0 && cut(currentText()) ? currentText() : QString());
}

std::string ComboBoxControl::Text() const {
  return currentIndex() < 0 ? std::string() : ToBytes(currentText());
}

void ComboBoxControl::SetText(const std::string& text) {
  int index = findText(FromBytes(text), Qt::MatchExactly);
  if (index >= 0) setCurrentIndex(index);
}

void ComboBoxControl::ApplyColours(int text, int back) {
  Control::ApplyColours(text, back);
  if (spec_.style.ownerDrawnItems) return;
  QPalette p = palette();
  SetRole(p, QPalette::Text, host_.Colour(text));
  SetRole(p, QPalette::ButtonText, host_.Colour(text));
  SetRole(p, QPalette::Base, host_.Colour(back));
  SetRole(p, QPalette::Button, host_.Colour(back));
  setPalette(p);
}

void ComboBoxControl::Place(const QRect& rect) {
  placed_ = rect;
  const int closed =
      spec_.style.ownerDrawnItems && itemHeight_ > 0 ? ItemHeight() + 6 : sizeHint().height();
  setGeometry(rect.x(), rect.y(), rect.width(), std::min(closed, std::max(rect.height(), 1)));
  FitPopup();
  MarkCutItems();
}

void ComboBoxControl::SetItemHeight(int pixels) {
  itemHeight_ = std::max(0, pixels);
  if (!placed_.isNull()) Place(placed_);
}

int ComboBoxControl::ItemHeight() const {
  return itemHeight_ > 0 ? std::max(1, static_cast<int>(std::lround(itemHeight_ * Scale()))) : 0;
}

void ComboBoxControl::ScaleChanged() {
  setProperty(kFormScaleProperty, Scale());  // the style draws frame and arrow to scale
  if (!placed_.isNull()) Place(placed_);
  MarkCutItems();
}

// The table's height is the open list's: show as many items as fit below the
// closed box, at least one.
void ComboBoxControl::FitPopup() {
  int item = itemHeight_ > 0 ? ItemHeight() : fontMetrics().height() + 2;
  int listHeight = placed_.height() - height();
  setMaxVisibleItems(std::max(1, listHeight / std::max(1, item)));
}

void ComboBoxControl::AddItems(const std::string& items) {
  AddItems(platform::SplitFields(items, '|'));
}

void ComboBoxControl::AddItems(const std::vector<std::string>& items) {
  if (items.empty()) return;
  int selected = currentIndex();
  for (const std::string& item : items) addItem(FromBytes(item));
  // Qt selects the first item of an empty list by itself; the contract
  // keeps the selection as it was.
  if (selected < 0) setCurrentIndex(-1);
  MarkCutItems();
}

void ComboBoxControl::InsertAt(int position, const std::string& item) {
  int selected = currentIndex();
  insertItem(std::clamp(position, 0, count()), FromBytes(item));
  if (selected < 0) setCurrentIndex(-1);
  MarkCutItems();
}

std::vector<std::string> ComboBoxControl::ItemTexts() const {
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(count()));
  for (int i = 0; i < count(); ++i) texts.push_back(ToBytes(itemText(i)));
  return texts;
}

void ComboBoxControl::Select(int index) {
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

void ComboBoxControl::paintEvent(QPaintEvent* event) {
  if (!spec_.style.ownerDrawnItems) {
    QComboBox::paintEvent(event);
    return;
  }
  // The box and its arrow are the desktop's; the application paints the
  // shown item into the field beside the arrow.
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  ui::DrawState state;
  state.hover = underMouse();
  state.focused = hasFocus();
  state.enabled = isEnabled();
  ui::DrawRequest request = Request(state);
  request.area = {field.x(), field.y(), field.width(), field.height()};
  request.itemText = Text();
  host_.Draw(request, painter);
}

// ---------------------------------------------------------------------------
// Picture and icon

ImageControl::ImageControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                           QWidget* parent)
    : QLabel(parent), Control(host, form, spec) {
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::NoFocus);
}

void ImageControl::SetText(const std::string& text) {
  text_ = text;
  LoadImage();
}

void ImageControl::Place(const QRect& rect) {
  Control::Place(rect);
  LoadImage();
}

void ImageControl::LoadImage() {
  // Only the part inside the form can be seen: the image fits that part
  // (the logo's place runs a little past the main window's bottom edge).
  QRect visible = placed_;
  if (parentWidget()) visible &= parentWidget()->rect();
  setAlignment(visible.height() < placed_.height() ? Qt::AlignTop | Qt::AlignHCenter
                                                   : Qt::AlignCenter);
  setPixmap(host_.Image(text_, visible.size()));
}

// ---------------------------------------------------------------------------

Control* CreateControl(ControlHost& host, const std::string& form, const ui::ControlSpec& spec,
                       QWidget* parent) {
  switch (spec.kind) {
    case ui::ControlKind::Label:
      if (spec.ownerDrawn) return new PaintedControl(host, form, spec, parent);
      return new PlainLabel(host, form, spec, parent);
    case ui::ControlKind::Shape:
    case ui::ControlKind::SegmentBar:
      return new PaintedControl(host, form, spec, parent);
    case ui::ControlKind::Button:
      if (spec.ownerDrawn) return new PaintedButton(host, form, spec, parent);
      return new PlainButton(host, form, spec, parent);
    case ui::ControlKind::TextBox:
      if (spec.style.multiLine && spec.style.wrap) return new WrapBox(host, form, spec, parent);
      if (spec.style.multiLine) return new LogView(host, form, spec, parent);
      return new LineBox(host, form, spec, parent);
    case ui::ControlKind::CheckBox:
      return new CheckBoxControl(host, form, spec, parent);
    case ui::ControlKind::ComboBox:
      return new ComboBoxControl(host, form, spec, parent);
    case ui::ControlKind::Picture:
    case ui::ControlKind::Icon:
      return new ImageControl(host, form, spec, parent);
  }
  return new PaintedControl(host, form, spec, parent);
}

}  // namespace ui::qt
